// corvane-printer-app: a driverless (IPP Everywhere) printer application for
// Corvane PJL / PCL 5 laser printers, on PAPPL's main loop.
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "app/driver/corvaneDriver.h"
#include "app/printerApp.h"
#include "app/server/submitArguments.h"

int main(int argc, char* argv[]) {
    const std::span<char* const> arguments(argv, static_cast<std::size_t>(argc));
    // A job submitted here reaches a local server through the control
    // socket, past the server's adaptation of requests: adapted here.
    corvane::submitArguments submit = corvane::adaptSubmitArguments(arguments);
    if (!submit.refusal.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], submit.refusal.c_str());
        return 1;
    }
    std::vector<char*> adapted;
    for (std::string& argument : submit.arguments) adapted.push_back(argument.data());
    adapted.push_back(nullptr);

    corvane::printerApp app{};
    app.drivers[0] = {corvane::driverName, corvane::driverDescription, corvane::driverDeviceId, nullptr};
    app.drivers[1] = {corvane::onewayDriverName, corvane::onewayDriverDescription, nullptr, nullptr};
    app.listens = corvane::subcommandOf(arguments) == "server";
    // PAPPL 1.3.1's web pages need a footer (a null one crashes them).
    const char* footer = "Corvane printer application " CORVANE_VERSION;
    return papplMainloop(static_cast<int>(adapted.size() - 1), adapted.data(), CORVANE_VERSION, footer, static_cast<int>(app.drivers.size()),
                         app.drivers.data(), corvane::driverForDevice, corvane::describePrinter,
                         nullptr, nullptr, corvane::createSystem, nullptr, &app);
}
