// Process 4: tables and columns, then views.
//
// The table phase walks every relation of the source. A table missing from the target is made as
// a placeholder table with the single column INTY, which is dropped as soon as the first source
// column stands beside it (the server never drops a table's last column). Every source column
// that the target lacks is added with the source's type and moved to its rank in the source's
// column order. A column present on both sides with another stored length is only reported.
// The view phase then sends every view of the source as CREATE OR ALTER VIEW.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/fieldtype.h"
#include "extract/ibextract.h"
#include "sync/objectkinds.h"
#include "sync/objectprocess.h"
#include "sync/processes.h"
#include "sync/runframe.h"
#include "sync/runstop.h"

#include <exception>
#include <memory>
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

// Statement and log texts of the table phase.
const char* const kCreateTable = "CREATE TABLE ";
const char* const kPlaceholderColumn = " ( INTY INT );";
const char* const kAlterTable = "ALTER TABLE ";
const char* const kDropInty = " DROP INTY ";
const char* const kAdd = " ADD ";
const char* const kAlter = " ALTER ";
const char* const kPosition = " POSITION ";
const char* const kNotNull = "NOT NULL";
const char* const kSizeWarning = "TAMANHO DO CAMPO DIFERENTE ";
const char* const kSizeWarningTable = " NA TABELA ";
const char* const kTableError = "Erro na tabela: ";
const char* const kFlagSet = "S";

// Texts of the view phase.
const char* const kViewPhaseStart = "Iniciando Comparação de Views";

