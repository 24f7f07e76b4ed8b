// Process 4: tables and columns, then views.
//
// The table phase walks every relation of the source. A table missing from the target is made
// whole by one CREATE TABLE with all its columns, stored columns first and computed ones after
// them (they read the stored ones), so that a stop at any moment leaves it either absent or whole;
// a computed column that stands elsewhere in the source is then moved to its rank. Every source
// column that an existing table lacks is added as the source declares it (domain, type, character
// set, collation, default, NOT NULL, computed expression, identity, array bounds) and moved to its
// rank in the source's column order, all of one table in one transaction: the server makes one
// new format version of the table per commit, and stops at 255. A column that cannot be added is
// reported and the table's next columns still come. A column present on both sides with another
// declared length is only reported. A table that an earlier version of this program left with
// only its placeholder column INTY loses it once the first source column stands beside it.
// The view phase then sends every view of the source as CREATE OR ALTER VIEW.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/fieldtype.h"
#include "extract/ibextract.h"
#include "sync/columndefinition.h"
#include "sync/objectkinds.h"
#include "sync/objectprocess.h"
#include "sync/processes.h"
#include "sync/runframe.h"
#include "sync/runstop.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vistrel::sync {

namespace {

// Relation list: every relation with a column whose name does not carry a system prefix.
const char* const kMetaLine1 = "SELECT DISTINCT RDB$RELATION_NAME FROM RDB$RELATION_FIELDS WHERE ";
const char* const kMetaLine2 =
    "(SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'RDB$' AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> "
    "'MON$') AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'RDB$' AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR "
    "4) <> 'SEC$'";
const char* const kMetaNameField = "RDB$RELATION_NAME";

const char* const kTableProbe =
    "SELECT DISTINCT RDB$RELATION_NAME FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME=:TABELA";
const char* const kColumnProbe =
    "SELECT DISTINCT A.RDB$RELATION_NAME, A. RDB$FIELD_POSITION AS POSICAO, B.RDB$FIELD_LENGTH AS TAMANHO, "
    "A.RDB$FIELD_NAME FROM RDB$RELATION_FIELDS A, RDB$FIELDS B  WHERE A.RDB$RELATION_NAME=:TABELA AND "
    "A.RDB$FIELD_NAME=:CAMPO AND (B.RDB$FIELD_NAME = A.RDB$FIELD_SOURCE) ";

// What the column list ORIGEM does not carry, for every column of one source table: the user
// domain the column is declared with, the field's character set, a collation other than the set's
// default (for a domain column only the column's own), the computed expression, the array bounds
// ("dimension:lower:upper" items), whether it is an identity column and its generator's start.
const char* const kColumnAttributesHead =
    "SELECT A.RDB$FIELD_NAME AS NOME, CASE WHEN B.RDB$FIELD_NAME STARTING WITH 'RDB$' THEN NULL ELSE "
    "B.RDB$FIELD_NAME END AS DOMINIO, S.RDB$CHARACTER_SET_NAME AS CONJUNTO, CASE WHEN B.RDB$FIELD_NAME "
    "STARTING WITH 'RDB$' OR A.RDB$COLLATION_ID <> COALESCE(B.RDB$COLLATION_ID, 0) THEN (SELECT "
    "O.RDB$COLLATION_NAME FROM RDB$COLLATIONS O WHERE O.RDB$CHARACTER_SET_ID = B.RDB$CHARACTER_SET_ID AND "
    "O.RDB$COLLATION_ID = COALESCE(A.RDB$COLLATION_ID, B.RDB$COLLATION_ID) AND O.RDB$COLLATION_ID <> 0) END "
    "AS COLACAO, B.RDB$COMPUTED_SOURCE AS CALCULO, (SELECT LIST(D.RDB$DIMENSION || ':' || D.RDB$LOWER_BOUND "
    "|| ':' || D.RDB$UPPER_BOUND) FROM RDB$FIELD_DIMENSIONS D WHERE D.RDB$FIELD_NAME = B.RDB$FIELD_NAME) AS "
    "DIMENSOES, ";
// Identity columns exist from Firebird 3 (on-disk structure 12) on.
const char* const kColumnAttributesIdentity =
    "A.RDB$IDENTITY_TYPE AS IDENTIDADE, (SELECT G.RDB$INITIAL_VALUE FROM RDB$GENERATORS G WHERE "
    "G.RDB$GENERATOR_NAME = A.RDB$GENERATOR_NAME) AS INICIO ";
const char* const kColumnAttributesNoIdentity = "NULL AS IDENTIDADE, NULL AS INICIO ";
const char* const kColumnAttributesTail =
    "FROM RDB$RELATION_FIELDS A JOIN RDB$FIELDS B ON B.RDB$FIELD_NAME = A.RDB$FIELD_SOURCE LEFT JOIN "
    "RDB$CHARACTER_SETS S ON S.RDB$CHARACTER_SET_ID = B.RDB$CHARACTER_SET_ID WHERE A.RDB$RELATION_NAME = "
    ":TABELA";
constexpr int kFirstOdsWithIdentity = 12;

// The declared length in characters of a text column on the target, asked only when the stored
// lengths of a column present on both sides differ.
const char* const kTargetCharacterLength =
    "SELECT B.RDB$CHARACTER_LENGTH AS TAMANHO_CARACTERES FROM RDB$RELATION_FIELDS A, RDB$FIELDS B WHERE "
    "A.RDB$RELATION_NAME=:TABELA AND A.RDB$FIELD_NAME=:CAMPO AND B.RDB$FIELD_NAME = A.RDB$FIELD_SOURCE";

// Statement and log texts of the table phase.
const char* const kCreateTable = "CREATE TABLE ";
const char* const kAlterTable = "ALTER TABLE ";
const char* const kDropInty = " DROP INTY ";
const char* const kAdd = " ADD ";
const char* const kAlter = " ALTER ";
const char* const kPosition = " POSITION ";
const char* const kSizeWarning = "TAMANHO DO CAMPO DIFERENTE ";
const char* const kSizeWarningTable = " NA TABELA ";
const char* const kTableError = "Erro na tabela: ";
// Under the failure line of a table that reached the server's limit of format versions.
const char* const kFormatLimit =
    "    A tabela chegou ao limite de 255 versões de formato do Firebird; um backup e "
    "restore do banco de destino (gbak) volta a contar do início.";
const char* const kTooManyVersions = "too many versions";
// A commit that waited for another connection's lock in vain.
const char* const kLockTimeout = "lock time-out";
const char* const kDeadlock = "deadlock";

// The placeholder column of earlier versions, and the columns of a target table, to find one left
// with nothing else.
const char* const kPlaceholderName = "INTY";
const char* const kTargetColumns =
    "SELECT RDB$FIELD_NAME FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME=:TABELA";

// Texts of the view phase.
const char* const kViewPhaseStart = "Iniciando Comparação de Views";

// A table name as the table statements carry it: an ordinary name as read (with the blanks that
// pad the catalogue column, which the server disregards), any other name quoted, so that a name
// from the source is never read as part of the statement; a dialect-1 target refuses such a name.
std::string tableInStatement(const std::string& nameAsRead, int dialect) {
    const std::string trimmed = data::trim(nameAsRead);
    return isOrdinaryName(trimmed) ? nameAsRead : sqlIdentifier(dialect, trimmed);
}

// A cursor that no grid shows: released as soon as its work is done.
std::unique_ptr<data::TIBDataSet> privateCursor(data::TIBDatabase& database) {
    auto cursor = std::make_unique<data::TIBDataSet>();
    cursor->setDatabase(&database);
    return cursor;
}

void setStatement(data::TIBDataSet& cursor, const char* text) {
    cursor.SelectSQL().Clear();
    cursor.SelectSQL().Add(text);
}

// One source column as the table phase adds it: the values of its ORIGEM row and of the attribute
// query, taken while the row is current, so that a computed column can be added after the others.
struct SourceColumn {
    std::string tableAsRead;
    std::string nameAsRead;
    int rank = 0; // 1-based rank in the source's column order
    extract::ColumnTypeSource type;
    ColumnDeclaration declaration;
};

bool isTextType(const std::string& typeName) {
    const std::string t = data::trim(typeName);
    return t == "VARYING" || t == "TEXT" || t == "CSTRING";
}

// The working values of one run of the table phase.
class TablePhase {
public:
    TablePhase(SyncComponents& components, ProcessView& view);

