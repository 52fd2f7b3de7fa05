// The socket:// device, registered in place of PAPPL's: a TCP connection to a
// network printer (port 9100 unless the URI says otherwise) whose back
// channel a thread of its own reads from the moment it opens, so that
// reading never holds up writing and PAPPL's write buffer is only ever
// touched by the job's thread. A write that waits for the printer gives up
// when its owner says so (a job canceled while the printer takes no data).
// The URI may name the printer's SNMP port: socket://HOST:9100/?snmp-port=1161.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <pappl/pappl.h>

#include "app/devices/backChannel.h"

namespace corvane {

// Registers the device under the scheme name (addDeviceSchemes).
void addSocketScheme(const char* scheme);

class socketConnection {
public:
    socketConnection(int fd, std::string host, int snmpPort);
    ~socketConnection();
    socketConnection(const socketConnection&) = delete;
    socketConnection& operator=(const socketConnection&) = delete;

    // The connection of a device this scheme opened; null for any other.
    static socketConnection* of(pappl_device_t* device);

    const std::shared_ptr<backChannel>& channel() const { return replies; }
    const std::string& host() const { return printerHost; }
    int snmpPort() const { return snmpPortNumber; }

    // Asked while a write waits for the printer: true to give up. Set and
    // called on the writing thread only.
    std::function<bool()> giveUp;

    ssize_t write(pappl_device_t* device, const void* buffer, size_t bytes);

private:
    const unsigned magic;
    int fd;
    std::string printerHost;
    int snmpPortNumber;
    std::shared_ptr<backChannel> replies;
    std::unique_ptr<backChannelReader> reader;
};

}  // namespace corvane
