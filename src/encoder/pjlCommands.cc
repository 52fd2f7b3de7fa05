#include "encoder/pjlCommands.h"

#include <array>
#include <cstdint>

#include "encoder/byteSink.h"

namespace corvane {
namespace {

// Toner darkness 6 to 10 are the normal densities 1 to 5; any other value is
// an economy-mode density passed through as given.
struct normalDensity {
    std::string_view value;
    std::string_view densityLine;
};
constexpr std::array<normalDensity, 5> normalDensities = {{
    {"6", "@PJL SET DENSITY = 1\n"},
    {"7", "@PJL SET DENSITY = 2\n"},
    {"8", "@PJL SET DENSITY = 3\n"},
    {"9", "@PJL SET DENSITY = 4\n"},
    {"10", "@PJL SET DENSITY = 5\n"},
}};

// The job name as the PJL string carries it: a control character (below
// U+0020, or U+007F) would end the line and a double quote the string, so
// that the rest of the name became printer commands. They go out as a space
// and an apostrophe; every other byte, UTF-8 included, is kept.
std::string pjlJobName(std::string name) {
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = ' ';
        else if (c == '"') c = '\'';
    }
    return name;
}

void addTonerLines(std::vector<std::string>& lines, const std::string* darkness) {
    if (!darkness || *darkness == "PrinterS") return;
    for (const auto& row : normalDensities) {
        if (*darkness == row.value) {
            lines.emplace_back(row.densityLine);
            lines.emplace_back("@PJL SET ECONOMODE = OFF\n");
            return;
        }
    }
    lines.push_back("@PJL SET DENSITY = " + *darkness + "\n");
    lines.emplace_back("@PJL SET ECONOMODE = ON\n");
}

}  // namespace

pjlCommands::pjlCommands(ticketRef ticketData, byteSink& output)
    : ticketData(std::move(ticketData)), output(output) {}

std::vector<std::string> pjlCommands::headerLines(const argumentStore& ticket) {
    std::vector<std::string> lines;
    lines.reserve(20);
    lines.push_back(std::string(uelSequence) + "@PJL COMMENT Corvane PCL driver\n");
    // The name in UTF-8, as the print dialogue shows it.
    const std::string* jobName = ticket.getValue("com.apple.print.JobInfo.PMJobName");
    lines.push_back("@PJL JOB NAME = \"" + (jobName ? pjlJobName(ticket.utf8Text(*jobName)) : std::string()) +
                    "\"\n");
    lines.emplace_back("@PJL SET PAGEPROTECT = AUTO\n");
    lines.emplace_back("@PJL SET RESOLUTION = 600\n");
    addTonerLines(lines, ticket.getValue("TonerDarkness"));
    lines.emplace_back("@PJL SET TIMEOUT = 0\n");
    lines.emplace_back("@PJL ENTER LANGUAGE=PCL\n");
    return lines;
}

void pjlCommands::createPJLCommands() {
    uel = uelSequence;
    const std::vector<std::string> lines = headerLines(*ticketData);
    createJobSpacing();
    writeCommands(lines);
    output.flush();
}

void pjlCommands::createJobSpacing() {
    const std::vector<std::uint8_t> escapes(escapeRunLength, 0x1B);
    output.writePrinterOnly(escapes);
}

void pjlCommands::writeCommands(const std::vector<std::string>& commands) {
    for (const auto& command : commands) output.write(command);
}

void pjlCommands::setGenericEndJob() {
    output.write(uel);
    output.flush();
}

}  // namespace corvane
