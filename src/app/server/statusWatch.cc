#include "app/server/statusWatch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <optional>
#include <thread>

#include "app/devices/appDevice.h"
#include "app/devices/statusCodes.h"
#include "app/devices/statusCommands.h"
#include "app/driver/corvaneDriver.h"
#include "app/server/htmlText.h"
#include "app/server/printerList.h"

namespace corvane {
namespace {

using clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto pollEvery = 5s;
constexpr auto pollSilentEvery = 60s;
constexpr auto replyWait = 2s;
constexpr auto jobLookEvery = 250ms;
constexpr auto suppliesEvery = 60s;
constexpr auto suppliesSilentEvery = 300s;
constexpr auto panelMessageFor = 10s;
constexpr auto refreshAtMost = 2s;

std::string schemeOf(const char* uri) {
    const std::string text = uri ? uri : "";
    return text.substr(0, text.find(':'));
}

pappl_preason_t papplReasons(stateReasons reasons) {
    static constexpr std::array<std::pair<stateReason, pappl_preason_t>, 10> map = {{
        {reasonOther, PAPPL_PREASON_OTHER},
        {reasonCoverOpen, PAPPL_PREASON_COVER_OPEN},
        {reasonInputTrayMissing, PAPPL_PREASON_INPUT_TRAY_MISSING},
        {reasonMediaEmpty, PAPPL_PREASON_MEDIA_EMPTY},
        {reasonMediaJam, PAPPL_PREASON_MEDIA_JAM},
        {reasonMediaLow, PAPPL_PREASON_MEDIA_LOW},
        {reasonMediaNeeded, PAPPL_PREASON_MEDIA_NEEDED},
        {reasonOffline, PAPPL_PREASON_OFFLINE},
        {reasonTonerEmpty, PAPPL_PREASON_TONER_EMPTY},
        {reasonTonerLow, PAPPL_PREASON_TONER_LOW},
    }};
    pappl_preason_t bits = PAPPL_PREASON_NONE;
    for (const auto& [ours, theirs] : map)
        if (reasons & ours) bits |= theirs;
    return bits;
}

// Connection failures of a status question are routine (printer off): the
// debug log only.
void quietDeviceError(const char* message, void* printer) {
    papplLogPrinter(static_cast<pappl_printer_t*>(printer), PAPPL_LOGLEVEL_DEBUG, "%s", message);
}

}  // namespace

// One printer's watch and its thread.
class statusWatch::printerWatch {
public:
    printerWatch(pappl_system_t* system, int printerId)
        : system(system), printerId(printerId), thread([this](std::stop_token stop) { run(stop); }) {}

    void jobStarts(int jobId, std::shared_ptr<backChannel> channel) {
        change([&] {
            job = std::move(channel);
            jobNumber = jobId;
        });
    }
    void jobEnds() {
        change([&] {
            job.reset();
            jobNumber = 0;
            nextPoll = clock::now();
        });
    }
    void identify(const std::string& text) {
        change([&] { panelText = text; });
    }
    void refresh() {
        change([&] { nextPoll = std::min(nextPoll, lastPoll + refreshAtMost); });
    }
    bool answers() {
        const std::lock_guard lock(mutex);
        return answered;
    }
    void stop() { thread.request_stop(); }

private:
    template <class Change>
    void change(Change&& what) {
        {
            const std::lock_guard lock(mutex);
            what();
            woken = true;
        }
        wake.notify_all();
    }

    void run(std::stop_token stop) {
        for (;;) {
            std::shared_ptr<backChannel> channel;
            int jobId = 0;
            std::optional<std::string> panel;
            bool pollDue = false;
            {
                std::unique_lock lock(mutex);
                const auto now = clock::now();
                const auto next = job ? now + jobLookEvery : std::clamp(std::min(nextPoll, nextPanelChange()), now, now + pollSilentEvery);
                wake.wait_until(lock, stop, next, [this] { return woken; });
                woken = false;
                if (stop.stop_requested()) return;
                channel = job;
                jobId = jobNumber;
                if (clock::now() >= nextPanelChange()) panel = panelText ? *panelText : std::string();
                pollDue = clock::now() >= nextPoll;
            }
            if (papplSystemIsShutdown(system)) return;
            pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, printerId, nullptr);
            if (printer == nullptr) return;
            if (!readsBack(printer)) {
                postpone(pollSilentEvery);
                continue;
            }
            if (channel) {
                if (const auto status = channel->snapshot().status) show(printer, *status, jobId);
                continue;
            }
            if (papplPrinterGetNumberOfActiveJobs(printer) > 0) {
                postpone(1s);  // a job is about to start, or PAPPL is finishing one
                deferPanel();
                continue;
            }
            if (panel) sendPanel(printer, *panel);
            if (pollDue) poll(printer, stop);
        }
    }

