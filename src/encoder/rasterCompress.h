// Delta-row compression (PCL compression method 3) of one raster row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvane {

// Encodes a row as its differences from the seed row. Each command is one
// byte (bits 7-5: replacement count - 1, bits 4-0: offset, 31 = extension
// bytes follow), the offset extension bytes (0xFF continues, a byte below
// 0xFF ends), then 1 to 8 replacement bytes. Offsets count unchanged bytes
// since the end of the previous command.
//
// Contract: seedData and targetData hold at least dataLength bytes; the
// output needs at most maxCompressedSize(dataLength) bytes, which is below
// 2 * dataLength for every dataLength > 0. Pure: no I/O, no allocation.
class rasterCompress {
public:
    // Uses 64-byte vector instructions where the processor has them.
    rasterCompress();
    // With false, only the step-by-step path, which gives the same bytes
    // (for comparing the two).
    explicit rasterCompress(bool vectorBlocks);

    static constexpr std::size_t maxCompressedSize(std::size_t dataLength) {
        return dataLength + (dataLength + 7) / 8;
    }

    // Writes the commands for the first dataLength bytes into dataBuffer and
    // returns their byte count (0 when dataLength <= 0).
    std::size_t deltaCompress(std::span<const std::uint8_t> seedData,
                              std::span<const std::uint8_t> targetData, int dataLength,
                              std::span<std::uint8_t> dataBuffer) const;

private:
    [[maybe_unused]] bool vectorBlocks;
};

}  // namespace corvane
