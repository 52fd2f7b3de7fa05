#include "app/printerApp.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "app/server/addPrinterPage.h"
#include "app/driver/corvaneDriver.h"
#include "app/devices/fileDevice.h"
#include "app/documents/imageFilter.h"
#include "app/documents/pdfFilter.h"

namespace corvane {
namespace {

constexpr const char* appName = "corvane-printer-app";

pappl_loglevel_t logLevel(const char* value) {
    if (value == nullptr) return PAPPL_LOGLEVEL_WARN;
    const std::string_view level(value);
    if (level == "fatal") return PAPPL_LOGLEVEL_FATAL;
    if (level == "error") return PAPPL_LOGLEVEL_ERROR;
    if (level == "info") return PAPPL_LOGLEVEL_INFO;
    if (level == "debug") return PAPPL_LOGLEVEL_DEBUG;
    return PAPPL_LOGLEVEL_WARN;
}

// The "server-options" list, as PAPPL's own default system reads it.
pappl_soptions_t serverOptions(const char* value) {
    pappl_soptions_t options = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE;
    if (value == nullptr) return options;
    std::string_view rest(value);
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view word = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (word == "none") options = PAPPL_SOPTIONS_NONE;
        else if (word == "dnssd-host") options |= PAPPL_SOPTIONS_DNSSD_HOST;
        else if (word == "no-multi-queue") options &= ~PAPPL_SOPTIONS_MULTI_QUEUE;
        else if (word == "raw-socket") options |= PAPPL_SOPTIONS_RAW_SOCKET;
        else if (word == "usb-printer") options |= PAPPL_SOPTIONS_USB_PRINTER;
        else if (word == "no-web-interface") options &= ~PAPPL_SOPTIONS_WEB_INTERFACE;
        else if (word == "web-log") options |= PAPPL_SOPTIONS_WEB_LOG;
        else if (word == "web-network") options |= PAPPL_SOPTIONS_WEB_NETWORK;
        else if (word == "web-remote") options |= PAPPL_SOPTIONS_WEB_REMOTE;
        else if (word == "web-security") options |= PAPPL_SOPTIONS_WEB_SECURITY;
        else if (word == "no-tls") options |= PAPPL_SOPTIONS_NO_TLS;
    }
    return options;
}

bool usableFolder(const std::string& path) {
    return access(path.c_str(), X_OK) == 0 || (errno == ENOENT && mkdir(path.c_str(), 0777) == 0);
}

// PAPPL's default spool folder: /var/spool/NAME for root, ~/.config/NAME.d
// for a user, the temporary folder as the last resort.
std::string defaultSpoolDirectory() {
    if (getuid() == 0) {
        if (usableFolder("/var/spool")) return std::string("/var/spool/") + appName;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
        const std::string config = std::string(home) + "/.config";
        if (usableFolder(config)) return config + "/" + appName + ".d";
    }
    return std::string(papplGetTempDir()) + "/" + appName + std::to_string(getuid()) + ".d";
}

// PAPPL takes one event callback.
void serverEvent(pappl_system_t*, pappl_printer_t*, pappl_job_t* job, pappl_event_t event, void* context) {
    auto& app = *static_cast<printerApp*>(context);
    app.monitor->jobEvent(job, event);
    app.runs->observe(job, event);
}

}  // namespace

pappl_system_t* createSystem(int num_options, cups_option_t* options, void* context) {
    auto& app = *static_cast<printerApp*>(context);
    // Print jobs are private: spool, state, log and output files are the
    // user's alone (PAPPL creates them 0666 / 0777 less the umask).
    umask(S_IRWXG | S_IRWXO);
    addDeviceSchemes();
    const auto option = [&](const char* name) { return cupsGetOption(name, num_options, options); };

    int port = 0;
    if (const char* value = option("server-port")) {
        char* end = nullptr;
        errno = 0;
        const long number = std::strtol(value, &end, 10);
        if (errno != 0 || *end != '\0' || number < 0 || number > 65535) return nullptr;
        port = static_cast<int>(number);
    }
    const char* spool = option("spool-directory");
    const std::string spoolDirectory = spool ? spool : defaultSpoolDirectory();

    pappl_system_t* system = papplSystemCreate(
        serverOptions(option("server-options")), appName, port, "_print,_universal",
        spoolDirectory.c_str(), option("log-file"), logLevel(option("log-level")),
        option("auth-service"), false);
    if (system == nullptr) return nullptr;

    if (const char* group = option("admin-group")) papplSystemSetAdminGroup(system, group);
    if (const char* host = option("server-hostname")) papplSystemSetHostName(system, host);
    if (app.listens && !option("private-server"))
        papplSystemAddListeners(system, listenAddress(option("listen-hostname")));

    papplSystemSetPrinterDrivers(system, static_cast<int>(app.drivers.size()), app.drivers.data(),
                                 driverForDevice, printerCreated, describeDriver, &app);
    if (app.listens) {
        app.renderers = std::make_unique<rendererPool>();
        const auto dropIdle = [](pappl_system_t*, void* pool) {
            static_cast<rendererPool*>(pool)->dropIdle();
            return true;
        };
        papplSystemAddTimerCallback(system, std::time(nullptr), 30, dropIdle, app.renderers.get());
    }
    papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", printPdf, app.renderers.get());
    addImageFilters(system);
    // Decoded images are held whole in memory: at most 256 MiB each.
    papplSystemSetMaxImageSize(system, 256u << 20, 16384, 16384);
    addPrinterPage(system);
    // No strings resource: with one, PAPPL 1.3.1 adds printer-strings-
    // languages-supported to the printer's own attributes on every
    // Get-Printer-Attributes, so each answer repeats it once more. The web
    // interface shows the toner options by their keywords instead.
    applyAccessPolicy(system);
    if (app.listens) {
        app.keeper = std::make_unique<serverKeeper>(system, spoolDirectory);
        app.monitor = std::make_unique<deviceMonitor>(system);
        app.status = std::make_unique<statusWatch>(system);
        app.context.status = app.status.get();
        const auto threadEnds = [monitor = app.monitor.get()](pappl_job_t* job) { monitor->threadEnds(job); };
        app.gates.threadEnds = threadEnds;
        app.runs = std::make_unique<jobRuns>(threadEnds);
        for (const char* format : {"image/pwg-raster", "image/urf"})
            papplSystemAddMIMEFilter(system, format, driverDocumentFormat, jobRuns::secondRun, app.runs.get());
        papplSystemSetEventCallback(system, serverEvent, &app);
    }
    return system;
}

}  // namespace corvane
