// Runs the built filter binary as a child process, as the print system would.
#pragma once

#include <map>
#include <optional>
#include <string>
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

FilterResult runFilter(const FilterRun& run);

// In a forked child: replaces the process with the filter. The words of the
// environment variable CORVANE_FILTER_WRAPPER, when set, come first, so that
// every end-to-end test can run the filter under a checker, e.g.
//   CORVANE_FILTER_WRAPPER="valgrind -q --leak-check=full --error-exitcode=1"
// `args` are the arguments after argv[0]; `env` is the whole environment.
[[noreturn]] void execFilter(const std::string& binary, const std::vector<std::string>& args,
                             const std::vector<std::string>& env);
// The filter's environment: a minimal PATH plus the given variables.
std::vector<std::string> filterEnvironment(const std::map<std::string, std::string>& extra);

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
