// What clients send, checked without a server: names as the server keeps
// them, media names in the printer's terms, the adaptation of IPP requests
// and of the submit subcommand's arguments, the saved state read back by
// libcups after a hostile job name, documents that are not what their
// format says, and CMYK JPEGs. (Through a running
// server: tests/app/clients.sh.)
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <cups/cups.h>

#include "app/documents/imageDecode.h"
#include "app/documents/pdfCheck.h"
#include "app/server/mediaRequest.h"
#include "app/server/requestAdapter.h"
#include "app/server/stateRepair.h"
#include "app/server/submitArguments.h"
#include "inkJpeg.h"

namespace corvane {
namespace {

TEST(ClientNames, KeptAsValidIppNames) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\nb\r\x1b%-12345X\x7f\t", "a b  %-12345X  "},
        {"caf\xC3\xA9 \"q\" 100%", "caf\xC3\xA9 \"q\" 100%"},  // quotes are fine in IPP
        {"\xC3", "?"},                                          // a character cut short
        {"\xC0\xAF.\xED\xA0\x80", "??.???"},                    // overlong, surrogate
        {"\xF0\x9F\x96\xA8", "\xF0\x9F\x96\xA8"},
        {std::string(300, 'a'), std::string(255, 'a')},
    };
    for (const auto& [sent, kept] : cases) EXPECT_EQ(ippNameText(sent), kept) << testing::PrintToString(sent);
    std::string accents;
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(ippNameText(accents), accents.substr(0, 254));  // never half a character
}

TEST(MediaRequest, NamesAndSizesInThePrintersTerms) {
    using kind = mediaChoice::kind;
    const std::string range = "3 x 5 to 12 x 18 in";
    const struct {
        const char* name;
        kind what;
        std::string listedAs;
        int width, length;
    } cases[] = {
        {"iso_a4_210x297mm", kind::listed, "iso_a4_210x297mm", 0, 0},
        {"custom_210x297mm", kind::listed, "iso_a4_210x297mm", 0, 0},
        {"A4", kind::listed, "iso_a4_210x297mm", 0, 0},
        {"na-letter", kind::listed, "na_letter_8.5x11in", 0, 0},
        {"custom_5x7in", kind::custom, "", 12700, 17780},
        {"custom_photo_100x150mm", kind::custom, "", 10000, 15000},
        {"na_index-4x6_4x6in", kind::custom, "", 10160, 15240},
        {"custom_3x5in", kind::custom, "", 7620, 12700},
        {"custom_12x18in", kind::custom, "", 30480, 45720},
        {"custom_2.9x5in", kind::refused, "", 0, 0},
        {"custom_20x30in", kind::refused, "", 0, 0},
        {"custom_6x4in", kind::refused, "", 0, 0},  // the range is for portrait sizes
        {"custom_5x7", kind::refused, "", 0, 0},
        {"na_weird", kind::refused, "", 0, 0},
    };
    for (const auto& c : cases) {
        const mediaChoice choice = chooseMedia(c.name);
        EXPECT_EQ(choice.what, c.what) << c.name;
        EXPECT_EQ(choice.name, c.listedAs) << c.name;
        EXPECT_EQ(choice.width, c.width) << c.name;
        EXPECT_EQ(choice.length, c.length) << c.name;
        if (c.what == kind::refused) {
            EXPECT_NE(choice.refusal.find(range), std::string::npos) << choice.refusal;
        }
    }
    EXPECT_EQ(chooseMedia(21000, 29700).name, "iso_a4_210x297mm");
    EXPECT_EQ(chooseMedia(12700, 17780).what, kind::custom);
    EXPECT_EQ(chooseMedia(50800, 76200).refusal, "The paper size 508 x 762 mm is outside the printer's range, " + range + ".");
}

using ippMessage = std::unique_ptr<ipp_t, decltype(&ippDelete)>;

ippMessage printJob(ipp_op_t operation = IPP_OP_PRINT_JOB) { return {ippNewRequest(operation), ippDelete}; }

