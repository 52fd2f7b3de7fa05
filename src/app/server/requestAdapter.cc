#include "app/server/requestAdapter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/server/mediaRequest.h"

namespace corvane {
namespace {

constexpr std::size_t maxNameBytes = 255;

// The length of the UTF-8 character at the start of `text`, or 0 when its
// bytes do not form one (overlong forms and surrogates included).
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    const unsigned char second = byte(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

// Job-creating requests, whose job template attributes PAPPL checks.
constexpr std::array<ipp_op_t, 4> jobRequests = {IPP_OP_PRINT_JOB, IPP_OP_PRINT_URI, IPP_OP_CREATE_JOB,
                                                 IPP_OP_VALIDATE_JOB};

void cleanNames(ipp_t* request) {
    std::vector<ipp_attribute_t*> names;
    for (ipp_attribute_t* attr = ippFirstAttribute(request); attr; attr = ippNextAttribute(request)) {
        const char* name = ippGetName(attr);
        const ipp_tag_t tag = ippGetValueTag(attr);
        if (name && (tag == IPP_TAG_NAME || tag == IPP_TAG_NAMELANG) &&
            (std::strcmp(name, "job-name") == 0 || std::strcmp(name, "requesting-user-name") == 0))
            names.push_back(attr);
    }
    for (ipp_attribute_t* attr : names) {
        for (int i = 0; i < ippGetCount(attr); ++i) {
            const char* value = ippGetString(attr, i, nullptr);
            if (value == nullptr) continue;
            const std::string clean = ippNameText(value);
            if (clean != value) ippSetString(request, &attr, i, clean.c_str());
        }
    }
}

const char* singleString(ipp_attribute_t* attr) {
    if (attr == nullptr || ippGetCount(attr) != 1) return nullptr;
    const ipp_tag_t tag = ippGetValueTag(attr);
    if (tag != IPP_TAG_KEYWORD && tag != IPP_TAG_NAME && tag != IPP_TAG_NAMELANG) return nullptr;
    return ippGetString(attr, 0, nullptr);
}

void addMediaSize(ipp_t* collection, int width, int length) {
    ipp_t* size = ippNew();
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "x-dimension", width);
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", length);
    ippAddCollection(collection, IPP_TAG_ZERO, "media-size", size);
    ippDelete(size);
}

// A refused size: the attribute as text, which PAPPL answers as an
// unsupported value instead of printing on its default paper.
void markRefused(ipp_t* message, ipp_attribute_t* attr, ipp_tag_t group) {
    const std::string name = ippGetName(attr), value = ippGetString(attr, 0, nullptr);
    ippDeleteAttribute(message, attr);
    ippAddString(message, group, IPP_TAG_TEXT, name.c_str(), nullptr, value.c_str());
}

// "media": a listed size by its listed name, a custom size as media-col.
std::optional<std::string> adaptMediaKeyword(ipp_t* request, ipp_attribute_t* media) {
    const char* value = singleString(media);
    if (value == nullptr) return std::nullopt;  // PAPPL refuses it itself
    const mediaChoice choice = chooseMedia(value);
    switch (choice.what) {
    case mediaChoice::kind::listed:
        if (choice.name != value) ippSetString(request, &media, 0, choice.name.c_str());
        break;
    case mediaChoice::kind::custom: {
        ippDeleteAttribute(request, media);
        ipp_t* col = ippNew();
        addMediaSize(col, choice.width, choice.length);
        ippAddCollection(request, IPP_TAG_JOB, "media-col", col);
        ippDelete(col);
        break;
    }
    case mediaChoice::kind::refused:
        markRefused(request, media, ippGetGroupTag(media));
        return choice.refusal;
    }
    return std::nullopt;
}

// "media-col": its size name as for "media" (a custom size as media-size),
// else its media-size.
std::optional<std::string> adaptMediaCol(ipp_attribute_t* mediaCol) {
    ipp_t* col = ippGetCollection(mediaCol, 0);
    if (col == nullptr) return std::nullopt;
    ipp_attribute_t* sizeName = ippFindAttribute(col, "media-size-name", IPP_TAG_ZERO);
    mediaChoice choice;
    if (sizeName != nullptr) {
        const char* value = singleString(sizeName);
        if (value == nullptr) return std::nullopt;
        choice = chooseMedia(value);
        if (choice.what == mediaChoice::kind::listed && choice.name != value)
            ippSetString(col, &sizeName, 0, choice.name.c_str());
        if (choice.what == mediaChoice::kind::custom) {
            ippDeleteAttribute(col, sizeName);
            if (ipp_attribute_t* size = ippFindAttribute(col, "media-size", IPP_TAG_ZERO)) ippDeleteAttribute(col, size);
            addMediaSize(col, choice.width, choice.length);
        }
    } else {
        ipp_attribute_t* width = ippFindAttribute(col, "media-size/x-dimension", IPP_TAG_INTEGER);
        ipp_attribute_t* length = ippFindAttribute(col, "media-size/y-dimension", IPP_TAG_INTEGER);
        if (width == nullptr || length == nullptr || ippGetCount(width) != 1 || ippGetCount(length) != 1)
            return std::nullopt;
        choice = chooseMedia(ippGetInteger(width, 0), ippGetInteger(length, 0));
        // PAPPL reads a size name before the size: as text, it is refused.
        if (choice.what == mediaChoice::kind::refused)
            ippAddString(col, IPP_TAG_ZERO, IPP_TAG_TEXT, "media-size-name", nullptr, "out of range");
        return choice.what == mediaChoice::kind::refused ? std::optional(choice.refusal) : std::nullopt;
    }
    if (choice.what != mediaChoice::kind::refused) return std::nullopt;
    markRefused(col, sizeName, IPP_TAG_ZERO);
    return choice.refusal;
}

}  // namespace

std::string ippNameText(std::string_view text) {
    std::string clean;
    clean.reserve(std::min(text.size(), maxNameBytes));
    while (!text.empty()) {
        std::size_t length = utf8Length(text);
        std::string_view piece = text.substr(0, length);
        if (length == 0) {
            piece = "?";
            length = 1;
        } else if (length == 1 && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F)) {
            piece = " ";
        }
        if (clean.size() + piece.size() > maxNameBytes) break;
        clean += piece;
        text.remove_prefix(length);
    }
    return clean;
}

