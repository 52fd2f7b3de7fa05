#include "robustness/filterProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/filterRunner.h"

namespace corvane::test {
namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// The kernel function the process sleeps in ("pipe_read", or
// "anon_pipe_read" on newer kernels, while it waits for input), "0" when it
// is running.
std::string sleepingIn(pid_t pid) {
    std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
    return std::string(std::istreambuf_iterator<char>(wchan), {});
}

}  // namespace

filterProcess::filterProcess(const std::map<std::string, std::string>& env) {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) throw std::runtime_error("pipe failed");
    child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
        execFilter(CORVANE_FILTER_BINARY, {"1", "user", "title", "1", ""}, filterEnvironment(env));
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    input = in[1];
    output = out[0];
    errors = err[0];
    for (int fd : {input, output, errors}) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::signal(SIGPIPE, SIG_IGN);
}

filterProcess::~filterProcess() {
    if (child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    for (int* fd : {&input, &output, &errors}) closeFd(*fd);
}

void filterProcess::collect(int timeoutMs) {
    pollfd fds[2];
    int count = 0;
    if (output >= 0) fds[count++] = {output, POLLIN, 0};
    if (errors >= 0) fds[count++] = {errors, POLLIN, 0};
    if (count == 0 || ::poll(fds, count, timeoutMs) <= 0) return;
    for (int i = 0; i < count; ++i) {
        if (!fds[i].revents) continue;
        char chunk[65536];
        const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
        if (n > 0) {
            (fds[i].fd == output ? out : err).append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EAGAIN) {
            closeFd(fds[i].fd == output ? output : errors);
        }
    }
}

std::size_t filterProcess::send(std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && input >= 0) {
        const ssize_t n = ::write(input, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            // The pipe is full: let the filter's output move on, then retry.
            pollfd writable{input, POLLOUT, 0};
            collect(0);
            ::poll(&writable, 1, 10);
        } else {
            break;  // EPIPE: the filter closed its standard input
        }
    }
    return sent;
}

void filterProcess::closeInput() { closeFd(input); }

void filterProcess::closeOutput() { closeFd(output); }

void filterProcess::waitUntilBlockedReading() {
    for (;;) {
        collect(10);
        int pending = 0;
        if (input >= 0) ::ioctl(input, FIONREAD, &pending);
        if (pending == 0 && sleepingIn(child).ends_with("pipe_read")) return;
    }
}

void filterProcess::signal(int number) const { ::kill(child, number); }

int filterProcess::wait() {
    while (output >= 0 || errors >= 0) collect(-1);
    int status = 0;
    ::waitpid(child, &status, 0);
    child = -1;
    closeInput();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace corvane::test
