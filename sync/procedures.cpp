// 5-COMPARAR PROCEDURES: rebuilds on the target every stored procedure of the source that the target
// lacks or whose input or output count differs. The statement head is assembled here from the
// source's parameter rows, the body is the stored source text, and the whole statement runs on the
// direct-execution connection in a transaction of its own.
#include "data/ibdataset.h"
#include "data/sqlconnection.h"
#include "data/strings.h"
#include "extract/fieldtype.h"
#include "sync/objectprocess.h"
#include "sync/procedurequeries.h"
#include "sync/processes.h"
#include "sync/runframe.h"
#include "sync/runstop.h"

#include <exception>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace vistrel::sync {

namespace {

constexpr char kProcedureEnumeration[] = "SELECT * FROM RDB$PROCEDURES ORDER BY RDB$PROCEDURE_ID DESC ";
constexpr char kProcedureProbeHead[] = "SELECT * FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME='";
constexpr char kLiteralTail[] = "' ";

// The stored source is read whole, as a text blob.
constexpr char kSourceQueryHead[] =
    "SELECT RDB$PROCEDURE_SOURCE AS CONTEUDO FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME='";

constexpr char kExecutingProcedure[] = "Executando Procedure....";
constexpr char kCreateOrAlterProcedure[] = " CREATE OR ALTER PROCEDURE ";
constexpr char kProcedureFailed[] = "Houve algum problema na execução dessa procedure ";
constexpr char kProcedureComparisonFinished[] = "Comparação de procedure finalizada;";
constexpr char kStatementEnd[] = " ; ";

// A procedure that something else needs before its own turn (a view selecting from it, another
// procedure of a cycle) is first made as its header with this body; the walk of process 5 then
// finds the body on the target and gives the procedure its own.
// A header with output parameters suspends, so that a view can select from it.
constexpr char kHeaderOnlyMark[] = "/* Vistrel: cabeçalho; o corpo vem no processo 5 */";
constexpr char kHeaderOnlyBodyHead[] = "BEGIN ";
constexpr char kHeaderOnlySelectable[] = " SUSPEND; END";
constexpr char kHeaderOnlyExecutable[] = " EXIT; END";
constexpr char kCreatingHeader[] = "Criando cabeçalho da Procedure....";
constexpr char kHeaderFailed[] = "Não foi possivel criar o cabeçalho da procedure: ";

// The text without its last two characters; shorter texts contribute nothing.
std::string dropLastTwo(const std::string& text) {
    return text.size() < 2 ? std::string() : text.substr(0, text.size() - 2);
}

int textAsInt(const std::string& text, int fallback) {
    try {
        return text.empty() ? fallback : std::stoi(text);
    } catch (const std::exception&) {
        return fallback;
    }
}

bool isZero(const data::TVariant& value) {
    if (const auto* i = std::get_if<int64_t>(&value))
        return *i == 0;
    if (const auto* s = std::get_if<std::string>(&value))
        return *s == "0";
    return false;
}

// The catalogue values of the current parameter row's field source. A precision of 0 counts as none
// (the storage's largest is written); a field without a character length (from before character
// lengths were kept) has its byte length. The FIELD_TYPE column of the row is not read: the type
// is named from its code.
extract::FieldTypeValues parameterField(data::TIBDataSet& parameters) {
    auto number = [&](const char* column) {
        return textAsInt(data::trim(parameters.FieldByName(column).AsString()), 0);
    };
    const int precision = number("RDB$FIELD_PRECISION");
    extract::FieldTypeValues field{
        .typeCode = number("RDB$FIELD_TYPE"),
        .subType = number("RDB$FIELD_SUB_TYPE"),
        .scale = number("RDB$FIELD_SCALE"),
        .precision = precision > 0 ? std::optional<int>(precision) : std::nullopt,
    };
    if (field.typeCode == extract::fieldtype::kChar || field.typeCode == extract::fieldtype::kVarchar) {
        field.length = number("RDB$FIELD_LENGTH");
        if (!data::trim(parameters.FieldByName("RDB$CHARACTER_LENGTH").AsString()).empty())
            field.characterLength = number("RDB$CHARACTER_LENGTH");
    }
    return field;
}

// What a parameter declared by reference names: "TYPE OF COLUMN table.column", "TYPE OF domain" or
// the domain; empty for a parameter declared with a type of its own.
std::string declaredReference(data::TIBDataSet& parameters, int dialect) {
    const std::string relation = data::trim(parameters.FieldByName("TYPE_RELATION").AsString());
    if (!relation.empty())
        return "TYPE OF COLUMN " + sqlIdentifier(dialect, relation) + "." +
               sqlIdentifier(dialect, data::trim(parameters.FieldByName("TYPE_FIELD").AsString()));
    const std::string source = data::trim(parameters.FieldByName("PARAMETER_SOURCE").AsString());
    if (source.empty() || source.rfind("RDB$", 0) == 0)
        return {};
    const bool typeOf = data::trim(parameters.FieldByName("PARAMETER_MECHANISM").AsString()) == "1";
    return (typeOf ? "TYPE OF " : "") + sqlIdentifier(dialect, source);
}

// The type text of the current parameter row, blank before and after: the declared type, the
// character set when it is not the target's default, NOT NULL, a non-default collation and the
// default clause, each only when the source has it. Names are written for a target of the given
// SQL dialect.
std::string parameterType(data::TIBDataSet& parameters, const std::string& targetCharacterSet, int dialect) {
    const std::string reference = declaredReference(parameters, dialect);
    if (!reference.empty()) {
        // The domain or column carries type, character set, checks and its default.
        std::string type = " " + reference;
        if (data::trim(parameters.FieldByName("OWN_NOT_NULL").AsString()) == "1")
            type += " NOT NULL";
        type +=
            extract::collateClause(data::trim(parameters.FieldByName("OWN_COLLATION").AsString()), dialect);
        const std::string defaultClause = data::trim(parameters.FieldByName("PARAMETER_DEFAULT").AsString());
        if (!defaultClause.empty())
            type += " " + defaultClause;
        return type + " ";
    }
    std::string type =
        " " + extract::fieldTypeText(parameterField(parameters), extract::kParameterTypeOptions);
    const std::string characterSet = data::trim(parameters.FieldByName("CHARACTER_SET_NAME").AsString());
    type += extract::characterSetClause(characterSet, characterSet == targetCharacterSet);
    if (data::trim(parameters.FieldByName("PARAMETER_NOT_NULL").AsString()) == "1")
        type += " NOT NULL";
    type += extract::collateClause(data::trim(parameters.FieldByName("COLLATION_NAME").AsString()), dialect);
    const std::string defaultClause = data::trim(parameters.FieldByName("PARAMETER_DEFAULT").AsString());
    if (!defaultClause.empty())
        type += " " + defaultClause;
    return type + " ";
}

// What the walk reads of a source row.
struct ProcedureRow {
    std::string name; // trimmed
    std::string inputs, outputs;
};

// Catalogue type code of a procedure in RDB$DEPENDENCIES.
constexpr int kProcedureDependent = 5;
constexpr char kProceduresDependedOn[] = "5";

// The source rows in walk order: newest first, except that a procedure goes after the procedures it
// calls, so that one run creates a caller and the procedure it calls in either order of age.
std::vector<ProcedureRow> procedureRows(SyncComponents& components, data::TIBDataSet& procedures,
                                        std::set<std::string>& inCycles) {
    std::vector<ProcedureRow> rows;
    std::vector<std::string> names;
    for (; !procedures.Eof(); procedures.Next()) {
        rows.push_back({data::trim(procedures.FieldByName("RDB$PROCEDURE_NAME").AsString()),
                        procedures.FieldByName("RDB$PROCEDURE_INPUTS").AsString(),
                        procedures.FieldByName("RDB$PROCEDURE_OUTPUTS").AsString()});
        names.push_back(rows.back().name);
    }
    const auto dependsOn =
        sourceDependencies(components.IBDatabase1(), kProcedureDependent, kProceduresDependedOn);
    inCycles = cycleMembers(names, dependsOn);
    std::vector<ProcedureRow> ordered;
    ordered.reserve(rows.size());
    for (const size_t i : dependencyOrder(names, dependsOn))
        ordered.push_back(rows[i]);
    return ordered;
}

// The statement's head up to its AS, from the source's parameter rows (opened here), the names
// written for a target of the given SQL dialect.
std::string procedureHead(const std::string& name, data::TIBDataSet& parameters,
                          const std::string& targetCharacterSet, int dialect) {
    std::string inputDeclarations;  // campos2
    std::string outputDeclarations; // campos3
    std::string statement;          // campos
    openWith(parameters, kParameterQueryHead + literalName(name) + kParameterQueryTail);
    statement = statement + kCreateOrAlterProcedure + sqlIdentifier(dialect, name) + " ( ";
    while (!parameters.Eof()) {
        const std::string type = parameterType(parameters, targetCharacterSet, dialect);
        const std::string parameterName =
            sqlIdentifier(dialect, data::trim(parameters.FieldByName("rdb$parameter_name").AsString()));
        if (isZero(parameters.FieldByName("RDB$PARAMETER_TYPE").AsVariant()))
            inputDeclarations += " " + parameterName + " " + type + ", ";
        else
            outputDeclarations += " " + parameterName + " " + type + ",  ";
        parameters.Next();
    }
    statement = statement + " " + dropLastTwo(inputDeclarations);
    // A procedure without output parameters has no RETURNS clause: the server refuses an empty one.
    if (outputDeclarations.empty())
        statement = statement + " ) AS ";
    else
        statement = statement + " ) RETURNS ( " + dropLastTwo(data::trim(outputDeclarations)) + " ) AS ";
    return statement;
}

void procedureStep(SyncComponents& components, ProcessView& view, const ProcedureRow& row,
                   data::TIBDataSet& targetProcedure, data::TIBDataSet& parameters,
                   data::TIBDataSet& sourceText, const std::string& targetCharacterSet) {
    const std::string& name = row.name;
    view.objectEvent(ObjectEvent::Walked, ObjectType::Procedure, name);
    openWith(targetProcedure, kProcedureProbeHead + literalName(name) + kLiteralTail);

    const bool present = !targetProcedure.Eof();
    const bool sameCounts = row.inputs == targetProcedure.FieldByName("RDB$PROCEDURE_INPUTS").AsString() &&
                            row.outputs == targetProcedure.FieldByName("RDB$PROCEDURE_OUTPUTS").AsString();
    // A procedure made as its header earlier in the run (or in a run that stopped) still needs
    // its body.
    const bool headerOnly =
        present && targetProcedure.FieldByName("RDB$PROCEDURE_SOURCE").AsString().find(kHeaderOnlyMark) !=
                       std::string::npos;
    if (present && sameCounts && !headerOnly)
        return;

    view.objectEvent(ObjectEvent::Missing, ObjectType::Procedure, name);
    view.clearProcedureBuffer();
    view.appendProcessLog(kExecutingProcedure + name);
    std::string statement;
    try {
        statement = procedureHead(name, parameters, targetCharacterSet, targetDialect(components));
    } catch (const extract::EDialectName& error) {
        // A name the target's dialect cannot hold: no statement, the walk goes on.
        writeFailure(view, Pane::ErrorLog, kProcedureFailed + name, error);
        view.objectEvent(ObjectEvent::Failed, ObjectType::Procedure, name);
        return;
    }

    openWith(sourceText, kSourceQueryHead + literalName(name) + kLiteralTail);
    const std::string source = sourceText.FieldByName("CONTEUDO").AsString();

    view.appendProcedureBuffer(statement + "  " + source + " ");
    view.appendProcedureBuffer(kStatementEnd);
    view.appendProcessLog(view.procedureBufferText());
    view.objectEvent(ObjectEvent::Written, ObjectType::Procedure, name);

    data::TTransactionDesc transaction; // Trans
    transaction.TransactionID = 1;
    transaction.IsolationLevel = data::xilREADCOMMITTED;
    if (view.directExecution() && view.sendStatement(" " + view.procedureBufferText() + "   ")) {
        try {
            data::TSQLConnection& connection = components.SQLConnection();
            connection.StartTransaction(transaction);
            connection.ExecuteDirect(" " + view.procedureBufferText() + "   ");
            connection.Commit(transaction);
            view.objectEvent(ObjectEvent::Created, ObjectType::Procedure, name);
        } catch (const std::exception& error) {
            writeFailure(view, Pane::ErrorLog, kProcedureFailed + name, error);
            view.objectEvent(ObjectEvent::Failed, ObjectType::Procedure, name);
        }
    }
    view.clearProcedureBuffer();
}

} // namespace

