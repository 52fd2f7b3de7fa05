#include <csignal>
#include <cstring>

#include "filter/jobControl.h"

namespace corvane {

volatile std::sig_atomic_t& cancelSignal::flag() {
    static volatile std::sig_atomic_t raisedFlag = 0;
    return raisedFlag;
}

void cancelSignal::handler(int) { flag() = 1; }

void cancelSignal::install() {
    flag() = 0;  // the function-local flag exists before a signal can arrive
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace corvane
