#pragma once
// The processes the command runs, by number, as the window's buttons run them.
#include "sync/processes.h"

#include <vector>

namespace vistrel::cli {

struct ProcessEntry {
    int number;
    // How the command names the process in its progress line and summary.
    const char* name;
    sync::ProcessEntry run;
};

// Every process, in the order of their numbers.
const std::vector<ProcessEntry>& processTable();
// The entry of a known process number.
const ProcessEntry& processEntry(int number);

} // namespace vistrel::cli