void createProcedureHeaders(SyncComponents& components, ProcessView& view,
                            const std::vector<std::string>& names, bool execute) {
    if (names.empty())
        return;
    data::TIBDataSet parameters;
    parameters.setDatabase(&components.IBDatabase1());
    data::TIBDataSet target;
    target.setDatabase(&components.IBDatabase2());
    const std::string characterSet = sync::targetCharacterSet(components);
    for (const std::string& name : names) {
        stopIfRequested(view);
        openWith(target, kProcedureProbeHead + literalName(name) + kLiteralTail);
        const bool present = !target.Eof();
        target.Close();
        if (present)
            continue;
        view.appendProcessLog(kCreatingHeader + name);
        try {
            const std::string head = procedureHead(name, parameters, characterSet, targetDialect(components));
            const bool selectable = head.find(" RETURNS ") != std::string::npos;
            const std::string statement = head + "  " + kHeaderOnlyBodyHead + kHeaderOnlyMark +
                                          (selectable ? kHeaderOnlySelectable : kHeaderOnlyExecutable);
            view.appendProcessLog(statement);
            if (!execute || !view.sendStatement(statement))
                continue;
            // Made and committed on the target session, on a statement released right after: a
            // statement still prepared would keep the procedure in use there.
            {
                data::TIBDataSet header;
                header.setDatabase(&components.IBDatabase2());
                header.ParamCheck = false;
                header.SelectSQL().Add(statement);
                header.ExecSQL();
            }
            components.IBTransaction2().Commit();
        } catch (const std::exception& error) {
            writeFailure(view, Pane::ErrorLog, kHeaderFailed + name, error);
        }
    }
    // The target session reads the headers from now on.
    if (components.IBTransaction2().Active())
        components.IBTransaction2().Commit();
}

