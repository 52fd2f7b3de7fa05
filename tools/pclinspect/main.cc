// pclinspect: reads a printer stream (PJL + PCL 5 raster) and lists,
// summarises, checks or renders it. See usage() for the options.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pclinspect/jobDecoder.h"
#include "pclinspect/pngExport.h"
#include "pclinspect/report.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;

void usage(std::ostream& out) {
    out << "usage: pclinspect [--list] [--summary] [--check] [--png PREFIX [--scale N] [--page N]] [FILE|-]\n"
           "  --list         every piece of the stream with its byte offset and meaning\n"
           "  --summary      job, settings, pages and raster statistics (the default)\n"
           "  --check        report problems; exit status 1 if there are any\n"
           "  --png PREFIX   write each page as PREFIX-pageN.png\n"
           "  --scale N      reduce the PNG N times in both directions (default 1)\n"
           "  --page N       with --png: only page N\n"
           "Reads standard input when FILE is absent or '-'.\n";
}

struct Options {
    bool list = false, summary = false, check = false;
    std::optional<std::string> pngPrefix;
    unsigned scale = 1;
    unsigned page = 0;  // 0: every page
    std::string input = "-";
};

std::optional<unsigned> positive(std::string_view text) {
    char* end = nullptr;
    const std::string s(text);
    const unsigned long v = std::strtoul(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v == 0 || v > 1'000'000) return std::nullopt;
    return static_cast<unsigned>(v);
}

std::optional<Options> parseArguments(int argc, char** argv) {
    Options o;
    bool haveInput = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (a == "--list") {
            o.list = true;
        } else if (a == "--summary") {
            o.summary = true;
        } else if (a == "--check") {
            o.check = true;
        } else if (a == "--png") {
            auto v = value();
            if (!v || v->empty()) return std::nullopt;
            o.pngPrefix = std::string(*v);
        } else if (a == "--scale" || a == "--page") {
            auto v = value();
            auto n = v ? positive(*v) : std::nullopt;
            if (!n) return std::nullopt;
            (a == "--scale" ? o.scale : o.page) = *n;
        } else if (a == "--help" || a == "-h") {
            usage(std::cout);
            std::exit(0);
        } else if ((a.starts_with("-") && a != "-") || haveInput) {
            return std::nullopt;
        } else {
            o.input = std::string(a);
            haveInput = true;
        }
    }
    if (!o.list && !o.check && !o.pngPrefix) o.summary = true;
    return o;
}

std::optional<std::vector<std::uint8_t>> readInput(const std::string& name) {
    if (name == "-") {
        std::cin >> std::noskipws;
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(std::cin), {});
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseArguments(argc, argv);
    if (!options) {
        usage(std::cerr);
        return kExitUsage;
    }
    const auto stream = readInput(options->input);
    if (!stream) {
        std::cerr << "pclinspect: cannot read " << options->input << "\n";
        return kExitUsage;
    }

    pclinspect::DecodeOptions decodeOptions;
    decodeOptions.keepRasters = false;
    int pngFailures = 0;
    if (options->pngPrefix) {
        decodeOptions.onPage = [&](const pclinspect::Page& page) {
            if (options->page != 0 && page.number != static_cast<int>(options->page)) return;
            const std::string path = *options->pngPrefix + "-page" + std::to_string(page.number) + ".png";
            const std::string error = pclinspect::writePng(pclinspect::renderPage(page.raster, options->scale), path);
            if (error.empty()) {
                std::cout << "wrote " << path << "\n";
            } else {
                std::cerr << "pclinspect: page " << page.number << ": cannot write " << path << ": " << error << "\n";
                ++pngFailures;
            }
        };
    }
    const pclinspect::Job job = pclinspect::decodeJob(*stream, decodeOptions);

    if (options->list) std::cout << pclinspect::formatListing(job, *stream);
    if (options->summary) std::cout << pclinspect::formatSummary(job);
    if (options->check) std::cout << pclinspect::formatProblems(job);
    if (options->pngPrefix && options->page > job.pages.size()) {
        std::cerr << "pclinspect: the stream has no page " << options->page << "\n";
        ++pngFailures;
    }
    if (pngFailures > 0) return kExitUsage;
    return options->check && !job.problems.empty() ? kExitProblems : 0;
}
