// The usb:// device: printers named as PAPPL names them, and the device
// itself driven through PAPPL's device calls over a socket pair in place of
// the USB port (no USB printer here), so that what is tested is the app's
// writing, reading and giving up as a job meets them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "app/devices/usbDevice.h"
#include "socketPair.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(UsbNames, PrintersAreNamedAsPapplNamesThem) {
    // The device ID's length first: big-endian, or little-endian from some
    // printers; never past the reply.
    EXPECT_EQ(deviceIdOfReply(bytesOf(std::string("\0\x12MFG:HP;MDL:M4;CMD", 20))), "MFG:HP;MDL:M4;CM");
    EXPECT_EQ(deviceIdOfReply(bytesOf(std::string("\x12\0MFG:HP;MDL:M4;CMD", 20))), "MFG:HP;MDL:M4;CM");
    EXPECT_EQ(deviceIdOfReply(bytesOf(std::string("\x04\0MFG:", 6))), "MF");  // 1024 is too long: 4
    EXPECT_EQ(deviceIdOfReply(bytesOf(std::string("\0\x40MFG:HP;", 9))), "MFG:HP;");
    EXPECT_EQ(deviceIdOfReply({}), "");

    // Serial numbers: UTF-16LE text, hexadecimal when not printable ASCII,
    // nothing when the descriptor is malformed.
    EXPECT_EQ(serialOfDescriptor(bytesOf(std::string("\x0c\x03P\0H\0B\0" "1\0" "2\0", 12))), "PHB12");
    EXPECT_EQ(serialOfDescriptor(bytesOf(std::string("\x0a\x03\x01\0\xff\0A\0B\0", 10))), "0100FF0041004200");
    EXPECT_EQ(serialOfDescriptor(bytesOf(std::string("\x0c\x03P\0H\0B\0", 8))), "");      // length says 12
    EXPECT_EQ(serialOfDescriptor(bytesOf(std::string("\x08\x03P\0H\0B\0", 8))), "");      // under 4 characters
    EXPECT_EQ(serialOfDescriptor(bytesOf(std::string("\x0a\x02P\0H\0B\0" "1\0", 10))), "");  // not a string

    const usbPrinterName hp = usbPrinterNameOf("MFG:HP;MDL:HP LaserJet M404dn;CMD:PJL,PCL;", "Hewlett-Packard",
                                               "LaserJet", "PHB12");
    EXPECT_EQ(hp.uri, "usb://HP/HP%20LaserJet%20M404dn?serial=PHB12");
    EXPECT_EQ(hp.info, "HP LaserJet M404dn (USB)");
    const usbPrinterName longKeys = usbPrinterNameOf("MANUFACTURER:Brother;COMMAND SET:PJL;MODEL:HL-L5100DN;", "",
                                                     "", "E7");
    EXPECT_EQ(longKeys.uri, "usb://Brother/HL-L5100DN?serial=E7");
    EXPECT_EQ(longKeys.info, "Brother HL-L5100DN (USB)");
    // Without a device ID, the USB strings make one.
    const usbPrinterName bare = usbPrinterNameOf("", "Kyocera", "FS-1020D", "0.0");
    EXPECT_EQ(bare.deviceId, "MFG:Kyocera;MDL:FS-1020D;SN:0.0;");
    EXPECT_EQ(bare.uri, "usb://Kyocera/FS-1020D?serial=0.0");
}

// One end of a socket pair as the printer's port.
class socketPort final : public printerPort {
public:
    socketPort(int fd, bool twoWay) : fd(fd), twoWay(twoWay) {}
    ~socketPort() override { close(fd); }

    long send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds wait, std::string& why) override {
        pollfd wanted{fd, POLLOUT, 0};
        if (poll(&wanted, 1, static_cast<int>(wait.count())) <= 0) return 0;
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0 || errno == EAGAIN) return sent < 0 ? 0 : sent;
        why = std::strerror(errno);
        return -1;
    }
    long receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds) override { return readSome(buffer); }
    bool talksBack() const override { return twoWay; }

private:
    int fd;
    bool twoWay;
    backChannelReader::receiveFunction readSome = backChannelReader::fromDescriptor(fd);
};

// "usbtest:/FD" or "usbtest:/FD/one-way": a usb device over descriptor FD.
bool openTestDevice(pappl_device_t* device, const char* uri, const char*) {
    const std::string text = uri;
    const int fd = std::stoi(text.substr(text.find('/') + 1));
    const bool twoWay = !text.ends_with("/one-way");
    appDevice::attach(device, std::make_unique<usbConnection>([fd, twoWay](std::string&) {
                          return std::make_unique<socketPort>(fd, twoWay);
                      }));
    return true;
}

