#pragma once

#include <string>
#include <vector>

namespace vistrel::test {

// Outcome of one child process run to its end.
struct ProcessResult {
    int exitCode = -1; // the exit status; 128 + signal number when a signal ended the child
    std::string out;   // everything the child wrote to its standard output
    std::string err;   // everything the child wrote to its standard error
};

// Runs argv[0] (searched in PATH when it holds no '/') with the given arguments and no shell,
// feeds `input` as its standard input and waits for its end. Extra environment entries
// ("NAME=value") are added to the caller's environment. Throws std::runtime_error when the
// program cannot be started.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = {},
                         const std::vector<std::string>& extraEnvironment = {});

} // namespace vistrel::test
