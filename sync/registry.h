#pragma once
// The processes, one row each: number, the window's caption, the command's name, the entry point.
// The window's buttons, the command's --processes and summary, the manual page and the benchmark
// read this table; a new process is one row here.
#include "sync/processes.h"

#include <vector>

namespace vistrel::sync {

struct ProcessRecord {
    int number;
    const char* caption;     // the button's caption in the window
    const char* commandName; // how the command names it in its progress line and summary
    ProcessEntry run;
};

// Every process, in the order of their numbers.
const std::vector<ProcessRecord>& processRegistry();
// The row of a process number; nullptr for an unknown number.
const ProcessRecord* findProcess(int number);

// Runs a process as its button does: its walk and then, with "Alterar" ticked, its alteration
// phase (sync/plan.h), which ends with its own completion message.
void runProcess(const ProcessRecord& process, SyncComponents& components, ProcessView& view);

// The alteration phase's completion message.
extern const char* const kAlterationsConcluded;

} // namespace vistrel::sync
