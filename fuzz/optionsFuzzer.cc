// The option store, the PJL header and the PCL job settings from one options
// string (the whole input), with page preambles for a few page headers,
// among them sizes no real page has.
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

#include <cups/raster.h>

#include "filter/errorLog.h"
#include "filter/fileHandle.h"
#include "filter/supportFunctions.h"
#include "filter/printerStream.h"
#include "encoder/pclCommands.h"
#include "encoder/pjlCommands.h"
#include "encoder/argumentStore.h"
#include "filter/platformOptions.h"

namespace {

struct pageSize {
    unsigned width, height;
};
constexpr pageSize pageSizes[] = {{4960, 7016}, {0, 0}, {4294967295u, 4000000000u}, {1, 1}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An argument ends at its first NUL.
    std::string options(reinterpret_cast<const char*>(data), size);
    options.resize(std::string(options.c_str()).size());

    const auto ticket =
        std::make_shared<const corvane::argumentStore>(options.c_str(), corvane::adaptPlatformOptions);
    for (const auto& line : corvane::pjlCommands::headerLines(*ticket))
        if (line.empty() || line.back() != '\n') __builtin_trap();  // every PJL line is whole

    const corvane::fileHandle printer(open("/dev/null", O_WRONLY | O_CLOEXEC));
    const corvane::errorLog errors(-1);
    corvane::supportFunctions diagnostics("/nonexistent/corvane-fuzz", errors);
    corvane::printerStream output(printer.get(), nullptr);
    corvane::pjlCommands pjl(ticket, diagnostics, output);
    pjl.createPJLCommands();
    corvane::pclCommands pcl(ticket, diagnostics, output, errors);

    cups_page_header_t header{};
    header.cupsWidth = pageSizes[0].width;
    header.cupsHeight = pageSizes[0].height;
    header.cupsBytesPerLine = 3 * header.cupsWidth;
    pcl.createJobSettings(&header);
    for (const auto& page : pageSizes) {
        header.cupsWidth = page.width;
        header.cupsHeight = page.height;
        header.cupsBytesPerLine = 3 * page.width;
        pcl.setPageHeader();
        pcl.endRasterGraphics();
        pcl.setPageEnder();
    }
    pcl.exitPCL();
    pjl.setGenericEndJob();
    return 0;
}