    void run(data::TIBDataSet& relations);

private:
    void relation(const std::string& name);
    // A missing table made whole by one statement, its computed columns then moved to their ranks.
    void newTable(const std::string& name, const std::vector<SourceColumn>& columns);
    // The column probe and the size warning; whether the target lacks the column.
    bool probeColumn(const SourceColumn& column);
    // Commits what the table's column steps executed. A refused commit takes all of them back:
    // false when they are to be added again one by one; a lock that did not come in time fails
    // them all at once.
    bool commitTable(const std::string& name);
    // Whether the target table holds nothing but the placeholder column of earlier versions.
    bool onlyPlaceholderColumn(const std::string& tableAsRead);
    // The failure line of a table, and under it the format-version limit when that was reached.
    void tableFailure(const std::string& name, const std::exception& error);
    void readColumnAttributes(const std::string& tableAsRead);
    SourceColumn sourceColumn(data::TIBDataSet& origem);
    // One column step of an existing table: the column added when the target lacks it. A failure
    // is reported for the table and the walk goes on with its next column; the table's commit
    // follows its last column (commitTable).
    void protectedColumnStep(const SourceColumn& column);
    // Probe, size warning, ADD and POSITION.
    bool columnStep(const SourceColumn& column);
    bool declaredLengthDiffers(const SourceColumn& column, data::TIBDataSet& probe);
    void indexStep(const std::string& table);
    void dropPlaceholderColumn();
    // Sets CAMPOS2's whole statement text; executes it when criarauto is ticked.
    void campos2(const std::string& text);

