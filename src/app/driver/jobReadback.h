// A job's conversation with a printer that talks back (socket:// and usb://
// with the "corvane" driver). Before the job's first byte an opening PJL
// block switches on unsolicited status; after the filter's closing UEL a
// closing block ends the PJL job under a name of the app's and asks for an
// echo; then the job waits for the printer:
// - until the printer's end-of-job report for that name (the last page is
//   in the output bin), however long a jam or an empty tray lasts;
// - until the closing echo, for a printer that answers but sends no job
//   reports, or one that says nothing else for a minute while it reports
//   no condition;
// - 3 seconds for a printer that has said nothing at all (a one-way
//   device or print server), 30 seconds for one that answered before;
// - not at all once the job is canceled.
// job-impressions-completed then counts the pages the printer reported.
// A last block switches unsolicited status off again. The replies are read
// while the job is written, by the device's reader.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>

#include <pappl/pappl.h>

#include "app/devices/backChannel.h"
#include "app/driver/deviceSink.h"

namespace corvane {

class talkingDevice;

class jobReadback {
public:
    // Null when the job's printer is not read back.
    static std::unique_ptr<jobReadback> start(pappl_job_t* job, pappl_device_t* device);
    jobReadback(pappl_job_t* job, talkingDevice& device);
    ~jobReadback();
    jobReadback(const jobReadback&) = delete;
    jobReadback& operator=(const jobReadback&) = delete;

    // The block to send just before the job's first byte.
    const std::string& opening() const { return openingBytes; }
    // After the job's last byte: the closing block, the wait, the
    // impressions, the last block. Nothing when no byte went out.
    void finish(deviceSink& sink);

private:
    void waitForPrinter();
    void countImpressions(long printed);

    pappl_job_t* job;
    pappl_printer_t* printer;
    std::shared_ptr<backChannel> channel;
    std::string token;
    std::string openingBytes;
};

}  // namespace corvane
