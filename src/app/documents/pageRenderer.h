// Renders a PDF with corvane-render and hands over its pages' printer bytes
// (the rows, encoded by the renderer) straight from the memory the renderer
// writes them into. The renderer starts Ghostscript at once, opens the
// document open() names and draws the pages draw() names; it is stopped when
// the object goes away.
#pragma once

#include <cstdint>
#include <memory>
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
    // A second renderer for this one's document, made by this one after
    // open() and before draw(): a copy of it (fork), Ghostscript started and
    // the document open. Null when it cannot be made; the copy needs only
    // its own draw().
    std::unique_ptr<pageRenderer> fork();
    // The pages to draw, after open(), each encoded at the job's page size.
    bool draw(const pageSelection& pages, bands::pageSize jobPage);

    // True when the next page begins; false at the end of the document or
    // when the renderer said something that makes no sense.
    bool nextPage();

    struct encodedRows {
        std::uint32_t slot = 0;
        std::span<const std::uint8_t> bytes;
    };
    // The current page's next printer bytes; none once the page is whole or
    // when the renderer ended early. Each must be given back.
    std::optional<encodedRows> nextRows();
    void giveBack(const encodedRows& rows);
    // The renderer ended the current page with all its rows.
    bool pageWhole() const { return whole; }
    // The renderer broke off the records (a crash) or sent nonsense.
    bool broken() const { return protocolBroken; }

    int wait() { return renderer->wait(); }
    std::string errorText() const { return renderer->errorText(); }

private:
    // What the renderer's process is handed; closed once it has them.
    struct rendererEnds {
        rendererEnds() = default;
        rendererEnds(const rendererEnds&) = delete;
        rendererEnds& operator=(const rendererEnds&) = delete;
        ~rendererEnds();
        std::vector<int> fds;  // in forkedEnd order
    };
    struct twinTag {};
    // The channels of a copy of a renderer, not yet handed over.
    pageRenderer(std::vector<std::string> command, twinTag);
    // The memory and sockets both sides use; false when they cannot be made.
    bool makeChannels(rendererEnds& ends);
    bool readRecord(bands::record& record);

    std::vector<std::string> commandLine;
    const std::uint8_t* memory = nullptr;
    int releaseFd = -1;
    int documentFd = -1;
    std::unique_ptr<programRun> renderer;
    // A copy's descriptors until the renderer that makes it has them.
    std::unique_ptr<rendererEnds> handOver;
    bands::pageSize page;
    bool whole = false;
    bool protocolBroken = false;
};

}  // namespace corvane
