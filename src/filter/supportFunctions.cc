#include "filter/supportFunctions.h"

#include <cstdlib>
#include <unistd.h>

#include "encoder/argumentStore.h"
#include "encoder/macRoman.h"

namespace corvane {
namespace {

constexpr const char* markerName = "cvn_log";
constexpr const char* argumentLogName = "cvn_args";
constexpr const char* inputCopyName = "cvn_pcl";
constexpr const char* printCopyName = "cvn_pcl2";
constexpr const char* versionName = "cvn_version";
constexpr const char* separatorLine = "=====================================================\n";

}  // namespace

supportFunctions::supportFunctions(const std::string& temporaryDirectoryPath, const errorLog& errors)
    : errors(errors), directory(temporaryDirectoryPath) {}

supportFunctions::stream supportFunctions::createStream(const char* name) const {
    fileHandle file = directory.createFresh(name);
    if (!file.isOpen()) return nullptr;
    stream opened(::fdopen(file.get(), "w+"));
    if (opened) (void)file.release();
    return opened;
}

void supportFunctions::checkLogToDisk() {
    logToDisk = false;
    if (!directory.exists(markerName)) return;
    logToDisk = true;

    cvn_args = createStream(argumentLogName);
    if (!cvn_args) errors.write("ERROR: Cannot write to a file the supplied arguments.\n");
    cvn_in = createStream(inputCopyName);
    if (!cvn_in) errors.write("ERROR: Cannot write to a file the data to process.\n");
    cvn_out = directory.createFresh(printCopyName);
    if (!cvn_out.isOpen()) errors.write("ERROR: Cannot write to a file the data to print.\n");
    printFile = diagnosticDirectory::identify(cvn_out);
}

bool supportFunctions::checkArgsCount(int argc) {
    if (static_cast<unsigned>(argc - 6) <= 1) return true;
    thisVersion();
    errors.write(refusalLine);
    return false;
}

void supportFunctions::thisVersion() {
    const stream version = createStream(versionName);
    if (!version) {
        errors.write("ERROR: Cannot write to a file the driver version.\n");
        return;
    }
    std::fprintf(version.get(), "Version = %.*s\n", static_cast<int>(versionText.size()),
                 versionText.data());
}

void supportFunctions::logParameter(std::string_view argument, int index) {
    if (!cvn_args) return;
    std::fprintf(cvn_args.get(), "[ %d ] - %.*s\n\n", index, static_cast<int>(argument.size()),
                 argument.data());
}

void supportFunctions::logArguments(int /*argc*/, const argumentStore& ticket) {
    if (!cvn_args) return;
    std::FILE* log = cvn_args.get();
    std::fputs(separatorLine, log);
    for (const auto& [key, value] : ticket.keyEnumerator()) {
        // Options are Mac OS Roman text; the log is UTF-8 like the job name.
        std::fprintf(log, "%s\n\t%s\n\n", macRomanToUtf8(key).c_str(),
                     macRomanToUtf8(value).c_str());
        std::fflush(log);
    }
    // The URI is logged whole, however long; an unset variable logs as empty.
    const char* deviceUri = std::getenv("DEVICE_URI");
    std::fputs(separatorLine, log);
    std::fprintf(log, "    URI for printer = %s\n", deviceUri ? deviceUri : "");
    std::fputs(separatorLine, log);
    std::fflush(log);
}

void supportFunctions::copyToPrintFile(std::span<const std::uint8_t> bytes) const {
    if (logToDisk) directory.append(printCopyName, printFile, bytes);
}

}  // namespace corvane