    void postpone(clock::duration by) {
        const std::lock_guard lock(mutex);
        nextPoll = std::max(nextPoll, clock::now() + by);
    }

    // When the panel must change next: a message waiting, or one to take off;
    // not before a deferral for a busy or absent printer ends.
    clock::time_point nextPanelChange() const {
        const auto due = panelText ? clock::now() : panelClearAt.value_or(clock::time_point::max());
        return std::max(due, panelDeferredUntil);
    }
    void deferPanel() {
        const std::lock_guard lock(mutex);
        panelDeferredUntil = clock::now() + 1s;
    }

    // Runs `talk` with the printer's device opened for a moment and its back
    // channel heard: for socket:// a connection of its own (PAPPL's printer
    // lock is not held while it connects); for usb:// PAPPL's device of the
    // printer, which keeps jobs off meanwhile (one program at a time can
    // claim a USB printer). `read` waits for replies until the time given
    // and says whether more can come.
    template <class Talk>
    bool withDevice(pappl_printer_t* printer, Talk&& talk) {
        const char* uri = papplPrinterGetDeviceURI(printer);
        const bool ownConnection = schemeOf(uri) == "socket";
        pappl_device_t* device = ownConnection ? papplDeviceOpen(uri, "status", quietDeviceError, printer)
                                               : papplPrinterOpenDevice(printer);
        if (device == nullptr) return false;
        const auto closeDevice = [&] { ownConnection ? papplDeviceClose(device) : papplPrinterCloseDevice(printer); };
        talkingDevice* talking = talkingDevice::of(device);
        if (talking == nullptr || !talking->reachOnce(device)) {
            closeDevice();
            return false;
        }
        const auto channel = talking->listen();
        talk(device, *channel, [&](clock::time_point until) {
            channel->waitForChange(channel->changes(), until);
            return !channel->snapshot().closed;
        });
        closeDevice();
        return true;
    }

    void poll(pappl_printer_t* printer, const std::stop_token& stop) {
        bool heard = false;
        const bool opened = withDevice(printer, [&](pappl_device_t* device, backChannel& channel, auto read) {
            const std::string query = statusQueryBlock();
            papplDeviceWrite(device, query.data(), query.size());
            papplDeviceFlush(device);
            const auto deadline = clock::now() + replyWait;
            while (!channel.snapshot().status && clock::now() < deadline && !stop.stop_requested())
                if (!read(deadline)) break;
            const auto status = channel.snapshot().status;
            if (status) {
                heard = true;
                show(printer, *status, 0);
            }
            updateSupplies(printer, device);
        });
        const std::lock_guard lock(mutex);
        silentPolls = heard ? 0 : silentPolls + 1;
        answered = answered || heard;
        if (silentPolls >= 2) answered = false;
        lastPoll = clock::now();
        nextPoll = lastPoll + (opened && silentPolls < 2 ? pollEvery : pollSilentEvery);
    }

    void updateSupplies(pappl_printer_t* printer, pappl_device_t* device) {
        if (clock::now() < nextSupplies || papplSystemIsShutdown(system)) return;
        std::array<pappl_supply_t, 32> supplies{};
        const int count = papplDeviceGetSupplies(device, static_cast<int>(supplies.size()), supplies.data());
        if (count > 0) papplPrinterSetSupplies(printer, count, supplies.data());
        nextSupplies = clock::now() + (count > 0 ? suppliesEvery : suppliesSilentEvery);
    }

