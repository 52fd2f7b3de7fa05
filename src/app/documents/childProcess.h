// A program run as a child process (no shell) whose standard output the
// parent reads through a pipe. Standard input is /dev/null; standard error
// goes to an unnamed temporary file the parent can read afterwards. The
// child is stopped and reaped when the object goes away. Other descriptors
// of the parent can be handed down as the child's 3, 4, ...
#pragma once

#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

class childProcess {
public:
    // Starts argv[0] (looked up in PATH) with the arguments; check started().
    explicit childProcess(const std::vector<std::string>& argv, std::span<const int> handedDown = {});
    ~childProcess();
    childProcess(const childProcess&) = delete;
    childProcess& operator=(const childProcess&) = delete;

    bool started() const { return pid > 0; }
    // The read end of the child's standard output.
    int output() const { return outputFd; }

    // Waits for the child; its exit status, or -1 when it was killed by a
    // signal or never started.
    int wait();
    // True while the child has not ended (it is not waited for).
    bool running();
    // Ends the child now (a cancelled job).
    void stop();

    // The start of what the child wrote to standard error.
    std::string errorText(std::size_t limit = 2048) const;

private:
    pid_t pid = -1;
    int outputFd = -1;
    int errorFd = -1;
    int exitStatus = -1;
};

}  // namespace corvane
