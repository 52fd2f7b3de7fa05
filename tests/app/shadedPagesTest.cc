// Which pages the PDF renderer sends to the device that fills shadings in
// areas of one colour (corvane-render): documents made with qpdf, one page
// per way a shading can reach a page. (same-bytes.sh prints a shaded page.)
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "app/documents/shadedPages.h"

namespace corvane {
namespace {

using object = QPDFObjectHandle;

constexpr const char* shading =
    "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] "
    "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>";

class pdfFile {
public:
    pdfFile() { pdf.emptyPDF(); }
    ~pdfFile() { std::remove(path.c_str()); }

    // A page with these resources (PDF syntax; %F stands for a form
    // XObject drawing with `formResources`).
    void addPage(const std::string& resources, const std::string& formResources = "<< >>") {
        object form = pdf.newStream("0 0 m 1 1 l S");
        form.replaceDict(object::parse("<< /Type /XObject /Subtype /Form /BBox [0 0 10 10] >>"));
        form.getDict().replaceKey("/Resources", object::parse(formResources));
        std::string text = resources;
        if (const auto at = text.find("%F"); at != std::string::npos) text.replace(at, 2, form.unparse());
        object page = object::parse("<< /Type /Page /MediaBox [0 0 612 792] >>");
        page.replaceKey("/Resources", object::parse(&pdf, text));
        forms.push_back(form);
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }

    // The form of the last page drawing itself.
    void lastFormDrawsItself() {
        object resources = object::newDictionary();
        object xobjects = object::newDictionary();
        xobjects.replaceKey("/Self", forms.back());
        resources.replaceKey("/XObject", xobjects);
        forms.back().getDict().replaceKey("/Resources", resources);
    }

    std::vector<bool> shaded() {
        QPDFWriter writer(pdf, path.c_str());
        writer.write();
        return shadedPages(path);
    }

private:
    QPDF pdf;
    std::vector<object> forms;
    std::string path = "/tmp/corvane-shaded-" + std::to_string(getpid()) + ".pdf";
};

TEST(ShadedPages, EveryWayAShadingReachesAPage) {
    pdfFile pdf;
    const std::string shadings = std::string("<< /Shading << /Sh1 ") + shading + " >> >>";
    const std::string shadingPattern = std::string("<< /PatternType 2 /Shading ") + shading + " >>";
    pdf.addPage("<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>");
    pdf.addPage(shadings);
    pdf.addPage("<< /Pattern << /P1 " + shadingPattern + " >> >>");
    pdf.addPage("<< /XObject << /F %F >> >>", shadings);
    pdf.addPage("<< /XObject << /F %F >> >>", "<< /Pattern << /P1 " + shadingPattern + " >> >>");
    pdf.addPage("<< /Pattern << /P1 %F >> >>", shadings);  // a tiling pattern's cell
    pdf.addPage("<< /ExtGState << /G1 << /SMask << /S /Luminosity /G %F >> >> >> >>", shadings);
    pdf.addPage("<< /XObject << /F %F >> >>");  // a form without shadings
    pdf.addPage("<< /XObject << /F %F >> >>");
    pdf.lastFormDrawsItself();
    EXPECT_EQ(pdf.shaded(), (std::vector<bool>{false, true, true, true, true, true, true, false, false}));
}

TEST(ShadedPages, NoneForAFileThatIsNotAPdf) {
    EXPECT_TRUE(shadedPages("/nonexistent/file.pdf").empty());
    const std::string path = "/tmp/corvane-not-a-pdf-" + std::to_string(getpid());
    FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("%!PS\nshowpage\n", file);
    std::fclose(file);
    EXPECT_TRUE(shadedPages(path).empty());
    std::remove(path.c_str());
}

}  // namespace
}  // namespace corvane
