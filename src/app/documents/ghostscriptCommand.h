// Ghostscript's options for a PDF job, whatever device draws the pages:
// 600 dpi, every page fitted to the job's paper, the job's page range, and
// the file last.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct renderRequest {
    std::string file;
    int widthPwg = 0;   // paper size in hundredths of a millimetre
    int lengthPwg = 0;
    bool gray = false;  // 8-bit gray instead of 24-bit RGB
    std::optional<unsigned> firstPage;  // page range, when the job has one
    std::optional<unsigned> lastPage;
    // When two renderers share the document: the first draws its odd
    // pages, the second its even ones.
    unsigned shareIndex = 0;
    unsigned sharedBy = 1;
};

// The requests of renderers sharing the document's pages, in the order the
// pages come from them (page n from request n % size): two with two
// renderers or more, else one, and one when the job has a page range.
std::vector<renderRequest> shareOut(const renderRequest& request, unsigned renderers);
// The request's pages: "all", "odd" or "even".
std::string_view sharedPages(const renderRequest& request);

// Everything but the document: what a renderer is started with before it
// is given the file.
std::vector<std::string> ghostscriptOptions(const renderRequest& request);
// The options and the document, as the command line takes them.
std::vector<std::string> ghostscriptArguments(const renderRequest& request);

}  // namespace corvane