std::string procedureStatement(SyncComponents& components, const std::string& name) {
    data::TIBDataSet parameters;
    parameters.setDatabase(&components.IBDatabase1());
    data::TIBDataSet sourceText;
    sourceText.setDatabase(&components.IBDatabase1());
    const std::string head =
        procedureHead(name, parameters, sync::targetCharacterSet(components), targetDialect(components));
    openWith(sourceText, kSourceQueryHead + literalName(name) + kLiteralTail);
    return head + "  " + sourceText.FieldByName("CONTEUDO").AsString() + " ";
}

void runProcedureProcess(SyncComponents& components, ProcessView& view) {
    view.clearProcessLog();
    runGuards(components, view);
    components.beginRun();

    data::TIBDataSet& procedures = components.newSourceCursor();      // TABELAS
    data::TIBDataSet& parameters = components.newSourceCursor();      // TABELAS2
    data::TIBDataSet& sourceText = components.newSourceCursor();      // TABELAS3
    data::TIBDataSet& targetProcedure = components.newTargetCursor(); // DESTINOTABELA
    openWith(procedures, kProcedureEnumeration);

    const std::string targetCharacterSet = sync::targetCharacterSet(components);

    view.appendProcessLog("");
    std::set<std::string> inCycles;
    const std::vector<ProcedureRow> rows = procedureRows(components, procedures, inCycles);
    // The procedures that call each other in a cycle get their headers first, so that each body
    // finds the others.
    std::vector<std::string> headers;
    for (const ProcedureRow& row : rows)
        if (inCycles.count(row.name))
            headers.push_back(row.name);
    createProcedureHeaders(components, view, headers, view.directExecution());
    for (const ProcedureRow& row : rows) {
        stopIfRequested(view);
        procedureStep(components, view, row, targetProcedure, parameters, sourceText, targetCharacterSet);
    }
    // The views that waited for their procedures come now.
    if (view.directExecution())
        sendWaitingViews(components, view);
    view.showMessage(kProcedureComparisonFinished);
}

} // namespace vistrel::sync
