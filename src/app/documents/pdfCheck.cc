#include "app/documents/pdfCheck.h"

#include <fcntl.h>
#include <unistd.h>

namespace corvane {
namespace {

// PDF readers look for the header within the first kilobyte.
constexpr std::size_t headerWindow = 1024;

}  // namespace

std::optional<pdfRefusal> pdfProblem(std::string_view start, std::string_view ghostscriptText) {
    if (start.substr(0, headerWindow).find("%PDF-") == std::string_view::npos)
        return pdfRefusal{"The document is not a PDF file.", PAPPL_JREASON_DOCUMENT_FORMAT_ERROR};
    if (ghostscriptText.find("requires a password") != std::string_view::npos)
        return pdfRefusal{"The PDF file needs a password.", PAPPL_JREASON_DOCUMENT_PASSWORD_ERROR};
    return std::nullopt;
}

std::optional<pdfRefusal> pdfFileProblem(const char* path, std::string_view ghostscriptText) {
    std::string start(headerWindow, '\0');
    const int fd = path ? open(path, O_RDONLY | O_CLOEXEC) : -1;
    const ssize_t length = fd >= 0 ? pread(fd, start.data(), start.size(), 0) : -1;
    if (fd >= 0) close(fd);
    // A document that cannot be read back is not judged by its first bytes.
    if (length < 0) return std::nullopt;
    start.resize(static_cast<std::size_t>(length));
    return pdfProblem(start, ghostscriptText);
}

}  // namespace corvane
