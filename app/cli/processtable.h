#pragma once
// The processes the command runs, by number, as the window's buttons run them (sync/registry.h).
#include "sync/registry.h"

#include <vector>

namespace vistrel::cli {

using ProcessEntry = sync::ProcessRecord;

// Every process, in the order of their numbers.
const std::vector<ProcessEntry>& processTable();
// The entry of a known process number.
const ProcessEntry& processEntry(int number);

} // namespace vistrel::cli
