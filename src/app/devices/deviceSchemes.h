// The device schemes the app brings itself, each in place of PAPPL's scheme
// of that name, with PAPPL's other schemes (dnssd, snmp) kept.
#pragma once

namespace corvane {

// Registers them. Call once, before anything opens or lists a device.
void addDeviceSchemes();

}  // namespace corvane
