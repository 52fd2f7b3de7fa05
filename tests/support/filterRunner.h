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
