#include "app/documents/childProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <pappl/pappl.h>

extern char** environ;

namespace corvane {
namespace {

// Frees the spawn file actions however the start ends.
class spawnActions {
public:
    spawnActions() { posix_spawn_file_actions_init(&actions); }
    ~spawnActions() { posix_spawn_file_actions_destroy(&actions); }
    spawnActions(const spawnActions&) = delete;
    spawnActions& operator=(const spawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions; }

private:
    posix_spawn_file_actions_t actions;
};

std::string startOf(int fd, std::size_t limit) {
    if (fd < 0) return {};
    std::string text(limit, '\0');
    const ssize_t length = pread(fd, text.data(), limit, 0);
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

}  // namespace

int unnamedTemporaryFile() {
    std::string path = std::string(papplGetTempDir()) + "/corvane-errXXXXXX";
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) unlink(path.c_str());
    return fd;
}

childProcess::childProcess(const std::vector<std::string>& argv, std::span<const int> handedDown) {
    if (argv.empty()) return;
    // Copies above the child's own numbers, so that placing one cannot
    // overwrite another still to be placed.
    std::vector<int> copies;
    struct closer {
        std::vector<int>& fds;
        ~closer() {
            for (const int fd : fds) close(fd);
        }
    } closeCopies{copies};
    for (const int fd : handedDown) {
        const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3 + static_cast<int>(handedDown.size()));
        if (copy < 0) return;
        copies.push_back(copy);
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    errorFd = unnamedTemporaryFile();

    spawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), pipeFds[1], 1);
    if (errorFd >= 0) posix_spawn_file_actions_adddup2(actions.get(), errorFd, 2);
    for (std::size_t i = 0; i < copies.size(); ++i)
        posix_spawn_file_actions_adddup2(actions.get(), copies[i], 3 + static_cast<int>(i));
    // Nothing else of the server (sockets, other jobs' files) reaches the child.
    posix_spawn_file_actions_addclosefrom_np(actions.get(), 3 + static_cast<int>(copies.size()));

    std::vector<char*> arguments;
    for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);

    pid_t child = -1;
    if (posix_spawnp(&child, arguments[0], actions.get(), nullptr, arguments.data(), environ) == 0)
        pid = child;
    close(pipeFds[1]);
    outputFd = pipeFds[0];
}

childProcess::~childProcess() {
    stop();
    if (outputFd >= 0) close(outputFd);
    if (errorFd >= 0) close(errorFd);
}

int childProcess::wait() {
    if (pid <= 0) return exitStatus;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    pid = -1;
    exitStatus = (done > 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return exitStatus;
}

bool childProcess::running() {
    if (pid <= 0) return false;
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == 0) return true;
    pid = -1;
    exitStatus = (done > 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return false;
}

void childProcess::stop() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    wait();
}

std::string childProcess::errorText(std::size_t limit) const { return startOf(errorFd, limit); }

forkedProcess::~forkedProcess() {
    for (const int fd : {outputFd, errorFd, statusFd})
        if (fd >= 0) close(fd);
}

int forkedProcess::wait() {
    if (exitStatus) return *exitStatus;
    int status = -1;
    std::size_t got = 0;
    while (got < sizeof status) {
        const ssize_t now = read(statusFd, reinterpret_cast<char*>(&status) + got, sizeof status - got);
        if (now < 0 && errno == EINTR) continue;
        if (now <= 0) break;
        got += static_cast<std::size_t>(now);
    }
    // No status: the parent ended first, and the copy with it.
    exitStatus = got == sizeof status ? status : -1;
    return *exitStatus;
}

bool forkedProcess::running() {
    if (exitStatus) return false;
    pollfd ready{statusFd, POLLIN, 0};
    if (poll(&ready, 1, 0) == 0) return true;
    wait();
    return false;
}

std::string forkedProcess::errorText(std::size_t limit) const { return startOf(errorFd, limit); }

}  // namespace corvane
