// What the driver's callbacks reach through PAPPL's driver data (its
// extension pointer): the server's services that jobs and printers use.
#pragma once

#include <memory>
#include <string>

#include <pappl/pappl.h>

#include "app/devices/backChannel.h"

namespace corvane {

class papplRepairs;

// The server's watch of its printers' status, as the driver sees it: told
// of each job's back channel, asked whether a printer has answered, and
// handed PAPPL's status and identify requests.
class printerStatus {
public:
    // From a job's thread: the back channel of the job's connection, from
    // the job's start to its end.
    virtual void jobStarts(pappl_printer_t* printer, int jobId, std::shared_ptr<backChannel> channel) = 0;
    virtual void jobEnds(pappl_printer_t* printer) = 0;
    // True once the printer answered.
    virtual bool answers(pappl_printer_t* printer) = 0;
    // PAPPL wants fresh status.
    virtual void refresh(pappl_printer_t* printer) = 0;
    // Puts the text on the printer's panel for a while.
    virtual void identify(pappl_printer_t* printer, const std::string& text) = 0;

protected:
    ~printerStatus() = default;
};

// The server's notices of printers that cannot be reached, as the driver
// sees them: from the thread of a job that waits for its printer.
class deviceNotices {
public:
    // The printer cannot be reached for the job, and why (the job's message).
    virtual void unreachable(pappl_printer_t* printer, pappl_job_t* job, const std::string& why) = 0;
    // Taken back: the printer answered and the job goes on, or the job ended.
    virtual void withdraw(pappl_printer_t* printer, pappl_job_t* job, bool answered) = 0;

protected:
    ~deviceNotices() = default;
};

struct driverContext {
    papplRepairs* repairs = nullptr;   // PAPPL's faults repaired (server only)
    printerStatus* status = nullptr;   // the printers' status (server only)
    deviceNotices* devices = nullptr;  // unreachable printers shown (server only)
};

// The context of the printer's driver, or null.
driverContext* driverContextOf(pappl_printer_t* printer);
// Its status watch, or null (a client subcommand has none).
printerStatus* printerStatusOf(pappl_printer_t* printer);

}  // namespace corvane
