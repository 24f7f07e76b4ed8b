#pragma once
// The floor of each process: the queries and target reconnects that its design makes
// (source enumeration, one existence probe per object and the further per-object queries the
// design names, the reconnects its rules call for), run alone on the host's own sessions,
// without extraction and without DDL. It also tells what the design makes of the current
// target state: the objects it acts on, the DDL statements it executes and the extractor calls
// it makes, so that the process's own counts can be checked against it.
#include "extract/ibextract.h"
#include "sync/components.h"

#include <string>
#include <vector>

namespace vistrel::bench {

struct Extraction {
    extract::TExtractObjectTypes kind;
    std::string name; // as the process passes it
};

struct DesignCount {
    int walked = 0;     // source rows the process walks
    int handled = 0;    // objects it acts on: missing ones (tables and columns), every view
    int ddl = 0;        // DDL statements the design executes for them (extracted texts counted apart)
    int events = 0;     // passes of the event loop the design lets run
    int reconnects = 0; // target reconnects the design makes
    // Extractor calls the design makes for the objects it acts on; each non-empty text the
    // process executes counts as one more DDL statement.
    std::vector<Extraction> extractions;
};

// Process number 1 to 7 as on the buttons. Uses IBDatabase1, IBDatabase2 and SQLConnection of
// the components (criarauto ticked, rapido not ticked); reconnects the target as the design says.
DesignCount runFloor(int process, sync::SyncComponents& components);

} // namespace vistrel::bench
