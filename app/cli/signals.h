#pragma once
// The termination signals SIGTERM, SIGINT and SIGHUP in the command: each asks the run to stop
// before its next object, so that what was done stays done, the summary is written and both
// sessions detach. The handler only records the signal; the run reads it between two objects.
// The Firebird client installs handlers of its own for SIGINT and SIGTERM at its first attach
// (they end the program from inside the client's shutdown); the command takes them back after
// every attach.

namespace vistrel::cli {

// The exit status of a run a signal stopped is this plus the signal's number (130 for SIGINT,
// 143 for SIGTERM, 129 for SIGHUP), as for a program the signal ended.
inline constexpr int kExitSignalBase = 128;

class CommandSignals {
public:
    // Installs the handlers and the after-attach hook that takes them back; the handlers stay
    // installed until the program ends. One instance at a time.
    CommandSignals();
    ~CommandSignals();
    CommandSignals(const CommandSignals&) = delete;
    CommandSignals& operator=(const CommandSignals&) = delete;

    // Installs the command's handlers again.
    static void retake() noexcept;
};

// The first termination signal received since the handlers were installed; 0 when none came.
int receivedSignal() noexcept;

// The signal's name ("SIGTERM", "SIGINT", "SIGHUP"); "?" for another one.
const char* signalName(int signal) noexcept;

} // namespace vistrel::cli
