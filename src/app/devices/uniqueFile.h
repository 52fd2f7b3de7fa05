// Output files of the file:// device: one new file per job in the device's
// folder, named after the job, never replacing a file that is there.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// "NAME.EXT" for the first attempt, "NAME-2.EXT", "NAME-3.EXT" ... after
// it. Bytes of the job name that do not belong in a file name (control
// characters, bytes outside ASCII, '/') become '_', as in PAPPL's own file
// device, and a name that would be hidden or empty is prefixed or replaced.
std::string outputFileName(std::string_view jobName, std::string_view extension, unsigned attempt);

// Creates the first of those names that does not exist yet in `folder`
// (O_EXCL, no symbolic link followed), readable by its owner only. Returns
// the open descriptor and sets `path`, or -1 with errno set.
int createUniqueFile(const std::string& folder, std::string_view jobName, std::string_view extension,
                     std::string& path);

}  // namespace corvane
