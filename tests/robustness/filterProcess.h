// The built filter as a child process whose pipes the test drives step by
// step: for cancelling a job mid-page and closing the printer side early.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace corvane::test {

class filterProcess {
public:
    // Starts the filter with the five standard arguments and empty options.
    explicit filterProcess(const std::map<std::string, std::string>& env = {});
    ~filterProcess();  // a filter still running is killed
    filterProcess(const filterProcess&) = delete;
    filterProcess& operator=(const filterProcess&) = delete;

    // Writes the bytes to the filter's standard input, reading its output
    // meanwhile. Returns how many bytes the filter took before it closed its
    // end (all of them when it kept reading).
    std::size_t send(std::string_view bytes);
    void closeInput();
    // Closes the read end of the filter's standard output: the printer is gone.
    void closeOutput();

    // Waits until the filter has taken every byte sent and sleeps in a read.
    void waitUntilBlockedReading();
    void signal(int number) const;

    // Reads standard output and error to their end and reaps the filter;
    // returns the exit code, or 128 + signal number.
    int wait();

    std::string out;  // standard output so far
    std::string err;  // standard error so far

private:
    // Moves whatever is ready on standard output and error into out and err,
    // waiting at most timeoutMs for something to happen.
    void collect(int timeoutMs);

    pid_t child = -1;
    int input = -1;
    int output = -1;
    int errors = -1;
};

}  // namespace corvane::test
