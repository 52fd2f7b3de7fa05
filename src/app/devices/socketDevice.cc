#include "app/devices/socketDevice.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

#include "app/devices/snmpSupplies.h"

namespace corvane {
namespace {

constexpr unsigned connectionMagic = 0x50434c53;  // tells our device data from PAPPL's
constexpr int defaultPort = 9100;
constexpr int defaultSnmpPort = 161;
// PAPPL tries again every 5 seconds; a printer that takes longer than this
// to accept is as good as absent meanwhile.
constexpr auto connectTimeout = std::chrono::seconds(10);
constexpr int writeWaitMs = 250;

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

int waitConnected(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd wanted{fd, POLLOUT, 0};
        const int ready = poll(&wanted, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return errno;
        if (ready == 0) return ETIMEDOUT;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
        return error;
    }
}

// A non-blocking connected socket, or -1 with errno set.
int connectTo(const std::string& host, int port) {
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
        if (error == EINPROGRESS) error = waitConnected(fd, deadline);
        if (error == 0) return fd;
        close(fd);
    }
    errno = error;
    return -1;
}

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

    const int fd = connectTo(host, port);
    if (fd < 0) {
        papplDeviceError(device, "Unable to connect to '%s:%d': %s", host, port, std::strerror(errno));
        return false;
    }
    papplDeviceSetData(device, std::make_unique<socketConnection>(fd, host, snmpPort).release());
    return true;
}

void closeDevice(pappl_device_t* device) {
    const std::unique_ptr<socketConnection> connection(socketConnection::of(device));
    papplDeviceSetData(device, nullptr);
}

ssize_t writeDevice(pappl_device_t* device, const void* buffer, size_t bytes) {
    socketConnection* connection = socketConnection::of(device);
    return connection ? connection->write(device, buffer, bytes) : -1;
}

// The Printer MIB's supplies of the printer at the other end.
int deviceSupplies(pappl_device_t* device, int most, pappl_supply_t* supplies) {
    const socketConnection* connection = socketConnection::of(device);
    return connection ? readPrinterSupplies(connection->host(), connection->snmpPort(), most, supplies) : 0;
}

}  // namespace

socketConnection::socketConnection(int fd, std::string host, int snmpPort)
    : magic(connectionMagic), fd(fd), printerHost(std::move(host)), snmpPortNumber(snmpPort),
      replies(std::make_shared<backChannel>()), reader(std::make_unique<backChannelReader>(fd, replies)) {}

socketConnection::~socketConnection() {
    reader.reset();  // joins the reader before the descriptor goes
    close(fd);
}

socketConnection* socketConnection::of(pappl_device_t* device) {
    auto* connection = static_cast<socketConnection*>(papplDeviceGetData(device));
    return connection != nullptr && connection->magic == connectionMagic ? connection : nullptr;
}

ssize_t socketConnection::write(pappl_device_t* device, const void* buffer, size_t bytes) {
    const auto* data = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < bytes) {
        const ssize_t sent = send(fd, data + done, bytes - done, MSG_NOSIGNAL);
        if (sent > 0) {
            done += static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            papplDeviceError(device, "Unable to send print data: %s", std::strerror(errno));
            return -1;
        }
        // The printer takes no more for now (busy, jammed, out of paper).
        pollfd wanted{fd, POLLOUT, 0};
        poll(&wanted, 1, writeWaitMs);
        if (giveUp && giveUp()) {
            papplDeviceError(device, "Stopped sending print data.");
            return -1;
        }
    }
    return static_cast<ssize_t>(done);
}

void addSocketScheme(const char* scheme) {
    papplDeviceAddScheme2(scheme, PAPPL_DEVTYPE_SOCKET, nullptr, openDevice, closeDevice, nullptr, writeDevice,
                          nullptr, deviceSupplies, nullptr);
}

}  // namespace corvane
