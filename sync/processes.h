#pragma once
// The schema processes. Each runs to its end inside its button's click handler, works on
// the components and reports through the view; errors that a process does not catch leave it as
// exceptions.
#include "sync/components.h"
#include "sync/processview.h"

#include <map>
#include <set>
#include <string>
#include <vector>

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

// Makes each named source procedure (trimmed names) that the target lacks as its header with a body
// that only returns, so that what uses it (a view, a procedure of a cycle) can be made before the
// procedure process gives it its body; executed only when `execute`. Each header writes its lines,
// a failure its line in the error log with the server's reason.
void createProcedureHeaders(SyncComponents& components, ProcessView& view,
                            const std::vector<std::string>& names, bool execute);

// The source's views that select from a procedure, directly or through other views: per view
// (trimmed) the procedures it reaches.
std::map<std::string, std::set<std::string>> viewsOverProcedures(data::TIBDatabase& source);
// Sends, as the view phase does, the source's views over procedures that the target lacks (those
// the view phase left for the procedures to arrive), each after the views it selects from.
void sendWaitingViews(SyncComponents& components, ProcessView& view);

// Gives the stored cursor ORIGEM (already bound to the source) its stored statement and
// persistent fields.
void setupORIGEM(data::TIBDataSet& origem);

} // namespace vistrel::sync
