// Renders a PDF with corvane-render and hands its pages over band by band,
// straight from the memory the renderer draws into. The renderer starts
// Ghostscript at once, opens the document open() names and draws the pages
// draw() names; it is stopped when the object goes away.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/documents/bandProtocol.h"
#include "app/documents/childProcess.h"
#include "app/documents/ghostscriptCommand.h"
#include "app/documents/pageSelection.h"

namespace corvane {

class pageRenderer {
public:
    // Starts a renderer for documents like `request` (its file is not used).
    explicit pageRenderer(const renderRequest& request);
    ~pageRenderer();
    pageRenderer(const pageRenderer&) = delete;
    pageRenderer& operator=(const pageRenderer&) = delete;

    // The renderer's command line for documents like `request`: renderers
    // with the same one render alike.
    static std::vector<std::string> commandFor(const renderRequest& request);
    const std::vector<std::string>& command() const { return commandLine; }

    bool started() const { return renderer && renderer->started(); }
    // Still waiting for a document or rendering one.
    bool running() { return started() && renderer->running(); }
    // Hands the renderer its document (once only); the number of its pages,
    // none when the renderer could not open it (its end tells why).
    std::optional<unsigned> open(const std::string& file);
    // The pages to draw, after open().
    bool draw(const pageSelection& pages);
    // 1 for gray, 3 for RGB, as the request asked.
    unsigned bytesPerPixel() const { return pixelBytes; }

    // The next page, once its first band is drawn; none at the end of the
    // document or when the renderer said something that makes no sense.
    std::optional<bands::pageShape> nextPage();

    struct drawnRows {
        std::uint32_t slot = 0, firstRow = 0, count = 0;
        const std::uint8_t* first = nullptr;  // row firstRow; the next ones rowStride apart
    };
    // The next rows of the current page; none once the page is whole or
    // when the renderer ended early. Each must be given back.
    std::optional<drawnRows> nextRows();
    void giveBack(const drawnRows& rows);
    bool pageWhole() const { return rowsSoFar == page.height; }
    // The renderer broke off the records (a crash) or sent nonsense.
    bool broken() const { return protocolBroken; }

    int wait() { return renderer->wait(); }
    std::string errorText() const { return renderer->errorText(); }

private:
    bool readRecord(bands::record& record);

    unsigned pixelBytes;
    std::vector<std::string> commandLine;
    const std::uint8_t* memory = nullptr;
    int releaseFd = -1;
    int documentFd = -1;
    std::optional<childProcess> renderer;
    bands::pageShape page;
    std::uint32_t rowsSoFar = 0;
    bool protocolBroken = false;
};

}  // namespace corvane
