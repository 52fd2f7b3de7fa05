// Expected printer bytes, built from what each command means, and whole jobs
// through the encoder into a byte sink that keeps them in memory.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/jobEncoder.h"
#include "support/rasterWriter.h"

namespace corvane::test {

using row = std::vector<std::uint8_t>;

// With `lendsRoom`, rows are made in the sink's room (byteSink::reserve) as
// the filter's output stream has them made; the room starts out filled with
// junk, so bytes that were not made there show.
class memorySink final : public byteSink {
public:
    explicit memorySink(bool lendsRoom = false) : lendsRoom(lendsRoom) {}
    using byteSink::write;
    void write(std::span<const std::uint8_t> bytes) override { text.append(bytes.begin(), bytes.end()); }
    void flush() override { flushedAt.push_back(text.size()); }
    std::span<std::uint8_t> reserve(std::size_t size) override {
        if (!lendsRoom) return {};
        room.assign(size, 0xCD);
        return room;
    }
    void commit(std::size_t size) override { text.append(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(size)); }
    std::string text;
    std::vector<std::size_t> flushedAt;  // stream length at each flush

private:
    bool lendsRoom;
    std::vector<std::uint8_t> room;
};

inline std::string esc(std::string_view command) { return std::string(1, '\x1b').append(command); }
inline std::string bytes(std::initializer_list<int> values) { return {values.begin(), values.end()}; }
inline std::string bytes(const row& r) { return {r.begin(), r.end()}; }
inline constexpr std::string_view uel = "\x1b%-12345X";

// Escape run, UEL and PJL header; `tonerLines` sit between resolution and timeout.
inline std::string pjlHeader(std::string_view jobName = "", std::string_view tonerLines = "") {
    return std::string(5000, '\x1b') + std::string(uel) + "@PJL COMMENT Corvane PCL driver\n@PJL JOB NAME = \"" +
           std::string(jobName) + "\"\n@PJL SET PAGEPROTECT = AUTO\n@PJL SET RESOLUTION = 600\n" +
           std::string(tonerLines) + "@PJL SET TIMEOUT = 0\n@PJL ENTER LANGUAGE=PCL\n";
}
// Resolution and unit, the job's settings, top margin.
inline std::string jobPreamble(std::string_view settings = "") {
    return esc("*t600R") + esc("&u600D") + std::string(settings) + esc("&l0E");
}
// Page preamble of a 24-bit RGB raster (height, then width), then delta-row mode.
inline std::string pageStart(unsigned width, unsigned height, std::string_view pageCommands = "") {
    return std::string(pageCommands) + esc("*p0Y") + esc("*p0P") + esc("*v6W") + bytes({0, 3, 0, 8, 8, 8}) +
           esc("*r1A") + esc("*r" + std::to_string(height) + "t" + std::to_string(width) + "S") + esc("*b3M");
}
inline std::string pageEnd() { return esc("*rC") + esc("*v0O") + esc("*v0N") + esc("*l252O") + "\f"; }
inline std::string jobEnd() { return esc("E") + std::string(uel); }

// Row commands.
inline std::string transfer(std::string_view data) {
    return esc("*b" + std::to_string(data.size()) + "W") + std::string(data);
}
inline std::string repeatRow() { return esc("*b0W"); }
inline std::string cursorTo(unsigned rowIndex) { return esc("*p0X") + esc("*p" + std::to_string(rowIndex) + "Y"); }
inline std::string unencoded(std::string_view data) { return esc("*b0M") + transfer(data) + esc("*b3M"); }

// Rows: a pattern row differs from its neighbours at every byte.
inline row whiteRow(std::size_t size) { return row(size, 0xFF); }
inline row patternRow(std::size_t size, std::uint8_t seed) {
    row r(size);
    for (std::size_t i = 0; i < size; ++i) r[i] = static_cast<std::uint8_t>(seed * 31 + i);
    return r;
}

inline std::span<const std::uint8_t> asBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

struct encodedJob {
    std::string stream;
    bool customSizeUnusable = false;  // on any page
    std::vector<std::size_t> flushedAt;
};

// The encoder driven directly, rows pushed one by one as a front end without
// libcups would; rows a page declares but does not hold are missing.
inline encodedJob encodeJob(optionMap options, const std::vector<RasterPage>& pages,
                            ticketText text = ticketText::macRoman) {
    memorySink sink;
    jobEncoder job(std::make_shared<const argumentStore>(std::move(options), text), sink);
    bool unusable = false;
    job.beginJob();
    for (const auto& page : pages) {
        unusable |= job.beginPage({page.width, page.height, 3 * page.width}).customSizeUnusable;
        for (std::size_t y = 0; y < page.height; ++y) {
            if (y < page.rows.size()) job.rows()->addRow(page.rows[y]);
            else job.rows()->missingRow();
        }
        job.endPage();
    }
    job.endJob();
    return {sink.text, unusable, sink.flushedAt};
}

}  // namespace corvane::test
