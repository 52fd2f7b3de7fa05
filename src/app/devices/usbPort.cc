#include "app/devices/usbPort.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <optional>
#include <thread>

#include <cups/cups.h>
#include <libusb.h>

namespace corvane {
namespace {

constexpr unsigned controlTimeoutMs = 5000;
constexpr std::uint16_t appleVendor = 0x05ac;  // never a printer; PAPPL leaves them out too
constexpr std::size_t deviceIdLimit = 1022;
// Printer-class requests.
constexpr std::uint8_t getDeviceId = 0;
constexpr std::uint8_t classInRequest = static_cast<std::uint8_t>(LIBUSB_REQUEST_TYPE_CLASS) |
                                        static_cast<std::uint8_t>(LIBUSB_ENDPOINT_IN) |
                                        static_cast<std::uint8_t>(LIBUSB_RECIPIENT_INTERFACE);

struct contextEnd {
    void operator()(libusb_context* context) const { libusb_exit(context); }
};
using usbContext = std::unique_ptr<libusb_context, contextEnd>;
struct handleClose {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
using usbHandle = std::unique_ptr<libusb_device_handle, handleClose>;
struct configFree {
    void operator()(libusb_config_descriptor* config) const { libusb_free_config_descriptor(config); }
};
struct listFree {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};

// The printer-class interface a device prints through.
struct printerInterface {
    int configIndex = 0;
    int configValue = 0;
    int interfaceIndex = 0;
    int interfaceNumber = 0;
    int altSetting = 0;
    bool severalSettings = false;
    int protocol = 0;               // 1 one-way, 2 bidirectional
    std::uint8_t writeEndpoint = 0;
    std::uint8_t readEndpoint = 0;  // 0: no back channel
};

// The first configuration's first printer interface, in its bidirectional
// setting where it has one.
std::optional<printerInterface> printerInterfaceOf(libusb_device* device, int configurations) {
    for (int configIndex = 0; configIndex < configurations; ++configIndex) {
        libusb_config_descriptor* raw = nullptr;
        if (libusb_get_config_descriptor(device, static_cast<std::uint8_t>(configIndex), &raw) < 0) continue;
        const std::unique_ptr<libusb_config_descriptor, configFree> config(raw);
        for (int index = 0; index < config->bNumInterfaces; ++index) {
            const libusb_interface& interface = config->interface[index];
            printerInterface best;
            for (int alt = 0; alt < interface.num_altsetting; ++alt) {
                const libusb_interface_descriptor& setting = interface.altsetting[alt];
                const int protocol = setting.bInterfaceProtocol;
                if (setting.bInterfaceClass != LIBUSB_CLASS_PRINTER || setting.bInterfaceSubClass != 1) continue;
                if ((protocol != 1 && protocol != 2) || protocol < best.protocol) continue;
                std::uint8_t in = 0, out = 0;
                for (int e = 0; e < setting.bNumEndpoints; ++e) {
                    const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
                    if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
                    (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK ? in : out) = endpoint.bEndpointAddress;
                }
                if (out == 0) continue;
                best = {configIndex, config->bConfigurationValue, index, setting.bInterfaceNumber,
                        setting.bAlternateSetting, interface.num_altsetting > 1, protocol, out,
                        static_cast<std::uint8_t>(protocol == 2 ? in : 0)};
            }
            if (best.protocol > 0) return best;
        }
    }
    return std::nullopt;
}

std::string asciiString(libusb_device_handle* handle, std::uint8_t index, const char* otherwise) {
    std::array<unsigned char, 256> text{};
    const int length = index == 0 ? -1
                                  : libusb_get_string_descriptor_ascii(handle, index, text.data(),
                                                                       static_cast<int>(text.size()));
    return length > 0 ? std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(length))
                      : otherwise;
}

// The serial number in the device's first language; where it has none,
// the configuration and interface.
std::string serialOf(libusb_device_handle* handle, std::uint8_t index, const printerInterface& where) {
    std::array<std::uint8_t, 256> raw{};
    std::string serial;
    if (index != 0 && libusb_get_string_descriptor(handle, 0, 0, raw.data(), 4) >= 4 && raw[0] >= 4 &&
        (raw[0] & 1) == 0 && raw[1] == LIBUSB_DT_STRING) {
        const auto language = static_cast<std::uint16_t>(raw[2] | raw[3] << 8);
        const int length = libusb_get_string_descriptor(handle, index, language, raw.data(), static_cast<int>(raw.size()));
        if (length > 0) serial = serialOfDescriptor(std::span(raw.data(), static_cast<std::size_t>(length)));
    }
    return serial.empty() ? std::to_string(where.configIndex) + "." + std::to_string(where.interfaceIndex) : serial;
}

}  // namespace

std::string deviceIdOfReply(std::span<const std::uint8_t> reply) {
    if (reply.size() < 2) return {};
    std::size_t length = static_cast<std::size_t>(reply[0] << 8 | reply[1]);
    if (length < 14 || length > deviceIdLimit) length = static_cast<std::size_t>(reply[1] << 8 | reply[0]);
    length = length < 2 ? 0 : std::min(length, deviceIdLimit + 2) - 2;
    length = std::min(length, reply.size() - 2);
    return std::string(reinterpret_cast<const char*>(reply.data()) + 2, length);
}

std::string serialOfDescriptor(std::span<const std::uint8_t> descriptor) {
    // A string descriptor: its length, its type, then UTF-16LE characters.
    if (descriptor.size() < 10 || descriptor[0] != descriptor.size() || (descriptor[0] & 1) != 0 ||
        descriptor[1] != LIBUSB_DT_STRING)
        return {};
    std::string text;
    for (std::size_t i = 2; i < descriptor.size(); i += 2) {
        const unsigned character = descriptor[i] | descriptor[i + 1] << 8;
        if (character < 0x20 || character >= 0x7f) {
            text.clear();
            break;
        }
        text += static_cast<char>(character);
    }
    if (!text.empty()) return text;
    // The bytes in hexadecimal, while they fit the 255 characters of a name.
    if ((descriptor.size() - 2) * 2 > 255) return {};
    for (std::size_t i = 2; i < descriptor.size(); ++i) {
        std::array<char, 3> hex{};
        std::snprintf(hex.data(), hex.size(), "%02X", descriptor[i]);
        text += hex.data();
    }
    return text;
}

usbPrinterName usbPrinterNameOf(std::string deviceId, const std::string& usbMake, const std::string& usbModel,
                                const std::string& serial) {
    if (deviceId.empty()) deviceId = "MFG:" + usbMake + ";MDL:" + usbModel + ";SN:" + serial + ";";
    // The value of the first key found, up to its semicolon.
    const auto field = [&deviceId](std::initializer_list<const char*> keys, const std::string& otherwise) {
        for (const std::string key : keys) {
            const auto at = deviceId.find(key);
            if (at == std::string::npos) continue;
            const auto start = at + key.size();
            return deviceId.substr(start, deviceId.find(';', start) - start);
        }
        return otherwise;
    };
    const std::string make = field({"MANUFACTURER:", "MFG:"}, usbMake);
    const std::string model = field({"MODEL:", "MDL:"}, usbModel);
    std::array<char, 1024> uri{};
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri.data(), static_cast<int>(uri.size()), "usb", nullptr, make.c_str(), 0,
                     "/%s?serial=%s", model.c_str(), serial.c_str());
    const bool modelSaysMake = make == "HP" && model.starts_with("HP ");
    return {uri.data(), (modelSaysMake ? model : make + " " + model) + " (USB)", std::move(deviceId)};
}

