// Ghostscript's ppmraw (RGB) or pgmraw (gray) output, page after page, read
// as Ghostscript writes it: each page's header, then its rows. Ghostscript
// writes a row at a time straight from its band buffer, so a row that
// arrives whole is handed on where it lies; only a row split across writes
// is gathered first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvane {

class ppmStream {
public:
    class listener {
    public:
        virtual ~listener() = default;
        // A page of `width` pixels of `bytesPerPixel` bytes and `height` rows.
        virtual void page(std::uint32_t width, std::uint32_t height, unsigned bytesPerPixel) = 0;
        virtual void row(const std::uint8_t* pixels) = 0;
        // After the page's last row.
        virtual void pageEnd() = 0;
    };

    // Pages larger than this many pixels a side are refused.
    static constexpr std::uint32_t largestSide = 1u << 18;

    explicit ppmStream(listener& pages) : pages(pages) {}

    // False once the bytes are not such a stream (a bad header: no 8-bit
    // P5 or P6, a side of 0 or too large); nothing more is read then.
    bool feed(std::span<const std::uint8_t> bytes);
    // Between pages: nothing of a page is missing.
    bool betweenPages() const { return state == reading::header && header.empty(); }

private:
    enum class reading { header, rows, failed };
    // Takes header bytes up to the end of the header; false on a bad one.
    bool readHeader(std::span<const std::uint8_t>& bytes);
    bool headerComplete();
    void takeRow(const std::uint8_t* row);

    listener& pages;
    reading state = reading::header;
    std::string header;
    std::size_t rowBytes = 0;
    std::uint32_t rowsLeft = 0;
    std::vector<std::uint8_t> partial;
};

}  // namespace corvane
