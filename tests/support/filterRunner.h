// Runs the built filter as a child process, as the print system would.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace corvane::test {

struct FilterResult {
    int exitStatus = -1;  // exit code, or 128 + signal number
    std::string out, err;
};

struct FilterRun {
    std::string options;                           // argument 5
    std::string input;                             // standard input
    std::optional<std::vector<std::string>> args;  // every argument after argv[0]; default: 5 standard ones
    std::map<std::string, std::string> env;        // added to an environment of PATH alone
    std::string binary = CORVANE_FILTER_BINARY;
};

FilterResult runFilter(const FilterRun& run);

// The filter with standard input a pipe the test writes, and standard output
// and error kept in memory, or output a pipe whose reader can go away. The
// words of CORVANE_FILTER_WRAPPER, when set, come first on its command line,
// so that every test that runs the filter can run it under valgrind.
class filterProcess {
public:
    explicit filterProcess(const FilterRun& run, bool printerPipe = false);  // run.input is not sent
    ~filterProcess();                                                        // kills a filter still running
    filterProcess(const filterProcess&) = delete;
    filterProcess& operator=(const filterProcess&) = delete;

    // Returns how many bytes the filter took before it closed its end.
    std::size_t send(std::string_view bytes);
    // With printerPipe: reads that many bytes of output, then the printer goes away.
    void closeOutputAfter(std::size_t bytes);
    // Returns once the filter has taken every byte sent and sleeps in a read.
    void waitUntilBlockedReading();
    void signal(int number) const;
    // Closes standard input and waits for the exit.
    FilterResult wait();

private:
    pid_t child = -1;
    int input = -1, output = -1, errors = -1;
};

// A private directory, removed with everything in it.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace corvane::test