// A table name as the table statements carry it: an ordinary name as read (with the blanks that
// pad the catalogue column, which the server disregards), any other name quoted, so that a name
// from the source is never read as part of the statement.
std::string tableInStatement(const std::string& nameAsRead) {
    const std::string trimmed = data::trim(nameAsRead);
    return isOrdinaryName(trimmed) ? nameAsRead : sqlIdentifier(trimmed);
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

// The working values of one run of the table phase.
class TablePhase {
public:
    TablePhase(SyncComponents& components, ProcessView& view) : m_components(components), m_view(view) {}

    void run(data::TIBDataSet& META);

private:
    void relation(const std::string& name);
    void placeholderTable(const std::string& name);
    void columnStep(data::TIBDataSet& origem);
    void indexStep(const std::string& table);
    void dropPlaceholderColumn();
    // Sets CAMPOS2's whole statement text; executes it when criarauto is ticked.
    void campos2(const std::string& text);

    SyncComponents& m_components;
    ProcessView& m_view;
    std::string COMMIT;
    std::string WTABELA;
    std::string CRIATABELA;
    // The placeholder table (name as read) whose INTY waits for the first added column.
    std::string m_pendingDrop;
    // 1-based rank of the current column in the source's column order.
    int m_rank = 0;
};

void TablePhase::run(data::TIBDataSet& META) {
    int count = 0;
    while (!META.Eof()) {
        ++count;
        META.Next();
    }
    m_view.setProgressMax(count);
    META.First();
    int processed = 0;
    while (!META.Eof()) {
        stopIfRequested(m_view);
        const std::string name = META.FieldByName(kMetaNameField).AsString();
        try {
            relation(name);
        } catch (const std::exception& error) {
            writeFailure(m_view, Pane::ErrorLog, kTableError + name, error);
            m_view.objectEvent(ObjectEvent::Failed, ObjectType::Table, data::trim(name));
        }
        ++processed;
        m_view.setProgressPosition(processed);
        META.Next();
    }
}

void TablePhase::relation(const std::string& name) {
    COMMIT.clear();
    m_pendingDrop.clear();
    m_rank = 0;
    const std::string trimmed = data::trim(name);

    auto DESTINOTABELA = privateCursor(m_components.IBDatabase2());
    setStatement(*DESTINOTABELA, kTableProbe);
    DESTINOTABELA->ParamByName("TABELA").setAsString(trimmed);
    DESTINOTABELA->Open();

    auto VIEW_X = privateCursor(m_components.IBDatabase1());
    setStatement(*VIEW_X, kViewTest);
    VIEW_X->ParamByName("TABELAW").setAsString(trimmed);
    VIEW_X->Open();

    if (VIEW_X->Eof()) {
        m_view.objectEvent(ObjectEvent::Walked, ObjectType::Table, trimmed);
        const bool tableMissing = DESTINOTABELA->Eof();
        if (tableMissing) {
            placeholderTable(name);
            DESTINOTABELA->Close();
            WTABELA = kFlagSet;
        }
        data::TIBDataSet& origem = m_components.ORIGEM();
        m_view.setDataSource2(&origem);
        origem.Close();
        origem.ParamByName("TABELA").setAsString(name);
        origem.Open();
        while (!origem.Eof()) {
            columnStep(origem);
            origem.Next();
        }
        if (tableMissing && m_view.criarauto())
            m_view.objectEvent(ObjectEvent::Created, ObjectType::Table, trimmed);
    }
    m_view.processEvents();
}

void TablePhase::placeholderTable(const std::string& name) {
    m_view.objectEvent(ObjectEvent::Missing, ObjectType::Table, data::trim(name));
    m_view.appendProcessLog(CRIATABELA);
    const std::string create = kCreateTable + tableInStatement(name) + kPlaceholderColumn;
    m_view.appendProcessLog(create);
    m_view.objectEvent(ObjectEvent::Written, ObjectType::Table, data::trim(name));
    campos2(create + " ");
    COMMIT = kFlagSet;
    CRIATABELA.clear();
    WTABELA.clear();
    m_components.targetReconnect();
    // INTY goes once the first source column has been added, so the table is never left without
    // a column.
    m_pendingDrop = name;
}

void TablePhase::dropPlaceholderColumn() {
    const std::string drop = kAlterTable + tableInStatement(m_pendingDrop) + kDropInty;
    m_pendingDrop.clear();
    m_view.appendProcessLog(drop);
    campos2(drop);
}

void TablePhase::columnStep(data::TIBDataSet& origem) {
    ++m_rank;
    const std::string tableAsRead = origem.FieldByName("TABELA").AsString();
    const std::string nameAsRead = origem.FieldByName("NOME").AsString();
    const std::string T = data::trim(tableAsRead);
    const std::string N = data::trim(nameAsRead);
    // The names as the statements carry them (quoted when they need it).
    const std::string tableName = sqlIdentifier(T);
    const std::string columnName = sqlIdentifier(N);
    m_view.objectEvent(ObjectEvent::Walked, ObjectType::Column, T + "." + N);

    auto DESTINO = privateCursor(m_components.IBDatabase2());
    setStatement(*DESTINO, kColumnProbe);
    DESTINO->ParamByName("TABELA").setAsString(tableAsRead);
    DESTINO->ParamByName("CAMPO").setAsString(nameAsRead);
    DESTINO->Open();

    std::string nullConstraint;
    const std::string length = origem.FieldByName("TAMANHO").AsString();
    if (DESTINO->FieldByName("TAMANHO").AsString() != length)
        m_view.appendProcessLog(kSizeWarning + nameAsRead + kSizeWarningTable + tableAsRead);

    const bool columnMissing = DESTINO->Eof();
    if (columnMissing) {
        m_view.objectEvent(ObjectEvent::Missing, ObjectType::Column, T + "." + N);
        const std::string typeText = extract::columnTypeText({
            .typeName = origem.FieldByName("TIPO").AsString(),
            .length = length,
            .precision = origem.FieldByName("PRECISAO").AsString(),
            .scale = origem.FieldByName("CASAS_DECIMAIS").AsString(),
            .subType = origem.FieldByName("SUBTIPO").AsString(),
            .characterLength = origem.FieldByName("TAMANHO_CARACTERES").AsString(),
        });
        if (data::trim(origem.FieldByName("OBRIGATORIO").AsString()) == "1")
            nullConstraint = kNotNull;
        const std::string add = kAlterTable + tableName + kAdd + columnName + " " + typeText;
        m_view.appendProcessLog(add + "; ");
        campos2(add + " " + nullConstraint + "; ");
        if (!m_pendingDrop.empty())
            dropPlaceholderColumn();
        const std::string position =
            kAlterTable + tableName + kAlter + columnName + kPosition + std::to_string(m_rank) + ";";
        m_view.appendProcessLog(position);
        m_view.objectEvent(ObjectEvent::Written, ObjectType::Column, T + "." + N);
        campos2(position + " ");
        COMMIT = kFlagSet;
    }
    if (COMMIT == kFlagSet && m_view.criarauto())
        m_components.targetReconnect();
    if (columnMissing && m_view.criarauto())
        m_view.objectEvent(ObjectEvent::Created, ObjectType::Column, T + "." + N);
    DESTINO->Close();
    if (WTABELA == kFlagSet)
        indexStep(T);
}

void TablePhase::indexStep(const std::string& table) {
    WTABELA.clear();
    extract::TIBExtract& extractor = m_components.IBExtract1();
    extractor.ExtractObject(extract::eoIndexes, table, extract::TExtractTypes{});
    CRIATABELA = extractor.Items().Text();
    if (CRIATABELA.empty())
        return;
    m_view.appendProcessLog(CRIATABELA);
    // The text may hold an index and the statement that makes it inactive: each runs on its own.
    for (const std::string& statement : indexStatements(CRIATABELA))
        campos2(statement);
}

void TablePhase::campos2(const std::string& text) {
    data::TIBQuery& CAMPOS2 = m_components.CAMPOS2();
    CAMPOS2.SQL().SetText(text);
    if (m_view.criarauto())
        CAMPOS2.ExecSQL();
}

// The views go through the per-object driver, in the order of the relation list.
void viewPhase(SyncComponents& components, ProcessView& view, data::TIBDataSet& META) {
    view.appendProcessLog(kViewPhaseStart);
    META.First();
    walkObjects(components, view, kViewKind, META);
}

} // namespace

void runTableViewProcess(SyncComponents& components, ProcessView& view) {
    runGuards(components, view);
    components.beginRun();
    data::TIBDataSet& META = components.newSourceCursor();
    view.setDataSource1(&META);
    META.SelectSQL().Clear();
    META.SelectSQL().Add(kMetaLine1);
    META.SelectSQL().Add(kMetaLine2);
    META.Open();
    // DDL goes to the target as written: a colon in it is no parameter.
    components.CAMPOS2().ParamCheck = false;
    TablePhase(components, view).run(META);
    viewPhase(components, view, META);
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
