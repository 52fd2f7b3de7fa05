#include "support/filterRunner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::test {
namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

filterProcess::filterProcess(const FilterRun& run) {
    std::vector<std::string> command;
    if (const char* wrapper = std::getenv("CORVANE_FILTER_WRAPPER")) {
        std::istringstream words(wrapper);
        for (std::string word; words >> word;) command.push_back(word);
    }
    const std::string binary = run.binary.empty() ? CORVANE_FILTER_BINARY : run.binary;
    // Unwrapped, the filter sees the name the print system would give it.
    const bool wrapped = !command.empty();
    command.push_back(wrapped ? binary : "rastertocorvane");
    const auto args = run.args ? *run.args : std::vector<std::string>{"1", "user", "title", "1", run.options};
    command.insert(command.end(), args.begin(), args.end());
    std::vector<std::string> env = {"PATH=/usr/bin:/bin"};
    for (const auto& [key, value] : run.env) env.push_back(key + "=" + value);
    const auto argv = pointers(command), envp = pointers(env);

    int pipes[3][2];  // standard input, output, error
    for (auto& p : pipes)
        if (pipe(p)) throw std::runtime_error("pipe failed");
    child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        for (int fd = 0; fd < 3; ++fd) dup2(pipes[fd][fd == 0 ? 0 : 1], fd);
        for (auto& p : pipes) ::close(p[0]), ::close(p[1]);
        if (wrapped)
            execvpe(argv[0], argv.data(), envp.data());  // the wrapper is looked up on PATH
        else
            execve(binary.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    input = pipes[0][1];
    output = pipes[1][0];
    errors = pipes[2][0];
    for (int fd : {pipes[0][0], pipes[1][1], pipes[2][1]}) ::close(fd);
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

void filterProcess::collect(int timeoutMs, bool untilWritable) {
    pollfd fds[3];
    int count = 0;
    if (output >= 0) fds[count++] = {output, POLLIN, 0};
    if (errors >= 0) fds[count++] = {errors, POLLIN, 0};
    if (untilWritable && input >= 0) fds[count++] = {input, POLLOUT, 0};
    if (count == 0 || ::poll(fds, count, timeoutMs) <= 0) return;
    for (int i = 0; i < count; ++i) {
        if (!fds[i].revents || fds[i].fd == input) continue;
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
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else if (n < 0 && (errno == EAGAIN || errno == EINTR))
            collect(-1, true);  // the pipe is full: let the filter's output move on
        else
            break;  // EPIPE: the filter closed its standard input
    }
    return sent;
}

void filterProcess::closeInput() { closeFd(input); }

void filterProcess::closeOutput() { closeFd(output); }

void filterProcess::waitUntilBlockedReading() {
    for (;; collect(10)) {
        int pending = 0;
        if (input >= 0) ::ioctl(input, FIONREAD, &pending);
        // The kernel function the filter sleeps in: "pipe_read", or "anon_pipe_read" on newer kernels.
        if (pending == 0 && readFile("/proc/" + std::to_string(child) + "/wchan").ends_with("pipe_read")) return;
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

FilterResult runFilter(const FilterRun& run) {
    filterProcess filter(run);
    filter.send(run.input);
    filter.closeInput();
    const int status = filter.wait();
    return {status, std::move(filter.out), std::move(filter.err)};
}

FilterResult runFilterOn(std::string input) {
    FilterRun run;
    run.input = std::move(input);
    return runFilter(run);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

}  // namespace corvane::test