// A printer interface opened and claimed, and the printer's name.
struct usbPort::connection {
    usbContext context;  // set once chosen; outlives the handle
    usbHandle handle;
    printerInterface where;
    usbPrinterName name;
    bool claimed = false;

    ~connection() {
        if (claimed) libusb_release_interface(handle.get(), where.interfaceNumber);
    }
};

namespace {

// The device's printer interface claimed, or null when it cannot be (not a
// printer, or in use by another program).
std::unique_ptr<usbPort::connection> claimPrinter(libusb_device* device) {
    libusb_device_descriptor descriptor;
    if (libusb_get_device_descriptor(device, &descriptor) < 0) return nullptr;
    if (descriptor.bNumConfigurations == 0 || descriptor.idVendor == 0 || descriptor.idProduct == 0 ||
        descriptor.idVendor == appleVendor)
        return nullptr;
    const auto where = printerInterfaceOf(device, descriptor.bNumConfigurations);
    if (!where) return nullptr;
    libusb_device_handle* opened = nullptr;
    if (libusb_open(device, &opened) != 0) return nullptr;
    auto port = std::make_unique<usbPort::connection>();
    port->handle.reset(opened);
    port->where = *where;
    libusb_device_handle* handle = opened;
    // The kernel's usblp driver steps aside for good, as PAPPL's device has
    // it: giving the printer back after every status question would make
    // its device node come and go every few seconds.
    if (libusb_kernel_driver_active(handle, where->interfaceNumber) == 1) {
        const int detached = libusb_detach_kernel_driver(handle, where->interfaceNumber);
        if (detached != 0 && detached != LIBUSB_ERROR_NOT_FOUND) return nullptr;
    }
    int current = 0;
    if (libusb_get_configuration(handle, &current) == 0 && current != where->configValue &&
        libusb_set_configuration(handle, where->configValue) != 0)
        return nullptr;
    if (libusb_claim_interface(handle, where->interfaceNumber) != 0) return nullptr;
    port->claimed = true;
    if (where->severalSettings && libusb_set_interface_alt_setting(handle, where->interfaceNumber, where->altSetting) != 0)
        return nullptr;

    std::array<std::uint8_t, deviceIdLimit + 4> reply{};
    const int got = libusb_control_transfer(handle, classInRequest, getDeviceId,
                                            static_cast<std::uint16_t>(where->configIndex),
                                            static_cast<std::uint16_t>(where->interfaceNumber << 8 | where->altSetting),
                                            reply.data(), static_cast<std::uint16_t>(reply.size()), controlTimeoutMs);
    if (got < 0) return nullptr;
    port->name = usbPrinterNameOf(deviceIdOfReply(std::span(reply.data(), static_cast<std::size_t>(got))),
                                  asciiString(handle, descriptor.iManufacturer, "Unknown"),
                                  asciiString(handle, descriptor.iProduct, "Product"),
                                  serialOf(handle, descriptor.iSerialNumber, *where));
    return port;
}

usbContext newContext(std::string& why) {
    libusb_context* context = nullptr;
    if (const int error = libusb_init(&context); error != 0) {
        why = std::string("USB cannot be used: ") + libusb_strerror(error);
        return nullptr;
    }
    return usbContext(context);
}

// The printer `choose` takes, its context with it.
std::unique_ptr<usbPort::connection> choosePrinter(usbContext context,
                                                   const std::function<bool(const usbPrinterName&)>& choose) {
    libusb_device** devices = nullptr;
    const ssize_t count = libusb_get_device_list(context.get(), &devices);
    if (count < 0) return nullptr;
    const std::unique_ptr<libusb_device*, listFree> list(devices);
    for (ssize_t i = 0; i < count; ++i) {
        auto port = claimPrinter(devices[i]);
        if (port == nullptr || !choose(port->name)) continue;
        port->context = std::move(context);
        return port;
    }
    return nullptr;
}

}  // namespace

