#include "app/documents/ghostscriptCommand.h"

#include <cstdio>

namespace corvane {
namespace {

// Points with two decimals: the paper size Ghostscript renders on.
std::string points(int pwgUnits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", pwgUnits * 72.0 / 2540.0);
    return text;
}

}  // namespace

std::vector<std::string> ghostscriptOptions(const renderRequest& request) {
    return {
        "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
        // A damaged document stops with an error instead of printing what
        // Ghostscript could recover.
        "-dPDFSTOPONERROR", "-r600",
        "-dDEVICEWIDTHPOINTS=" + points(request.widthPwg),
        "-dDEVICEHEIGHTPOINTS=" + points(request.lengthPwg),
        "-dFIXEDMEDIA", "-dPDFFitPage",
    };
}

pageSelection jobPages(const renderRequest& request) {
    return {request.firstPage.value_or(1), request.lastPage, 1};
}

std::vector<std::string> ghostscriptArguments(const renderRequest& request) {
    std::vector<std::string> command = ghostscriptOptions(request);
    if (request.firstPage) command.push_back("-dFirstPage=" + std::to_string(*request.firstPage));
    if (request.lastPage) command.push_back("-dLastPage=" + std::to_string(*request.lastPage));
    command.push_back("-f");
    command.push_back(request.file);
    return command;
}

}  // namespace corvane
