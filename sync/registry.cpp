#include "sync/registry.h"

#include "sync/plan.h"

namespace vistrel::sync {

const char* const kAlterationsConcluded = "Alterações concluidas!";

const std::vector<ProcessRecord>& processRegistry() {
    static const std::vector<ProcessRecord> registry = {
        {1, "1-CRIAR GENERATOR", "generators", &runGeneratorProcess},
        {2, "2-CRIAR EXCEPTION", "exceptions", &runExceptionProcess},
        {3, "3-COMPARAR DOMAINS", "domains", &runDomainProcess},
        {4, "4-COMPARAR TABELAS/VIEWS", "tabelas e views", &runTableViewProcess},
        {5, "5-COMPARAR PROCEDURES", "procedures", &runProcedureProcess},
        {6, "6-COMPARAR TRIGGERS", "triggers", &runTriggerProcess},
        {7, "7-COMPARAR  INDICES", "índices", &runIndexProcess},
        {8, "8-COMPARAR CONSTRAINTS", "constraints", &runConstraintProcess},
    };
    return registry;
}

const ProcessRecord* findProcess(int number) {
    for (const ProcessRecord& process : processRegistry())
        if (process.number == number)
            return &process;
    return nullptr;
}

void runProcess(const ProcessRecord& process, SyncComponents& components, ProcessView& view) {
    process.run(components, view);
    if (!view.alterar())
        return;
    runAlterPhase(components, view, process.number);
    view.showMessage(kAlterationsConcluded);
}

} // namespace vistrel::sync