    SyncComponents& m_components;
    ProcessView& m_view;
    int m_dialect = 3; // the target's, which the statements' names are written for
    std::string m_targetCharacterSet;
    bool m_sourceHasIdentity = false;
    // The attribute rows of the current table, by column name as read.
    std::map<std::string, ColumnDeclaration> m_attributes;
    // The target changed since its last reconnect (COMMIT).
    bool m_targetChanged = false;
    // The index text extracted for the table just made (m_indexText).
    std::string m_indexText;
    // The placeholder table (name as read) whose INTY waits for the first added column.
    std::string m_pendingDrop;
    // Whether the current table was checked for a lone placeholder column.
    bool m_placeholderChecked = false;
    // The columns the current table's steps executed, for their Created events after the commit.
    std::vector<std::string> m_written;
    // Every column step commits (after a refused commit of the whole table).
    bool m_commitEachColumn = false;
    // 1-based rank of the current column in the source's column order.
    int m_rank = 0;
};

TablePhase::TablePhase(SyncComponents& components, ProcessView& view)
    : m_components(components), m_view(view), m_dialect(targetDialect(components)),
      m_targetCharacterSet(targetCharacterSet(components)),
      m_sourceHasIdentity(components.IBDatabase1().odsMajorVersion() >= kFirstOdsWithIdentity) {}

void TablePhase::run(data::TIBDataSet& relations) {
    int count = 0;
    while (!relations.Eof()) {
        ++count;
        relations.Next();
    }
    m_view.setProgressMax(count);
    relations.First();
    int processed = 0;
    while (!relations.Eof()) {
        stopIfRequested(m_view);
        const std::string name = relations.FieldByName(kMetaNameField).AsString();
        try {
            relation(name);
        } catch (const std::exception& error) {
            tableFailure(name, error);
            m_view.objectEvent(ObjectEvent::Failed, ObjectType::Table, data::trim(name));
        }
        ++processed;
        m_view.setProgressPosition(processed);
        relations.Next();
    }
}

void TablePhase::tableFailure(const std::string& name, const std::exception& error) {
    writeFailure(m_view, Pane::ErrorLog, kTableError + name, error);
    if (std::string(error.what()).find(kTooManyVersions) != std::string::npos)
        m_view.appendErrorLog(kFormatLimit);
}

void TablePhase::relation(const std::string& name) {
    m_targetChanged = false;
    m_pendingDrop.clear();
    m_placeholderChecked = false;
    m_written.clear();
    m_rank = 0;
    const std::string trimmed = data::trim(name);

    auto targetTable = privateCursor(m_components.IBDatabase2());
    setStatement(*targetTable, kTableProbe);
    targetTable->ParamByName("TABELA").setAsString(trimmed);
    targetTable->Open();

    auto sourceView = privateCursor(m_components.IBDatabase1());
    setStatement(*sourceView, kViewTest);
    sourceView->ParamByName("TABELAW").setAsString(trimmed);
    sourceView->Open();

    if (sourceView->Eof()) {
        m_view.objectEvent(ObjectEvent::Walked, ObjectType::Table, trimmed);
        const bool tableMissing = targetTable->Eof();
        targetTable->Close();
        data::TIBDataSet& origem = m_components.ORIGEM();
        m_view.setDataSource2(&origem);
        origem.Close();
        origem.ParamByName("TABELA").setAsString(name);
        origem.Open();
        readColumnAttributes(name);
        // Computed columns read the stored ones: they come once those stand.
        std::vector<SourceColumn> columns;
        std::vector<SourceColumn> computed;
        while (!origem.Eof()) {
            SourceColumn column = sourceColumn(origem);
            if (data::trim(column.declaration.computedSource).empty())
                columns.push_back(std::move(column));
            else
                computed.push_back(std::move(column));
            origem.Next();
        }
        for (SourceColumn& column : computed)
            columns.push_back(std::move(column));
        if (tableMissing) {
            newTable(name, columns);
        } else {
            for (const SourceColumn& column : columns)
                protectedColumnStep(column);
            if (!commitTable(name)) {
                // The server refused one of the columns only at the commit (NOT NULL over rows
                // holding nulls, say), which took them all back: they are added again one by one,
                // each committed, so that the others arrive and only the refused one is reported.
                m_commitEachColumn = true;
                m_written.clear();
                m_placeholderChecked = false;
                m_targetChanged = false;
                for (const SourceColumn& column : columns)
                    protectedColumnStep(column);
                m_commitEachColumn = false;
            }
        }
    }
    m_view.processEvents();
}

bool TablePhase::probeColumn(const SourceColumn& column) {
    const std::string qualified = data::trim(column.tableAsRead) + "." + data::trim(column.nameAsRead);
    m_view.objectEvent(ObjectEvent::Walked, ObjectType::Column, qualified);
    auto targetColumn = privateCursor(m_components.IBDatabase2());
    setStatement(*targetColumn, kColumnProbe);
    targetColumn->ParamByName("TABELA").setAsString(column.tableAsRead);
    targetColumn->ParamByName("CAMPO").setAsString(column.nameAsRead);
    targetColumn->Open();
    if (declaredLengthDiffers(column, *targetColumn))
        m_view.appendProcessLog(kSizeWarning + column.nameAsRead + kSizeWarningTable + column.tableAsRead);
    const bool missing = targetColumn->Eof();
    if (missing)
        m_view.objectEvent(ObjectEvent::Missing, ObjectType::Column, qualified);
    return missing;
}

void TablePhase::newTable(const std::string& name, const std::vector<SourceColumn>& columns) {
    const std::string trimmed = data::trim(name);
    m_view.objectEvent(ObjectEvent::Missing, ObjectType::Table, trimmed);
    m_view.appendProcessLog(m_indexText);
    m_indexText.clear();
    std::string create = kCreateTable + tableInStatement(name, m_dialect) + " (";
    std::vector<std::string> moves;
    std::vector<std::string> included;
    for (const SourceColumn& column : columns) {
        probeColumn(column);
        const std::string qualified = trimmed + "." + data::trim(column.nameAsRead);
        std::string definition;
        try {
            // The names as the statements carry them (quoted when they need it).
            const std::string columnName = sqlIdentifier(m_dialect, data::trim(column.nameAsRead));
            ColumnDeclaration declaration = column.declaration;
            declaration.baseType = extract::columnTypeText(column.type);
            definition = columnName + " " + columnDefinition(declaration, m_targetCharacterSet, m_dialect);
            // A computed column that the source has before a stored one goes to its rank afterwards.
            const size_t place = included.size() + 1;
            if (!data::trim(column.declaration.computedSource).empty() &&
                column.rank != static_cast<int>(place))
                moves.push_back(kAlterTable + sqlIdentifier(m_dialect, trimmed) + kAlter + columnName +
                                kPosition + std::to_string(column.rank) + ";");
        } catch (const std::exception& error) {
            // A column whose statement cannot be written (a name the target's dialect cannot hold)
            // is reported; the table comes with the others.
            tableFailure(name, error);
            m_view.objectEvent(ObjectEvent::Failed, ObjectType::Column, qualified);
            continue;
        }
        create += std::string(included.empty() ? "" : ",") + "\r\n  " + definition;
        included.push_back(qualified);
    }
    if (included.empty())
        return;
    create += "\r\n);";
    m_view.appendProcessLog(create);
    m_view.objectEvent(ObjectEvent::Written, ObjectType::Table, trimmed);
    for (const std::string& column : included)
        m_view.objectEvent(ObjectEvent::Written, ObjectType::Column, column);
    campos2(create);
    m_targetChanged = true;
    // The table stands whole once this commits.
    m_components.targetReconnect();
    if (m_view.criarauto()) {
        m_view.objectEvent(ObjectEvent::Created, ObjectType::Table, trimmed);
        for (const std::string& column : included)
            m_view.objectEvent(ObjectEvent::Created, ObjectType::Column, column);
    }
    if (!moves.empty()) {
        for (const std::string& move : moves) {
            m_view.appendProcessLog(move);
            campos2(move + " ");
        }
        if (m_view.criarauto())
            m_components.targetReconnect();
    }
    indexStep(trimmed);
}

bool TablePhase::commitTable(const std::string& name) {
    if (!m_targetChanged || !m_view.criarauto())
        return true;
    try {
        m_components.targetReconnect();
    } catch (const data::EIBConnectionLost&) {
        throw;
    } catch (const std::exception& error) {
        // The refused commit took every column of the table back, the placeholder's removal too.
        const std::string reason = error.what();
        const bool waited =
            reason.find(kLockTimeout) != std::string::npos || reason.find(kDeadlock) != std::string::npos;
        if (!waited && m_written.size() > 1)
            return false;
        tableFailure(name, error);
        for (const std::string& column : m_written)
            m_view.objectEvent(ObjectEvent::Failed, ObjectType::Column, column);
        return true;
    }
    for (const std::string& column : m_written)
        m_view.objectEvent(ObjectEvent::Created, ObjectType::Column, column);
    return true;
}

bool TablePhase::onlyPlaceholderColumn(const std::string& tableAsRead) {
    auto targetColumns = privateCursor(m_components.IBDatabase2());
    setStatement(*targetColumns, kTargetColumns);
    targetColumns->ParamByName("TABELA").setAsString(tableAsRead);
    targetColumns->Open();
    int count = 0;
    bool placeholder = false;
    for (; !targetColumns->Eof(); targetColumns->Next()) {
        ++count;
        placeholder = data::trim(targetColumns->FieldByName("RDB$FIELD_NAME").AsString()) == kPlaceholderName;
    }
    return count == 1 && placeholder;
}

void TablePhase::dropPlaceholderColumn() {
    const std::string drop = kAlterTable + tableInStatement(m_pendingDrop, m_dialect) + kDropInty;
    m_pendingDrop.clear();
    m_view.appendProcessLog(drop);
    campos2(drop);
}

void TablePhase::readColumnAttributes(const std::string& tableAsRead) {
    m_attributes.clear();
    auto attributes = privateCursor(m_components.IBDatabase1());
    setStatement(*attributes, kColumnAttributesHead);
    attributes->SelectSQL().Add(m_sourceHasIdentity ? kColumnAttributesIdentity
                                                    : kColumnAttributesNoIdentity);
    attributes->SelectSQL().Add(kColumnAttributesTail);
    attributes->ParamByName("TABELA").setAsString(tableAsRead);
    attributes->Open();
    while (!attributes->Eof()) {
        ColumnDeclaration d;
        d.domain = attributes->FieldByName("DOMINIO").AsString();
        d.characterSet = attributes->FieldByName("CONJUNTO").AsString();
        d.collation = attributes->FieldByName("COLACAO").AsString();
        d.computedSource = attributes->FieldByName("CALCULO").AsString();
        d.dimensions = attributes->FieldByName("DIMENSOES").AsString();
        d.identity = !attributes->FieldByName("IDENTIDADE").AsString().empty();
        d.identityStart = attributes->FieldByName("INICIO").AsString();
        m_attributes[attributes->FieldByName("NOME").AsString()] = d;
        attributes->Next();
    }
}

SourceColumn TablePhase::sourceColumn(data::TIBDataSet& origem) {
    SourceColumn c;
    c.rank = ++m_rank;
    c.tableAsRead = origem.FieldByName("TABELA").AsString();
    c.nameAsRead = origem.FieldByName("NOME").AsString();
    c.type = {
        .typeName = origem.FieldByName("TIPO").AsString(),
        .length = origem.FieldByName("TAMANHO").AsString(),
        .precision = origem.FieldByName("PRECISAO").AsString(),
        .scale = origem.FieldByName("CASAS_DECIMAIS").AsString(),
        .subType = origem.FieldByName("SUBTIPO").AsString(),
        .characterLength = origem.FieldByName("TAMANHO_CARACTERES").AsString(),
    };
    const auto found = m_attributes.find(c.nameAsRead);
    if (found != m_attributes.end())
        c.declaration = found->second;
    c.declaration.defaultSource = origem.FieldByName("VALOR_PADRAO").AsString();
    c.declaration.notNull = data::trim(origem.FieldByName("OBRIGATORIO").AsString()) == "1";
    return c;
}

void TablePhase::protectedColumnStep(const SourceColumn& column) {
    const std::string qualified = data::trim(column.tableAsRead) + "." + data::trim(column.nameAsRead);
    const std::string pendingDrop = m_pendingDrop;
    bool failed = false;
    bool written = false;
    try {
        written = columnStep(column);
    } catch (const std::exception& error) {
        // The failed statement took nothing else back: the table's earlier columns stay, the next
        // ones still come.
        tableFailure(column.tableAsRead, error);
        failed = true;
    }
    if (!m_commitEachColumn) {
        if (failed)
            m_view.objectEvent(ObjectEvent::Failed, ObjectType::Column, qualified);
        else if (written)
            m_written.push_back(qualified);
        return;
    }
    if (m_targetChanged && m_view.criarauto()) {
        try {
            m_components.targetReconnect();
        } catch (const std::exception& error) {
            // The refused commit took the whole step back, the placeholder column's removal too.
            if (!failed)
                tableFailure(column.tableAsRead, error);
            failed = true;
            m_pendingDrop = pendingDrop;
        }
    }
    if (failed)
        m_view.objectEvent(ObjectEvent::Failed, ObjectType::Column, qualified);
    else if (written && m_view.criarauto())
        m_view.objectEvent(ObjectEvent::Created, ObjectType::Column, qualified);
}

bool TablePhase::declaredLengthDiffers(const SourceColumn& column, data::TIBDataSet& probe) {
    if (probe.FieldByName("TAMANHO").AsString() == column.type.length)
        return false;
    // A column the target lacks reads no length and is reported, as before its ADD line.
    if (probe.Eof() || !isTextType(column.type.typeName) || data::trim(column.type.characterLength).empty())
        return true;
    // Text is declared in characters: the stored lengths differ also for the same declaration in
    // character sets of other widths.
    auto characters = privateCursor(m_components.IBDatabase2());
    setStatement(*characters, kTargetCharacterLength);
    characters->ParamByName("TABELA").setAsString(column.tableAsRead);
    characters->ParamByName("CAMPO").setAsString(column.nameAsRead);
    characters->Open();
    return characters->Eof() || data::trim(characters->FieldByName("TAMANHO_CARACTERES").AsString()) !=
                                    data::trim(column.type.characterLength);
}

bool TablePhase::columnStep(const SourceColumn& column) {
    const std::string qualified = data::trim(column.tableAsRead) + "." + data::trim(column.nameAsRead);
    const bool columnMissing = probeColumn(column);
    if (columnMissing) {
        // A table that holds only the placeholder column of an earlier version loses it once its
        // first source column stands beside it.
        if (!m_placeholderChecked) {
            m_placeholderChecked = true;
            if (data::trim(column.nameAsRead) != kPlaceholderName &&
                onlyPlaceholderColumn(column.tableAsRead))
                m_pendingDrop = column.tableAsRead;
        }
        // The names as the statements carry them (quoted when they need it).
        const std::string tableName = sqlIdentifier(m_dialect, data::trim(column.tableAsRead));
        const std::string columnName = sqlIdentifier(m_dialect, data::trim(column.nameAsRead));
        ColumnDeclaration declaration = column.declaration;
        declaration.baseType = extract::columnTypeText(column.type);
        // The logged line is the statement executed.
        const std::string add = kAlterTable + tableName + kAdd + columnName + " " +
                                columnDefinition(declaration, m_targetCharacterSet, m_dialect) + "; ";
        m_view.appendProcessLog(add);
        campos2(add);
        m_targetChanged = true;
        if (!m_pendingDrop.empty())
            dropPlaceholderColumn();
        const std::string position =
            kAlterTable + tableName + kAlter + columnName + kPosition + std::to_string(column.rank) + ";";
        m_view.appendProcessLog(position);
        m_view.objectEvent(ObjectEvent::Written, ObjectType::Column, qualified);
        campos2(position + " ");
    }
    return columnMissing;
}

void TablePhase::indexStep(const std::string& table) {
    extract::TIBExtract& extractor = targetExtractor(m_components);
    extractor.ExtractObject(extract::eoIndexes, table, extract::TExtractTypes{});
    m_indexText = extractor.Items().Text();
    if (m_indexText.empty())
        return;
    m_view.appendProcessLog(m_indexText);
    // The text may hold an index and the statement that makes it inactive: each runs on its own.
    for (const std::string& statement : indexStatements(m_indexText))
        campos2(statement);
}

void TablePhase::campos2(const std::string& text) {
    data::TIBQuery& CAMPOS2 = m_components.CAMPOS2();
    CAMPOS2.SQL().SetText(text);
    if (m_view.criarauto() && m_view.sendStatement(text))
        CAMPOS2.ExecSQL();
}

// Catalogue type codes of RDB$DEPENDENCIES: a view (as dependent), a table or view, a view.
constexpr int kViewDependent = 1;
constexpr char kRelationsDependedOn[] = "0, 1";
constexpr char kProceduresDependedOn[] = "5";

// The views go through the per-object driver in the order of the relation list, except that a view
// goes after the views it selects from, so that one run creates them all.
// Whether the target holds an object of this catalogue query's kind by this name.
bool targetHolds(SyncComponents& components, const char* queryHead, const std::string& name) {
    data::TIBDataSet probe;
    probe.setDatabase(&components.IBDatabase2());
    openWith(probe, queryHead + literalName(name) + "'");
    return !probe.Eof();
}

constexpr char kTargetProcedure[] = "SELECT 1 FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = '";
constexpr char kTargetRelation[] = "SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = '";
constexpr char kViewWaits[] = "View aguarda o processo 5 (usa procedure); ";

// The views go through the per-object driver in the order of the relation list, except that a view
// goes after the views it selects from, so that one run creates them all. A view that selects (or
// selects from a view that selects) from a procedure the target lacks waits for process 5, which
// makes the procedure and then the view.
void viewPhase(SyncComponents& components, ProcessView& view, data::TIBDataSet& relations) {
    view.appendProcessLog(kViewPhaseStart);
    std::vector<ObjectRow> rows;
    std::vector<std::string> names;
    for (relations.First(); !relations.Eof(); relations.Next()) {
        rows.push_back({.name = relations.FieldByName(kMetaNameField).AsString(), .relation = {}});
        names.push_back(rows.back().name);
    }
    const auto dependsOn = sourceDependencies(components.IBDatabase1(), kViewDependent, kRelationsDependedOn);
    const std::map<std::string, std::set<std::string>> overProcedures =
        viewsOverProcedures(components.IBDatabase1());
    if (!overProcedures.empty())
        components.SQLConnection().setConnected(false);
    std::vector<ObjectRow> ordered;
    ordered.reserve(rows.size());
    for (const size_t i : dependencyOrder(names, dependsOn)) {
        const auto uses = overProcedures.find(data::trim(rows[i].name));
        if (uses != overProcedures.end() &&
            std::any_of(uses->second.begin(), uses->second.end(), [&](const std::string& procedure) {
                return !targetHolds(components, kTargetProcedure, procedure);
            })) {
            view.appendProcessLog(kViewWaits + data::trim(rows[i].name));
            continue;
        }
        ordered.push_back(rows[i]);
    }
    walkObjects(components, view, kViewKind, ordered);
}

} // namespace

