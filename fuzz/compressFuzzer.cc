// The row compressor against the inspector's independent delta-row decoder:
// for any seed and target row the output decodes to the target, stays within
// the documented worst case and never addresses bytes past the row.
//
// Input: one control byte, then the seed row and the target row (each half
// of the rest). Control bit 0 makes target bytes of value 0 mean "same as
// the seed", which yields the long unchanged stretches that need offset
// extension bytes; bits 1-7 repeat both rows up to 127 more times.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pclinspect/deltaRow.h"
#include "encoder/rasterCompress.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t control = data[0];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    const std::size_t half = rest.size() / 2;
    const std::size_t repeats = 1 + (control >> 1);

    const std::size_t length = half * repeats;
    // One extra byte that differs in each row: the compressor must not look
    // beyond the data length it is given.
    std::vector<std::uint8_t> seed(length + 1, 0x00);
    std::vector<std::uint8_t> target(length + 1, 0xFF);
    for (std::size_t i = 0; i < length; ++i) {
        seed[i] = rest[i % half];
        const std::uint8_t value = rest[half + i % half];
        target[i] = (control & 1) && value == 0 ? seed[i] : value;
    }

    // Exactly the documented bound, on the heap, so that any overrun is seen.
    std::vector<std::uint8_t> output(corvane::rasterCompress::maxCompressedSize(length));
    const std::size_t written =
        corvane::rasterCompress().deltaCompress(seed, target, static_cast<int>(length), output);
    if (written > output.size()) __builtin_trap();

    const std::span<const std::uint8_t> seedRow(seed.data(), length);
    const auto decoded =
        pclinspect::decodeDeltaRow(seedRow, std::span<const std::uint8_t>(output.data(), written));
    if (decoded.pastWidth || decoded.truncated) __builtin_trap();
    if (decoded.row != std::vector<std::uint8_t>(target.begin(), target.begin() + length))
        __builtin_trap();
    return 0;
}
