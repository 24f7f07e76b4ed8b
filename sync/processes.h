#pragma once
// The seven schema processes. Each runs to its end inside its button's click handler and
// reports through the host; errors that a process does not catch leave it as exceptions.
#include "sync/processhost.h"

namespace vistrel::sync {

void runGeneratorProcess(ProcessHost& host); // 1-CRIAR GENERATOR (Button6Click)
void runExceptionProcess(ProcessHost& host); // 2-CRIAR EXCEPTION (Button9Click)
void runDomainProcess(ProcessHost& host);    // 3-COMPARAR DOMAINS (Button10Click)
void runTableViewProcess(ProcessHost& host); // 4-COMPARAR TABELAS/VIEWS (INICIARClick)
void runProcedureProcess(ProcessHost& host); // 5-COMPARAR PROCEDURES (Button5Click)
void runTriggerProcess(ProcessHost& host);   // 6-COMPARAR TRIGGERS (Button7Click)
void runIndexProcess(ProcessHost& host);     // 7-COMPARAR  INDICES (Button11Click)

// Gives the window's stored cursor ORIGEM (already bound to the source) its stored statement and
// persistent fields.
void setupORIGEM(data::TIBDataSet& origem);

} // namespace vistrel::sync
