#include "encoder/pclCommands.h"

#include <algorithm>
#include <charconv>

#include "encoder/byteSink.h"

namespace corvane {

pclCommands::pclCommands(ticketRef ticketData, byteSink& output)
    : ticketData(std::move(ticketData)), output(output) {}

void pclCommands::startBlock(std::size_t capacity) {
    pclBuffer.clear();
    pclBuffer.reserve(capacity);
}

void pclCommands::append(std::string_view text) {
    pclBuffer.insert(pclBuffer.end(), text.begin(), text.end());
}

void pclCommands::appendNumber(long long value) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    append({digits, static_cast<std::size_t>(result.ptr - digits)});
}

void pclCommands::writeCommands() { output.write(pclBuffer); }

void pclCommands::setPageHeader(const pageGeometry& page) {
    startBlock(100);
    ++pageCount;
    if (isCollated) {
        jobCollated();
    } else {
        setCopies();
        jobUnCollated();
    }
    append("\x1b*p0Y");  // vertical cursor to the top of the page
    setConfigImageData(601);
    append("\x1b*r1A");  // start raster graphics at the cursor
    append("\x1b*r");    // raster height (rows), then width (pixels)
    appendNumber(page.height);
    append("t");
    appendNumber(page.width);
    append("S");
    writeCommands();
}

void pclCommands::setConfigImageData(int configuration) {
    append("\x1b*p0P");  // push palette
    append("\x1b*v6W");  // configure image data, six bytes follow
    // 601: device RGB, direct by pixel, 8 bits per primary. The only
    // configuration the filter sends.
    if (configuration == 601) append(std::string_view("\x00\x03\x00\x08\x08\x08", 6));
}

void pclCommands::setPageEnder() {
    startBlock(100);
    append("\x1b*v0O");   // pattern transparency: transparent
    append("\x1b*v0N");   // source transparency: transparent
    append("\x1b*l252O"); // logical operation 252, the default raster operation
    append("\x0c");       // form feed: print and eject the page
    writeCommands();
}

void pclCommands::exitPCL() {
    startBlock(100);
    append("\x1b" "E");  // printer reset
    writeCommands();
}

std::int16_t pclCommands::convertLengthToString(std::int16_t value, std::span<char> buffer) {
    // Widen before negating: the magnitude of -32768 does not fit 16 bits.
    int magnitude = value < 0 ? -static_cast<int>(value) : value;
    std::size_t length = 0;
    do {
        buffer[length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0) buffer[length++] = '-';
    buffer[length] = '\0';
    std::reverse(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
    return static_cast<std::int16_t>(length);
}

void pclCommands::setDeltaCompression() {
    startBlock(10);
    append("\x1b*b3M");  // compression method 3: delta row
    writeCommands();
}

void pclCommands::setNoCompression() {
    startBlock(10);
    append("\x1b*b0M");  // compression method 0: rows sent as they are
    writeCommands();
}

namespace {

// Appends to a buffer that the caller sized for the longest result.
class commandText {
public:
    explicit commandText(std::span<std::uint8_t> buffer) : buffer(buffer) {}
    void append(std::string_view text) {
        std::copy(text.begin(), text.end(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
        size += text.size();
    }
    std::size_t length() const { return size; }

private:
    std::span<std::uint8_t> buffer;
    std::size_t size = 0;
};

}  // namespace

std::size_t pclCommands::formatTransferHeader(int count, std::span<std::uint8_t> buffer) {
    char digits[8];
    const std::int16_t length = convertLengthToString(static_cast<std::int16_t>(count), digits);
    commandText text(buffer);
    text.append("\x1b*b");  // transfer raster data: <count> bytes follow
    text.append({digits, static_cast<std::size_t>(length)});
    text.append("W");
    return text.length();
}

std::size_t pclCommands::formatCursorMove(int row, std::span<std::uint8_t> buffer) {
    char digits[12];
    const auto number = std::to_chars(std::begin(digits), std::end(digits), row);
    commandText text(buffer);
    text.append("\x1b*p0X");  // horizontal cursor to the left edge
    text.append("\x1b*p");    // vertical cursor to the row, in 1/600 inch
    text.append({digits, static_cast<std::size_t>(number.ptr - digits)});
    text.append("Y");
    return text.length();
}

void pclCommands::sizeOfDataToSend(int count) {
    pclBuffer.resize(maxTransferHeader);
    pclBuffer.resize(formatTransferHeader(count, pclBuffer));
    writeCommands();
}

void pclCommands::currentCursorPosition(int row) {
    pclBuffer.resize(maxCursorMove);
    pclBuffer.resize(formatCursorMove(row, pclBuffer));
    writeCommands();
}

void pclCommands::sendDuplicateRow() {
    startBlock(10);
    append("\x1b*b0W");  // zero-byte transfer: repeat the seed row
    writeCommands();
}

void pclCommands::endRasterGraphics() {
    startBlock(100);
    append("\x1b*rC");  // end raster graphics
    writeCommands();
}

}  // namespace corvane
