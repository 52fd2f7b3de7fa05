// The devices of the app's own schemes (socket, usb, file). PAPPL opens a
// printer's device holding the printer's lock, and when the open fails it
// stops the printer and sleeps 5 seconds before its next try, seeing a
// cancel only then. These devices therefore open at once without touching
// the printer; the job reaches the printer (connects, finds its folder) at
// its start, on its own thread. A printer that cannot be reached is tried
// again every second while the job says why it waits (printerWait), until
// the job is canceled. A device used outside a job (the status watch's
// questions) tries its printer once.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

#include <pappl/pappl.h>

#include "app/devices/backChannel.h"

namespace corvane {

// The side of the job that writes through a device.
class printerWait {
public:
    // True once the job's bytes are no longer wanted (a cancel).
    virtual bool abandoned() = 0;
    // Why the printer cannot be reached, in words for the user; told at
    // every try while it lasts.
    virtual void unreachable(const std::string& why) = 0;
    // The printer was reached after being unreachable.
    virtual void reachable() = 0;

protected:
    ~printerWait() = default;
};

class appDevice {
public:
    virtual ~appDevice() = default;
    appDevice(const appDevice&) = delete;
    appDevice& operator=(const appDevice&) = delete;

    // The app's device behind a PAPPL device; null for PAPPL's own devices
    // (told apart by a mark in the device data, where PAPPL's USB and
    // network devices keep larger structures).
    static appDevice* of(pappl_device_t* device);
    // PAPPL's device data: set by the open callback, taken back by the close
    // callback.
    static void attach(pappl_device_t* device, std::unique_ptr<appDevice> own);
    static std::unique_ptr<appDevice> detach(pappl_device_t* device);
    // The schemes' write and close callbacks.
    static ssize_t writeCallback(pappl_device_t* device, const void* buffer, size_t bytes);
    static void closeCallback(pappl_device_t* device) { detach(device); }

    // For the job writing through the device, at its start: reaches the
    // printer, waiting while it cannot be reached. False once the job gave
    // up. Called on the job's thread, as are the device's writes.
    bool reachFor(pappl_device_t* device, printerWait& job);
    // At the job's end.
    void jobEnded() { writer = nullptr; }
    // Reaches the printer once, outside a job.
    bool reachOnce(pappl_device_t* device);

protected:
    appDevice() = default;

    // True once the bytes being written are no longer wanted: the job writing
    // them was canceled, or, outside a job, the printer has taken nothing
    // since `lastTaken` for ten seconds.
    bool writerGaveUp(std::chrono::steady_clock::time_point lastTaken) const;

    virtual bool printerReached() const = 0;
    // One try to reach the printer; false with why not, in words for the
    // user (the details go to PAPPL's device error callback). A slow try
    // ends early once `stop` says so.
    virtual bool reachPrinter(pappl_device_t* device, const std::function<bool()>& stop, std::string& why) = 0;
    // Bytes to the reached printer.
    virtual ssize_t send(pappl_device_t* device, const void* buffer, size_t bytes) = 0;

private:
    static constexpr unsigned ownMagic = 0x434f5256;
    const unsigned magic = ownMagic;
    printerWait* writer = nullptr;
};

// A device whose printer talks back (socket, usb). Its back channel is read
// only once someone listens, so that a printer whose replies misbehave can
// be left unread.
class talkingDevice : public appDevice {
public:
    ~talkingDevice() override { stopListening(); }

    // The talking device behind a PAPPL device; null for any other.
    static talkingDevice* of(pappl_device_t* device);
    // What the printer says, read by a thread of the device's own from now
    // on while the printer is reached (reach it first). A printer without a
    // back channel gives a closed channel.
    const std::shared_ptr<backChannel>& listen();

protected:
    // How the reached printer's replies arrive; empty without a back channel.
    virtual backChannelReader::receiveFunction receiver() = 0;
    // Joins the reader: the connection must outlive it.
    void stopListening() { reader.reset(); }

private:
    std::shared_ptr<backChannel> replies = std::make_shared<backChannel>();
    std::unique_ptr<backChannelReader> reader;
};

}  // namespace corvane