std::map<std::string, std::set<std::string>> viewsOverProcedures(data::TIBDatabase& source) {
    const auto usesProcedures = sourceDependencies(source, kViewDependent, kProceduresDependedOn);
    const auto usesRelations = sourceDependencies(source, kViewDependent, kRelationsDependedOn);
    std::map<std::string, std::set<std::string>> reached;
    for (const auto& [viewName, procedure] : usesProcedures)
        reached[viewName].insert(procedure);
    // A view over such a view reaches its procedures too.
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [viewName, relation] : usesRelations) {
            const auto used = reached.find(relation);
            if (used == reached.end())
                continue;
            const std::set<std::string> procedures = used->second;
            std::set<std::string>& mine = reached[viewName];
            const size_t before = mine.size();
            mine.insert(procedures.begin(), procedures.end());
            grew = grew || mine.size() != before;
        }
    }
    return reached;
}

void sendWaitingViews(SyncComponents& components, ProcessView& view) {
    const auto overProcedures = viewsOverProcedures(components.IBDatabase1());
    std::vector<std::string> names;
    for (const auto& [viewName, procedures] : overProcedures)
        if (!targetHolds(components, kTargetRelation, viewName))
            names.push_back(viewName);
    if (names.empty())
        return;
    // The target session sees what the direct-execution connection committed from here on.
    components.SQLConnection().setConnected(false);
    if (components.IBTransaction2().Active())
        components.IBTransaction2().Commit();
    const auto dependsOn = sourceDependencies(components.IBDatabase1(), kViewDependent, kRelationsDependedOn);
    std::vector<ObjectRow> ordered;
    for (const size_t i : dependencyOrder(names, dependsOn))
        ordered.push_back({.name = names[i], .relation = {}});
    view.appendProcessLog(kViewPhaseStart);
    walkObjects(components, view, kViewKind, ordered);
}

