// One job's way from PAPPL's rows to the printer: the encoder for the job's
// ticket, writing to the printer device, fed page by page. Gray rows are
// expanded to RGB first, since the printer is always told 24-bit RGB.
#pragma once

#include <cstdint>
#include <span>

#include "app/deviceSink.h"
#include "app/rasterLayout.h"
#include "encoder/jobEncoder.h"

namespace corvane {

class rasterJob {
public:
    rasterJob(ticketRef ticket, pappl_device_t* device);
    rasterJob(const rasterJob&) = delete;
    rasterJob& operator=(const rasterJob&) = delete;

    void begin();
    void beginPage(const acceptedRaster& page);
    // One row of the page, in the page's own layout; rows beyond the page's
    // height are ignored.
    void addRow(std::span<const std::uint8_t> row);
    void endPage();
    void end();

    // False once the printer stopped taking bytes.
    bool printerReachable() const { return !sink.failed(); }

private:
    deviceSink sink;
    jobEncoder encoder;
    acceptedRaster page{};
};

// Expands a gray row to RGB: every byte becomes three equal bytes.
void expandGrayRow(std::span<const std::uint8_t> gray, std::span<std::uint8_t> rgb);

}  // namespace corvane
