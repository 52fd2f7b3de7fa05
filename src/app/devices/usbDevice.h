// The usb:// device, registered in place of PAPPL's: the printer's USB
// printer interface (usbPort.h), claimed at the job's start (appDevice.h),
// written by the job's thread while a thread of its own reads the back
// channel once someone listens. Each write waits a quarter of a second at
// most, so that a printer that takes no data (jammed, out of paper) does
// not keep a canceled job.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <pappl/pappl.h>

#include "app/devices/appDevice.h"
#include "app/devices/usbPort.h"

namespace corvane {

// Registers the device under the scheme name (addDeviceSchemes).
void addUsbScheme(const char* scheme);

class usbConnection final : public talkingDevice {
public:
    // Opens the printer's port, or says why it cannot.
    using portOpener = std::function<std::unique_ptr<printerPort>(std::string& why)>;

    explicit usbConnection(portOpener open) : openPort(std::move(open)) {}
    ~usbConnection() override { stopListening(); }

    static usbConnection* of(pappl_device_t* device);
    // The reached printer's device ID; empty when it cannot be reached.
    std::string deviceId(pappl_device_t* device);

private:
    bool printerReached() const override { return port != nullptr; }
    bool reachPrinter(pappl_device_t* device, const std::function<bool()>& stop, std::string& why) override;
    ssize_t send(pappl_device_t* device, const void* buffer, size_t bytes) override;
    backChannelReader::receiveFunction receiver() override;

    portOpener openPort;
    std::unique_ptr<printerPort> port;
    std::string lastError;  // of the latest failed open, logged once
};

}  // namespace corvane
