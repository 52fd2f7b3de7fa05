// The diagnostic mode, the argument-count check and the version file.
//
// Diagnostics are switched on by the presence of the marker file cvn_log in
// the temporary directory. Then the filter logs its arguments and options to
// cvn_args, creates an empty cvn_pcl, and keeps a copy of the printer stream
// (without the leading escape run) in cvn_pcl2.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "filter/diagnosticDirectory.h"
#include "filter/errorLog.h"

namespace corvane {

class argumentStore;

class supportFunctions {
public:
    supportFunctions(const std::string& temporaryDirectoryPath, const errorLog& errors);

    // Decides the diagnostic mode and, when on, creates the diagnostic files.
    void checkLogToDisk();

    // True for 6 or 7 arguments including the program name; otherwise writes
    // the version file and the refusal line.
    bool checkArgsCount(int argc);

    // Writes the version file cvn_version.
    void thisVersion();

    // "[ index ] - argument", then an empty line, in the argument log.
    void logParameter(std::string_view argument, int index);

    // The option block and the printer URI block of the argument log.
    void logArguments(int argc, const argumentStore& ticket);

    bool loggingEnabled() const { return logToDisk; }

    // Appends printer bytes to the diagnostic print file, if it is still ours.
    void copyToPrintFile(std::span<const std::uint8_t> bytes) const;

    static constexpr std::string_view versionText = "1.0";
    static constexpr std::string_view refusalLine = "ERROR: Cannot execute Corvane filter.\n";

private:
    struct fileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    using stream = std::unique_ptr<std::FILE, fileCloser>;

    stream createStream(const char* name) const;

    const errorLog& errors;
    diagnosticDirectory directory;
    stream cvn_args;
    stream cvn_in;
    fileHandle cvn_out;
    diagnosticDirectory::identity printFile;
    bool logToDisk = false;
};

}  // namespace corvane
