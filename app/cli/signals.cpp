#include "app/cli/signals.h"

#include "data/attach.h"

#include <atomic>
#include <csignal>

namespace vistrel::cli {
namespace {

std::atomic<int> firstSignal{0};
std::atomic<bool> installed{false};

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onCommandSignal(int signal) {
    // Only the first signal counts: a second one while the run winds down changes nothing.
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
}

} // namespace

CommandSignals::CommandSignals() {
    firstSignal.store(0);
    installed.store(true);
    retake();
    data::setAfterAttachHook(&CommandSignals::retake);
}

CommandSignals::~CommandSignals() {
    // The handlers stay: a signal that comes once the run is over, while the program exits (the
    // client library winds down then), is recorded and changes nothing.
    data::setAfterAttachHook(nullptr);
}

void CommandSignals::retake() noexcept {
    if (!installed.load())
        return;
    struct sigaction action {};
    action.sa_handler = &onCommandSignal;
    sigemptyset(&action.sa_mask);
    // A call waiting on the server goes on waiting: the run stops at its next object.
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

int receivedSignal() noexcept {
    return firstSignal.load();
}

const char* signalName(int signal) noexcept {
    switch (signal) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    }
    return "?";
}

} // namespace vistrel::cli
