#include "app/cli/processtable.h"

#include <stdexcept>

namespace vistrel::cli {

const std::vector<ProcessEntry>& processTable() {
    static const std::vector<ProcessEntry> table = {
        {1, "generators", &sync::runGeneratorProcess}, {2, "exceptions", &sync::runExceptionProcess},
        {3, "domains", &sync::runDomainProcess},       {4, "tabelas e views", &sync::runTableViewProcess},
        {5, "procedures", &sync::runProcedureProcess}, {6, "triggers", &sync::runTriggerProcess},
        {7, "índices", &sync::runIndexProcess},        {8, "constraints", &sync::runConstraintProcess},
    };
    return table;
}

const ProcessEntry& processEntry(int number) {
    for (const ProcessEntry& entry : processTable())
        if (entry.number == number)
            return entry;
    throw std::out_of_range("unknown process number " + std::to_string(number));
}

} // namespace vistrel::cli
