// pclsummary: reads a printer stream written by rastertocorvane and prints a
// line-per-fact summary that the CUPS end-to-end tests compare against:
//   escape-run N           ESC bytes before the opening UEL
//   pjl TEXT               each PJL line, without its line feed
//   job CMD CMD ...        the PCL job preamble, up to and including ESC&l0E
//   page N prefix CMD ...  commands of page N before its raster frame
//   page N raster WxH      raster size from ESC*r#t#S
//   page N rows SENT       raster rows transferred (duplicates included)
//   page N digest HEX      hash of the decoded page image (white where no row went)
//   page N end ok|BAD      the fixed page-end block with its form feed
//   reset ok               ESC E after the last page
//   trailer ok             the closing UEL is the last thing in the stream
//   error TEXT             anything that does not fit this shape
// Commands are written with "ESC" for the escape byte; data bytes that
// follow a command are left out, except the media name of ESC&n#W.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char esc = '\x1b';
constexpr std::string_view uel = "\x1b%-12345X";
constexpr std::string_view pageEnd = "\x1b*v0O\x1b*v0N\x1b*l252O\x0c";

// One PCL command: "ESC" + the printable characters, plus any data bytes.
struct command {
    std::string text;  // e.g. "ESC*b3M", "ESC&n6WdPlain" (text of a media name included)
    std::string data;  // bytes after a W terminator
    char group = 0;    // '*' / '&' ... and the group letter, e.g. "*b"
    char kind = 0;
    std::string value;
    char terminator = 0;
};

class pclReader {
public:
    explicit pclReader(std::string_view bytes) : in(bytes) {}
    bool atEnd() const { return pos >= in.size(); }
    std::size_t position() const { return pos; }
    std::string_view rest() const { return in.substr(pos); }
    void skip(std::size_t n) { pos += n; }

    // Reads one command at the position, or nothing when the bytes there are
    // not an escape sequence. Combined commands (ESC*r6600t5100S) come back
    // as one command with the terminator of the last part; `value` holds the
    // first value and the text keeps every part.
    std::optional<command> next() {
        if (atEnd() || in[pos] != esc || pos + 1 >= in.size()) return std::nullopt;
        command c;
        const char first = in[pos + 1];
        if (first < 0x21 || first > 0x2F) {  // two-character command, e.g. ESC E
            c.text = std::string("ESC") + first;
            c.terminator = first;
            pos += 2;
            return c;
        }
        std::size_t p = pos + 2;
        c.group = first;
        if (first != '%') {
            if (p >= in.size()) return std::nullopt;
            c.kind = in[p++];
        }
        bool firstPart = true;
        while (p < in.size()) {
            const std::size_t start = p;
            while (p < in.size() && (std::isdigit(static_cast<unsigned char>(in[p])) ||
                                     in[p] == '-' || in[p] == '+' || in[p] == '.'))
                ++p;
            if (p >= in.size()) return std::nullopt;
            const std::string value(in.substr(start, p - start));
            const char param = in[p++];
            if (firstPart) c.value = value;
            firstPart = false;
            if (param >= 0x40 && param <= 0x5E) {  // upper case ends the command
                c.terminator = param;
                break;
            }
            if (param < 0x60 || param > 0x7E) return std::nullopt;
        }
        c.text = "ESC" + std::string(in.substr(pos + 1, p - pos - 1));
        if (c.terminator == 'W' && c.group != '%') {
            const std::size_t length = static_cast<std::size_t>(std::stol(c.value.empty() ? "0" : c.value));
            if (p + length > in.size()) return std::nullopt;
            c.data = std::string(in.substr(p, length));
            p += length;
            if (c.group == '&' && c.kind == 'n') c.text += c.data;  // media type name
        }
        pos = p;
        return c;
    }

private:
    std::string_view in;
    std::size_t pos = 0;
};

// Delta-row decoding (PCL compression method 3) of one row against the seed.
bool deltaDecode(std::string_view data, std::vector<std::uint8_t>& row) {
    std::size_t at = 0, i = 0;
    while (i < data.size()) {
        const auto commandByte = static_cast<std::uint8_t>(data[i++]);
        const std::size_t count = (commandByte >> 5) + 1;
        std::size_t offset = commandByte & 0x1F;
        if (offset == 31) {
            std::uint8_t more = 255;
            while (more == 255) {
                if (i >= data.size()) return false;
                more = static_cast<std::uint8_t>(data[i++]);
                offset += more;
            }
        }
        at += offset;
        for (std::size_t k = 0; k < count; ++k) {
            if (i >= data.size() || at >= row.size()) return false;
            row[at++] = static_cast<std::uint8_t>(data[i++]);
        }
    }
    return true;
}

class pageImage {
public:
    pageImage(unsigned width, unsigned height) : width(width), height(height), seed(3u * width, 0) {}

