#include "filter/errorLog.h"

#include <cerrno>
#include <unistd.h>

namespace corvane {

void errorLog::write(std::string_view text) const {
    if (fd < 0) return;
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace corvane
