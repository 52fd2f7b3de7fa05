#include "app/server/serverOptions.h"

#include <string_view>

namespace corvane {

pappl_loglevel_t logLevel(const char* value) {
    if (value == nullptr) return PAPPL_LOGLEVEL_WARN;
    const std::string_view level(value);
    if (level == "fatal") return PAPPL_LOGLEVEL_FATAL;
    if (level == "error") return PAPPL_LOGLEVEL_ERROR;
    if (level == "info") return PAPPL_LOGLEVEL_INFO;
    if (level == "debug") return PAPPL_LOGLEVEL_DEBUG;
    return PAPPL_LOGLEVEL_WARN;
}

namespace {

// PAPPL 1.4 adds a page of TLS settings to the web interface.
#if CORVANE_PAPPL_VERSION >= 10400
constexpr pappl_soptions_t tlsOptions = PAPPL_SOPTIONS_WEB_TLS;
#else
constexpr pappl_soptions_t tlsOptions = PAPPL_SOPTIONS_NONE;
#endif

pappl_soptions_t withoutTls(pappl_soptions_t options) { return (options | PAPPL_SOPTIONS_NO_TLS) & ~tlsOptions; }

}  // namespace

// The "server-options" list, as PAPPL's own default system reads it.
pappl_soptions_t serverOptions(const char* value, bool loopbackOnly) {
    pappl_soptions_t options = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | tlsOptions;
    std::string_view rest(value ? value : "");
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view word = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (word == "none") options = PAPPL_SOPTIONS_NONE;
        else if (word == "dnssd-host") options |= PAPPL_SOPTIONS_DNSSD_HOST;
        else if (word == "no-multi-queue") options &= ~PAPPL_SOPTIONS_MULTI_QUEUE;
        else if (word == "raw-socket") options |= PAPPL_SOPTIONS_RAW_SOCKET;
        else if (word == "usb-printer") options |= PAPPL_SOPTIONS_USB_PRINTER;
        else if (word == "no-web-interface") options &= ~PAPPL_SOPTIONS_WEB_INTERFACE;
        else if (word == "web-log") options |= PAPPL_SOPTIONS_WEB_LOG;
        else if (word == "web-network") options |= PAPPL_SOPTIONS_WEB_NETWORK;
        else if (word == "web-remote") options |= PAPPL_SOPTIONS_WEB_REMOTE;
        else if (word == "web-security") options |= PAPPL_SOPTIONS_WEB_SECURITY;
        else if (word == "no-tls") options = withoutTls(options);
    }
    return loopbackOnly ? withoutTls(options) : options;
}

bool isLoopbackHost(const char* host) {
    if (host == nullptr) return false;
    http_addrlist_t* addresses = httpAddrGetList(host, AF_UNSPEC, "0");
    bool loopback = addresses != nullptr;
    for (const http_addrlist_t* address = addresses; address != nullptr; address = address->next)
        loopback = loopback && httpAddrLocalhost(&address->addr);
    httpAddrFreeList(addresses);
    return loopback;
}

}  // namespace corvane
