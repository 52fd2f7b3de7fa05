// The `submit` subcommand's arguments, adapted before PAPPL's client turns
// them into a request: it talks to a local server through the control
// socket, where the server's authorization callback (and with it the
// adaptation of requests) does not run.
// - The job name (-t NAME, -o job-name=NAME, or the document's file name
//   when the job has one file) as an IPP name, as the server keeps it.
// - A media size the printer does not list by that name: PAPPL's client
//   sends "media" as a keyword, which PAPPL drops, unless a media-col
//   member such as media-source is given too; the size is then sent as a
//   size the client can read, with a media-col member that changes nothing
//   (media-left-offset=0). A size the printer cannot print is refused.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The subcommand PAPPL will run: the first of its subcommand names among
// the arguments that are not options or their values; "submit" without
// one (PAPPL then prints the files named, or standard input).
std::string_view subcommandOf(std::span<char* const> arguments);

struct submitArguments {
    std::vector<std::string> arguments;  // argv, adapted
    std::string refusal;                 // why the job cannot be printed
};

// argv adapted when the subcommand is "submit", else unchanged.
submitArguments adaptSubmitArguments(std::span<char* const> arguments);

}  // namespace corvane
