// The server options PAPPL's own main loop reads, read the same way, with
// one difference: a server that listens on this machine's loopback only
// offers no TLS. PAPPL offers TLS to clients of other machines only: to a
// loopback client it gives the ipp URI alone in printer-uri-supported while
// uri-security-supported says none and tls, which IPP Everywhere clients
// count as an error; and a loopback-only server has no other client.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// The -o log-level= value (warn when absent or unknown).
pappl_loglevel_t logLevel(const char* value);

// The -o server-options= list, for a server that listens on loopback only
// or not.
pappl_soptions_t serverOptions(const char* value, bool loopbackOnly);

// Whether every address of `host` is a loopback one (false for null, which
// stands for every address of the machine, and for a host not found).
bool isLoopbackHost(const char* host);

}  // namespace corvane
