#include "app/driver/testPageDocument.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace corvane {
namespace {

// A PDF literal string: the standard fonts cover ASCII, anything else is
// shown as '?'.
std::string literal(std::string_view text) {
    std::string out = "(";
    for (const unsigned char c : text) {
        if (c == '(' || c == ')' || c == '\\') out += '\\';
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out + ")";
}

std::string format(const char* pattern, double a, double b, double c, double d) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

struct rgb {
    double r, g, b;
};

constexpr std::array<rgb, 8> colourBars = {{
    {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1},
}};

std::string pageContent(const testPageContent& content) {
    const double left = content.marginPoints + 36;
    double y = content.heightPoints - content.marginPoints - 60;
    std::string stream;

    // The printable area's frame.
    stream += "0 0 0 RG 1 w ";
    stream += format("%.2f %.2f %.2f %.2f re S\n", content.marginPoints, content.marginPoints,
                     content.widthPoints - 2 * content.marginPoints,
                     content.heightPoints - 2 * content.marginPoints);

    stream += "BT /F2 24 Tf " + format("%.2f %.2f Td ", left, y, 0, 0) + literal("Corvane test page") +
              " Tj ET\n";
    y -= 32;
    stream += "BT /F2 14 Tf " + format("%.2f %.2f Td ", left, y, 0, 0) +
              literal("Printer: " + content.printerName) + " Tj ET\n";
    y -= 24;
    for (const auto& [label, value] : content.settings) {
        stream += "BT /F1 11 Tf " + format("%.2f %.2f Td ", left, y, 0, 0) +
                  literal(label + ": " + value) + " Tj ET\n";
        y -= 16;
    }

    // Colour bars, then a gray ramp from black to white.
    y -= 20;
    const double usable = content.widthPoints - 2 * left;
    const double barWidth = usable / colourBars.size();
    for (std::size_t i = 0; i < colourBars.size(); ++i) {
        const auto& c = colourBars[i];
        stream += format("%.3f %.3f %.3f rg ", c.r, c.g, c.b, 0);
        stream += format("%.2f %.2f %.2f %.2f re B\n", left + i * barWidth, y - 60, barWidth, 60);
    }
    y -= 80;
    constexpr int steps = 11;
    const double stepWidth = usable / steps;
    for (int i = 0; i < steps; ++i) {
        const double level = i / double(steps - 1);
        stream += format("%.3f %.3f %.3f rg ", level, level, level, 0);
        stream += format("%.2f %.2f %.2f %.2f re B\n", left + i * stepWidth, y - 40, stepWidth, 40);
    }
    return stream;
}

}  // namespace

std::string testPageDocument(const testPageContent& content) {
    const std::string stream = pageContent(content);
    char mediaBox[96];
    std::snprintf(mediaBox, sizeof mediaBox, "[0 0 %.2f %.2f]", content.widthPoints,
                  content.heightPoints);
    const std::array<std::string, 6> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        std::string("<< /Type /Page /Parent 2 0 R /MediaBox ") + mediaBox +
            " /Resources << /Font << /F1 4 0 R /F2 5 0 R >> >> /Contents 6 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>",
        "<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream + "endstream",
    };

    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace corvane