struct usbTestDevice {
    explicit usbTestDevice(const std::string& options = "") {
        papplDeviceAddScheme("usbtest", PAPPL_DEVTYPE_USB, nullptr, openTestDevice, appDevice::closeCallback, nullptr,
                             appDevice::writeCallback, nullptr, nullptr);
        // The app's end belongs to the device.
        const int app = pair.release(0);
        device = papplDeviceOpen(("usbtest:/" + std::to_string(app) + options).c_str(), "job", nullptr, nullptr);
        EXPECT_NE(device, nullptr);
    }
    ~usbTestDevice() {
        if (device) papplDeviceClose(device);
    }
    talkingDevice& talking() { return *talkingDevice::of(device); }

    test::socketPair pair;
    pappl_device_t* device = nullptr;
};

using test::writeAll;

TEST(UsbDevice, ReadsTheBackChannelWhileTheJobIsWritten) {
    usbTestDevice usb;
    ASSERT_TRUE(usb.talking().reachOnce(usb.device));
    const auto channel = usb.talking().listen();
    const int printer = usb.pair.fds[1];
    // A megabyte into the job the printer jams, reporting a byte at a time,
    // and takes no more until the jam is heard: only a device that reads
    // while it writes gets to the job's end.
    std::size_t received = 0;
    bool jamHeardMidJob = false;
    std::thread printerSide([&] {
        char buffer[65536];
        while (received < (1u << 20)) received += static_cast<std::size_t>(read(printer, buffer, sizeof buffer));
        const std::string jam = "@PJL USTATUS DEVICE\r\nCODE=40022\r\nDISPLAY=\"PAPER JAM\"\r\nONLINE=FALSE\r\n\f";
        for (const char c : jam) writeAll(printer, std::string_view(&c, 1));
        const auto deadline = backChannel::clock::now() + 10s;
        while (!jamHeardMidJob && backChannel::clock::now() < deadline) {
            channel->waitForChange(channel->changes(), backChannel::clock::now() + 100ms);
            jamHeardMidJob = channel->snapshot().status && channel->snapshot().status->code == 40022;
        }
        writeAll(printer, "@PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY=\"READY\"\r\nONLINE=TRUE\r\n\f");
        for (ssize_t got; (got = read(printer, buffer, sizeof buffer)) > 0;) received += static_cast<std::size_t>(got);
    });
    const std::string job(8 << 20, 'j');
    for (std::size_t at = 0; at < job.size(); at += 100000)
        ASSERT_GT(papplDeviceWrite(usb.device, job.data() + at, std::min<std::size_t>(100000, job.size() - at)), 0);
    papplDeviceFlush(usb.device);
    const auto deadline = backChannel::clock::now() + 10s;
    while (channel->snapshot().statusReports < 2 && backChannel::clock::now() < deadline)
        channel->waitForChange(channel->changes(), deadline);
    EXPECT_EQ(channel->snapshot().status->code, 10001);
    // Closing the device ends the connection: the printer has every byte.
    papplDeviceClose(usb.device);
    usb.device = nullptr;
    printerSide.join();
    EXPECT_TRUE(jamHeardMidJob);
    EXPECT_EQ(received, job.size());
    EXPECT_TRUE(channel->snapshot().closed);
}

struct cancelAfter final : printerWait {
    explicit cancelAfter(std::chrono::milliseconds wait) : at(std::chrono::steady_clock::now() + wait) {}
    bool abandoned() override { return std::chrono::steady_clock::now() >= at; }
    void unreachable(const std::string&) override {}
    void reachable() override {}
    std::chrono::steady_clock::time_point at;
};

TEST(UsbDevice, ACanceledJobStopsWaitingForAPrinterThatTakesNothing) {
    usbTestDevice usb("/one-way");
    cancelAfter job(300ms);
    ASSERT_TRUE(usb.talking().reachFor(usb.device, job));
    // No back channel: nothing to wait for at the job's end.
    EXPECT_TRUE(usb.talking().listen()->snapshot().closed);
    // The printer reads nothing (jammed): the socket's buffers fill, then the
    // cancel is seen within a write's wait.
    const std::string job8(8 << 20, 'j');
    const auto start = std::chrono::steady_clock::now();
    bool failed = false;
    for (std::size_t at = 0; at < job8.size() && !failed; at += 100000)
        failed = papplDeviceWrite(usb.device, job8.data() + at, 100000) < 0;
    EXPECT_TRUE(failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    usb.talking().jobEnded();
}

}  // namespace
}  // namespace corvane
