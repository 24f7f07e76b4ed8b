// The descriptions of the kinds the per-object driver walks, side by side, and what is each
// kind's own: the generator's statement, the index's statements and the names they use.
#include "sync/objectkinds.h"

#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/extracttext.h"
#include "sync/constraints.h"
#include "sync/processes.h"
#include "sync/runframe.h"

#include <string>
#include <vector>

namespace vistrel::sync {

namespace {

// ---- Generators: the statement is built here, never extracted. ----

constexpr char kCreateGenerator[] = "CREATE GENERATOR ";
constexpr char kStartWith[] = " START WITH ";
constexpr char kIncrementBy[] = " INCREMENT BY ";
// System flag of the generator that the server makes for an identity column.
constexpr char kIdentityGeneratorFlag[] = "6";

// The name without the blanks that pad the system table's column (blanks only: a quoted name may
// end in other characters the server keeps).
std::string withoutPadding(const std::string& name) {
    const size_t end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// The name as CREATE GENERATOR carries it: as read when the server takes it unquoted, otherwise
// quoted so that the target gets the same name (lower case, blanks and other characters kept). A
// dialect-1 target has no quoted names: a name that needs quotes is refused there
// (extract::EDialectName).
std::string generatorNameInStatement(const std::string& name, int dialect) {
    const std::string bare = withoutPadding(name);
    if (dialect < 3)
        return sqlIdentifier(1, bare) + name.substr(bare.size());
    if (isOrdinaryName(bare))
        return name;
    return extract::TIBExtract::QuoteIdentifier(3, bare);
}

// The value of a field of the enumeration row, trimmed; empty when the source's catalogue has no
// such field (servers before Firebird 3 keep no declared start or increment).
std::string optionalField(data::TIBDataSet& row, const char* field) {
    data::TField* f = row.FindField(field);
    return f ? data::trim(f->AsString()) : std::string();
}

// The clauses after the name that give a new generator the source's declared start and step,
// each only when it differs from the server's default (start 0, increment 1).
std::string generatorStartClauses(data::TIBDataSet& row) {
    const std::string initialValue = optionalField(row, "RDB$INITIAL_VALUE");
    const std::string increment = optionalField(row, "RDB$GENERATOR_INCREMENT");
    std::string clauses;
    if (!initialValue.empty() && initialValue != "0")
        clauses += kStartWith + initialValue;
    if (!increment.empty() && increment != "1")
        clauses += kIncrementBy + increment;
    return clauses;
}

std::string generatorDdl(SyncComponents& components, const ObjectRow& row) {
    return kCreateGenerator + generatorNameInStatement(row.name, targetDialect(components)) +
           (row.cursor ? generatorStartClauses(*row.cursor) : std::string()) + " ";
}

// The generator the server made for an identity column comes with its column.
bool isIdentityGenerator(data::TIBDataSet& row) {
    return optionalField(row, "RDB$SYSTEM_FLAG") == kIdentityGeneratorFlag;
}

// ---- Indexes: the text may hold an index and the statement that makes it inactive. ----

// Each statement of a non-empty text on its own; an empty text (an index the extractor has no
// text for) is not sent.
std::vector<std::string> indexTextStatements(const std::string& ddl) {
    if (ddl.empty())
        return {};
    return indexStatements(ddl);
}

// The enumerations the system tables are walked with.
constexpr char kDomainEnumerationLine2[] =
    " WHERE RDB$FIELD_NAME <> 'PK_ACESSO' AND (SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'RDB$' AND "
    "SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'MON$') AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> "
    "'RDB$' AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'SEC$'";
// User objects are told from the server's by their flags, never by their names: a user trigger or
// index may well be called CHECK_... or RDB_... . Left out are system triggers and those of check
// constraints, system indexes and the indexes that back a constraint (the constraint makes them).
constexpr char kTriggerEnumeration[] =
    "SELECT  RDB$RELATION_NAME, RDB$TRIGGER_NAME FROM RDB$TRIGGERS TRG WHERE COALESCE(TRG.RDB$SYSTEM_FLAG, "
    "0) "
    "= 0 AND NOT EXISTS (SELECT * FROM RDB$CHECK_CONSTRAINTS CHK WHERE CHK.RDB$TRIGGER_NAME = "
    "TRG.RDB$TRIGGER_NAME)  ";
constexpr char kIndexEnumeration[] = "SELECT RDB$INDEX_NAME, RDB$RELATION_NAME FROM RDB$INDICES IDX WHERE "
                                     "COALESCE(IDX.RDB$SYSTEM_FLAG, 0) = 0 "
                                     "AND NOT EXISTS (SELECT * FROM RDB$RELATION_CONSTRAINTS RC WHERE "
                                     "RC.RDB$INDEX_NAME = IDX.RDB$INDEX_NAME)  "
                                     "ORDER BY RDB$RELATION_NAME ASC ";

constexpr char kTriggerProbeHead[] = "SELECT RDB$TRIGGER_BLR, RDB$TRIGGER_SOURCE, RDB$RELATION_NAME FROM "
                                     "RDB$TRIGGERS WHERE RDB$TRIGGER_NAME='";
constexpr char kRelationProbeMiddle[] = "' AND RDB$RELATION_NAME='";

} // namespace

const ObjectKind kGeneratorKind{
    .type = ObjectType::Generator,
    .enumeration = {"SELECT * FROM RDB$GENERATORS"},
    .nameField = "RDB$GENERATOR_NAME",
    .leavesAlone = isIdentityGenerator,
    .probe = {.head = "SELECT * FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME='", .tail = "' "},
    .notFoundLeadIn = "Generator Criado; ",
    .buildDdl = generatorDdl,
    .logDdl = false,
    .executor = Executor::Campos2,
    .dialectFailure = {.pane = Pane::ErrorLog,
                       .line = "Não foi possivel criar o generator: ",
                       .namesObject = true},
    .commitAtEnd = true,
    .completion = kProcessConcluded,
};

const ObjectKind kExceptionKind{
    .type = ObjectType::Exception,
    .enumeration = {"SELECT RDB$EXCEPTION_NAME FROM RDB$EXCEPTIONS  "},
    .nameField = "RDB$EXCEPTION_NAME",
    .pointDataSource1 = true,
    .probe = {.head = "SELECT RDB$EXCEPTION_NAME FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME='",
              .tail = "'  "},
    .notFoundLeadIn = "Exception não encontrada; ",
    .openingBanner = "-------------------------Inicio da Exceptions--------------------------",
    .closingBanner = true,
    .extractType = extract::eoException,
    .rewrites = {removing(extract::kExceptionHeaderText), kToCreateOrAlter},
    .padStatement = true,
    // The reconnect commits what was executed; a refused commit leaves as an error and ends the run.
    .reconnect = Reconnect::UnlessRapido,
    .dialectFailure = {.pane = Pane::ErrorLog,
                       .line = "Não foi possivel criar a exception: ",
                       .namesObject = true},
    .completion = kProcessConcluded,
};

const ObjectKind kDomainKind{
    .type = ObjectType::Domain,
    .enumeration = {"SELECT RDB$FIELD_NAME FROM RDB$FIELDS  ", kDomainEnumerationLine2},
    .nameField = "RDB$FIELD_NAME",
    .pointDataSource1 = true,
    .probe = {.head = "SELECT RDB$FIELD_NAME FROM RDB$FIELDS WHERE RDB$FIELD_NAME='",
              .tail = "'  ",
              .name = NameForm::Trimmed},
    .lineName = NameForm::Trimmed,
    .notFoundLeadIn = "Domain não encontrado; ",
    .openingBanner = "-------------------------Inicio Domains--------------------------",
    .closingBanner = true,
    // The extractor takes the name as read; it disregards the trailing blanks.
    .extractType = extract::eoDomain,
    .rewrites = {removing(extract::kDomainHeaderText)},
    .padStatement = true,
    // Released right after its execution, unlike the run's other cursors.
    .executor = Executor::ReleasedStatementCursor,
    .reconnect = Reconnect::WhenCriarauto,
    .dialectFailure = {.pane = Pane::ErrorLog,
                       .line = "Não foi possivel criar o domain: ",
                       .namesObject = true},
    .completion = kProcessConcluded,
};

const ObjectKind kViewKind{
    .type = ObjectType::View,
    .nameField = "RDB$RELATION_NAME",
    .probe = {.on = ObjectProbe::On::Source,
              .head = kViewTest,
              .parameter = "TABELAW",
              .name = NameForm::Trimmed,
              .actWhen = ObjectProbe::ActWhen::Row},
    .lineName = NameForm::Trimmed,
    .extractType = extract::eoView,
    .extractName = NameForm::Trimmed,
    .rewrites = {removingAroundName("/* View: ", ", owner: SYSDBA */"), kToCreateOrAlter},
    .padStatement = true,
    .reconnect = Reconnect::Always,
    .failure = {.pane = Pane::ProcessLog, .line = "Não foi possivel criar à view ", .namesObject = true},
};

const ObjectKind kTriggerKind{
    .type = ObjectType::Trigger,
    .enumeration = {kTriggerEnumeration},
    .nameField = "RDB$TRIGGER_NAME",
    .relationField = "RDB$RELATION_NAME",
    .pointDataSource1 = true,
    .probe = {.head = kTriggerProbeHead,
              .middle = kRelationProbeMiddle,
              .tail = "' ",
              .withoutRelation = "' AND RDB$RELATION_NAME IS NULL "},
    .notFoundLeadIn = "Trigger não encontrada; ",
    .openingBanner = "-------------------------Inicio da Triiger--------------------------",
    .closingBanner = true,
    .extractType = extract::eoTrigger,
    .rewrites = {removing(extract::kTriggerHeaderText), kToCreateOrAlter, removing(extract::kCommitWorkText)},
    // A commit refused at the reconnect is this trigger's failure like any other.
    .reconnect = Reconnect::UnlessRapido,
    .failure = {.pane = Pane::ErrorLog, .line = "Não foi possivel criar a trigger: ", .namesObject = true},
    .completion = kProcessFinished,
};

const ObjectKind kIndexKind{
    .type = ObjectType::Index,
    .enumeration = {kIndexEnumeration},
    .nameField = "RDB$INDEX_NAME",
    .relationField = "RDB$RELATION_NAME",
    .pointDataSource1 = true,
    .probe = {.head = "SELECT RDB$INDEX_NAME FROM RDB$INDICES WHERE RDB$INDEX_NAME='",
              .middle = kRelationProbeMiddle,
              .tail = "' "},
    .notFoundLeadIn = "Index não encontrada; ",
    .openingBanner = "-------------------------Inicio da Index--------------------------",
    .closingBanner = true,
    // The extractor gets the name without its padding; blanks inside a quoted name are part of it.
    .extractType = extract::eoIndexes,
    .extractName = NameForm::Trimmed,
    .rewrites = {removingAroundName(extract::kIndexHeaderHeadText, extract::kIndexHeaderTailText)},
    .statements = indexTextStatements,
    // A commit refused at the reconnect (a unique index over duplicate rows, for one) is this
    // index's failure like any other.
    .reconnect = Reconnect::UnlessRapido,
    .failure = {.pane = Pane::ProcessLog,
                .line = "Não foi possivel criar esse indice!",
                .errorLogLine = "Não foi possivel criar o indice: "},
    .pumpEvents = true,
    .completion = kProcessFinished,
};

// The constraints of the source's tables, walked keys first (sync/constraints.h): found on the
// target by name, or by rule where the server made the name; the statement is built, never
// extracted. A commit refused at the reconnect (duplicate keys, orphan rows) is this constraint's
// failure like any other.
const ObjectKind kConstraintKind{
    .type = ObjectType::Constraint,
    .enumeration = {kConstraintEnumeration},
    .nameField = "RDB$CONSTRAINT_NAME",
    .relationField = "RDB$RELATION_NAME",
    .pointDataSource1 = true,
    .probe = {.holds = targetHoldsConstraint},
    .notFoundLeadIn = "Constraint não encontrada; ",
    .openingBanner = "-------------------------Inicio da Constraint--------------------------",
    .closingBanner = true,
    .buildDdl = constraintStatement,
    .beforeExecution = refuseBrokenCheck,
    .reconnect = Reconnect::UnlessRapido,
    .failure = {.pane = Pane::ErrorLog, .line = "Não foi possivel criar a constraint: ", .namesObject = true},
    .completion = kProcessFinished,
};

void runGeneratorProcess(SyncComponents& components, ProcessView& view) {
    runObjectProcess(components, view, kGeneratorKind);
}
void runExceptionProcess(SyncComponents& components, ProcessView& view) {
    runObjectProcess(components, view, kExceptionKind);
}
void runDomainProcess(SyncComponents& components, ProcessView& view) {
    runObjectProcess(components, view, kDomainKind);
}
void runTriggerProcess(SyncComponents& components, ProcessView& view) {
    runObjectProcess(components, view, kTriggerKind);
}
void runIndexProcess(SyncComponents& components, ProcessView& view) {
    runObjectProcess(components, view, kIndexKind);
}
void runConstraintProcess(SyncComponents& components, ProcessView& view) {
    runObjectProcess(components, view, kConstraintKind);
}

} // namespace vistrel::sync
