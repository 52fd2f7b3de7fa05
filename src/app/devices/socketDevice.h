// The socket:// device, registered in place of PAPPL's: a TCP connection to a
// network printer (port 9100 unless the URI says otherwise), made at the
// job's start (appDevice.h), whose back channel a thread of its own
// reads from the moment it connects, so that reading never holds up writing
// and PAPPL's write buffer is only ever touched by the job's thread. A write
// that waits for the printer gives up when the job is canceled (while the
// printer takes no data). The URI may name the printer's SNMP port:
// socket://HOST:9100/?snmp-port=1161.
#pragma once

#include <memory>
#include <string>

#include <pappl/pappl.h>

#include "app/devices/appDevice.h"
#include "app/devices/backChannel.h"

namespace corvane {

// Registers the device under the scheme name (addDeviceSchemes).
void addSocketScheme(const char* scheme);

class socketConnection final : public appDevice {
public:
    socketConnection(std::string host, int port, int snmpPort);
    ~socketConnection() override;

    // The connection of a device this scheme opened; null for any other.
    static socketConnection* of(pappl_device_t* device);

    // What the printer says once connected.
    const std::shared_ptr<backChannel>& channel() const { return replies; }
    const std::string& host() const { return printerHost; }
    int snmpPort() const { return snmpPortNumber; }

private:
    bool printerReached() const override { return fd >= 0; }
    bool reachPrinter(pappl_device_t* device, const std::function<bool()>& stop, std::string& why) override;
    ssize_t send(pappl_device_t* device, const void* buffer, size_t bytes) override;

    std::string printerHost;
    int printerPort;
    int snmpPortNumber;
    int fd = -1;
    std::string lastError;  // of the latest failed connection, logged once
    std::shared_ptr<backChannel> replies;
    std::unique_ptr<backChannelReader> reader;
};

}  // namespace corvane
