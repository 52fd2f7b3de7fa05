#include "app/ghostscriptCommand.h"

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

std::vector<std::string> ghostscriptArguments(const renderRequest& request) {
    std::vector<std::string> command = {
        "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
        // A damaged document stops with an error instead of printing what
        // Ghostscript could recover.
        "-dPDFSTOPONERROR", "-r600",
        "-dDEVICEWIDTHPOINTS=" + points(request.widthPwg),
        "-dDEVICEHEIGHTPOINTS=" + points(request.lengthPwg),
        "-dFIXEDMEDIA", "-dPDFFitPage",
    };
    if (request.firstPage) command.push_back("-dFirstPage=" + std::to_string(*request.firstPage));
    if (request.lastPage) command.push_back("-dLastPage=" + std::to_string(*request.lastPage));
    command.push_back("-f");
    command.push_back(request.file);
    return command;
}

}  // namespace corvane
