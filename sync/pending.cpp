// Entry points of the processes that are not built yet; each is replaced by its own file.
#include "data/errors.h"
#include "sync/processes.h"

namespace vistrel::sync {
namespace {
[[noreturn]] void notBuilt() {
    throw data::EDatabaseError("Processo ainda não disponível");
}
} // namespace
void runGeneratorProcess(ProcessHost&) {
    notBuilt();
}
void runExceptionProcess(ProcessHost&) {
    notBuilt();
}
void runDomainProcess(ProcessHost&) {
    notBuilt();
}
void runTableViewProcess(ProcessHost&) {
    notBuilt();
}
void runProcedureProcess(ProcessHost&) {
    notBuilt();
}
void runTriggerProcess(ProcessHost&) {
    notBuilt();
}
void runIndexProcess(ProcessHost&) {
    notBuilt();
}
void setupORIGEM(data::TIBDataSet&) {}
} // namespace vistrel::sync
