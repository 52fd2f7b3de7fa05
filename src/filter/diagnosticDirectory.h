// Files of the diagnostic mode, kept in the user's temporary directory.
//
// Under a print system every job's filter runs as the same user, sharing one
// temporary directory, so another process may plant links or special files
// under our fixed names. Files are therefore never opened by following a
// name: a name is removed and created afresh (O_EXCL, O_NOFOLLOW, mode 0600)
// relative to a descriptor of the directory, and later appends check that the
// name still leads to the same regular file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>

#include "filter/fileHandle.h"

namespace corvane {

// $TMPDIR when set and not empty, else /tmp; without a trailing slash.
std::string temporaryDirectory();

class diagnosticDirectory {
public:
    explicit diagnosticDirectory(const std::string& path);

    // True when anything exists at the name (links are followed, so a
    // dangling link counts as nothing).
    bool exists(const char* name) const;

    // Replaces whatever is at the name with a new empty file open for
    // reading and writing; an unopened handle on failure.
    fileHandle createFresh(const char* name) const;

    // Identity of an open file, to recognise it again by name later.
    struct identity {
        dev_t device = 0;
        ino_t inode = 0;
        bool valid = false;
    };
    static identity identify(const fileHandle& file);

    // Appends the bytes to the file at `name` if it is still the regular file
    // `expected`; returns false (and writes nothing) otherwise.
    bool append(const char* name, const identity& expected,
                std::span<const std::uint8_t> bytes) const;

private:
    fileHandle directory;
};

// Writes all bytes, retrying short writes; false on an error.
bool writeAll(int fd, std::span<const std::uint8_t> bytes);

}  // namespace corvane
