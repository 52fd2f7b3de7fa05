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

std::vector<std::string> ghostscriptCommand(const renderRequest& request) {
    std::vector<std::string> command = {
        "gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
        // A damaged document stops with an error instead of printing what
        // Ghostscript could recover.
        "-dPDFSTOPONERROR",
        "-sDEVICE=pwgraster", "-r600", "-dcupsBitsPerColor=8",
        // cupsColorSpace 19 is sRGB, 18 is gray (sGray).
        request.gray ? "-dcupsColorSpace=18" : "-dcupsColorSpace=19",
        "-dDEVICEWIDTHPOINTS=" + points(request.widthPwg),
        "-dDEVICEHEIGHTPOINTS=" + points(request.lengthPwg),
        "-dFIXEDMEDIA", "-dPDFFitPage",
    };
    if (request.firstPage) command.push_back("-dFirstPage=" + std::to_string(*request.firstPage));
    if (request.lastPage) command.push_back("-dLastPage=" + std::to_string(*request.lastPage));
    // Ghostscript's own messages (errors included) go to standard error, so
    // that standard output carries nothing but the pages.
    command.push_back("-sstdout=%stderr");
    command.push_back("-sOutputFile=%stdout");
    command.push_back("-f");
    command.push_back(request.file);
    return command;
}

}  // namespace corvane
