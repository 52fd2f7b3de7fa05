// A job's side of the device it writes to (devices/appDevice.h): at its
// start the job reaches its printer, waiting while the printer cannot be
// reached until the job is canceled or its printer deleted. Meanwhile the
// server shows why it waits (the printer "offline", the reason on its web
// page and in the job's message), and takes it back when the printer
// answers or the job ends.
#pragma once

#include <string>

#include <pappl/pappl.h>

#include "app/devices/appDevice.h"

namespace corvane {

class deviceNotices;

class jobDeviceWait final : public printerWait {
public:
    // The job writes through `device` from now until destroyed.
    jobDeviceWait(pappl_job_t* job, pappl_device_t* device);
    ~jobDeviceWait();
    jobDeviceWait(const jobDeviceWait&) = delete;
    jobDeviceWait& operator=(const jobDeviceWait&) = delete;

    // Reaches the job's printer: false when the job gave up waiting. True at
    // once for PAPPL's devices, which PAPPL opened before the job started.
    bool reachPrinter();

    bool abandoned() override;
    void unreachable(const std::string& why) override;
    void reachable() override;

private:
    pappl_job_t* job;
    pappl_printer_t* printer;
    pappl_device_t* device;
    appDevice* own;  // null for PAPPL's devices
    deviceNotices* notices;
    std::string shown;  // the reason shown, or empty
};

}  // namespace corvane