    void moveTo(long y) {
        next = y;
        std::fill(seed.begin(), seed.end(), 0);  // a vertical move clears the seed row
    }
    // Returns false when the row does not fit the page.
    bool transfer(std::string_view data) {
        if (next < 0 || next >= static_cast<long>(height)) return false;
        if (!deltaDecode(data, seed)) return false;
        rows.push_back({next++, seed});
        return true;
    }
    std::size_t rowsSent() const { return rows.size(); }

    // FNV-1a over every row of the page, white (0xFF) where none was sent.
    std::uint64_t digest() const {
        std::vector<const std::vector<std::uint8_t>*> byRow(height, nullptr);
        for (const auto& row : rows) byRow[static_cast<std::size_t>(row.y)] = &row.bytes;
        std::uint64_t hash = 1469598103934665603ull;
        for (const auto* row : byRow)
            for (std::size_t x = 0; x < 3u * width; ++x)
                hash = (hash ^ (row ? (*row)[x] : 0xFF)) * 1099511628211ull;
        return hash;
    }

private:
    struct sentRow {
        long y;
        std::vector<std::uint8_t> bytes;
    };
    unsigned width, height;
    std::vector<std::uint8_t> seed;
    std::vector<sentRow> rows;
    long next = 0;
};

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) out += (out.empty() ? "" : " ") + part;
    return out;
}

int summarise(std::string_view stream, std::ostream& out) {
    std::size_t escapes = 0;
    while (escapes < stream.size() && stream[escapes] == esc) ++escapes;
    if (escapes == 0 || stream.substr(escapes - 1, uel.size()) != uel) {
        out << "error no UEL after the escape run\n";
        return 1;
    }
    out << "escape-run " << escapes - 1 << "\n";
    std::size_t pos = escapes - 1 + uel.size();
    for (;;) {
        const std::size_t end = stream.find('\n', pos);
        if (end == std::string_view::npos) {
            out << "error PJL header does not end\n";
            return 1;
        }
        const std::string_view line = stream.substr(pos, end - pos);
        out << "pjl " << line << "\n";
        pos = end + 1;
        if (line == "@PJL ENTER LANGUAGE=PCL") break;
    }

    pclReader reader(stream.substr(pos));
    std::vector<std::string> pending;
    bool inJob = true;
    int page = 0;
    std::optional<pageImage> image;
    while (!reader.atEnd()) {
        if (reader.rest() == uel) {
            out << "trailer ok\n";
            return 0;
        }
        if (reader.rest().substr(0, pageEnd.size()) == pageEnd) {
            out << "page " << page << " end ok\n";
            reader.skip(pageEnd.size());
            continue;
        }
        const std::size_t at = reader.position();
        const auto c = reader.next();
        if (!c) {
            out << "error unexpected byte " << static_cast<int>(static_cast<std::uint8_t>(reader.rest()[0]))
                << " at PCL offset " << at << "\n";
            return 1;
        }
        if (inJob) {
            pending.push_back(c->text);
            if (c->text == "ESC&l0E") {
                out << "job " << joined(pending) << "\n";
                pending.clear();
                inJob = false;
            }
            continue;
        }
        if (c->text == "ESC*p0Y" && !image) {
            out << "page " << ++page << " prefix " << joined(pending) << "\n";
            pending.clear();
            continue;
        }
        if (c->text == "ESCE") {
            out << "reset ok\n";
            continue;
        }
        if (c->group == '*' && c->kind == 'r' && c->terminator == 'S') {
            unsigned height = 0, width = 0;
            if (std::sscanf(c->text.c_str(), "ESC*r%ut%uS", &height, &width) != 2) {
                out << "error raster size " << c->text << "\n";
                return 1;
            }
            out << "page " << page << " raster " << width << "x" << height << "\n";
            image.emplace(width, height);
            continue;
        }
        if (image && c->group == '*' && c->kind == 'p' && c->terminator == 'Y') {
            image->moveTo(std::stol(c->value));
            continue;
        }
        if (image && c->group == '*' && c->kind == 'b' && c->terminator == 'W') {
            if (!image->transfer(c->data)) {
                out << "error page " << page << " row does not fit the raster size\n";
                return 1;
            }
            continue;
        }
        if (image && c->text == "ESC*rC") {
            char hex[17];
            std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(image->digest()));
            out << "page " << page << " rows " << image->rowsSent() << "\n";
            out << "page " << page << " digest " << hex << "\n";
            image.reset();
            continue;
        }
        if (image || c->text == "ESC*p0P" || c->text.rfind("ESC*v6W", 0) == 0 || c->text == "ESC*r1A" ||
            c->text == "ESC*b3M" || c->text == "ESC*p0X")
            continue;  // fixed frame commands between the prefix and the rows
        pending.push_back(c->text);
    }
    out << "error no closing UEL\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: pclsummary FILE.pcl\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::cerr << "pclsummary: cannot open " << argv[1] << "\n";
        return 2;
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return summarise(bytes, std::cout);
}