void runTableViewProcess(SyncComponents& components, ProcessView& view) {
    runGuards(components, view);
    components.beginRun();
    data::TIBDataSet& relations = components.newSourceCursor(); // META
    view.setDataSource1(&relations);
    relations.SelectSQL().Clear();
    relations.SelectSQL().Add(kMetaLine1);
    relations.SelectSQL().Add(kMetaLine2);
    relations.Open();
    // DDL goes to the target as written: a colon in it is no parameter.
    components.CAMPOS2().ParamCheck = false;
    TablePhase(components, view).run(relations);
    viewPhase(components, view, relations);
}

void setupORIGEM(data::TIBDataSet& origem) {
    static const char* const kLines[] = {
        "SELECT",
        "  A.RDB$FIELD_NAME NOME,",
        "  C.RDB$TYPE_NAME TIPO,",
        "  B.RDB$FIELD_SUB_TYPE SUBTIPO,",
        "  B.RDB$FIELD_LENGTH TAMANHO,",
        "  B.RDB$CHARACTER_LENGTH TAMANHO_CARACTERES,",
        "  A.RDB$RELATION_NAME AS TABELA,",
        "  B.RDB$SEGMENT_LENGTH SEGMENTO,",
        "  B.RDB$FIELD_PRECISION PRECISAO,",
        "  B.RDB$FIELD_SCALE CASAS_DECIMAIS,",
        "  A.RDB$DEFAULT_SOURCE VALOR_PADRAO,",
        "  A.RDB$NULL_FLAG OBRIGATORIO, ",
        "  A.RDB$FIELD_POSITION AS  POSICAO",
        "FROM",
        "  RDB$RELATION_FIELDS A,",
        "  RDB$FIELDS B,",
        "  RDB$TYPES C",
        "WHERE",
        "  (A.RDB$RELATION_NAME =:TABELA)AND",
        "  (B.RDB$FIELD_NAME = A.RDB$FIELD_SOURCE)AND",
        "  (C.RDB$TYPE = B.RDB$FIELD_TYPE)AND",
        "  (C.RDB$FIELD_NAME = 'RDB$FIELD_TYPE')",
        "ORDER BY",
        "  RDB$FIELD_POSITION",
    };
    origem.SelectSQL().Clear();
    for (const char* line : kLines)
        origem.SelectSQL().Add(line);

    struct StoredField {
        const char* name;
        const char* column;
        data::TFieldType type;
        int size;
        bool fixed;
    };
    using data::TFieldType;
    static const StoredField kFields[] = {
        {"ORIGEMNOME", "NOME", TFieldType::String, 93, true},
        {"ORIGEMTIPO", "TIPO", TFieldType::String, 93, true},
        {"ORIGEMSUBTIPO", "SUBTIPO", TFieldType::Smallint, 2, false},
        {"ORIGEMTAMANHO", "TAMANHO", TFieldType::Smallint, 2, false},
        {"ORIGEMTAMANHO_CARACTERES", "TAMANHO_CARACTERES", TFieldType::Smallint, 2, false},
        {"ORIGEMSEGMENTO", "SEGMENTO", TFieldType::Smallint, 2, false},
        {"ORIGEMPRECISAO", "PRECISAO", TFieldType::Smallint, 2, false},
        {"ORIGEMCASAS_DECIMAIS", "CASAS_DECIMAIS", TFieldType::Smallint, 2, false},
        {"ORIGEMVALOR_PADRAO", "VALOR_PADRAO", TFieldType::Memo, 8, false},
        {"ORIGEMOBRIGATORIO", "OBRIGATORIO", TFieldType::Smallint, 2, false},
        {"ORIGEMTABELA", "TABELA", TFieldType::String, 93, true},
        {"ORIGEMPOSICAO", "POSICAO", TFieldType::Smallint, 2, false},
    };
    for (const StoredField& f : kFields)
        origem.addStoredField(f.column, f.type, f.size, f.fixed).Name = f.name;
}

} // namespace vistrel::sync
