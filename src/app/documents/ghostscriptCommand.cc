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

std::vector<renderRequest> shareOut(const renderRequest& request, unsigned renderers) {
    // Ghostscript picks the odd or the even pages of a whole document by
    // itself; a list of page numbers fails on pages the document lacks, so
    // a job with a page range keeps one renderer.
    if (renderers < 2 || request.firstPage || request.lastPage) return {request};
    std::vector<renderRequest> shares(2, request);
    for (unsigned index = 0; index < 2; ++index) {
        shares[index].shareIndex = index;
        shares[index].sharedBy = 2;
    }
    return shares;
}

std::vector<std::string> ghostscriptOptions(const renderRequest& request) {
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
    return command;
}

std::string_view sharedPages(const renderRequest& request) {
    if (request.sharedBy < 2) return "all";
    return request.shareIndex == 0 ? "odd" : "even";
}

std::vector<std::string> ghostscriptArguments(const renderRequest& request) {
    std::vector<std::string> command = ghostscriptOptions(request);
    command.push_back("-f");
    command.push_back(request.file);
    return command;
}

}  // namespace corvane