    void sendPanel(pappl_printer_t* printer, const std::string& text) {
        const bool sent = withDevice(printer, [&](pappl_device_t* device, backChannel&, auto) {
            const std::string block = panelMessageBlock(text);
            papplDeviceWrite(device, block.data(), block.size());
            papplDeviceFlush(device);
        });
        if (!sent) {
            const std::lock_guard lock(mutex);
            panelDeferredUntil = clock::now() + pollEvery;
            return;
        }
        papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, text.empty() ? "Panel message taken off." : "Panel message \"%s\".",
                        pjlQuotedText(text).c_str());
        const std::lock_guard lock(mutex);
        if (panelText && *panelText == text) panelText.reset();
        panelClearAt = text.empty() ? std::nullopt : std::optional(clock::now() + panelMessageFor);
    }

    // The printer's status as state reasons, its panel text on its web page,
    // and, while a job meets a condition, in the job's message.
    void show(pappl_printer_t* printer, const deviceStatus& status, int jobId) {
        if (papplSystemIsShutdown(system)) return;  // printers may be going away
        const stateReasons reasons = reasonsOf(status);
        const pappl_preason_t bits = papplReasons(reasons);
        if (bits != shownReasons) {
            papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "The printer reports %d \"%s\": %s.", status.code,
                            status.display.c_str(), reasonKeywords(reasons).c_str());
            papplPrinterSetReasons(printer, bits & ~shownReasons, shownReasons & ~bits);
            shownReasons = bits;
        }
        const std::string label = status.display.empty() ? std::string() : "Printer: " + htmlSafe(status.display);
        if (label != shownLabel) {
            if (!shownLabel.empty()) papplPrinterRemoveLink(printer, shownLabel.c_str());
            if (!label.empty()) {
                char path[256];
                papplPrinterGetPath(printer, nullptr, path, sizeof path);
                papplPrinterAddLink(printer, label.c_str(), path, PAPPL_LOPTIONS_STATUS);
            }
            shownLabel = label;
        }
        if (jobId != 0 && reasons != reasonNone && status.display != shownJobMessage) {
            if (pappl_job_t* job = papplPrinterFindJob(printer, jobId))
                papplJobSetMessage(job, "%s", status.display.c_str());
            shownJobMessage = status.display;
        }
        if (reasons == reasonNone) shownJobMessage.clear();
    }

    pappl_system_t* system;
    const int printerId;

    std::mutex mutex;
    std::condition_variable_any wake;
    bool woken = false;
    std::shared_ptr<backChannel> job;
    int jobNumber = 0;
    std::optional<std::string> panelText;
    std::optional<clock::time_point> panelClearAt;
    clock::time_point panelDeferredUntil{};
    clock::time_point nextPoll = clock::now();
    clock::time_point lastPoll{};
    int silentPolls = 0;
    bool answered = false;

    // The watch's thread only.
    clock::time_point nextSupplies = clock::now();
    pappl_preason_t shownReasons = PAPPL_PREASON_NONE;
    std::string shownLabel;
    std::string shownJobMessage;

    std::jthread thread;  // last: it starts once everything above is set
};

statusWatch::statusWatch(pappl_system_t* system) : system(system) {
    papplSystemAddTimerCallback(system, std::time(nullptr), 1, tick, this);
}

statusWatch::~statusWatch() = default;  // each watch's thread stops and joins

// Starts a watch for each printer; stops them all when the server stops.
bool statusWatch::tick(pappl_system_t* system, void* context) {
    auto& watch = *static_cast<statusWatch*>(context);
    if (papplSystemIsShutdown(system)) {
        const std::lock_guard lock(watch.mutex);
        for (auto& [id, printer] : watch.watches) printer->stop();
        return false;
    }
    forEachPrinter(system, [&](pappl_printer_t* printer) { watch.watchOf(papplPrinterGetID(printer)); });
    return true;
}

statusWatch::printerWatch& statusWatch::watchOf(int printerId) {
    const std::lock_guard lock(mutex);
    auto& watch = watches[printerId];
    if (!watch) watch = std::make_unique<printerWatch>(system, printerId);
    return *watch;
}

void statusWatch::jobStarts(pappl_printer_t* printer, int jobId, std::shared_ptr<backChannel> channel) {
    watchOf(papplPrinterGetID(printer)).jobStarts(jobId, std::move(channel));
}

void statusWatch::jobEnds(pappl_printer_t* printer) { watchOf(papplPrinterGetID(printer)).jobEnds(); }

void statusWatch::identify(pappl_printer_t* printer, const std::string& text) {
    watchOf(papplPrinterGetID(printer)).identify(text);
}

void statusWatch::refresh(pappl_printer_t* printer) { watchOf(papplPrinterGetID(printer)).refresh(); }

bool statusWatch::answers(pappl_printer_t* printer) { return watchOf(papplPrinterGetID(printer)).answers(); }

}  // namespace corvane
