// The socket:// device, registered in place of PAPPL's: a TCP connection to a
// network printer (port 9100 unless the URI says otherwise), made at the
// job's start (appDevice.h), whose back channel a thread of its own
// reads once someone listens, so that reading never holds up writing and
// PAPPL's write buffer is only ever touched by the job's thread. A write
// that waits for the printer gives up when the job is canceled (while the
// printer takes no data). The URI may name the printer's SNMP port:
// socket://HOST:9100/?snmp-port=1161.
#pragma once

#include <string>

#include <pappl/pappl.h>

#include "app/devices/appDevice.h"

namespace corvane {

// Registers the device under the scheme name (addDeviceSchemes).
void addSocketScheme(const char* scheme);

class socketConnection final : public talkingDevice {
public:
    socketConnection(std::string host, int port, int snmpPort);
    ~socketConnection() override;

    // The connection of a device this scheme opened; null for any other.
    static socketConnection* of(pappl_device_t* device);

    const std::string& host() const { return printerHost; }
    int snmpPort() const { return snmpPortNumber; }

private:
    bool printerReached() const override { return fd >= 0; }
    bool reachPrinter(pappl_device_t* device, const std::function<bool()>& stop, std::string& why) override;
    ssize_t send(pappl_device_t* device, const void* buffer, size_t bytes) override;
    backChannelReader::receiveFunction receiver() override { return backChannelReader::fromDescriptor(fd); }

    std::string printerHost;
    int printerPort;
    int snmpPortNumber;
    int fd = -1;
    std::string lastError;  // of the latest failed connection, logged once
};

}  // namespace corvane
