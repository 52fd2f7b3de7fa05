// corvane-printer-app: a driverless (IPP Everywhere) printer application for
// Corvane PJL / PCL 5 laser printers, on PAPPL's main loop.
#include <cstring>
#include <string_view>

#include "app/driver/corvaneDriver.h"
#include "app/printerApp.h"

namespace {

// The subcommand PAPPL will run: the first argument that is not an option
// or an option's value.
bool runsServer(int argc, char* argv[]) {
    constexpr std::string_view optionsWithValue = "dhjmnotuv";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--") return false;
        if (argument.size() > 1 && argument[0] == '-') {
            if (argument[1] != '-' && optionsWithValue.find(argument[1]) != std::string_view::npos) ++i;
            continue;
        }
        return argument == "server";
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    corvane::printerApp app{};
    app.drivers[0] = {corvane::driverName, corvane::driverDescription, corvane::driverDeviceId, nullptr};
    app.drivers[1] = {corvane::onewayDriverName, corvane::onewayDriverDescription, nullptr, nullptr};
    app.listens = runsServer(argc, argv);
    // PAPPL 1.3.1's web pages need a footer (a null one crashes them).
    const char* footer = "Corvane printer application " CORVANE_VERSION;
    return papplMainloop(argc, argv, CORVANE_VERSION, footer, static_cast<int>(app.drivers.size()),
                         app.drivers.data(), corvane::driverForDevice, corvane::describeDriver,
                         nullptr, nullptr, corvane::createSystem, nullptr, &app);
}
