// Decoder for PCL compression method 3 (delta row).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pclinspect {

struct DeltaRowResult {
    std::vector<std::uint8_t> row;  // same length as the seed row
    bool pastWidth = false;   // a command addressed bytes beyond the row; they were dropped
    bool truncated = false;   // the data ended inside a command (offset extension or replacement bytes)
};

// Applies delta-row `data` to a copy of `seed`. Each command is a byte
// (count - 1) << 5 | offset, offset 31 followed by extension bytes (each 0xFF
// adds 255 and continues, the first byte below 0xFF adds itself and ends),
// then `count` replacement bytes. The offset is relative to the end of the
// previous command's replacement bytes. Empty data returns the seed: that is
// how a row is repeated. Never reads or writes outside the spans.
DeltaRowResult decodeDeltaRow(std::span<const std::uint8_t> seed,
                              std::span<const std::uint8_t> data);

}  // namespace pclinspect
