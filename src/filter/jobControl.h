// What the page loop and the page transfer consult between rows: whether the
// job must stop (cancelled, or the printer side is gone) and where progress
// goes.
#pragma once

#include <csignal>

#include "filter/printerStream.h"
#include "filter/statusReporter.h"

namespace corvane {

// SIGTERM is how the print system cancels a job. The handler only sets a
// flag (the one piece of process-wide state, as a signal handler needs); the
// loops look at it and still close the job properly.
class cancelSignal {
public:
    static void install();
    static bool raised() { return flag() != 0; }

private:
    static volatile std::sig_atomic_t& flag();
    static void handler(int);
};

class jobControl {
public:
    jobControl(const printerStream& output, statusReporter& status)
        : output(output), statusLines(status) {}

    bool stopRequested() const { return cancelSignal::raised() || output.failed(); }
    statusReporter& status() { return statusLines; }

private:
    const printerStream& output;
    statusReporter& statusLines;
};

}  // namespace corvane
