// The pages a renderer draws, as its command line names them: every
// `step`-th page from `first` to `last` (to the document's end when there
// is no last). "1-/1" is the whole document; "2-/2" its even pages; "3-9/2"
// pages 3, 5, 7 and 9.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct pageSelection {
    unsigned first = 1;
    std::optional<unsigned> last;
    unsigned step = 1;
};

std::string toText(const pageSelection& pages);
// None when the text is not of that form.
std::optional<pageSelection> parsePageSelection(std::string_view text);
// The selected pages of a document of `pageCount` pages, in order.
std::vector<unsigned> selectedPages(const pageSelection& pages, unsigned pageCount);

// A job of at least this many pages is shared by two renderers when the
// machine has two cores: below it, the second renderer's start (about
// 50 ms) costs more than it saves.
constexpr unsigned pagesWorthTwoRenderers = 4;

// What each renderer of a job draws, in the order the job's pages come from
// them (page n of the job from share n % size): the first, third, ... page
// of the job's pages and the others, or all of them in one share.
std::vector<pageSelection> shareOut(const pageSelection& job, unsigned pageCount, unsigned cores);

}  // namespace corvane
