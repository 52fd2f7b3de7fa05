#include "app/devices/deviceSchemes.h"

#include <pappl/pappl.h>

#include "app/devices/fileDevice.h"
#include "app/devices/socketDevice.h"
#include "app/devices/usbDevice.h"
#include "app/pappl131/papplRepairs.h"

namespace corvane {
namespace {

// The app's own scheme `name`, registered by `add(name)` (a call of
// papplDeviceAddScheme with the scheme's callbacks).
void ownScheme(const char* name, void (*add)(const char* name)) {
#if CORVANE_PAPPL_VERSION >= 10400
    papplDeviceRemoveScheme(name);
#endif
    add(name);
}

}  // namespace

// A new scheme of the app's own is one line here: its name and the function
// of its device file (devices/) that registers its callbacks under that
// name. The callbacks keep their state in the device's data
// (papplDeviceSetData) and report failures with papplDeviceError, which
// PAPPL logs.
void addDeviceSchemes() {
    ownScheme("file", addFileScheme);
    ownScheme("socket", addSocketScheme);
    ownScheme("usb", addUsbScheme);
    keepPapplDeviceSchemes();
}

}  // namespace corvane
