#include "robustness/printerCheck.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support/filterRunner.h"

namespace corvane::test {
namespace {

pclinspect::Bytes bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

inspectorVerdict inspectorCheck(std::string_view stream) {
    TempDir tmp;
    const std::string path = tmp.file("stream.pcl");
    writeFile(path, std::string(stream));
    const std::string command = std::string(PCLINSPECT_BINARY) + " --check " + path;
    inspectorVerdict verdict;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return verdict;
    std::array<char, 4096> chunk;
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) verdict.report.append(chunk.data(), got);
    const int status = ::pclose(pipe);
    verdict.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return verdict;
}

pclinspect::Job decodeLight(std::string_view stream) {
    pclinspect::DecodeOptions options;
    options.keepRasters = false;
    return pclinspect::decodeJob(bytesOf(stream), options);
}

std::vector<std::string> framingProblems(const pclinspect::Job& job) {
    std::vector<std::string> found;
    for (const auto& problem : job.problems) {
        if (problem.kind == pclinspect::ProblemKind::pastWidth ||
            problem.kind == pclinspect::ProblemKind::pastHeight)
            continue;
        found.push_back(std::to_string(problem.offset) + ": " + problem.message);
    }
    return found;
}

void expectWellFramed(std::string_view stream, std::size_t pages) {
    const auto job = decodeLight(stream);
    EXPECT_EQ(framingProblems(job), std::vector<std::string>{});
    EXPECT_EQ(job.pages.size(), pages);
    for (const auto& page : job.pages) EXPECT_TRUE(page.ended) << "page " << page.number;
    EXPECT_TRUE(job.resetAtEnd);
    EXPECT_TRUE(job.uelAtEnd);
}

std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> result;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        result.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return result;
}

}  // namespace corvane::test