bool usbPort::list(const std::function<bool(const usbPrinterName&)>& visit, std::string& why) {
    usbContext context = newContext(why);
    return context != nullptr && choosePrinter(std::move(context), visit) != nullptr;
}

std::unique_ptr<usbPort> usbPort::open(const std::string& uri, std::string& why) {
    usbContext context = newContext(why);
    if (context == nullptr) return nullptr;
    auto chosen = choosePrinter(std::move(context), [&uri](const usbPrinterName& name) { return name.uri == uri; });
    if (chosen == nullptr) {
        why = "The USB printer is not connected or is used by another program";
        return nullptr;
    }
    return std::make_unique<usbPort>(std::move(chosen));
}

usbPort::usbPort(std::unique_ptr<connection> claimed) : claimed(std::move(claimed)) {}

usbPort::~usbPort() = default;

long usbPort::send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait, std::string& why) {
    int sent = 0;
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX / 2));
    // A transfer cut off by the wait reports what the printer took.
    const int result = libusb_bulk_transfer(claimed->handle.get(), claimed->where.writeEndpoint,
                                            const_cast<std::uint8_t*>(bytes.data()), length, &sent,
                                            static_cast<unsigned>(std::max<long>(wait.count(), 1)));
    if (result == 0 || result == LIBUSB_ERROR_TIMEOUT) return sent;
    why = libusb_strerror(result);
    return -1;
}

long usbPort::receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) {
    if (!talksBack()) return -1;
    int got = 0;
    const int result = libusb_bulk_transfer(claimed->handle.get(), claimed->where.readEndpoint, buffer.data(),
                                            static_cast<int>(buffer.size()), &got,
                                            static_cast<unsigned>(std::max<long>(wait.count(), 1)));
    if (result == LIBUSB_ERROR_TIMEOUT || result == LIBUSB_ERROR_INTERRUPTED) return got;
    if (result != 0) return -1;
    // Some printers answer every read at once with nothing: wait as if none came.
    if (got == 0) std::this_thread::sleep_for(wait);
    return got;
}

bool usbPort::talksBack() const { return claimed->where.readEndpoint != 0; }

std::string usbPort::deviceId() const { return claimed->name.deviceId; }

}  // namespace corvane
