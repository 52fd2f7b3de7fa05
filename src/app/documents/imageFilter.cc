#include "app/documents/imageFilter.h"

#include <cstdio>
#include <memory>
#include <string>
#include <variant>

#include "app/documents/imageDecode.h"

namespace corvane {
namespace {

struct fileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct optionsDeleter {
    void operator()(pappl_pr_options_t* options) const { papplJobDeletePrintOptions(options); }
};

bool refuse(pappl_job_t* job, const std::string& message, pappl_jreason_t reason) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message.c_str());
    papplJobSetMessage(job, "%s", message.c_str());
    papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
    return false;
}

bool printImage(pappl_job_t* job, pappl_device_t* device, imageResult (*decode)(std::FILE*, const imageLimits&)) {
    const std::unique_ptr<std::FILE, fileCloser> file(std::fopen(papplJobGetFilename(job), "rb"));
    if (!file) return refuse(job, "Unable to open the spooled document.", PAPPL_JREASON_ABORTED_BY_SYSTEM);

    imageLimits limits{};
    limits.maxBytes = papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)),
                                                 &limits.maxWidth, &limits.maxHeight);
    imageResult decoded = decode(file.get(), limits);
    if (const auto* refusal = std::get_if<std::string>(&decoded)) {
        const bool tooLarge = refusal->find("too large") != std::string::npos;
        return refuse(job, *refusal,
                      tooLarge ? PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR : PAPPL_JREASON_DOCUMENT_FORMAT_ERROR);
    }
    auto& image = std::get<decodedImage>(decoded);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Image of %d x %d pixels, %d colours, %d ppi.", image.width,
                image.height, image.components, image.ppi);

    const std::unique_ptr<pappl_pr_options_t, optionsDeleter> options(
        papplJobCreatePrintOptions(job, 1, image.components > 1));
    if (!options) return refuse(job, "Out of memory.", PAPPL_JREASON_ABORTED_BY_SYSTEM);
    convertComponents(image, options->header.cupsNumColors == 1 ? 1 : 3);
    return papplJobFilterImage(job, device, options.get(), image.pixels.data(), image.width, image.height,
                               image.components, image.ppi, true);
}

}  // namespace

bool printJpeg(pappl_job_t* job, pappl_device_t* device, void*) { return printImage(job, device, decodeJpeg); }

bool printPng(pappl_job_t* job, pappl_device_t* device, void*) { return printImage(job, device, decodePng); }

}  // namespace corvane