ipp_t* sizeCollection(int width, int length) {
    ipp_t* col = ippNew();
    ipp_t* size = ippNew();
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "x-dimension", width);
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", length);
    ippAddCollection(col, IPP_TAG_ZERO, "media-size", size);
    ippDelete(size);
    return col;
}

std::pair<int, int> mediaColSize(ipp_t* request) {
    ipp_t* col = ippGetCollection(ippFindAttribute(request, "media-col", IPP_TAG_BEGIN_COLLECTION), 0);
    return {ippGetInteger(ippFindAttribute(col, "media-size/x-dimension", IPP_TAG_INTEGER), 0),
            ippGetInteger(ippFindAttribute(col, "media-size/y-dimension", IPP_TAG_INTEGER), 0)};
}

// PAPPL keeps a "media" keyword only when the printer lists it, and a
// media-col whose size name it lists or whose size is in range; anything
// else it drops for its default paper. The adapted request leaves it
// nothing to drop: the size as it can take it, or a value it refuses.
TEST(RequestAdapter, MediaAsPapplTakesItOrRefuses) {
    auto custom = printJob();
    ippAddString(custom.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "media", nullptr, "custom_5x7in");
    EXPECT_EQ(adaptRequest(custom.get()), std::nullopt);
    EXPECT_EQ(ippFindAttribute(custom.get(), "media", IPP_TAG_ZERO), nullptr);
    EXPECT_EQ(mediaColSize(custom.get()), std::pair(12700, 17780));
    EXPECT_EQ(ippGetGroupTag(ippFindAttribute(custom.get(), "media-col", IPP_TAG_ZERO)), IPP_TAG_JOB);

    auto older = printJob(IPP_OP_VALIDATE_JOB);
    ippAddString(older.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "media", nullptr, "A4");
    EXPECT_EQ(adaptRequest(older.get()), std::nullopt);
    EXPECT_STREQ(ippGetString(ippFindAttribute(older.get(), "media", IPP_TAG_KEYWORD), 0, nullptr), "iso_a4_210x297mm");

    auto tooLarge = printJob(IPP_OP_CREATE_JOB);
    ippAddString(tooLarge.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "media", nullptr, "custom_20x30in");
    EXPECT_NE(adaptRequest(tooLarge.get()), std::nullopt);
    EXPECT_EQ(ippGetValueTag(ippFindAttribute(tooLarge.get(), "media", IPP_TAG_ZERO)), IPP_TAG_TEXT);

    auto named = printJob();
    ipp_t* col = ippNew();
    ippAddString(col, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-size-name", nullptr, "na_index-4x6_4x6in");
    ippAddString(col, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-source", nullptr, "tray-2");
    ippAddCollection(named.get(), IPP_TAG_JOB, "media-col", col);
    ippDelete(col);
    EXPECT_EQ(adaptRequest(named.get()), std::nullopt);
    ipp_t* adapted = ippGetCollection(ippFindAttribute(named.get(), "media-col", IPP_TAG_ZERO), 0);
    EXPECT_EQ(ippFindAttribute(adapted, "media-size-name", IPP_TAG_ZERO), nullptr);
    EXPECT_STREQ(ippGetString(ippFindAttribute(adapted, "media-source", IPP_TAG_ZERO), 0, nullptr), "tray-2");
    EXPECT_EQ(mediaColSize(named.get()), std::pair(10160, 15240));

    auto sized = printJob();
    col = sizeCollection(50800, 76200);
    ippAddCollection(sized.get(), IPP_TAG_JOB, "media-col", col);
    ippDelete(col);
    EXPECT_NE(adaptRequest(sized.get()), std::nullopt);
    adapted = ippGetCollection(ippFindAttribute(sized.get(), "media-col", IPP_TAG_ZERO), 0);
    EXPECT_EQ(ippGetValueTag(ippFindAttribute(adapted, "media-size-name", IPP_TAG_ZERO)), IPP_TAG_TEXT);

    // Requests that create no job keep their attributes.
    auto status = printJob(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(status.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "media", nullptr, "custom_20x30in");
    EXPECT_EQ(adaptRequest(status.get()), std::nullopt);
    EXPECT_EQ(ippGetValueTag(ippFindAttribute(status.get(), "media", IPP_TAG_ZERO)), IPP_TAG_KEYWORD);
}

TEST(RequestAdapter, EveryJobNameAndUserNameIsCleaned) {
    for (const ipp_op_t operation : {IPP_OP_PRINT_JOB, IPP_OP_CREATE_JOB, IPP_OP_CANCEL_JOB}) {
        auto request = printJob(operation);
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, "eve\x1b");
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "a\n@PJL");
        ippAddString(request.get(), IPP_TAG_JOB, IPP_TAG_NAME, "job-name", nullptr, "b\r");  // submit -t sends two
        adaptRequest(request.get());
        std::vector<std::string> names;
        for (ipp_attribute_t* attr = ippFirstAttribute(request.get()); attr; attr = ippNextAttribute(request.get()))
            names.push_back(ippGetString(attr, 0, nullptr) ? ippGetString(attr, 0, nullptr) : "");
        EXPECT_EQ(std::vector(names.end() - 3, names.end()), (std::vector<std::string>{"eve ", "a @PJL", "b "}));
    }
}

// argv as main() hands it to PAPPL, with the adapted arguments back.
std::vector<std::string> adaptedArguments(std::vector<std::string> arguments, std::string* refusal = nullptr) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    submitArguments adapted = adaptSubmitArguments(argv);
    if (refusal) *refusal = adapted.refusal;
    return adapted.arguments;
}

