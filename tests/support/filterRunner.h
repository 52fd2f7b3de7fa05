// Runs the built filter binary as a child process, as the print system would.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace corvane::test {

struct FilterResult {
    int exitStatus = -1;   // exit code, or 128 + signal number
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
};

struct FilterRun {
    std::string options;                         // argument 5
    std::string input;                           // bytes on standard input
    std::optional<std::vector<std::string>> args;  // all arguments after argv[0]; default: 5 standard ones
    std::map<std::string, std::string> env;      // added to a minimal environment (PATH, TMPDIR unset unless given)
    std::string binary;                          // default: the built rastertocorvane
};

// Feeds run.input and returns once the filter has exited.
FilterResult runFilter(const FilterRun& run);
// The filter with the five standard arguments and no options, fed `input`.
FilterResult runFilterOn(std::string input);

// The filter as a child process whose pipes a test drives step by step, for
// cancelling a job mid-page or closing the printer side early. The words of
// CORVANE_FILTER_WRAPPER, when set, come first on the command line, so that
// every end-to-end test can run the filter under a checker, e.g.
//   CORVANE_FILTER_WRAPPER="valgrind -q --leak-check=full --error-exitcode=1"
class filterProcess {
public:
    explicit filterProcess(const FilterRun& run = {});  // run.input is not sent
    ~filterProcess();  // a filter still running is killed
    filterProcess(const filterProcess&) = delete;
    filterProcess& operator=(const filterProcess&) = delete;

    // Writes to the filter's standard input, reading its output meanwhile.
    // Returns how many bytes it took before it closed its end.
    std::size_t send(std::string_view bytes);
    void closeInput();
    // Closes the read end of the filter's standard output: the printer is gone.
    void closeOutput();
    // Waits until the filter has taken every byte sent and sleeps in a read.
    void waitUntilBlockedReading();
    void signal(int number) const;
    // Reads output and errors to their end and reaps the filter; returns the
    // exit code, or 128 + signal number.
    int wait();

    std::string out;  // standard output so far
    std::string err;  // standard error so far

private:
    // Moves what is ready on output and errors into out and err, waiting at
    // most timeoutMs, or until the input pipe has room when untilWritable.
    void collect(int timeoutMs, bool untilWritable = false);

    pid_t child = -1;
    int input = -1;
    int output = -1;
    int errors = -1;
};

// A fresh private directory under the system temp dir, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

}  // namespace corvane::test
