#pragma once
// The per-object driver. Generators, exceptions, domains, triggers, indexes and the views of
// process 4 are all one walk: read a row of the source, probe for the object, and for an object
// that needs it write the lines, get its DDL (from the extractor or a builder of its own),
// rewrite it, execute it when "Criar. Aut" is ticked and reconnect the target by a rule. What
// differs from kind to kind is an ObjectKind, a description held as data (sync/objectkinds.cpp
// holds them side by side).
#include "extract/ibextract.h"
#include "sync/components.h"
#include "sync/processview.h"

#include <exception>
#include <string>
#include <vector>

namespace vistrel::sync {

// A row of the walk: the object's name and, for kinds that name one, its relation, both exactly
// as read (system-table names are padded with blanks).
struct ObjectRow {
    std::string name;
    std::string relation;
    // The walk's cursor at this row, for a kind whose probe or DDL reads more of it.
    data::TIBDataSet* cursor = nullptr;
};

// How a name is written where a rule uses it.
enum class NameForm {
    AsRead, // as read, padding and all
    Trimmed // without the blanks (and control characters) at both ends; blanks inside stay
};
std::string nameIn(NameForm form, const std::string& name);

// The probe that decides whether an object needs its step.
struct ObjectProbe {
    enum class On { Target, Source };
    enum class ActWhen { NoRow, Row };
    On on = On::Target;
    // Without a parameter the statement is head + name + middle + relation + tail, the names
    // with their apostrophes doubled (middle and relation only when middle is set). With a
    // parameter the statement is head alone and the parameter gets the name.
    const char* head = nullptr;
    const char* middle = nullptr;
    const char* tail = "";
    const char* parameter = nullptr;
    // For a row without relation (a database or DDL trigger): what follows the name instead of
    // middle + relation + tail, so that the probe finds the object when it is there.
    const char* withoutRelation = nullptr;
    NameForm name = NameForm::AsRead;
    ActWhen actWhen = ActWhen::NoRow; // the step runs when the probe finds no row / a row
    // A probe of the kind's own in place of the statement above, for an object that no single
    // statement finds: whether the target holds it (the step runs when it does not), read with the
    // probe cursor.
    bool (*holds)(data::TIBDataSet& probe, const ObjectRow& row) = nullptr;
    // A probe cursor on the target is a run cursor, kept until the components go; one on the
    // source is the walk's own and goes with it.
};

// One rewrite of an extracted text, applied in order.
struct Rewrite {
    enum class Op {
        Remove,           // removes text where it fills a line of its own, letter case disregarded
        RemoveAroundName, // removes text + the extractor's name + tail
        CreateOrAlter     // the opening CREATE becomes CREATE OR ALTER
    };
    Op op;
    const char* text;
    const char* tail;
};
constexpr Rewrite removing(const char* text) {
    return {Rewrite::Op::Remove, text, ""};
}
constexpr Rewrite removingAroundName(const char* text, const char* tail) {
    return {Rewrite::Op::RemoveAroundName, text, tail};
}
inline constexpr Rewrite kToCreateOrAlter{Rewrite::Op::CreateOrAlter, "", ""};

// Where a failure line goes.
enum class Pane { ProcessLog, ErrorLog };

// When the target is reconnected after an object's DDL.
enum class Reconnect {
    Never,
    UnlessRapido,  // whether or not anything was executed, unless "Rápido" is ticked
    WhenCriarauto, // right after the execution, that is only with "Criar. Aut" ticked
    Always
};

// How the DDL reaches the target.
enum class Executor {
    StatementCursor,         // a run cursor on the target, its text sent without the parameter scan
    ReleasedStatementCursor, // the same, released as soon as the object's step ends
    Campos2                  // the stored statement CAMPOS2 (its parameter scan off for the run)
};

// The failure line of a protected step: its pane, its text, and whether the name (in the kind's
// lineName form) follows it.
struct ObjectFailure {
    Pane pane = Pane::ProcessLog;
    const char* line = nullptr;
    bool namesObject = false;
    // For a line in the process log that does not name its object: the lead-in of the line the
    // error log gets instead, followed by the name (nullptr: the error log gets the line itself).
    const char* errorLogLine = nullptr;
};

struct ObjectKind {
    // What the view is told each row is (sync/objectevents.h).
    ObjectType type = ObjectType::Generator;
    // The source enumeration, line by line (empty for a walk over rows opened by the caller).
    std::vector<const char*> enumeration = {};
    const char* nameField = nullptr;
    const char* relationField = nullptr; // nullptr: the kind names no relation
    bool pointDataSource1 = false;       // the left grid shows the enumeration
    // Rows the kind leaves alone: no probe, nothing written. nullptr: none.
    bool (*leavesAlone)(data::TIBDataSet& row) = nullptr;