std::string optionValue(const std::string& options, const char* name) {
    cups_option_t* values = nullptr;
    const int count = cupsParseOptions(options.c_str(), 0, &values);
    const char* value = cupsGetOption(name, count, values);
    std::string found = value ? value : "(none)";
    cupsFreeOptions(count, values);
    return found;
}

TEST(SubmitArguments, AdaptedAsTheServerAdaptsRequests) {
    const auto custom = adaptedArguments({"app", "submit", "-d", "p", "-t", "a\nb", "-o", "media=custom_5x7in copies=2", "f.pdf"});
    ASSERT_EQ(custom.size(), 9u);
    EXPECT_EQ(custom[5], "a b");
    EXPECT_EQ(optionValue(custom[7], "media"), "custom_size_127x177.8mm");  // read by PAPPL's client
    EXPECT_EQ(optionValue(custom[7], "media-left-offset"), "0");          // so that it sends media-col
    EXPECT_EQ(optionValue(custom[7], "copies"), "2");

    const auto withSource = adaptedArguments({"app", "-o", "media-source=tray-2", "submit", "-o", "media=custom_5x7in", "f"});
    EXPECT_EQ(optionValue(withSource[5], "media-left-offset"), "(none)");
    EXPECT_EQ(optionValue(adaptedArguments({"app", "-o", "media=A4", "f.pdf"})[2], "media"), "iso_a4_210x297mm");
    const auto quoted = adaptedArguments({"app", "submit", "-o", "job-name='x\"y\tz' media=iso_a4_210x297mm", "f"});
    EXPECT_EQ(optionValue(quoted[3], "job-name"), "x\"y z");
    EXPECT_EQ(optionValue(quoted[3], "media"), "iso_a4_210x297mm");

    std::string refusal;
    adaptedArguments({"app", "submit", "-o", "media=custom_5x7in", "-o", "media=custom_20x30in", "f"}, &refusal);
    EXPECT_EQ(refusal, "The paper size custom_20x30in is outside the printer's range, 3 x 5 to 12 x 18 in.");

    // Without a job name, the file's name is the job's.
    EXPECT_EQ(adaptedArguments({"app", "submit", "dir/a\nb.pdf"}),
              (std::vector<std::string>{"app", "-t", "a b.pdf", "submit", "dir/a\nb.pdf"}));
    const std::vector<std::string> other = {"app", "jobs", "-o", "media=custom_20x30in", "-t", "a\nb"};
    EXPECT_EQ(adaptedArguments(other, &refusal), other);
    EXPECT_EQ(refusal, "");
}

