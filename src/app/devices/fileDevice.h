// The file:// device, registered in place of PAPPL's: for a folder
// (file:///dir?ext=pcl) each job writes a new file named after it
// ("Untitled.pcl", "Untitled-2.pcl", ...), made at the job's first byte,
// where PAPPL's would truncate the file of an earlier job of the same name;
// a regular file is appended to, a character device (/dev/null) written to,
// as before. Files are created readable by their owner only. A folder that
// is missing or not writable is waited for by the job (appDevice.h).
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// Registers the device under the scheme name (addDeviceSchemes).
void addFileScheme(const char* scheme);

}  // namespace corvane