std::optional<std::string> adaptRequest(ipp_t* request) {
    cleanNames(request);
    const ipp_op_t operation = ippGetOperation(request);
    if (std::find(jobRequests.begin(), jobRequests.end(), operation) == jobRequests.end()) return std::nullopt;

    std::optional<std::string> refusal;
    if (ipp_attribute_t* mediaCol = ippFindAttribute(request, "media-col", IPP_TAG_ZERO)) {
        if (ippGetCount(mediaCol) == 1 && ippGetValueTag(mediaCol) == IPP_TAG_BEGIN_COLLECTION)
            refusal = adaptMediaCol(mediaCol);
    } else if (ipp_attribute_t* media = ippFindAttribute(request, "media", IPP_TAG_ZERO)) {
        refusal = adaptMediaKeyword(request, media);
    }
    return refusal;
}

void adaptClientRequest(pappl_client_t* client) {
    ipp_t* request = papplClientGetRequest(client);
    if (request == nullptr) return;  // a web page
    const auto refusal = adaptRequest(request);
    if (!refusal) return;
    papplLogClient(client, PAPPL_LOGLEVEL_ERROR, "%s", refusal->c_str());
    if (ipp_t* response = papplClientGetResponse(client))
        ippAddString(response, IPP_TAG_OPERATION, IPP_TAG_TEXT, "detailed-status-message", nullptr, refusal->c_str());
}

}  // namespace corvane
