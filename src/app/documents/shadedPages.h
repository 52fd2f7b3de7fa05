// Which pages of a PDF paint smooth shadings (gradients and meshes): a
// shading in the page's resources, a shading pattern, or either inside the
// form XObjects, tiling patterns and soft masks the page uses. Ghostscript
// fills a shading very differently depending on the device, so the
// renderer draws these pages on another device than the rest (see
// corvane-render).
#pragma once

#include <string>
#include <vector>

namespace corvane {

// One flag per page, in page order; none when the file cannot be read.
std::vector<bool> shadedPages(const std::string& pdfFile);

}  // namespace corvane
