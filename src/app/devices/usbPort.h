// A USB printer's printer-class interface, through libusb. Printers are
// named as PAPPL names them (usb://MAKE/MODEL?serial=SERIAL), so that a
// printer added with PAPPL's own USB device keeps its URI. While open the
// interface is claimed (the kernel's usblp driver is detached from it), and
// its two bulk endpoints are used from two threads at once: the job's
// writes and the back channel's reads.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace corvane {

// The two directions of a printer's connection.
class printerPort {
public:
    virtual ~printerPort() = default;
    // Bytes the printer took within `wait` (0 when it took none), or -1
    // with why not.
    virtual long send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait, std::string& why) = 0;
    // Bytes that came within `wait` (0 when none did), or -1 once nothing
    // more can come.
    virtual long receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) = 0;
    // Whether the printer has a back channel at all.
    virtual bool talksBack() const = 0;
    // Its IEEE 1284 device ID, where it has one.
    virtual std::string deviceId() const { return {}; }
};

struct usbPrinterName {
    std::string uri;
    std::string info;      // "MAKE MODEL (USB)"
    std::string deviceId;  // IEEE 1284
};

// The IEEE 1284 device ID in a GET_DEVICE_ID reply. Its length comes first,
// big-endian as the USB printer class defines it; some printers send it
// little-endian.
std::string deviceIdOfReply(std::span<const std::uint8_t> reply);
// A serial-number string descriptor as text: printable ASCII as it is,
// anything else in hexadecimal; empty for a descriptor too short or
// malformed to use.
std::string serialOfDescriptor(std::span<const std::uint8_t> descriptor);
// A printer's name from its device ID, with the device's USB strings where
// the ID says nothing (and as the ID when it is empty).
usbPrinterName usbPrinterNameOf(std::string deviceId, const std::string& usbMake, const std::string& usbModel,
                                const std::string& serial);

class usbPort final : public printerPort {
public:
    struct connection;

    // Every USB printer there is, until `visit` returns true; says whether
    // it did. `why` tells when USB cannot be looked at.
    static bool list(const std::function<bool(const usbPrinterName&)>& visit, std::string& why);
    // The printer `uri` names, claimed; null with why not.
    static std::unique_ptr<usbPort> open(const std::string& uri, std::string& why);

    explicit usbPort(std::unique_ptr<connection> claimed);
    ~usbPort() override;
    usbPort(const usbPort&) = delete;
    usbPort& operator=(const usbPort&) = delete;

    long send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait, std::string& why) override;
    long receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) override;
    bool talksBack() const override;
    std::string deviceId() const override;

private:
    std::unique_ptr<connection> claimed;
};

}  // namespace corvane
