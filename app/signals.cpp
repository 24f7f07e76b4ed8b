#include "app/signals.h"

#include "data/attach.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vistrel::app {
namespace {

std::atomic<bool> signalReceived{false};

#ifndef _WIN32
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeWrite = -1;
int pipeRead = -1;

extern "C" void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    signalReceived.store(true);
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe drops the byte: the flag is set and other bytes are waiting to be read anyway.
    [[maybe_unused]] const ssize_t written = ::write(pipeWrite, &number, 1);
    errno = savedErrno;
}
#endif

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
#ifndef _WIN32
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe2 failed");
    pipeRead = fds[0];
    pipeWrite = fds[1];
    m_notifier = new QSocketNotifier(pipeRead, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    retake();
    data::setAfterAttachHook(&TerminationSignals::retake);
#endif
}

TerminationSignals::~TerminationSignals() {
#ifndef _WIN32
    data::setAfterAttachHook(nullptr);
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    m_notifier->setEnabled(false);
    ::close(pipeRead);
    ::close(pipeWrite);
    pipeRead = pipeWrite = -1;
#endif
}

void TerminationSignals::retake() noexcept {
#ifndef _WIN32
    if (pipeWrite < 0)
        return;
    struct sigaction action {};
    action.sa_handler = &onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
#endif
}

bool TerminationSignals::received() noexcept {
    return signalReceived.load();
}

void TerminationSignals::readPipe() {
#ifndef _WIN32
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(pipeRead, numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            if (m_onSignal)
                m_onSignal(numbers[i]);
    }
#endif
}

} // namespace vistrel::app
