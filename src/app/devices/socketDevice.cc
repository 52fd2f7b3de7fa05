#include "app/devices/socketDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netdb.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

#include "app/devices/snmpSupplies.h"

namespace corvane {
namespace {

constexpr int defaultPort = 9100;
constexpr int defaultSnmpPort = 161;
// A printer that takes longer than this to accept is as good as absent
// meanwhile.
constexpr auto connectTimeout = std::chrono::seconds(10);
constexpr int writeWaitMs = 250;
// How often a connection under way looks whether to give up.
constexpr auto connectLookEvery = std::chrono::milliseconds(250);

// The value of NAME= in a URI's query, or empty.
std::string queryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    }
    return {};
}

int waitConnected(int fd, std::chrono::steady_clock::time_point deadline, const std::function<bool()>& stop) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        if (stop()) return ECANCELED;
        pollfd wanted{fd, POLLOUT, 0};
        const int ready = poll(&wanted, 1, static_cast<int>(std::min(left, connectLookEvery).count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return errno;
        if (ready == 0) continue;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
        return error;
    }
}

// A non-blocking connected socket, or -1 with errno set.
int connectTo(const std::string& host, int port, const std::function<bool()>& stop) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || found == nullptr) {
        errno = EHOSTUNREACH;
        return -1;
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
    const auto deadline = std::chrono::steady_clock::now() + connectTimeout;
    int error = EHOSTUNREACH;
    for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
        const int fd = socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        error = connect(fd, at->ai_addr, at->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) error = waitConnected(fd, deadline, stop);
        if (error == 0) return fd;
        close(fd);
    }
    errno = error;
    return -1;
}

// Opens without connecting: the job connects at its start.
bool openDevice(pappl_device_t* device, const char* uri, const char*) {
    char scheme[32], userpass[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass, host,
                        sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK) {
        papplDeviceError(device, "Bad device URI '%s'.", uri);
        return false;
    }
    if (port <= 0) port = defaultPort;
    const char* query = std::strchr(resource, '?');
    const std::string snmpValue = query ? queryValue(query + 1, "snmp-port") : std::string();
    const int snmpPort = snmpValue.empty() ? defaultSnmpPort : std::atoi(snmpValue.c_str());
    appDevice::attach(device, std::make_unique<socketConnection>(host, port, snmpPort));
    return true;
}

// The Printer MIB's supplies of the printer at the other end.
int deviceSupplies(pappl_device_t* device, int most, pappl_supply_t* supplies) {
    const socketConnection* connection = socketConnection::of(device);
    return connection ? readPrinterSupplies(connection->host(), connection->snmpPort(), most, supplies) : 0;
}

}  // namespace

socketConnection::socketConnection(std::string host, int port, int snmpPort)
    : printerHost(std::move(host)), printerPort(port), snmpPortNumber(snmpPort) {}

socketConnection::~socketConnection() {
    // Ends the reader's wait for replies at once (the end of the job would
    // otherwise wait out its poll), then joins it before the descriptor goes.
    if (fd >= 0) shutdown(fd, SHUT_RD);
    stopListening();
    if (fd >= 0) close(fd);
}

socketConnection* socketConnection::of(pappl_device_t* device) {
    return dynamic_cast<socketConnection*>(appDevice::of(device));
}

bool socketConnection::reachPrinter(pappl_device_t* device, const std::function<bool()>& stop, std::string& why) {
    const int connected = connectTo(printerHost, printerPort, stop);
    if (connected < 0) {
        if (errno == ECANCELED) return false;  // the job gave up
        const std::string error = std::strerror(errno);
        if (error != lastError)
            papplDeviceError(device, "Unable to connect to '%s:%d': %s", printerHost.c_str(), printerPort,
                             error.c_str());
        lastError = error;
        why = "Cannot connect to " + printerHost + ":" + std::to_string(printerPort);
        return false;
    }
    fd = connected;
    return true;
}

ssize_t socketConnection::send(pappl_device_t* device, const void* buffer, size_t bytes) {
    const auto* data = static_cast<const char*>(buffer);
    size_t done = 0;
    auto lastTaken = std::chrono::steady_clock::now();
    while (done < bytes) {
        const ssize_t sent = ::send(fd, data + done, bytes - done, MSG_NOSIGNAL);
        if (sent > 0) {
            done += static_cast<size_t>(sent);
            lastTaken = std::chrono::steady_clock::now();
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            papplDeviceError(device, "Unable to send print data: %s", std::strerror(errno));
            return -1;
        }
        // The printer takes no more for now (busy, jammed, out of paper).
        pollfd wanted{fd, POLLOUT, 0};
        poll(&wanted, 1, writeWaitMs);
        if (writerGaveUp(lastTaken)) {
            papplDeviceError(device, "Stopped sending print data.");
            return -1;
        }
    }
    return static_cast<ssize_t>(done);
}

void addSocketScheme(const char* scheme) {
    papplDeviceAddScheme2(scheme, PAPPL_DEVTYPE_SOCKET, nullptr, openDevice, appDevice::closeCallback, nullptr,
                          appDevice::writeCallback, nullptr, deviceSupplies, nullptr);
}

}  // namespace corvane
