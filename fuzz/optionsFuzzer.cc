// One options string (the whole input) through the CUPS option reading and
// the encoder: the PJL header, the job preamble and page preambles for a few
// page geometries, among them sizes no real page has, with one row each.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "encoder/jobEncoder.h"
#include "filter/optionString.h"
#include "filter/platformOptions.h"

namespace {

class discardingSink final : public corvane::byteSink {
public:
    using byteSink::write;
    void write(std::span<const std::uint8_t>) override {}
    void flush() override {}
};

constexpr corvane::pageGeometry pages[] = {
    {4960, 7016, 3 * 4960}, {0, 0, 0}, {4294967295u, 4000000000u, 4294967293u}, {1, 1, 3}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An argument ends at its first NUL.
    std::string options(reinterpret_cast<const char*>(data), size);
    options.resize(std::string(options.c_str()).size());

    const auto ticket = corvane::ticketFromOptionString(options.c_str(), corvane::adaptPlatformOptions);
    for (const auto& line : corvane::pjlCommands::headerLines(*ticket))
        if (line.empty() || line.back() != '\n') __builtin_trap();  // every PJL line is whole

    discardingSink sink;
    corvane::jobEncoder job(ticket, sink);
    job.beginJob();
    const std::vector<std::uint8_t> row(16, 0x11);
    for (const auto& page : pages) {
        job.beginPage(page);
        if (corvane::rasterData* rows = job.rows()) rows->addRow(row);
        job.endPage();
    }
    job.endJob();
    return 0;
}
