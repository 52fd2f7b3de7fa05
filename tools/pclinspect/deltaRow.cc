#include "pclinspect/deltaRow.h"

namespace pclinspect {

DeltaRowResult decodeDeltaRow(std::span<const std::uint8_t> seed,
                              std::span<const std::uint8_t> data) {
    DeltaRowResult r{std::vector<std::uint8_t>(seed.begin(), seed.end())};
    std::size_t in = 0;
    std::size_t pos = 0;  // may run past the row; writes there are dropped
    while (in < data.size()) {
        const std::uint8_t command = data[in++];
        const std::size_t count = (command >> 5) + 1u;
        std::size_t offset = command & 0x1Fu;
        if (offset == 31) {
            for (;;) {
                if (in >= data.size()) {
                    r.truncated = true;
                    return r;
                }
                const std::uint8_t ext = data[in++];
                offset += ext;
                if (ext != 0xFF) break;
            }
        }
        pos += offset;
        for (std::size_t k = 0; k < count; ++k, ++pos) {
            if (in >= data.size()) {
                r.truncated = true;
                return r;
            }
            const std::uint8_t value = data[in++];
            if (pos < r.row.size())
                r.row[pos] = value;
            else
                r.pastWidth = true;
        }
    }
    return r;
}

}  // namespace pclinspect
