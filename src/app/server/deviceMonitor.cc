#include "app/server/deviceMonitor.h"

#include "app/server/htmlText.h"
#include "app/server/printerList.h"

#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace corvane {
namespace {

void findProcessing(pappl_job_t* job, void* found) {
    if (papplJobGetState(job) == IPP_JSTATE_PROCESSING) *static_cast<pappl_job_t**>(found) = job;
}

// The job PAPPL holds while it retries the device: a job in progress on a
// stopped printer.
pappl_job_t* jobWaitingForDevice(pappl_printer_t* printer) {
    if (papplPrinterGetState(printer) != IPP_PSTATE_STOPPED) return nullptr;
    pappl_job_t* job = nullptr;
    papplPrinterIterateActiveJobs(printer, findProcessing, &job, 1, 0);
    return job;
}

}  // namespace

std::string unreachableDeviceText(const std::string& deviceUri) {
    char scheme[32], user[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, deviceUri.c_str(), scheme, sizeof scheme, user, sizeof user,
                        host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
        return "Cannot open the device " + deviceUri;
    const std::string kind(scheme);
    if (kind == "socket") return "Cannot connect to " + std::string(host) + ":" + std::to_string(port);
    if (kind == "file") {
        std::string path(resource);
        if (const auto query = path.find('?'); query != std::string::npos) path.erase(query);
        std::error_code error;
        if (!std::filesystem::exists(path, error)) return "The folder " + path + " does not exist";
        if (access(path.c_str(), W_OK) != 0) return "Cannot write to the folder " + path;
        return "Cannot write to " + path;
    }
    if (kind == "usb") return "The USB printer is not connected";
    return "Cannot open the device " + deviceUri;
}

deviceMonitor::deviceMonitor(pappl_system_t* system, std::function<void(pappl_job_t*)> endWait)
    : system(system), endWait(std::move(endWait)), worker([this](std::stop_token stop) { work(stop); }) {
    papplSystemAddTimerCallback(system, std::time(nullptr), 1, tick, this);
}

bool deviceMonitor::tick(pappl_system_t* system, void* context) {
    auto& monitor = *static_cast<deviceMonitor*>(context);
    if (papplSystemIsShutdown(system)) {
        // No look may start once the system is going away.
        monitor.worker.request_stop();
        return false;
    }
    {
        const std::lock_guard lock(monitor.mutex);
        monitor.lookAsked = true;
    }
    monitor.asked.notify_one();
    return true;
}

// Looks only when the main loop asked, so only while the system runs. A look
// blocked on a printer's lock means PAPPL is opening its device for a job,
// and PAPPL does not leave its main loop while a job is active.
void deviceMonitor::work(std::stop_token stop) {
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (!asked.wait(lock, stop, [this] { return lookAsked; })) return;
            lookAsked = false;
        }
        forEachPrinter(system, [this](pappl_printer_t* printer) { check(printer); });
    }
}

void deviceMonitor::check(pappl_printer_t* printer) {
    const int id = papplPrinterGetID(printer);
    const auto marked = shown.find(id);
    pappl_job_t* waiting = jobWaitingForDevice(printer);
    if (waiting == nullptr) {
        if (marked == shown.end()) return;
        papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
        papplPrinterRemoveLink(printer, marked->second.label.c_str());
        if (pappl_job_t* job = papplPrinterFindJob(printer, marked->second.jobId))
            papplJobSetMessage(job, "The printer answered; the job went on.");
        shown.erase(marked);
        return;
    }
    if (papplJobIsCanceled(waiting)) {
        if (endWait) endWait(waiting);
        return;
    }
    const std::string text = unreachableDeviceText(papplPrinterGetDeviceURI(printer));
    const char* message = papplJobGetMessage(waiting);
    if (message == nullptr || text != message) papplJobSetMessage(waiting, "%s", text.c_str());
    if (marked != shown.end()) {
        marked->second.jobId = papplJobGetID(waiting);
        return;
    }

    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "%s.", text.c_str());
    papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
    char path[256];
    papplPrinterGetPath(printer, nullptr, path, sizeof path);
    const std::string label = htmlSafe(text) + "; printing resumes when it answers.";
    papplPrinterAddLink(printer, label.c_str(), path, PAPPL_LOPTIONS_STATUS);
    shown.emplace(id, shownProblem{label, papplJobGetID(waiting)});
}

}  // namespace corvane
