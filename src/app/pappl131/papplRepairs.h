// The app's repairs of PAPPL's faults, and all that the rest of the app sees
// of them. They were found in PAPPL 1.3.1 (Debian's); each file of this
// folder says at its top which PAPPL behaviour it repairs, which test shows
// the fault, and which releases have it. CMake builds a repair only for the
// releases that need it (CORVANE_PAPPL_VERSION: 10301 for 1.3.1); a fault
// that the newest release measured (1.4.11) still has is repaired there too.
//
// The server's setup makes one papplRepairs, registers its MIME filters
// through it and passes it PAPPL's events, the driver holds a jobGuard from
// a job's start to its end, and the device code calls the two device
// functions. None of them knows which repairs exist.
#pragma once

#include <deque>
#include <memory>

#include <pappl/pappl.h>

namespace corvane {

#if CORVANE_PAPPL_VERSION < 10400
// After the app's own device schemes: PAPPL's network schemes, which
// PAPPL 1.3 adds only while no scheme at all is registered.
void keepPapplDeviceSchemes();
// A device scheme's close callback, for a device nothing was written to:
// PAPPL's shared device of a printer, which PAPPL closes after every job.
void idleDeviceClosing();
#else
inline void keepPapplDeviceSchemes() {}
inline void idleDeviceClosing() {}
#endif

class jobRuns;
class printerGates;
class spooledRuns;

class papplRepairs {
public:
    // Installs the repairs on a server's system: among them a filter for
    // PWG and Apple raster to the driver's own format (driverFormat), which
    // only PAPPL's second run of a streamed raster job reaches.
    papplRepairs(pappl_system_t* system, const char* driverFormat);
    ~papplRepairs();
    papplRepairs(const papplRepairs&) = delete;
    papplRepairs& operator=(const papplRepairs&) = delete;

    // papplSystemAddMIMEFilter for the app's filters: each job runs once,
    // however often PAPPL starts it.
    void addFilter(pappl_system_t* system, const char* from, const char* to, pappl_mime_filter_cb_t filter,
                   void* data);

    // Every event PAPPL announces, from the thread that announces it. PAPPL
    // may hold the job's and the printer's locks meanwhile.
    void observe(pappl_job_t* job, pappl_event_t event);

private:
    friend class jobGuard;
    struct onceFilter {
        pappl_mime_filter_cb_t filter;
        void* data;
        spooledRuns* runs;
    };
    static bool runOnce(pappl_job_t* job, pappl_device_t* device, void* filter);

    std::unique_ptr<jobRuns> runs;
    std::unique_ptr<printerGates> gates;
    std::unique_ptr<spooledRuns> spooled;
    std::deque<onceFilter> filters;  // PAPPL holds their addresses
};

// Held by the driver from a job's start callback to its end callback, with
// the server's papplRepairs (none: nothing is guarded, as for the client
// subcommands).
class jobGuard {
public:
    // At the job's start, on the job's thread. Waits while another job holds
    // the printer.
    jobGuard(pappl_job_t* job, pappl_device_t* papplDevice, papplRepairs* repairs);
    // At the job's end, after its last byte: the next job may start.
    ~jobGuard();
    jobGuard(const jobGuard&) = delete;
    jobGuard& operator=(const jobGuard&) = delete;

    // The device the job writes to, or null when it must not print (its
    // state message says why).
    pappl_device_t* device() const { return output; }
    // True when PAPPL stopped reading a streamed raster document at a page
    // header it could not read, with document data after it: pages were lost
    // although PAPPL calls the job printed.
    bool documentCutShort() const;

private:
    pappl_job_t* job;
    printerGates* gates;
    pappl_device_t* output;
};

}  // namespace corvane
