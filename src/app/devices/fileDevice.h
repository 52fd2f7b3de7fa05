// The file:// device, registered in place of PAPPL's: for a folder
// (file:///dir?ext=pcl) each job writes a new file named after it
// ("Untitled.pcl", "Untitled-2.pcl", ...), made at the job's first byte,
// where PAPPL's would truncate the file of an earlier job of the same name; a regular file is appended to,
// a character device (/dev/null) written to, as before. Files are created
// readable by their owner only.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// Registers the scheme and the app's socket scheme, then PAPPL's other
// network schemes and its USB scheme. Must run
// before anything opens or lists a device: PAPPL adds its own schemes only
// while none is registered, and the first registration of a scheme wins.
void addDeviceSchemes();

}  // namespace corvane
