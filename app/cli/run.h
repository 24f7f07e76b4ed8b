#pragma once
// The whole command: reads its arguments, applies the guard, connects both databases, runs the
// chosen processes and writes their output and summary. Returns the exit status.
#include "app/cli/options.h"

#include <ostream>
#include <string>
#include <vector>

namespace vistrel::cli {

struct Terminal {
    bool progress = false; // standard error is a terminal
    int width = 80;        // its width in columns
};

int runCommand(const std::vector<std::string>& arguments, const Environment& environment, std::ostream& out,
               std::ostream& err, Terminal terminal, const std::string& programPath);

// An error text on one line: every line break (CR LF, LF, CR) becomes "; ".
std::string oneLine(const std::string& text);

} // namespace vistrel::cli
