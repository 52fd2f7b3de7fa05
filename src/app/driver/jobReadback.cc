#include "app/driver/jobReadback.h"

#include <chrono>

#include "app/devices/appDevice.h"
#include "app/devices/statusCodes.h"
#include "app/devices/statusCommands.h"
#include "app/driver/corvaneDriver.h"
#include "app/driver/driverContext.h"

namespace corvane {
namespace {

using clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto silentPrinterWait = 3s;
constexpr auto knownPrinterWait = 30s;
constexpr auto quietAfterEchoLimit = 60s;
constexpr auto lookEvery = 250ms;

}  // namespace

std::unique_ptr<jobReadback> jobReadback::start(pappl_job_t* job, pappl_device_t* device) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    talkingDevice* talking = talkingDevice::of(device);
    if (!readsBack(printer) || talking == nullptr) return nullptr;
    return std::make_unique<jobReadback>(job, *talking);
}

jobReadback::jobReadback(pappl_job_t* job, talkingDevice& device)
    : job(job), printer(papplJobGetPrinter(job)), channel(device.listen()) {
    // Unique on the connection: the printer and job, and the moment.
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now().time_since_epoch()).count();
    token = std::to_string(papplPrinterGetID(printer)) + "." + std::to_string(papplJobGetID(job)) + "." +
            std::to_string(now % 100000);
    channel->beginJob(token);
    openingBytes = openingBlock(token);
    if (printerStatus* watch = printerStatusOf(printer)) watch->jobStarts(printer, papplJobGetID(job), channel);
}

jobReadback::~jobReadback() {
    if (printerStatus* watch = printerStatusOf(printer)) watch->jobEnds(printer);
}

void jobReadback::finish(deviceSink& sink) {
    if (!sink.sentAnything() || sink.failed()) return;
    sink.write(closingBlock(token));
    sink.flush();
    if (sink.failed()) return;
    waitForPrinter();
    sink.write(statusOffBlock());
    sink.flush();
}

void jobReadback::waitForPrinter() {
    printerStatus* watch = printerStatusOf(printer);
    const bool knownToAnswer = watch && watch->answers(printer);
    const auto silentUntil = clock::now() + (knownToAnswer ? knownPrinterWait : silentPrinterWait);
    std::uint64_t seen = 0;
    backChannel::state now = channel->snapshot();
    for (;; now = channel->snapshot()) {
        if (now.pagesPrinted > 0) countImpressions(now.pagesPrinted);
        if (papplJobIsCanceled(job) || now.closed || now.jobEnded) break;
        if (!now.heard && clock::now() >= silentUntil) {
            papplLogJob(job, PAPPL_LOGLEVEL_INFO, "The printer does not answer; the job is taken as printed.");
            break;
        }
        // A printer that answers but sends no job reports has all the job
        // once it echoes the closing block.
        if (now.closingEchoed && !now.jobStarted) break;
        const bool condition = now.status && reasonsOf(*now.status) != reasonNone;
        if (now.closingEchoed && !condition && clock::now() - now.lastReply >= quietAfterEchoLimit) {
            papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The printer sent no end-of-job report; the job is taken as printed.");
            break;
        }
        seen = channel->waitForChange(seen, clock::now() + lookEvery);
    }
    if (now.jobEnded && now.endPages >= 0) countImpressions(now.endPages);
    if (now.jobEnded)
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "The printer reports the job done: %ld pages%s%s.",
                    now.endPages, now.endResult.empty() ? "" : ", ", now.endResult.c_str());
}

void jobReadback::countImpressions(long printed) {
    const int delta = static_cast<int>(printed) - papplJobGetImpressionsCompleted(job);
    if (delta != 0) papplJobSetImpressionsCompleted(job, delta);
}

}  // namespace corvane