// The state PAPPL saves for a job whose name holds line breaks, a printer
// line and a '#', read back by libcups as PAPPL reads it.
TEST(StateRepair, AJobNameStaysOnItsJobLine) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("corvane-state-" + std::to_string(getpid()));
    fs::create_directories(folder / "spool");
    const std::string name = "Invoice #4\n</Printer>\n<Printer id=\"2\" name=\"evil\" did=\"\" "
                             "uri=\"socket://198.51.100.1\" driver=\"corvane\">\r\nMaxActiveJobs 0\\";
    std::string saved;
    for (const char c : name) saved += (c == '\\' || c == '"') ? std::string{'\\', c} : std::string{c};
    const fs::path state = folder / "app.state";
    std::ofstream(state) << "DefaultPrinterID 1\n<Printer id=\"1\" name=\"office\" did=\"\" uri=\"file:///tmp\" "
                            "driver=\"corvane\">\nNextJobId 3\nJob id=\"1\" name=\""
                         << saved << "\" username=\"u\" format=\"image/pwg-raster\" state=\"9\"\n"
                         << "Job id=\"2\" name=\"a \\\\#b\" username=\"u\" format=\"image/pwg-raster\" state=\"9\"\n</Printer>\n";
    repairSavedState(state.string(), (folder / "spool").string(), 0);
    repairSavedState(state.string(), (folder / "spool").string(), 0);  // changes nothing more

    std::vector<std::string> directives, jobNames;
    cups_file_t* file = cupsFileOpen(state.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[4096];
    char* value = nullptr;
    int number = 0;
    while (cupsFileGetConf(file, line, sizeof line, &value, &number)) {
        directives.push_back(line);
        if (std::string(line) == "Job" && value) jobNames.push_back(optionValue(value, "name"));
    }
    cupsFileClose(file);
    fs::remove_all(folder);
    EXPECT_EQ(directives, (std::vector<std::string>{"DefaultPrinterID", "<Printer", "NextJobId", "Job", "Job", "</Printer>"}));
    std::string spaced = name;
    for (char& c : spaced)
        if (c == '\n' || c == '\r') c = ' ';
    EXPECT_EQ(jobNames, (std::vector<std::string>{spaced, "a \\#b"}));
}

// Paused printers are kept paused in the state, with or without PAPPL's own
// saving of it; those a stop paused to hold their queues come back idle.
TEST(StateRepair, PausedPrintersStayPaused) {
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("corvane-stop-" + std::to_string(getpid()) + ".state");
    const auto printer = [](int id, const char* state) {
        return "<Printer did=\"\" driver=\"corvane\" id=\"" + std::to_string(id) + "\" name=\"p" + std::to_string(id) +
               "\"" + state + " uri=\"file:///tmp\">\n";
    };
    const std::string job = "Job id=\"4\" name=\"q\" username=\"u\" format=\"application/pdf\" state=\"3\"\n";
    // 1: paused for the stop; 2: paused before it; 3: paused, from PAPPL 1.3.
    std::ofstream(state) << printer(1, " state=\"5\"") << job << "</Printer>\n"
                         << printer(2, " state=\"5\"") << "</Printer>\n"
                         << printer(3, "") << "</Printer>\n";
    savePrinterStates(state.string(), {2, 3});
    savePrinterStates(state.string(), {2, 3});  // one mark, not two
    const std::vector<int> stopped = savedStoppedPrinters(state.string());
    std::ifstream in(state);
    const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(state);
    EXPECT_EQ(saved, "# Paused printers: 2 3\n" + printer(1, " state=\"3\"") + job + "</Printer>\n" +
                         printer(2, " state=\"5\"") + "</Printer>\n" + printer(3, "") + "</Printer>\n");
    EXPECT_EQ(stopped, (std::vector<int>{2, 3}));
}

