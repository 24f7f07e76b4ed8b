// Entry points of the processes that are not built yet; each is replaced by its own file.
#include "data/errors.h"
#include "sync/processes.h"

namespace vistrel::sync {
namespace {
[[noreturn]] void notBuilt() {
    throw data::EDatabaseError("Processo ainda não disponível");
}
} // namespace
void runProcedureProcess(ProcessHost&) {
    notBuilt();
}
} // namespace vistrel::sync
