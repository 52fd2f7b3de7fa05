#include "app/documents/ppmStream.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace corvane {
namespace {

// A header is a few dozen bytes: Ghostscript's comment and the numbers.
constexpr std::size_t longestHeader = 1024;

// The header's fields: magic, width, height, largest value; comments run
// from '#' to the end of their line.
std::vector<std::string_view> headerFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < text.size() && fields.size() < 4) {
        const char c = text[at];
        if (c == '#') {
            const auto end = text.find('\n', at);
            if (end == std::string_view::npos) break;
            at = end + 1;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++at;
        } else {
            std::size_t end = at;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) && text[end] != '#')
                ++end;
            if (end == text.size()) break;  // the field may go on in the next bytes
            fields.push_back(text.substr(at, end - at));
            at = end;
        }
    }
    return fields;
}

bool number(std::string_view text, std::uint32_t& value) {
    const auto end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, value);
    return parsed.ec == std::errc{} && parsed.ptr == end;
}

}  // namespace

bool ppmStream::headerComplete() {
    // The header ends with one white-space byte after the fourth field.
    const auto fields = headerFields(header);
    if (fields.size() < 4) return false;
    const std::string_view last = fields[3];
    return last.data() + last.size() < header.data() + header.size();
}

bool ppmStream::readHeader(std::span<const std::uint8_t>& bytes) {
    while (!bytes.empty()) {
        header += static_cast<char>(bytes.front());
        bytes = bytes.subspan(1);
        if (header.size() > longestHeader) return false;
        if (header.size() == 2 && header != "P5" && header != "P6") return false;
        if (!std::isspace(static_cast<unsigned char>(header.back())) || !headerComplete()) continue;
        const auto fields = headerFields(header);
        std::uint32_t width = 0, height = 0, largest = 0;
        const unsigned bytesPerPixel = fields[0] == "P6" ? 3 : fields[0] == "P5" ? 1 : 0;
        if (bytesPerPixel == 0 || !number(fields[1], width) || !number(fields[2], height) ||
            !number(fields[3], largest) || largest != 255 || width == 0 || height == 0 ||
            width > largestSide || height > largestSide)
            return false;
        header.clear();
        rowBytes = std::size_t{width} * bytesPerPixel;
        rowsLeft = height;
        state = reading::rows;
        pages.page(width, height, bytesPerPixel);
        return true;
    }
    return true;
}

void ppmStream::takeRow(const std::uint8_t* row) {
    pages.row(row);
    if (--rowsLeft == 0) {
        state = reading::header;
        pages.pageEnd();
    }
}

bool ppmStream::feed(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        if (state == reading::failed) return false;
        if (state == reading::header) {
            if (!readHeader(bytes)) state = reading::failed;
            continue;
        }
        if (partial.empty() && bytes.size() >= rowBytes) {
            takeRow(bytes.data());
            bytes = bytes.subspan(rowBytes);
            continue;
        }
        const std::size_t taken = std::min(bytes.size(), rowBytes - partial.size());
        partial.insert(partial.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        bytes = bytes.subspan(taken);
        if (partial.size() == rowBytes) {
            takeRow(partial.data());
            partial.clear();
        }
    }
    return state != reading::failed;
}

}  // namespace corvane
