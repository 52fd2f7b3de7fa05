#include "app/devices/fileDevice.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <pappl/pappl.h>

#include "app/devices/socketDevice.h"
#include "app/devices/uniqueFile.h"

// PAPPL's own scheme registrations: exported by libpappl1 (listed in its
// Debian symbols file since 1.0.1) but not declared in its headers.
extern "C" void _papplDeviceAddNetworkSchemes(void);
extern "C" void _papplDeviceAddUSBScheme(void);

namespace corvane {
namespace {

// A folder's file is made at the job's first byte, so that a device PAPPL
// opens and closes without writing leaves nothing.
struct openFile {
    int fd = -1;
    std::string folder;  // empty for a regular file or character device
    std::string jobName;
    std::string extension;
};

openFile* fileOf(pappl_device_t* device) { return static_cast<openFile*>(papplDeviceGetData(device)); }

// The ext= value of the URI's query (PAPPL's "prn" when absent or unusable).
std::string extensionOf(std::string_view query) {
    constexpr std::string_view key = "ext=";
    if (query.substr(0, key.size()) != key) return "prn";
    std::string_view value = query.substr(key.size());
    value = value.substr(0, value.find('&'));
    if (value.empty() || value.find('/') != std::string_view::npos) return "prn";
    return std::string(value);
}

bool openTarget(pappl_device_t* device, const char* uri, openFile& file) {
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

    struct stat info {};
    if (stat(resource, &info) == 0 && S_ISDIR(info.st_mode)) {
        if (access(resource, W_OK | X_OK) != 0) {
            papplDeviceError(device, "Unable to write to folder '%s': %s", resource, std::strerror(errno));
            return false;
        }
        file.folder = resource;
        file.extension = extensionOf(query);
        return true;
    }
    if (stat(resource, &info) != 0 && !query.empty()) {
        // A folder with an extension was meant; do not make a file of its name.
        papplDeviceError(device, "Folder '%s' does not exist.", resource);
        return false;
    }
    const int flags = S_ISCHR(info.st_mode) ? O_WRONLY : O_WRONLY | O_APPEND | O_CREAT;
    file.fd = open(resource, flags | O_CLOEXEC, 0600);
    if (file.fd < 0) papplDeviceError(device, "Unable to open '%s': %s", resource, std::strerror(errno));
    return file.fd >= 0;
}

bool openDevice(pappl_device_t* device, const char* uri, const char* jobName) {
    auto file = std::make_unique<openFile>();
    file->jobName = jobName ? jobName : "";
    if (!openTarget(device, uri, *file)) return false;
    papplDeviceSetData(device, file.release());
    return true;
}

void closeDevice(pappl_device_t* device) {
    const std::unique_ptr<openFile> file(fileOf(device));
    papplDeviceSetData(device, nullptr);
    // A device nothing was written to is the printer's shared one, which
    // PAPPL 1.3.1 closes after every job, holding the printer's lock. A job
    // starting at that moment reads the device pointer just after letting
    // go of that lock, and on finding it cleared ends as completed without
    // printing. The pause lets such a job read it first.
    if (file && file->fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (file && file->fd >= 0) close(file->fd);
}

ssize_t writeDevice(pappl_device_t* device, const void* buffer, size_t bytes) {
    openFile* file = fileOf(device);
    if (file == nullptr) return -1;
    if (file->fd < 0) {
        std::string path;
        file->fd = createUniqueFile(file->folder, file->jobName, file->extension, path);
        if (file->fd < 0) {
            papplDeviceError(device, "Unable to create '%s': %s", path.c_str(), std::strerror(errno));
            return -1;
        }
    }
    const auto* data = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < bytes) {
        const ssize_t written = write(file->fd, data + done, bytes - done);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            papplDeviceError(device, "Unable to write print data: %s", std::strerror(errno));
            return -1;
        }
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

void addDeviceSchemes() {
    papplDeviceAddScheme("file", PAPPL_DEVTYPE_FILE, nullptr, openDevice, closeDevice, nullptr,
                         writeDevice, nullptr, nullptr);
    addSocketScheme();
    _papplDeviceAddNetworkSchemes();
    _papplDeviceAddUSBScheme();
}

}  // namespace corvane