    ObjectProbe probe = {};
    // The name in the not-found line and the failure line.
    NameForm lineName = NameForm::AsRead;
    const char* notFoundLeadIn = nullptr; // written followed by the name; nullptr: no line
    const char* openingBanner = nullptr;
    bool closingBanner = false; // kClosingBanner after the step, failed or not

    // The DDL: a builder of the kind's own, or the extractor's text of this object type for the
    // name in the given form, rewritten in order.
    std::string (*buildDdl)(SyncComponents& components, const ObjectRow& row) = nullptr;
    extract::TExtractObjectTypes extractType = extract::eoDatabase;
    NameForm extractName = NameForm::AsRead;
    std::vector<Rewrite> rewrites = {};
    bool logDdl = true;        // the DDL goes into the process log
    bool padStatement = false; // the statement is sent with one blank before and after
    // The statements sent one by one; nullptr: the whole text as one statement.
    std::vector<std::string> (*statements)(const std::string& ddl) = nullptr;
    // Runs before the statements are sent, only when they are ("Criar. Aut" ticked); what it
    // throws is the object's failure.
    void (*beforeExecution)(SyncComponents& components, const ObjectRow& row) = nullptr;
    Executor executor = Executor::StatementCursor;
    Reconnect reconnect = Reconnect::Never;

    // A step with a failure line is protected: what fails in it (DDL, execution, the reconnect's
    // commit) writes the line, and the walk goes on. A step without one ends the run.
    ObjectFailure failure = {};
    // For a kind without a failure line: the line written when the object's statement needs a name
    // that the target's dialect cannot hold (extract::EDialectName); the walk then goes on.
    ObjectFailure dialectFailure = {};

    bool pumpEvents = false;          // one pass of the event loop after every row
    bool commitAtEnd = false;         // the target's open transaction is committed after the walk
    const char* completion = nullptr; // the message box at the end; nullptr: none
};

// A whole process of one kind: the start of the run (same-name guard, the target's open
// transaction committed), the enumeration on a new source run cursor, the walk, the completion
// message.
void runObjectProcess(SyncComponents& components, ProcessView& view, const ObjectKind& kind);

// Walks the rows of an open cursor from the current row to the end.
void walkObjects(SyncComponents& components, ProcessView& view, const ObjectKind& kind,
                 data::TIBDataSet& rows);
// Walks rows read before, in the order given.
void walkObjects(SyncComponents& components, ProcessView& view, const ObjectKind& kind,
                 const std::vector<ObjectRow>& rows);

// The extractor's text of the kind's object type for the name (in the kind's extractName form),
// with the kind's rewrites applied in order: the text the kind's step logs and executes.
std::string extractedText(SyncComponents& components, const ObjectKind& kind, const std::string& name);

// The one place where a failure line is written: the line in its pane, and under it, in the same
// pane, the reason the caught error gives (failureReason). A line of the process log also stands
// in the error log, with its reason, so that the error log holds every failure of a run; there it
// is `errorLogLine` when that is given (a line that names the object the process log's does not).
// A lost connection (data::EIBConnectionLost) writes no line: it is raised again, and the run ends
// at once.
void writeFailure(ProcessView& view, Pane pane, const std::string& line, const std::exception& error,
                  const std::string& errorLogLine = {});

// The reason of a failure as one indented line: "    SQLCODE -607: " and the server's message for
// an error the server reported, the message alone for any other; the message's lines are joined
// by " - ".
std::string failureReason(const std::exception& error);

} // namespace vistrel::sync
