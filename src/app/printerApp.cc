#include "app/printerApp.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/devices/deviceSchemes.h"
#include "app/documents/imageFilter.h"
#include "app/documents/pdfFilter.h"
#include "app/driver/corvaneDriver.h"
#include "app/server/accessPolicy.h"
#include "app/server/addPrinterPage.h"
#include "app/server/serverOptions.h"

namespace corvane {
namespace {

constexpr const char* appName = "corvane-printer-app";

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

// PAPPL takes one event callback. It may hold the job's and the printer's
// locks while it calls it.
void serverEvent(pappl_system_t*, pappl_printer_t*, pappl_job_t* job, pappl_event_t event, void* context) {
    static_cast<printerApp*>(context)->repairs->observe(job, event);
}

void printerCreated(pappl_printer_t* printer, void* context) {
    // The printer's first PDF job, with the printer's defaults, finds its
    // renderers started.
    auto& app = *static_cast<printerApp*>(context);
    if (app.renderers) prepareRenderers(printer, *app.renderers);
}

}  // namespace

bool describePrinter(pappl_system_t* system, const char* driver_name, const char* device_uri,
                     const char* device_id, pappl_pr_driver_data_t* data, ipp_t** driver_attrs, void* context) {
    auto* app = static_cast<printerApp*>(context);
    return describeDriver(system, driver_name, device_uri, device_id, data, driver_attrs,
                          app ? &app->context : nullptr);
}

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
    const bool network = app.listens && !option("private-server");
    const char* listen = listenAddress(option("listen-hostname"));
    const bool loopbackOnly = !network || isLoopbackHost(listen);

    pappl_system_t* system = papplSystemCreate(
        serverOptions(option("server-options"), loopbackOnly), appName, port, "_print,_universal",
        spoolDirectory.c_str(), option("log-file"), logLevel(option("log-level")),
        option("auth-service"), false);
    if (system == nullptr) return nullptr;

    if (const char* group = option("admin-group")) papplSystemSetAdminGroup(system, group);
    if (const char* host = option("server-hostname")) papplSystemSetHostName(system, host);
    if (network) papplSystemAddListeners(system, listen);

    // Before any printer is made, so that every printer's jobs find them.
    if (app.listens) {
        app.repairs = std::make_unique<papplRepairs>(system, driverDocumentFormat);
        app.context.repairs = app.repairs.get();
    }
    papplSystemSetPrinterDrivers(system, static_cast<int>(app.drivers.size()), app.drivers.data(),
                                 driverForDevice, printerCreated, describePrinter, &app);
    if (app.listens) {
        app.renderers = std::make_unique<rendererPool>();
        const auto dropIdle = [](pappl_system_t*, void* pool) {
            static_cast<rendererPool*>(pool)->dropIdle();
            return true;
        };
        papplSystemAddTimerCallback(system, std::time(nullptr), 30, dropIdle, app.renderers.get());
    }
    // The server runs each job once, however often PAPPL starts it.
    const auto addFilter = [&](const char* from, const char* to, pappl_mime_filter_cb_t filter, void* data) {
        if (app.repairs) app.repairs->addFilter(system, from, to, filter, data);
        else papplSystemAddMIMEFilter(system, from, to, filter, data);
    };
    addFilter("application/pdf", "image/pwg-raster", printPdf, app.renderers.get());
    // JPEG and PNG to the driver's own format, so that PAPPL looks them up
    // before its own filters.
    addFilter("image/jpeg", driverDocumentFormat, printJpeg, nullptr);
    addFilter("image/png", driverDocumentFormat, printPng, nullptr);
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
        app.context.devices = app.monitor.get();
        app.status = std::make_unique<statusWatch>(system);
        app.context.status = app.status.get();
        papplSystemSetEventCallback(system, serverEvent, &app);
    }
    return system;
}

}  // namespace corvane
