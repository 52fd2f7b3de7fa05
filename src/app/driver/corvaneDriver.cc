#include "app/driver/corvaneDriver.h"

#include <array>
#include <cstring>
#include <span>
#include <string>

#include "app/driver/driverCallbacks.h"
#include "app/driver/mediaSizes.h"
#include "app/driver/statusCallbacks.h"
#include "app/driver/testPage.h"
#include "app/driver/tonerOptions.h"

namespace corvane {
namespace {

// PAPPL adds "auto" (the printer picks the tray) itself.
constexpr std::array<const char*, 8> sources = {
    "tray-1", "tray-2", "tray-3", "tray-4", "tray-5", "manual", "by-pass-tray", "envelope"};

constexpr std::array<const char*, 10> mediaTypes = {
    "auto",      "stationery", "bond",  "transparency", "cardstock",
    "labels",    "stationery-letterhead", "stationery-preprinted", "stationery-colored",
    "envelope"};

// A sixth of an inch all round, in hundredths of a millimetre.
constexpr int margin = 423;

pappl_media_col_t mediaCol(const char* sizeName, const char* source, const char* type) {
    pappl_media_col_t media{};
    const pwg_media_t* size = pwgMediaForPWG(sizeName);
    papplCopyString(media.size_name, sizeName, sizeof media.size_name);
    media.size_width = size ? size->width : 0;
    media.size_length = size ? size->length : 0;
    media.bottom_margin = media.top_margin = margin;
    media.left_margin = media.right_margin = margin;
    papplCopyString(media.source, source, sizeof media.source);
    papplCopyString(media.type, type, sizeof media.type);
    return media;
}

void addKeywords(ipp_t* attrs, const char* name, std::span<const std::string_view> values) {
    ipp_attribute_t* attr = nullptr;
    for (const auto value : values) {
        const std::string text(value);
        if (attr == nullptr)
            attr = ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, name, nullptr, text.c_str());
        else
            ippSetString(attrs, &attr, ippGetCount(attr), text.c_str());
    }
}

// Attributes PAPPL does not make itself but clients look for: the toner
// options, and what an IPP Everywhere client expects of a raster printer.
ipp_t* driverAttributes() {
    ipp_t* attrs = ippNew();
    const std::string darkness(tonerDarknessAttribute);
    const std::string save(tonerSaveAttribute);
    addKeywords(attrs, (darkness + "-supported").c_str(), tonerDarknessKeywords);
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, (darkness + "-default").c_str(), nullptr,
                 "auto");
    ippAddBoolean(attrs, IPP_TAG_PRINTER, (save + "-supported").c_str(), 1);
    ippAddBoolean(attrs, IPP_TAG_PRINTER, (save + "-default").c_str(), 0);

    // Colour is converted by the rasterizer, which renders relative
    // colorimetric; the printer takes the sRGB values as they are.
    static constexpr std::array<std::string_view, 2> intents = {"auto", "relative"};
    addKeywords(attrs, "print-rendering-intent-supported", intents);
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr,
                 "auto");
    // No Get-Printer-Attributes "preferred" answers: jobs are taken as sent.
    ippAddBoolean(attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
    // One-sided only; the back side would be the front side's orientation.
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr,
                 "normal");
    return attrs;
}

// A document in the driver's own format has no filter of its own.
bool printRaw(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
    const char* reason = "The document's format is not known.";
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", reason);
    papplJobSetMessage(job, "%s", reason);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    return false;
}

}  // namespace

bool describeDriver(pappl_system_t*, const char* driver_name, const char*, const char*,
                    pappl_pr_driver_data_t* data, ipp_t** driver_attrs, void* extension) {
    if (driver_name == nullptr) return false;
    const bool readsBack = std::strcmp(driver_name, driverName) == 0;
    if (!readsBack && std::strcmp(driver_name, onewayDriverName) != 0) return false;
    data->extension = extension;

    data->rstartjob_cb = startJob;
    data->rstartpage_cb = startPage;
    data->rwriteline_cb = writeRow;
    data->rendpage_cb = endPage;
    data->rendjob_cb = endJob;
    data->testpage_cb = writeTestPage;
    data->printfile_cb = printRaw;
    data->format = driverDocumentFormat;
    if (readsBack) {
        data->status_cb = refreshStatus;
        data->identify_cb = identifyPrinter;
        data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
        data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    }

    papplCopyString(data->make_and_model, driverDescription, sizeof data->make_and_model);
    data->ppm = 20;
    data->ppm_color = 20;
    data->kind = PAPPL_KIND_DOCUMENT | PAPPL_KIND_ENVELOPE;
    data->has_supplies = true;
    data->orient_default = IPP_ORIENT_PORTRAIT;

    data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_COLOR | PAPPL_COLOR_MODE_MONOCHROME;
    data->color_default = PAPPL_COLOR_MODE_AUTO;
    data->content_default = PAPPL_CONTENT_AUTO;
    data->quality_default = IPP_QUALITY_NORMAL;
    data->scaling_default = PAPPL_SCALING_AUTO;
    data->raster_types = PAPPL_PWG_RASTER_TYPE_SRGB_8 | PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    data->force_raster_type = PAPPL_PWG_RASTER_TYPE_NONE;
    data->duplex = PAPPL_DUPLEX_NONE;
    data->sides_supported = PAPPL_SIDES_ONE_SIDED;
    data->sides_default = PAPPL_SIDES_ONE_SIDED;

    data->num_resolution = 1;
    data->x_resolution[0] = data->y_resolution[0] = 600;
    data->x_default = data->y_default = 600;

    data->borderless = false;
    data->left_right = margin;
    data->bottom_top = margin;

    data->num_media = static_cast<int>(mediaNames.size());
    for (std::size_t i = 0; i < mediaNames.size(); ++i) data->media[i] = mediaNames[i];

    data->num_source = static_cast<int>(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        data->source[i] = sources[i];
        const bool envelopeFeeder = std::strcmp(sources[i], "envelope") == 0;
        data->media_ready[i] = envelopeFeeder
                                   ? mediaCol("na_number-10_4.125x9.5in", sources[i], "envelope")
                                   : mediaCol("na_letter_8.5x11in", sources[i], "auto");
    }
    data->media_default = mediaCol("na_letter_8.5x11in", "auto", "auto");

    data->num_type = static_cast<int>(mediaTypes.size());
    for (std::size_t i = 0; i < mediaTypes.size(); ++i) data->type[i] = mediaTypes[i];

    data->num_vendor = 2;
    data->vendor[0] = tonerDarknessAttribute;
    data->vendor[1] = tonerSaveAttribute;

    *driver_attrs = driverAttributes();
    return true;
}

bool readsBack(pappl_printer_t* printer) {
    const char* driver = papplPrinterGetDriverName(printer);
    const std::string_view uri = papplPrinterGetDeviceURI(printer) ? papplPrinterGetDeviceURI(printer) : "";
    return driver != nullptr && std::string_view(driver) == driverName &&
           (uri.starts_with("socket:") || uri.starts_with("usb:"));
}

const char* driverForDevice(const char*, const char*, const char* device_id, void*) {
    if (device_id == nullptr) return nullptr;
    return std::strstr(device_id, "MFG:Corvane;") != nullptr ? driverName : nullptr;
}

}  // namespace corvane
