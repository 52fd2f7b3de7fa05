// Who may do what. The server listens on loopback unless told otherwise;
// printing (submitting jobs, reading job and printer status, cancelling
// one's own job) needs no login, while administration (adding, deleting or
// changing printers and the system, over IPP or in the web interface) needs
// a PAM login when an authentication service is set (-o auth-service=NAME),
// and is refused to other machines when none is.
#pragma once

#include <pappl/pappl.h>

namespace corvane {

// The listen-hostname option as PAPPL takes it: loopback by default, "*" for
// every address of the machine.
const char* listenAddress(const char* option);

// Installs the authorization callback that decides per request. It also
// refuses PAPPL's device search over IPP where no Avahi daemon runs: PAPPL
// 1.3.1 aborts the whole server on it there.
void applyAccessPolicy(pappl_system_t* system);

}  // namespace corvane
