#include "app/pappl131/requestRaster.h"

namespace corvane {

requestStream& threadRequestStream() {
    thread_local requestStream stream;
    return stream;
}

std::span<const unsigned char> requestRasterStart() {
    const requestStream& stream = threadRequestStream();
    return {stream.start.data(), stream.kept};
}

bool requestRasterLeftUnread() {
    const requestStream& stream = threadRequestStream();
    return stream.http != nullptr && httpGetState(stream.http) == HTTP_STATE_POST_RECV;
}

}  // namespace corvane
