#include "app/devices/appDevice.h"

#include <chrono>
#include <thread>

namespace corvane {
namespace {

using clock = std::chrono::steady_clock;
constexpr auto tryEvery = std::chrono::seconds(1);
constexpr auto lookEvery = std::chrono::milliseconds(100);
constexpr auto idleWriteLimit = std::chrono::seconds(10);

}  // namespace

appDevice* appDevice::of(pappl_device_t* device) {
    auto* own = static_cast<appDevice*>(papplDeviceGetData(device));
    return own != nullptr && own->magic == ownMagic ? own : nullptr;
}

void appDevice::attach(pappl_device_t* device, std::unique_ptr<appDevice> own) {
    papplDeviceSetData(device, own.release());
}

std::unique_ptr<appDevice> appDevice::detach(pappl_device_t* device) {
    std::unique_ptr<appDevice> own(of(device));
    papplDeviceSetData(device, nullptr);
    return own;
}

ssize_t appDevice::writeCallback(pappl_device_t* device, const void* buffer, size_t bytes) {
    appDevice* own = of(device);
    if (own == nullptr) return -1;
    if (!own->printerReached()) {
        papplDeviceError(device, "The printer was not reached; nothing was sent.");
        return -1;
    }
    return own->send(device, buffer, bytes);
}

talkingDevice* talkingDevice::of(pappl_device_t* device) {
    return dynamic_cast<talkingDevice*>(appDevice::of(device));
}

const std::shared_ptr<backChannel>& talkingDevice::listen() {
    if (reader == nullptr && printerReached()) {
        if (auto receive = receiver())
            reader = std::make_unique<backChannelReader>(std::move(receive), replies);
        else
            replies->close();
    }
    return replies;
}

bool appDevice::writerGaveUp(clock::time_point lastTaken) const {
    return writer != nullptr ? writer->abandoned() : clock::now() - lastTaken >= idleWriteLimit;
}

bool appDevice::reachOnce(pappl_device_t* device) {
    std::string why;
    return printerReached() || reachPrinter(device, [] { return false; }, why);
}

bool appDevice::reachFor(pappl_device_t* device, printerWait& job) {
    writer = &job;
    const auto gaveUp = [&job] { return job.abandoned(); };
    bool told = false;
    while (!printerReached()) {
        if (gaveUp()) return false;
        const auto tried = clock::now();
        std::string why;
        if (reachPrinter(device, gaveUp, why)) break;
        if (gaveUp()) return false;
        job.unreachable(why);
        told = true;
        while (clock::now() - tried < tryEvery && !gaveUp()) std::this_thread::sleep_for(lookEvery);
    }
    if (told) job.reachable();
    return true;
}

}  // namespace corvane
