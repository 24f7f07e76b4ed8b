#pragma once

#include <string>
#include <vector>

namespace vistrel::test {

// Outcome of one child process run to its end.
struct ProcessResult {
    int exitCode = -1;     // the exit status; 128 + signal number when a signal ended the child
    std::string out;       // everything the child wrote to its standard output
    std::string err;       // everything the child wrote to its standard error
    int endedBySignal = 0; // the signal that ended the child (it did not exit by itself); 0: none
};

// Runs argv[0] (searched in PATH when it holds no '/') with the given arguments and no shell,
// feeds `input` as its standard input and waits for its end. Extra environment entries
// ("NAME=value") are added to the caller's environment. Throws std::runtime_error when the
// program cannot be started.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = {},
                         const std::vector<std::string>& extraEnvironment = {});

// A child started as runProcess starts it, that the caller may send signals to while it runs.
// Its standard input is empty. The destructor kills a child still running and waits for it.
class RunningProcess {
public:
    RunningProcess(const std::vector<std::string>& argv,
                   const std::vector<std::string>& extraEnvironment = {});
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    // Sends the signal; false when the child has already ended.
    bool signal(int number);
    // Whether the child has ended (it is waited for then).
    bool ended();
    // Waits for the end and returns the outcome (once).
    ProcessResult wait();
    // What the child has written to its standard output so far.
    std::string outSoFar() const;

private:
    struct Files;
    Files* m_files;
    int m_pid = -1;
    bool m_waited = false;
    int m_status = 0;
};

} // namespace vistrel::test