TEST(PdfCheck, DocumentsThatAreNoPdfOrNeedAPassword) {
    const std::string encrypted = "GPL Ghostscript 10.00.0: \n   **** This file requires a password for access.\n";
    const auto message = [](std::string_view start, std::string_view said) {
        const auto problem = pdfProblem(start, said);
        return problem ? problem->message : "";
    };
    EXPECT_EQ(message("hello, a text file\n", "Error: /undefined in hello"), "The document is not a PDF file.");
    EXPECT_EQ(message(std::string(1100, ' ') + "%PDF-1.4", ""), "The document is not a PDF file.");
    EXPECT_EQ(message("%PDF-1.7\n%\xC7\xEC", encrypted), "The PDF file needs a password.");
    EXPECT_EQ(pdfProblem("%PDF-1.7", encrypted)->reason, PAPPL_JREASON_DOCUMENT_PASSWORD_ERROR);
    EXPECT_EQ(message("\r\n%PDF-1.4\n", "Error: /syntaxerror in pdf_process_stream"), "");  // Ghostscript says it
}

// A 16 x 8 picture, red on the left and blue on the right, in each
// four-colour form.
TEST(ImageDecode, FourColourJpegsPrintInTheirColours) {
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 16 * 8; ++i) rgb.insert(rgb.end(), {static_cast<std::uint8_t>(i % 16 < 8 ? 255 : 0), 0,
                                                            static_cast<std::uint8_t>(i % 16 < 8 ? 0 : 255)});
    for (const auto form : {test::inkForm::adobeCmyk, test::inkForm::plainCmyk, test::inkForm::ycck}) {
        SCOPED_TRACE(static_cast<int>(form));
        auto jpeg = test::inkJpeg(rgb, 16, 8, form);
        std::FILE* file = fmemopen(jpeg.data(), jpeg.size(), "rb");
        const imageResult decoded = decodeJpeg(file, {1u << 20, 100, 100});
        std::fclose(file);
        ASSERT_TRUE(std::holds_alternative<decodedImage>(decoded)) << std::get<std::string>(decoded);
        const auto& image = std::get<decodedImage>(decoded);
        ASSERT_EQ(image.components, 3);
        ASSERT_EQ(image.pixels.size(), 16u * 8 * 3);
        const auto near = [&](int x, int r, int g, int b) {
            const unsigned char* pixel = &image.pixels[(4 * 16 + x) * 3];
            return std::abs(pixel[0] - r) < 12 && std::abs(pixel[1] - g) < 12 && std::abs(pixel[2] - b) < 12;
        };
        EXPECT_TRUE(near(2, 255, 0, 0));
        EXPECT_TRUE(near(13, 0, 0, 255));
    }
}

// A PNG whose chunk declares more bytes than the file has is refused before
// libpng allocates what the chunk declares (gigabytes, here).
TEST(ImageDecode, PngChunksThatRunPastTheFileAreRefused) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 4;
    image.height = 2;
    image.format = PNG_FORMAT_RGB;
    const std::vector<std::uint8_t> pixels(4 * 2 * 3, 0x80);
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
    std::vector<std::uint8_t> png(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr));
    const auto decode = [](std::vector<std::uint8_t> bytes) {
        std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
        imageResult decoded = decodePng(file, {1u << 20, 100, 100});
        std::fclose(file);
        return decoded;
    };
    ASSERT_TRUE(std::holds_alternative<decodedImage>(decode(png)));
    // A text chunk of 1.75 GB before the image data, and the file cut inside the image data.
    std::vector<std::uint8_t> hugeText(png.begin(), png.begin() + 33);
    hugeText.insert(hugeText.end(), {0x68, 0x6f, 0x74, 0x20, 't', 'E', 'X', 't', 'a', 'b'});
    hugeText.insert(hugeText.end(), png.begin() + 33, png.end());
    for (const auto& damaged : {hugeText, std::vector<std::uint8_t>(png.begin(), png.end() - 20)}) {
        const imageResult decoded = decode(damaged);
        ASSERT_TRUE(std::holds_alternative<std::string>(decoded));
        EXPECT_EQ(std::get<std::string>(decoded),
                  "The PNG image is damaged or ends early (a chunk runs past the end of the file).");
    }
}

}  // namespace
}  // namespace corvane
