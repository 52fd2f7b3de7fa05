#include "app/devices/usbDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace corvane {
namespace {

using namespace std::chrono_literals;

constexpr auto writeWait = 250ms;
constexpr auto readWait = 100ms;

bool listPrinters(pappl_device_cb_t found, void* data, pappl_deverror_cb_t error, void* errorData) {
    // True stops PAPPL's listing: the caller found what it looked for.
    std::string why;
    const bool stopped = usbPort::list(
        [&](const usbPrinterName& name) {
            return found(name.info.c_str(), name.uri.c_str(), name.deviceId.c_str(), data);
        },
        why);
    if (!why.empty() && error != nullptr) error(why.c_str(), errorData);
    return stopped;
}

// Opens without touching the printer: the job claims it at its start.
bool openDevice(pappl_device_t* device, const char* uri, const char*) {
    appDevice::attach(device, std::make_unique<usbConnection>([uri = std::string(uri)](std::string& why) {
                          return usbPort::open(uri, why);
                      }));
    return true;
}

char* deviceIdCallback(pappl_device_t* device, char* buffer, size_t size) {
    usbConnection* connection = usbConnection::of(device);
    const std::string id = connection ? connection->deviceId(device) : std::string();
    if (id.empty() || size == 0) return nullptr;
    const std::size_t length = std::min(id.size(), size - 1);
    std::memcpy(buffer, id.data(), length);
    buffer[length] = '\0';
    return buffer;
}

}  // namespace

usbConnection* usbConnection::of(pappl_device_t* device) {
    return dynamic_cast<usbConnection*>(appDevice::of(device));
}

std::string usbConnection::deviceId(pappl_device_t* device) {
    return reachOnce(device) ? port->deviceId() : std::string();
}

bool usbConnection::reachPrinter(pappl_device_t* device, const std::function<bool()>&, std::string& why) {
    port = openPort(why);
    if (port != nullptr) {
        lastError.clear();
        return true;
    }
    if (why != lastError) papplDeviceError(device, "%s.", why.c_str());
    lastError = why;
    return false;
}

ssize_t usbConnection::send(pappl_device_t* device, const void* buffer, size_t bytes) {
    const auto* data = static_cast<const std::uint8_t*>(buffer);
    size_t done = 0;
    auto lastTaken = std::chrono::steady_clock::now();
    while (done < bytes) {
        std::string why;
        const long sent = port->send(std::span(data + done, bytes - done), writeWait, why);
        if (sent < 0) {
            papplDeviceError(device, "Unable to send print data: %s", why.c_str());
            return -1;
        }
        done += static_cast<size_t>(sent);
        if (sent > 0) lastTaken = std::chrono::steady_clock::now();
        // The printer takes no more for now (busy, jammed, out of paper).
        if (done < bytes && writerGaveUp(lastTaken)) {
            papplDeviceError(device, "Stopped sending print data.");
            return -1;
        }
    }
    return static_cast<ssize_t>(done);
}

backChannelReader::receiveFunction usbConnection::receiver() {
    if (!port->talksBack()) return {};
    return [port = port.get()](std::span<std::uint8_t> buffer) { return port->receive(buffer, readWait); };
}

void addUsbScheme(const char* scheme) {
    papplDeviceAddScheme(scheme, PAPPL_DEVTYPE_USB, listPrinters, openDevice, appDevice::closeCallback, nullptr,
                         appDevice::writeCallback, nullptr, deviceIdCallback);
}

}  // namespace corvane
