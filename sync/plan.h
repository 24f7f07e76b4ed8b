#pragma once
// The difference between source and target of every object the processes walk, as data: one
// record per object with what the source has, what the target has and the action a run takes.
// The plan is read from both catalogues (sync/definitions.h) and compared definition by
// definition; the check, the review script and report of the command, the window's list of
// differences and the alteration of changed objects ("Alterar") all read it.
#include "sync/components.h"
#include "sync/definitions.h"
#include "sync/objectevents.h"
#include "sync/processview.h"

#include <string>
#include <vector>

namespace vistrel::sync {

enum class DifferenceAction {
    Create,       // the target lacks it
    Alter,        // the target holds another form of it
    Same,         // both sides agree
    OnlyInTarget, // the source lacks it: listed, never dropped
    Refused       // it differs, and bringing it into line would lose or refuse data
};

struct Difference {
    ObjectType type = ObjectType::Generator;
    std::string name;     // trimmed; a column is "TABLE.COLUMN"
    std::string relation; // the table of a column, trigger, index or constraint
    DifferenceAction action = DifferenceAction::Same;
    // What differs, in words, each "what: target -> source" where the values say it shortly.
    std::vector<std::string> differs{};
    // The statements that bring an Alter into line, in order, run as one transaction. Empty for a
    // difference that a process's own walk brings into line (a view, for one).
    std::vector<std::string> statements{};
    // Why a part of the change is not made (a narrower type, NULL rows under NOT NULL, ...).
    std::vector<std::string> refusals{};
    // After a run: what became of it (filled by the host that ran it).
    std::string outcome{};
};

// Reads both catalogues for the chosen kinds and compares them. Records come kind by kind in the
// processes' order; within a kind, source objects in name order, then the target's own.
std::vector<Difference> planDifferences(SyncComponents& components, const KindSelection& kinds);

// The kinds a process walks, by its number (1 to 8), in the order its summary names them; none for
// another number.
std::vector<ObjectType> processObjectTypes(int processNumber);
KindSelection processKinds(int processNumber);

// How the records speak: the kind's name in lines ("Exception", "Coluna", ...), the action's
// word ("criar", "alterar", "igual", "existe só no destino", "recusado") and the report's codes.
const char* kindNoun(ObjectType type);
const char* actionWord(DifferenceAction action);
const char* kindCode(ObjectType type);           // "generator", "column", ... (the report's "kind")
const char* actionCode(DifferenceAction action); // "create", "alter", "same", "only_in_target", "refused"

// One line for a record that differs, in the house style: "Exception diferente; E_X (mensagem)".
std::string differenceLine(const Difference& record);

// Writes every record that is not Same into the process log, one line each, then a count line:
// what a run would do, without touching either database.
void writeDifferences(ProcessView& view, const std::vector<Difference>& records);

// The window's list of differences: the guards of a run, the process log cleared, then the plan
// of every kind written with writeDifferences; nothing is executed on either database.
void runDifferences(SyncComponents& components, ProcessView& view);

// The alteration phase of a process, run after its walk when "Alterar" is ticked: the target's
// open transaction committed, the plan of the process's kinds read again, and for every record to
// alter its lines in the process log, its statements executed as one transaction (undone whole
// when one fails, with the failure line and the server's reason in the error log), its refusals
// reported; objects only in the target listed, never touched.
void runAlterPhase(SyncComponents& components, ProcessView& view, int processNumber);

} // namespace vistrel::sync
