#include "app/documents/pageSelection.h"

#include <charconv>

namespace corvane {
namespace {

// A page number (1 or more) at the start of `text`, which then starts after it.
std::optional<unsigned> takeNumber(std::string_view& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || value == 0) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

}  // namespace

std::string toText(const pageSelection& pages) {
    return std::to_string(pages.first) + "-" + (pages.last ? std::to_string(*pages.last) : "") + "/" +
           std::to_string(pages.step);
}

std::optional<pageSelection> parsePageSelection(std::string_view text) {
    pageSelection pages;
    const auto first = takeNumber(text);
    if (!first || !text.starts_with('-')) return std::nullopt;
    pages.first = *first;
    text.remove_prefix(1);
    if (!text.starts_with('/')) {
        pages.last = takeNumber(text);
        if (!pages.last) return std::nullopt;
    }
    if (!text.starts_with('/')) return std::nullopt;
    text.remove_prefix(1);
    const auto step = takeNumber(text);
    if (!step || !text.empty()) return std::nullopt;
    pages.step = *step;
    return pages;
}

std::vector<unsigned> selectedPages(const pageSelection& pages, unsigned pageCount) {
    const unsigned last = pages.last && *pages.last < pageCount ? *pages.last : pageCount;
    std::vector<unsigned> selected;
    for (unsigned page = pages.first; page <= last; page += pages.step) {
        selected.push_back(page);
        if (last - page < pages.step) break;
    }
    return selected;
}

std::vector<pageSelection> shareOut(const pageSelection& job, unsigned pageCount, unsigned cores) {
    if (cores < 2 || selectedPages(job, pageCount).size() < pagesWorthTwoRenderers) return {job};
    pageSelection second = job;
    second.first = job.first + job.step;
    second.step = job.step * 2;
    pageSelection first = job;
    first.step = job.step * 2;
    return {first, second};
}

}  // namespace corvane
