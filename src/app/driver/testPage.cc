#include "app/driver/testPage.h"

#include <cstdio>
#include <string>
#include <unistd.h>

#include "app/driver/testPageDocument.h"
#include "app/driver/tonerOptions.h"

namespace corvane {
namespace {

std::string defaultValue(ipp_t* attrs, const std::string& name) {
    ipp_attribute_t* attr = ippFindAttribute(attrs, (name + "-default").c_str(), IPP_TAG_ZERO);
    if (attr == nullptr) return "-";
    char text[256];
    ippAttributeString(attr, text, sizeof text);
    return text;
}

std::string millimetres(int pwgUnits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", pwgUnits / 100.0);
    return text;
}

testPageContent contentOf(pappl_printer_t* printer) {
    pappl_pr_driver_data_t data{};
    papplPrinterGetDriverData(printer, &data);
    const pappl_media_col_t& media = data.media_default;

    testPageContent content;
    content.widthPoints = media.size_width * 72.0 / 2540.0;
    content.heightPoints = media.size_length * 72.0 / 2540.0;
    content.marginPoints = data.left_right * 72.0 / 2540.0;
    content.printerName = papplPrinterGetName(printer);
    const char* uri = papplPrinterGetDeviceURI(printer);
    content.settings = {
        {"Model", data.make_and_model},
        {"Device", uri ? uri : "-"},
        {"Paper", std::string(media.size_name) + " (" + millimetres(media.size_width) + " x " +
                      millimetres(media.size_length) + " mm)"},
        {"Source", media.source},
        {"Media type", media.type},
        {"Resolution", "600 dpi, 24-bit RGB"},
        {"Margins", "1/6 inch (4.23 mm) on every side"},
    };
    if (ipp_t* attrs = papplPrinterGetDriverAttributes(printer)) {
        content.settings.emplace_back("Toner darkness", defaultValue(attrs, tonerDarknessAttribute));
        content.settings.emplace_back("Toner saving", defaultValue(attrs, tonerSaveAttribute));
        ippDelete(attrs);
    }
    return content;
}

}  // namespace

const char* writeTestPage(pappl_printer_t* printer, char* buffer, size_t bufsize) {
    const std::string pdf = testPageDocument(contentOf(printer));
    const int fd = papplPrinterOpenFile(printer, buffer, bufsize, nullptr, "testpage", "pdf", "w");
    if (fd < 0) return nullptr;
    const bool written = write(fd, pdf.data(), pdf.size()) == static_cast<ssize_t>(pdf.size());
    close(fd);
    return written ? buffer : nullptr;
}

}  // namespace corvane
