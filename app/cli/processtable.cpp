#include "app/cli/processtable.h"

#include <stdexcept>
#include <string>

namespace vistrel::cli {

const std::vector<ProcessEntry>& processTable() {
    return sync::processRegistry();
}

const ProcessEntry& processEntry(int number) {
    if (const ProcessEntry* entry = sync::findProcess(number))
        return *entry;
    throw std::out_of_range("unknown process number " + std::to_string(number));
}

} // namespace vistrel::cli
