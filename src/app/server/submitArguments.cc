#include "app/server/submitArguments.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>

#include <cups/cups.h>

#include "app/server/mediaRequest.h"
#include "app/server/parsedOptions.h"
#include "app/server/requestAdapter.h"

namespace corvane {
namespace {

// Options of PAPPL's main loop that take the next argument as their value.
constexpr std::string_view optionsWithValue = "dhjmnotuv";

// PAPPL's subcommands; any other word is a file to print.
constexpr std::string_view subcommands[] = {"add", "autoadd", "cancel", "default", "delete", "devices",
                                            "drivers", "jobs", "modify", "options", "pause", "printers",
                                            "resume", "server", "shutdown", "status", "submit"};

// The members that make PAPPL's client send media-col rather than media.
constexpr const char* mediaColMembers[] = {"media-left-offset", "media-source", "media-top-offset",
                                           "media-tracking", "media-type"};

// Where each kind of argument is, as PAPPL's main loop reads them.
struct argumentPlaces {
    std::string_view subcommand;
    std::vector<std::size_t> titles;   // values of -t
    std::vector<std::size_t> options;  // values of -o
    std::vector<std::size_t> files;
};

argumentPlaces placesOf(std::span<char* const> arguments) {
    argumentPlaces places;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument(arguments[i]);
        if (argument == "--") {
            if (++i < arguments.size()) places.files.push_back(i);
        } else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-') {
            if (optionsWithValue.find(argument[1]) == std::string_view::npos || ++i >= arguments.size()) continue;
            if (argument[1] == 't') places.titles.push_back(i);
            if (argument[1] == 'o') places.options.push_back(i);
        } else if (argument != "-") {
            const bool named = std::find(std::begin(subcommands), std::end(subcommands), argument) != std::end(subcommands);
            if (named && places.subcommand.empty()) places.subcommand = argument;
            else if (!named) places.files.push_back(i);
        }
    }
    // Without a subcommand PAPPL prints the files (or standard input).
    if (places.subcommand.empty()) places.subcommand = "submit";
    return places;
}

// A size PAPPL's client reads (pwgMediaForPWG) from the name alone.
std::string readableSize(int width, int length) {
    char text[64];
    std::snprintf(text, sizeof text, "custom_size_%gx%gmm", width / 100.0, length / 100.0);
    return text;
}

}  // namespace

std::string_view subcommandOf(std::span<char* const> arguments) { return placesOf(arguments).subcommand; }

submitArguments adaptSubmitArguments(std::span<char* const> arguments) {
    submitArguments adapted;
    adapted.arguments.assign(arguments.begin(), arguments.end());
    const argumentPlaces places = placesOf(arguments);
    if (places.subcommand != "submit") return adapted;

    // What PAPPL's client will send: the last value of each option wins.
    bool hasName = !places.titles.empty();
    std::optional<std::size_t> mediaAt;  // the -o value with the media that counts
    bool mediaColSent = false;
    for (const std::size_t at : places.options) {
        const parsedOptions options(arguments[at]);
        hasName = hasName || options.get("job-name");
        if (options.get("media")) mediaAt = at;
        for (const auto member : mediaColMembers) mediaColSent = mediaColSent || options.get(member);
    }

    for (const std::size_t at : places.titles) adapted.arguments[at] = ippNameText(arguments[at]);
    for (const std::size_t at : places.options) {
        parsedOptions options(arguments[at]);
        bool changed = false;
        if (const char* name = options.get("job-name"); name && ippNameText(name) != name) {
            options.set("job-name", ippNameText(name));
            changed = true;
        }
        if (at == mediaAt) {
            const mediaChoice choice = chooseMedia(options.get("media"));
            if (choice.what == mediaChoice::kind::refused) adapted.refusal = choice.refusal;
            if (choice.what == mediaChoice::kind::listed && choice.name != options.get("media")) {
                options.set("media", choice.name);
                changed = true;
            }
            if (choice.what == mediaChoice::kind::custom) {
                options.set("media", readableSize(choice.width, choice.length));
                if (!mediaColSent) options.set("media-left-offset", "0");
                changed = true;
            }
        }
        if (changed) adapted.arguments[at] = options.text();
    }
    // Without a job name the document's file name is the job's name.
    if (!hasName && places.files.size() == 1) {
        const std::string_view file(arguments[places.files[0]]);
        const std::string_view base = file.substr(file.rfind('/') + 1);
        if (ippNameText(base) != base)
            adapted.arguments.insert(adapted.arguments.begin() + 1, {"-t", ippNameText(base)});
    }
    return adapted;
}

}  // namespace corvane
