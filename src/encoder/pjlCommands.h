// The PJL wrapper of a job: the escape run, the UEL and the PJL header before
// the first PCL byte, and the closing UEL after the last one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "encoder/argumentStore.h"

namespace corvane {

class byteSink;

class pjlCommands {
public:
    pjlCommands(ticketRef ticketData, byteSink& output);

    // Writes the escape run and the header lines.
    void createPJLCommands();
    // Writes the closing UEL.
    void setGenericEndJob();

    // The header lines, without the escape run (pure).
    static std::vector<std::string> headerLines(const argumentStore& ticket);

    static constexpr std::string_view uelSequence = "\x1b%-12345X";
    static constexpr std::size_t escapeRunLength = 5000;

private:
    void createJobSpacing();
    void writeCommands(const std::vector<std::string>& commands);

    ticketRef ticketData;
    byteSink& output;
    std::string uel;
};

}  // namespace corvane
