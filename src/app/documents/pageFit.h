// Fits a rendered row to the job's page width: the rasterizer's page can be
// a pixel wider or narrower than the driver's (A4 at 600 dpi: 4958 against
// 4960 pixels), so rows are cut or padded with white.
#pragma once

#include <cstdint>
#include <span>

namespace corvane {

// Copies what fits of `source` into `target` and fills the rest of `target`
// with white (0xFF in sRGB and gray).
void fitRow(std::span<const std::uint8_t> source, std::span<std::uint8_t> target);

// Expands a gray row to RGB, which is what the printer is always told:
// every byte becomes three equal bytes.
void expandGrayRow(std::span<const std::uint8_t> gray, std::span<std::uint8_t> rgb);

}  // namespace corvane
