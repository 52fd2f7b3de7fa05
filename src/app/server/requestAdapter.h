// What print clients send over the network, brought into a form that PAPPL
// keeps and prints as the client meant it, before PAPPL reads the request:
// - job names and user names that every client can read back: PAPPL keeps
//   them as sent, and one with a control character makes the answers to
//   Get-Jobs invalid for other clients (and breaks a line of the saved
//   state);
// - paper sizes the printer does not list by that name: PAPPL would drop
//   them and print on its default paper. A size within the custom range
//   becomes that custom size, a listed size of the same dimensions its
//   listed name, and a size the printer cannot print is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <pappl/pappl.h>

namespace corvane {

// Text as an IPP name holds it: control characters (below U+0020, and
// U+007F) as spaces, bytes that are not part of a UTF-8 character as '?',
// at most 255 bytes, cut before the first character that does not fit.
std::string ippNameText(std::string_view text);

// Adapts the request in place. Returns why it asks for paper the printer
// cannot print; that size is then given as text, which PAPPL refuses as an
// unsupported value (client-error-attributes-or-values-not-supported)
// rather than substituting its default paper, with or without
// ipp-attribute-fidelity.
std::optional<std::string> adaptRequest(ipp_t* request);

// The client's request adapted, for the authorization callback, which
// PAPPL calls before it reads a request from the network. A refusal is
// logged and answered as the response's detailed-status-message.
void adaptClientRequest(pappl_client_t* client);

}  // namespace corvane
