#pragma once
// What the processes share: the same-name guard, the cursors of a run, the text rewrites of
// extracted DDL, the statement cursor and the target reconnect.
#include "extract/extracttext.h"
#include "sync/components.h"
#include "sync/processview.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vistrel::sync {

// Closing banner line written after every object that has an opening banner.
extern const char* const kClosingBanner;
// Completion messages.
extern const char* const kProcessConcluded; // "Processo concluido!"
extern const char* const kProcessFinished;  // "Processo finalizado!"

// Compares the trimmed file names of both rows (letter case counts). On a difference shows the
// guard message and ends the handler with a silent abort (data::EAbort).
void sameNameGuard(ProcessView& view);

// Whether both sessions are attached to one and the same database, as their server tells it
// (another spelling of the path, another name of the host or an alias changes nothing).
bool sameDatabase(SyncComponents& components);

// After `session` attached: whether `other`, when attached, reaches the same database. An other
// session that cannot answer (its server lost) does not count; `session`'s own errors leave.
bool reachesSameDatabase(data::TIBDatabase& session, data::TIBDatabase& other);

// What every run checks before it starts: the same-name guard, then the same-database guard. Both
// sessions are attached for the second (as the run's first cursors would attach them); when
// they reach one database, its message is shown and the run ends silently, nothing written.
// Then the target's open transaction is committed (the attachment kept), so that the run sees the
// target as it is, with what the direct-execution connection and other attachments committed
// since; a refused commit raises its error.
void runGuards(SyncComponents& components, ProcessView& view);

// Replaces the cursor's statement by one line and opens it.
void openWith(data::TIBDataSet& cursor, const std::string& line);

// The one quoting rule for names written into statements (extract/extracttext.h).
using extract::isOrdinaryName;
using extract::sqlIdentifier;

// The SQL dialect the target's statements are prepared in (the target database's own): every name
// written for the target is written for it, sqlIdentifier(targetDialect(components), name). On
// dialect 1 a name that needs quotes raises extract::EDialectName, the failure of its object.
int targetDialect(SyncComponents& components);

// The extractor, set to write the names of its text for the target's dialect.
extract::TIBExtract& targetExtractor(SyncComponents& components);

// A name written inside a probe's string literal, apostrophes doubled.
std::string literalName(const std::string& name);

// Removes the framing text the extractor wrote on a line of its own: every occurrence of what,
// letter case disregarded, that fills a whole line; the line breaks around it stay. The same letters
// inside the object's own text (a trigger body holding 'COMMIT WORK ;') are left alone.
std::string removeText(const std::string& text, const std::string& what);

// Turns the statement's opening CREATE (the first CREATE that starts a line) into
// CREATE OR ALTER; the same letters anywhere else stay untouched.
std::string createOrAlter(const std::string& text);

// A statement cursor on the target whose text is sent without the parameter scan, so that DDL
// bodies holding ":name" reach the server unchanged.
data::TIBDataSet& newStatementCursor(SyncComponents& components, const std::string& text);

// The statements of an extracted index text. The server runs one statement per execution, so the
// text of an inactive index (CREATE INDEX, then ALTER INDEX ... INACTIVE on a line of its own) is
// cut before the ALTER INDEX line and run as two statements, in order.
std::vector<std::string> indexStatements(const std::string& text);

// The target's default character set, read with one query on the target ("NONE" when it has none):
// a text column or parameter in any other set names its set.
std::string targetCharacterSet(SyncComponents& components);

// The order in which a walk takes its objects so that each comes after those it uses: dependsOn
// holds, per trimmed name, the trimmed names it uses. Objects keep their given order except where
// one has to move ahead of an object that uses it; a cycle keeps its members in the given order.
// Returns the indexes into names in walk order.
std::vector<size_t> dependencyOrder(const std::vector<std::string>& names,
                                    const std::multimap<std::string, std::string>& dependsOn);

// The objects (trimmed names) that reach themselves through one or more others they use: the
// members of a cycle, which no order can create one after the other.
std::set<std::string> cycleMembers(const std::vector<std::string>& names,
                                   const std::multimap<std::string, std::string>& dependsOn);

// The dependencies between objects in the source, read from RDB$DEPENDENCIES: per trimmed dependent
// name, the trimmed names it depends on. dependentType and dependedOnTypes are the catalogue's type
// codes (0 relation, 1 view, 5 procedure).
std::multimap<std::string, std::string> sourceDependencies(data::TIBDatabase& source, int dependentType,
                                                           const std::string& dependedOnTypes);

} // namespace vistrel::sync
