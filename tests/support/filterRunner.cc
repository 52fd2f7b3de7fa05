#include "support/filterRunner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::test {
namespace {

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

FilterResult runFilter(const FilterRun& run) {
    const std::vector<std::string> args =
        run.args ? *run.args : std::vector<std::string>{"1", "user", "title", "1", run.options};
    const std::string binary = run.binary.empty() ? CORVANE_FILTER_BINARY : run.binary;

    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        execFilter(binary, args, filterEnvironment(run.env));
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    setNonBlocking(in[1]);
    setNonBlocking(out[0]);
    setNonBlocking(err[0]);
    std::signal(SIGPIPE, SIG_IGN);

    FilterResult result;
    std::size_t sent = 0;
    bool inOpen = true, outOpen = true, errOpen = true;
    if (run.input.empty()) {
        close(in[1]);
        inOpen = false;
    }
    while (outOpen || errOpen) {
        pollfd fds[3];
        int count = 0;
        if (inOpen) fds[count++] = {in[1], POLLOUT, 0};
        if (outOpen) fds[count++] = {out[0], POLLIN, 0};
        if (errOpen) fds[count++] = {err[0], POLLIN, 0};
        if (poll(fds, count, -1) < 0 && errno != EINTR) break;
        for (int i = 0; i < count; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == in[1]) {
                const ssize_t n = write(in[1], run.input.data() + sent, run.input.size() - sent);
                if (n > 0) sent += static_cast<std::size_t>(n);
                if (n < 0 && errno != EAGAIN) sent = run.input.size();
                if (sent == run.input.size()) {
                    close(in[1]);
                    inOpen = false;
                }
            } else {
                char chunk[65536];
                const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
                if (n > 0) {
                    (fds[i].fd == out[0] ? result.out : result.err).append(chunk, n);
                } else if (n == 0 || errno != EAGAIN) {
                    close(fds[i].fd);
                    (fds[i].fd == out[0] ? outOpen : errOpen) = false;
                }
            }
        }
    }
    if (inOpen) close(in[1]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::vector<std::string> filterEnvironment(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> env = {"PATH=/usr/bin:/bin"};
    for (const auto& [key, value] : extra) env.push_back(key + "=" + value);
    return env;
}

void execFilter(const std::string& binary, const std::vector<std::string>& args,
                const std::vector<std::string>& env) {
    std::vector<std::string> command;
    if (const char* wrapper = std::getenv("CORVANE_FILTER_WRAPPER")) {
        std::istringstream words(wrapper);
        for (std::string word; words >> word;) command.push_back(word);
    }
    // Unwrapped, the filter sees the name the print system would give it.
    const bool wrapped = !command.empty();
    command.push_back(wrapped ? binary : "rastertocorvane");
    command.insert(command.end(), args.begin(), args.end());

    std::vector<std::string> envStrings = env;
    std::vector<char*> envp;
    for (auto& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (auto& entry : command) argv.push_back(entry.data());
    argv.push_back(nullptr);
    if (wrapped)
        execvpe(argv[0], argv.data(), envp.data());  // the wrapper is looked up on PATH
    else
        execve(binary.c_str(), argv.data(), envp.data());
    _exit(127);
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
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

}  // namespace corvane::test
