#include "app/documents/pageRenderer.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <vector>

namespace corvane {
namespace {

bool executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

// corvane-render beside the app (the build folder), or in the package's
// program folder next to the app's binary folder; else wherever PATH finds it.
std::string rendererProgram() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        const std::string exe(self, static_cast<std::size_t>(length));
        const std::string folder = exe.substr(0, exe.rfind('/'));
        for (const std::string& candidate :
             {folder + "/corvane-render", folder + "/../libexec/rastertocorvane/corvane-render"})
            if (executable(candidate)) return candidate;
    }
    return "corvane-render";
}

}  // namespace

std::vector<std::string> pageRenderer::commandFor(const renderRequest& request) {
    std::vector<std::string> command = {rendererProgram(), request.gray ? "gray" : "rgb"};
    for (auto& argument : ghostscriptOptions(request)) command.push_back(std::move(argument));
    return command;
}

pageRenderer::rendererEnds::~rendererEnds() {
    for (const int fd : fds)
        if (fd >= 0) close(fd);
}

bool pageRenderer::makeChannels(rendererEnds& ends) {
    const int memoryFd = memfd_create("corvane-bands", MFD_CLOEXEC);
    ends.fds.push_back(memoryFd);
    if (memoryFd < 0 || ftruncate(memoryFd, bands::memoryBytes) != 0) return false;
    // Sockets, not pipes: a renderer that has died makes the give-back or
    // the document's path fail instead of raising SIGPIPE in the server.
    int releaseEnds[2] = {-1, -1};
    int documentEnds[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, releaseEnds) != 0) return false;
    ends.fds.push_back(releaseEnds[0]);
    releaseFd = releaseEnds[1];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, documentEnds) != 0) return false;
    ends.fds.push_back(documentEnds[0]);
    documentFd = documentEnds[1];
    void* mapped = mmap(nullptr, bands::memoryBytes, PROT_READ, MAP_SHARED, memoryFd, 0);
    if (mapped == MAP_FAILED) return false;
    memory = static_cast<const std::uint8_t*>(mapped);
    return true;
}

pageRenderer::pageRenderer(const renderRequest& request) : commandLine(commandFor(request)) {
    rendererEnds ends;
    if (makeChannels(ends)) renderer = std::make_unique<childProcess>(commandLine, ends.fds);
}

pageRenderer::pageRenderer(std::vector<std::string> command, twinTag) : commandLine(std::move(command)) {
    auto ends = std::make_unique<rendererEnds>();
    if (!makeChannels(*ends)) return;
    int records[2], status[2];
    if (pipe2(records, O_CLOEXEC) != 0) return;
    ends->fds.push_back(records[1]);
    const int errors = unnamedTemporaryFile();
    ends->fds.push_back(errors >= 0 ? fcntl(errors, F_DUPFD_CLOEXEC, 0) : -1);
    if (pipe2(status, O_CLOEXEC) != 0) {
        close(records[0]);
        if (errors >= 0) close(errors);
        return;
    }
    ends->fds.push_back(status[1]);
    renderer = std::make_unique<forkedProcess>(records[0], errors, status[0]);
    handOver = std::move(ends);
}

std::unique_ptr<pageRenderer> pageRenderer::fork() {
    std::unique_ptr<pageRenderer> copy(new pageRenderer(commandLine, twinTag{}));
    const auto& ends = copy->handOver;
    if (!ends || ends->fds.size() != bands::forkedEnds || std::ranges::any_of(ends->fds, [](int fd) { return fd < 0; }))
        return nullptr;
    if (documentFd < 0 || !bands::sendMessage(documentFd, "fork", ends->fds)) return nullptr;
    // The renderer has its own copies now.
    copy->handOver.reset();
    return copy;
}

pageRenderer::~pageRenderer() {
    // The renderer first: it may still be drawing into the memory.
    renderer.reset();
    if (documentFd >= 0) close(documentFd);
    if (releaseFd >= 0) close(releaseFd);
    if (memory) munmap(const_cast<std::uint8_t*>(memory), bands::memoryBytes);
}

std::optional<unsigned> pageRenderer::open(const std::string& file) {
    if (documentFd < 0 || !bands::sendMessage(documentFd, file)) return std::nullopt;
    const auto answer = bands::receiveMessage(documentFd);
    unsigned count = 0;
    if (!answer || std::from_chars(answer->data(), answer->data() + answer->size(), count).ec != std::errc{})
        return std::nullopt;
    return count;
}

bool pageRenderer::draw(const pageSelection& pages, bands::pageSize jobPage) {
    if (documentFd < 0) return false;
    page = jobPage;
    const bool handed =
        bands::sendMessage(documentFd, toText(pages)) && bands::sendMessage(documentFd, bands::toText(jobPage));
    close(documentFd);
    documentFd = -1;
    return handed;
}

bool pageRenderer::readRecord(bands::record& record) {
    auto* bytes = reinterpret_cast<char*>(&record);
    std::size_t got = 0;
    while (got < sizeof record) {
        const ssize_t now = read(renderer->output(), bytes + got, sizeof record - got);
        if (now < 0 && errno == EINTR) continue;
        if (now <= 0) {
            // Between records the end is the end of the document.
            if (got > 0) protocolBroken = true;
            return false;
        }
        got += static_cast<std::size_t>(now);
    }
    return true;
}

bool pageRenderer::nextPage() {
    if (!started() || protocolBroken) return false;
    bands::record record{};
    if (!readRecord(record)) return false;
    if (record.type != bands::recordType::page) {
        protocolBroken = true;
        return false;
    }
    whole = false;
    return true;
}

std::optional<pageRenderer::encodedRows> pageRenderer::nextRows() {
    if (!started() || protocolBroken || whole) return std::nullopt;
    bands::record record{};
    if (!readRecord(record)) {
        // The renderer ended in the middle of a page.
        protocolBroken = true;
        return std::nullopt;
    }
    if (record.type == bands::recordType::pageEnd && record.first == page.height) {
        whole = true;
        return std::nullopt;
    }
    if (!bands::usableData(record)) {
        protocolBroken = true;
        return std::nullopt;
    }
    return encodedRows{record.first, {memory + record.first * bands::slotBytes, record.second}};
}

void pageRenderer::giveBack(const encodedRows& rows) {
    const char slot = static_cast<char>(rows.slot);
    // A renderer that has gone makes this fail, without a signal.
    while (send(releaseFd, &slot, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

}  // namespace corvane
