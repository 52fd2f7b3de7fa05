// A program run as a child process (no shell) whose standard output the
// parent reads through a pipe. Standard input is /dev/null; standard error
// goes to an unnamed temporary file the parent can read afterwards. The
// child is stopped and reaped when the object goes away. Other descriptors
// of the parent can be handed down as the child's 3, 4, ...
#pragma once

#include <optional>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvane {

// A program the server reads: its output, its end and its messages.
class programRun {
public:
    virtual ~programRun() = default;
    virtual bool started() const = 0;
    // The read end of the program's standard output.
    virtual int output() const = 0;
    // Waits for the program's end; its exit status, or -1 when it was
    // killed by a signal or never started.
    virtual int wait() = 0;
    // True while the program has not ended (it is not waited for).
    virtual bool running() = 0;
    // The start of what the program wrote to standard error.
    virtual std::string errorText(std::size_t limit = 2048) const = 0;
};

class childProcess final : public programRun {
public:
    // Starts argv[0] (looked up in PATH) with the arguments; check started().
    explicit childProcess(const std::vector<std::string>& argv, std::span<const int> handedDown = {});
    ~childProcess();
    childProcess(const childProcess&) = delete;
    childProcess& operator=(const childProcess&) = delete;

    bool started() const override { return pid > 0; }
    int output() const override { return outputFd; }
    int wait() override;
    bool running() override;
    // Ends the child now (a cancelled job).
    void stop();
    std::string errorText(std::size_t limit = 2048) const override;

private:
    pid_t pid = -1;
    int outputFd = -1;
    int errorFd = -1;
    int exitStatus = -1;
};

// A copy of a child process that the child made (fork) and reaps itself:
// the child writes the copy's exit status into `status` (a native int) once
// the copy has ended, and closes it. The copy ends with the child.
class forkedProcess final : public programRun {
public:
    // Takes the descriptors: the copy's standard output and standard error
    // as the server has them, and the status pipe's read end.
    forkedProcess(int outputFd, int errorFd, int statusFd)
        : outputFd(outputFd), errorFd(errorFd), statusFd(statusFd) {}
    ~forkedProcess();
    forkedProcess(const forkedProcess&) = delete;
    forkedProcess& operator=(const forkedProcess&) = delete;

    bool started() const override { return outputFd >= 0 && statusFd >= 0; }
    int output() const override { return outputFd; }
    int wait() override;
    bool running() override;
    std::string errorText(std::size_t limit = 2048) const override;

private:
    int outputFd, errorFd, statusFd;
    std::optional<int> exitStatus;
};

// An unnamed file in the temporary folder for a program's standard error:
// gone when its descriptor closes.
int unnamedTemporaryFile();

}  // namespace corvane
