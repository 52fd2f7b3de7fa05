#include "app/documents/shadedPages.h"

#include <exception>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace corvane {
namespace {

// Resources nest (forms in forms, patterns in forms); deeper ones, and
// loops, are not looked into.
constexpr int deepestNesting = 8;

bool paintsShading(QPDFObjectHandle resources, int depth);

// A pattern, form XObject or soft mask that is, or holds, a shading.
bool holdsShading(QPDFObjectHandle item, int depth) {
    QPDFObjectHandle dictionary = item.isStream() ? item.getDict() : item;
    if (!dictionary.isDictionary()) return false;
    QPDFObjectHandle type = dictionary.getKey("/PatternType");
    if (type.isInteger() && type.getIntValue() == 2) return true;
    QPDFObjectHandle group = dictionary.getKey("/G");  // a soft mask's drawing
    if (group.isStream() && paintsShading(group.getDict().getKey("/Resources"), depth + 1)) return true;
    return paintsShading(dictionary.getKey("/Resources"), depth + 1);
}

bool paintsShading(QPDFObjectHandle resources, int depth) {
    if (depth > deepestNesting || !resources.isDictionary()) return false;
    QPDFObjectHandle shadings = resources.getKey("/Shading");
    if (shadings.isDictionary() && !shadings.getKeys().empty()) return true;
    for (const char* kind : {"/Pattern", "/XObject"}) {
        QPDFObjectHandle items = resources.getKey(kind);
        if (!items.isDictionary()) continue;
        for (auto [name, item] : items.ditems())
            if (holdsShading(item, depth)) return true;
    }
    QPDFObjectHandle states = resources.getKey("/ExtGState");
    if (states.isDictionary())
        for (auto [name, state] : states.ditems())
            if (state.isDictionary() && holdsShading(state.getKey("/SMask"), depth)) return true;
    return false;
}

}  // namespace

std::vector<bool> shadedPages(const std::string& pdfFile) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(pdfFile.c_str());
        std::vector<bool> shaded;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages())
            shaded.push_back(paintsShading(page.getAttribute("/Resources", false), 0));
        return shaded;
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace corvane
