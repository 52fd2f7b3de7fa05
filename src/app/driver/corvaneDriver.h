// The one printer driver, "corvane": what the printer can do, described to
// PAPPL (and through it to every IPP client), and the callbacks that print.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

inline constexpr const char* driverName = "corvane";
inline constexpr const char* driverDescription = "Corvane PCL Laser";
// The same printer without the app's own PJL: no status readback, no panel
// messages; the stream is the filter's alone (for a printer whose PJL
// misbehaves, or a one-way connection that should not wait for replies).
inline constexpr const char* onewayDriverName = "corvane-oneway";
inline constexpr const char* onewayDriverDescription = "Corvane PCL Laser, one-way (no status readback)";
inline constexpr const char* driverDeviceId = "MFG:Corvane;MDL:PCL Laser;CMD:PJL,PCL;";

// The document format the driver claims as its own, so that PAPPL looks up
// the app's filters to it before its own (its lookup tries the driver's
// format first). It is already in document-format-supported; such a
// document is never printed raw.
inline constexpr const char* driverDocumentFormat = "application/octet-stream";

// PAPPL's driver callback: fills the driver data and the extra printer
// attributes for "corvane" and "corvane-oneway"; false for any other name.
// The driver data's extension is `extension` (a driverContext, or null).
bool describeDriver(pappl_system_t* system, const char* driver_name, const char* device_uri,
                    const char* device_id, pappl_pr_driver_data_t* data, ipp_t** driver_attrs,
                    void* extension);

// True for a printer of the "corvane" driver on a socket:// or usb://
// device: the app talks with it (status, end of job, identify).
bool readsBack(pappl_printer_t* printer);

// PAPPL's auto-add callback: "corvane" for a Corvane printer's device ID.
const char* driverForDevice(const char* device_info, const char* device_uri, const char* device_id,
                            void* context);


}  // namespace corvane
