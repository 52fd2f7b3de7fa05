// Why a PDF job could not be printed, in words its sender understands, when
// Ghostscript's own message would not say it: a document that is not a PDF
// file at all (sent as one by mistake), or one that needs a password.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <pappl/pappl.h>

namespace corvane {

struct pdfRefusal {
    std::string message;     // for the job's state message
    pappl_jreason_t reason;  // for its state reasons
};

// From the document's first bytes (a kilobyte is enough) and what
// Ghostscript said; nothing when Ghostscript's message is the best one.
std::optional<pdfRefusal> pdfProblem(std::string_view start, std::string_view ghostscriptText);

// The same, reading the first bytes of the document at `path`.
std::optional<pdfRefusal> pdfFileProblem(const char* path, std::string_view ghostscriptText);

}  // namespace corvane
