#pragma once
// The schema processes. Each runs to its end inside its button's click handler, works on
// the components and reports through the view; errors that a process does not catch leave it as
// exceptions.
#include "sync/components.h"
#include "sync/processview.h"

#include <string>

namespace vistrel::sync {

// The shape of every process's entry point.
using ProcessEntry = void (*)(SyncComponents& components, ProcessView& view);

void runGeneratorProcess(SyncComponents& components, ProcessView& view); // 1-CRIAR GENERATOR (Button6Click)
void runExceptionProcess(SyncComponents& components, ProcessView& view); // 2-CRIAR EXCEPTION (Button9Click)
void runDomainProcess(SyncComponents& components, ProcessView& view);    // 3-COMPARAR DOMAINS (Button10Click)
void runTableViewProcess(SyncComponents& components,
                         ProcessView& view); // 4-COMPARAR TABELAS/VIEWS (INICIARClick)
void runProcedureProcess(SyncComponents& components,
                         ProcessView& view);                           // 5-COMPARAR PROCEDURES (Button5Click)
void runTriggerProcess(SyncComponents& components, ProcessView& view); // 6-COMPARAR TRIGGERS (Button7Click)
void runIndexProcess(SyncComponents& components, ProcessView& view);   // 7-COMPARAR  INDICES (Button11Click)
void runConstraintProcess(SyncComponents& components,
                          ProcessView& view); // 8-COMPARAR CONSTRAINTS (Button12Click)

// The CREATE OR ALTER PROCEDURE statement the procedure process builds for a source procedure
// (its name trimmed), read from the source's catalogue and written for the target.
std::string procedureStatement(SyncComponents& components, const std::string& name);

// Gives the stored cursor ORIGEM (already bound to the source) its stored statement and
// persistent fields.
void setupORIGEM(data::TIBDataSet& origem);

} // namespace vistrel::sync
