// The test page as a one-page PDF document: a title, the printer's name and
// settings as lines of text, colour bars, a gray ramp and a frame on the
// printable area. The PDF filter prints it like any other PDF job.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace corvane {

struct testPageContent {
    double widthPoints = 612;
    double heightPoints = 792;
    double marginPoints = 12;
    std::string printerName;
    // Label and value, one line each.
    std::vector<std::pair<std::string, std::string>> settings;
};

std::string testPageDocument(const testPageContent& content);

}  // namespace corvane
