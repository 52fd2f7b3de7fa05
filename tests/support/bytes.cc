#include "support/bytes.h"

#include <algorithm>
#include <cstdio>

namespace corvane::test {

std::string esc(std::string_view text) {
    std::string command(1, '\x1b');
    command += text;
    return command;
}

std::string hex(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) bytes.push_back(static_cast<char>(value));
    return bytes;
}

std::string printable(std::string_view bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c == 0x1B) {
            text += "<ESC>";
        } else if (c >= 0x20 && c < 0x7F) {
            text.push_back(static_cast<char>(c));
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "<%02X>", c);
            text += code;
        }
    }
    return text;
}

std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> result;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        result.emplace_back(text.substr(start, end - start));
    }
    return result;
}

std::string pjlHeader(std::string_view jobName, std::string_view extraLines) {
    std::string header(5000, '\x1b');
    header += "\x1b%-12345X@PJL COMMENT Corvane PCL driver\n";
    header += "@PJL JOB NAME = \"";
    header += jobName;
    header += "\"\n";
    header += "@PJL SET PAGEPROTECT = AUTO\n";
    header += "@PJL SET RESOLUTION = 600\n";
    header += std::string(extraLines);
    header += "@PJL SET TIMEOUT = 0\n";
    header += "@PJL ENTER LANGUAGE=PCL\n";
    return header;
}

}  // namespace corvane::test
