#pragma once
// The termination signals SIGTERM, SIGINT and SIGHUP, taken by the program so that each ends it
// as closing the window does. The signal handler only writes the signal's number into a pipe
// (and sets a flag); the event loop reads the pipe and runs the program's reaction on the main
// thread.
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace vistrel::app {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; onSignal runs on the main thread, from the event loop, once per
    // signal received. One instance at a time.
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Installs the program's handlers again. The Firebird client installs handlers of its own for
    // SIGINT and SIGTERM when it is first used (at the first attach); this runs after every attach.
    static void retake() noexcept;

    // Whether a termination signal arrived since the program started (set in the handler itself,
    // so that code that does not let the event loop run can see it).
    static bool received() noexcept;

private:
    void readPipe();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vistrel::app
