#include "app/driver/papplJobSettings.h"

#include <cstring>
#include <string>

#include "app/driver/tonerOptions.h"

namespace corvane {
namespace {

// The job's value of a vendor attribute, else the printer's default.
std::string vendorValue(pappl_job_t* job, const pappl_pr_options_t& options, const char* name) {
    if (const char* value = cupsGetOption(name, options.num_vendor, options.vendor)) return value;
    std::string value;
    if (ipp_t* attrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job))) {
        const std::string defaultName = std::string(name) + "-default";
        if (ipp_attribute_t* attr = ippFindAttribute(attrs, defaultName.c_str(), IPP_TAG_ZERO)) {
            char text[256];
            ippAttributeString(attr, text, sizeof text);
            value = text;
        }
        ippDelete(attrs);
    }
    return value;
}

// The source the client asked for in "media-col", else the printer's
// default source. PAPPL itself would pick a tray whose loaded paper matches
// the job's size; the printer does that on its own when no source is sent.
std::string requestedSource(pappl_job_t* job) {
    if (ipp_attribute_t* attr = papplJobGetAttribute(job, "media-col")) {
        ipp_t* col = ippGetCollection(attr, 0);
        if (const char* source = ippGetString(ippFindAttribute(col, "media-source", IPP_TAG_ZERO), 0, nullptr))
            return source;
    }
    pappl_pr_driver_data_t data{};
    papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
    return data.media_default.source;
}

// PWG and Apple raster documents come as a stream, each page once: the
// printer makes their copies. PAPPL repeats an image's page itself and the
// PDF renderer the document, once per copy.
bool sentOnce(pappl_job_t* job) {
    const char* format = papplJobGetFormat(job);
    return format && (std::strcmp(format, "image/pwg-raster") == 0 || std::strcmp(format, "image/urf") == 0);
}

}  // namespace

ippJobSettings settingsOfJob(pappl_job_t* job, const pappl_pr_options_t& options) {
    ippJobSettings settings;
    settings.mediaWidth = options.media.size_width;
    settings.mediaLength = options.media.size_length;
    settings.mediaName = options.media.size_name;
    settings.source = requestedSource(job);
    settings.type = options.media.type;
    settings.darkness = tonerDarknessLevel(vendorValue(job, options, tonerDarknessAttribute));
    const std::string save = vendorValue(job, options, tonerSaveAttribute);
    settings.tonerSave = save == "true" || save == "on";
    if (const char* name = papplJobGetName(job)) settings.jobName = name;
    if (sentOnce(job)) {
        settings.copies = options.copies;
        const char* handling = ippGetString(papplJobGetAttribute(job, "multiple-document-handling"), 0, nullptr);
        settings.collated = handling == nullptr || std::strcmp(handling, "separate-documents-uncollated-copies") != 0;
    }
    return settings;
}

}  // namespace corvane
