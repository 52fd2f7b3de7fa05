#include "app/devices/fileDevice.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include <pappl/pappl.h>

#include "app/devices/appDevice.h"
#include "app/devices/uniqueFile.h"
#include "app/pappl131/papplRepairs.h"

namespace corvane {
namespace {

// The device's target: a folder, where each job makes a new file at its
// first byte (so that a device PAPPL opens and closes without writing leaves
// nothing), or a regular file or character device.
class fileTarget final : public appDevice {
public:
    fileTarget(std::string path, std::string extension, bool folderMeant, std::string jobName)
        : path(std::move(path)), extension(std::move(extension)), folderMeant(folderMeant),
          jobName(std::move(jobName)) {}
    ~fileTarget() override {
        if (fd >= 0) close(fd);
    }

    bool wroteNothing() const { return fd < 0; }

private:
    bool printerReached() const override { return fd >= 0 || folderFound; }
    bool reachPrinter(pappl_device_t* device, const std::function<bool()>&, std::string& why) override;
    ssize_t send(pappl_device_t* device, const void* buffer, size_t bytes) override;

    bool unreachable(pappl_device_t* device, std::string text, std::string& why) {
        if (text != lastProblem) papplDeviceError(device, "%s: %s", text.c_str(), std::strerror(errno));
        lastProblem = text;
        why = std::move(text);
        return false;
    }

    std::string path, extension;
    bool folderMeant;  // the URI gave a file extension
    std::string jobName;
    bool folderFound = false;
    int fd = -1;
    std::string lastProblem;  // logged once
};

// The ext= value of the URI's query (PAPPL's "prn" when absent or unusable).
std::string extensionOf(std::string_view query) {
    constexpr std::string_view key = "ext=";
    if (query.substr(0, key.size()) != key) return "prn";
    std::string_view value = query.substr(key.size());
    value = value.substr(0, value.find('&'));
    if (value.empty() || value.find('/') != std::string_view::npos) return "prn";
    return std::string(value);
}

bool fileTarget::reachPrinter(pappl_device_t* device, const std::function<bool()>&, std::string& why) {
    struct stat info {};
    const bool exists = stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        if (access(path.c_str(), W_OK | X_OK) != 0)
            return unreachable(device, "Cannot write to the folder " + path, why);
        folderFound = true;
        return true;
    }
    // A folder with an extension was meant; do not make a file of its name.
    if (!exists && folderMeant) return unreachable(device, "The folder " + path + " does not exist", why);
    const int flags = exists && S_ISCHR(info.st_mode) ? O_WRONLY : O_WRONLY | O_APPEND | O_CREAT;
    fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    return fd >= 0 || unreachable(device, "Cannot write to " + path, why);
}

ssize_t fileTarget::send(pappl_device_t* device, const void* buffer, size_t bytes) {
    if (fd < 0) {
        std::string made;
        fd = createUniqueFile(path, jobName, extension, made);
        if (fd < 0) {
            papplDeviceError(device, "Unable to create '%s': %s", made.c_str(), std::strerror(errno));
            return -1;
        }
    }
    const auto* data = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < bytes) {
        const ssize_t written = ::write(fd, data + done, bytes - done);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            papplDeviceError(device, "Unable to write print data: %s", std::strerror(errno));
            return -1;
        }
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}

// Opens without touching the target: the job reaches it at its start.
bool openDevice(pappl_device_t* device, const char* uri, const char* jobName) {
    char scheme[32], userpass[32], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass,
                        host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK) {
        papplDeviceError(device, "Bad device URI '%s'.", uri);
        return false;
    }
    std::string query;
    if (char* mark = std::strchr(resource, '?')) {
        query = mark + 1;
        *mark = '\0';
    }
    appDevice::attach(device, std::make_unique<fileTarget>(resource, extensionOf(query), !query.empty(),
                                                           jobName ? jobName : ""));
    return true;
}

void closeDevice(pappl_device_t* device) {
    const std::unique_ptr<appDevice> own = appDevice::detach(device);
    // Nothing written: the printer's shared device, which PAPPL closes after
    // every job.
    if (const auto* file = dynamic_cast<const fileTarget*>(own.get()); file && file->wroteNothing())
        idleDeviceClosing();
}

}  // namespace

void addFileScheme(const char* scheme) {
    papplDeviceAddScheme(scheme, PAPPL_DEVTYPE_FILE, nullptr, openDevice, closeDevice, nullptr,
                         appDevice::writeCallback, nullptr, nullptr);
}

}  // namespace corvane
