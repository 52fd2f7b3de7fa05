#include "support/filterRunner.h"

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::test {
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

std::string contents(int fd) {
    std::string bytes(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) throw std::runtime_error("pread");
    return bytes;
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

filterProcess::filterProcess(const FilterRun& run, bool printerPipe) {
    std::vector<std::string> command;
    if (const char* wrapper = std::getenv("CORVANE_FILTER_WRAPPER")) {
        std::istringstream words(wrapper);
        for (std::string word; words >> word;) command.push_back(word);
    }
    const bool wrapped = !command.empty();
    // Unwrapped, the filter sees the name the print system gives it.
    command.push_back(wrapped ? run.binary : "rastertocorvane");
    const auto args = run.args.value_or(std::vector<std::string>{"1", "user", "title", "1", run.options});
    command.insert(command.end(), args.begin(), args.end());
    std::vector<std::string> env = {"PATH=/usr/bin:/bin"};
    for (const auto& [key, value] : run.env) env.push_back(key + "=" + value);
    const auto argv = pointers(command), envp = pointers(env);

    // Close-on-exec everywhere: the child keeps only the three it is given.
    int in[2], out[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) || (printerPipe ? pipe2(out, O_CLOEXEC) : (out[1] = memfd_create("out", MFD_CLOEXEC)) < 0))
        throw std::runtime_error("pipe failed");
    errors = memfd_create("err", MFD_CLOEXEC);
    child = fork();
    if (child == 0) {
        dup2(in[0], 0), dup2(out[1], 1), dup2(errors, 2);
        if (wrapped) execvpe(argv[0], argv.data(), envp.data());  // the wrapper is looked up on PATH
        else execve(run.binary.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    input = in[1];
    output = printerPipe ? out[0] : out[1];
    ::close(in[0]);
    if (printerPipe) ::close(out[1]);
    std::signal(SIGPIPE, SIG_IGN);
}

filterProcess::~filterProcess() {
    if (child > 0) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
    for (int* fd : {&input, &output, &errors}) closeFd(*fd);
}

std::size_t filterProcess::send(std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(input, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0) break;  // EPIPE: the filter is gone
        sent += static_cast<std::size_t>(n);
    }
    return sent;
}

void filterProcess::closeOutputAfter(std::size_t bytes) {
    std::string chunk(bytes, '\0');
    for (ssize_t n = 1; bytes > 0 && n > 0; bytes -= static_cast<std::size_t>(n))
        if ((n = ::read(output, chunk.data(), bytes)) <= 0) break;
    closeFd(output);
}

void filterProcess::waitUntilBlockedReading() {
    for (int pending = 1;; usleep(10'000)) {
        ::ioctl(input, FIONREAD, &pending);
        // The kernel function the filter sleeps in: pipe_read (anon_pipe_read on newer
        // kernels), or pipe_wait_readable while it splices from the pipe.
        const std::string sleepingIn = readFile("/proc/" + std::to_string(child) + "/wchan");
        if (pending == 0 && (sleepingIn.ends_with("pipe_read") || sleepingIn == "pipe_wait_readable")) return;
    }
}

void filterProcess::signal(int number) const { ::kill(child, number); }

FilterResult filterProcess::wait() {
    closeFd(input);
    int status = 0;
    ::waitpid(child, &status, 0);
    child = -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), output >= 0 ? contents(output) : "",
            contents(errors)};
}

FilterResult runFilter(const FilterRun& run) {
    filterProcess filter(run);
    filter.send(run.input);
    return filter.wait();
}

TempDir::TempDir() : path((std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string()) {
    if (!mkdtemp(path.data())) throw std::runtime_error("mkdtemp failed");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace corvane::test
