// 4-COMPARAR TABELAS/VIEWS against real source and target databases.
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "sync/processes.h"
#include "tests/support/catalogue.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/systemnames.h"
#include "tests/support/testserver.h"
#include "tests/sync/testhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::test {
namespace {

// Fixed lines of the process, spelled out independently of the code under test.
constexpr char kViewsStart[] = "Iniciando Comparação de Views";
constexpr char kViewFailed[] = "Não foi possivel criar à view ";
constexpr char kTableFailed[] = "Erro na tabela: ";

std::string sizeWarning(std::string_view column, std::string_view table) {
    return "TAMANHO DO CAMPO DIFERENTE " + padded(column) + " NA TABELA " + padded(table);
}

// Every disconnection of the target session, as the number of process-log entries written by then.
class ReconnectRecorder final : public data::DatabaseClient {
public:
    explicit ReconnectRecorder(TestHost& host) : m_host(host), m_database(&host.IBDatabase2()) {
        m_database->addClient(this);
    }
    ~ReconnectRecorder() {
        if (m_database)
            m_database->removeClient(this);
    }
    ReconnectRecorder(const ReconnectRecorder&) = delete;
    ReconnectRecorder& operator=(const ReconnectRecorder&) = delete;

    void databaseDisconnecting() override { at.push_back(m_host.processLog.size()); }
    void databaseDestroyed() override { m_database = nullptr; }

    std::vector<size_t> at;

private:
    TestHost& m_host;
    data::TIBDatabase* m_database;
};

// Every statement text given to CAMPOS2 (its SQL text right after the change).
class StatementRecorder {
public:
    explicit StatementRecorder(data::TIBQuery& query) : m_query(query), m_previous(query.SQL().OnChange) {
        m_query.SQL().OnChange = [this] {
            if (m_previous)
                m_previous();
            texts.push_back(m_query.SQL().Text());
        };
    }
    ~StatementRecorder() { m_query.SQL().OnChange = m_previous; }
    StatementRecorder(const StatementRecorder&) = delete;
    StatementRecorder& operator=(const StatementRecorder&) = delete;

    std::vector<std::string> texts;

private:
    data::TIBQuery& m_query;
    std::function<void()> m_previous;
};

// Source and target made from SQL text, both named fatura.fdb so that the same-name guard passes.
struct Databases {
    Databases(std::string_view sourceSql, std::string_view targetSql, const std::string& characterSet = {})
        : source("origem", "fatura.fdb", {.sql = std::string(sourceSql), .characterSet = characterSet}),
          target("destino", "fatura.fdb", {.sql = std::string(targetSql), .characterSet = characterSet}),
          host(source, target), reconnects(host), statements(host.CAMPOS2()) {}

    void run() { host.run(sync::runTableViewProcess); }
    // Process-log entries written from entry `from` on.
    std::vector<std::string> logFrom(size_t from) const {
        return {host.processLog.begin() + static_cast<std::ptrdiff_t>(from), host.processLog.end()};
    }

    ScratchDatabase source;
    ScratchDatabase target;
    TestHost host;
    ReconnectRecorder reconnects;
    StatementRecorder statements;
};

// One line per column in position order: name, type, sub-type, byte length, character length,
// precision, scale, character set, null flag, segment length.
std::vector<std::string> columnTypes(const ScratchDatabase& db, const std::string& table) {
    return db.queryRows(
        "select trim(rf.rdb$field_name) || ' ' || f.rdb$field_type || ' ' || coalesce(f.rdb$field_sub_type, "
        "0) || "
        "' ' || f.rdb$field_length || ' ' || coalesce(f.rdb$character_length, 0) || ' ' || "
        "coalesce(f.rdb$field_precision, 0) || ' ' || coalesce(f.rdb$field_scale, 0) || ' ' || "
        "coalesce(f.rdb$character_set_id, -1) || ' ' || coalesce(rf.rdb$null_flag, 0) || ' ' || "
        "coalesce(f.rdb$segment_length, 0) from rdb$relation_fields rf join rdb$fields f on f.rdb$field_name "
        "= "
        "rf.rdb$field_source where rf.rdb$relation_name = '" +
        table + "' order by rf.rdb$field_position");
}

// ---- Tables -------------------------------------------------------------------------------------

constexpr char kCliente[] = "CREATE TABLE CLIENTE (ID INTEGER NOT NULL, NOME VARCHAR(60));";

// The one statement that makes a missing table whole, as logged and executed: the name as the
// catalogue pads it (or quoted), then one line per column.
std::string createTable(const std::string& name, const std::vector<std::string>& columns) {
    std::string text = "CREATE TABLE " + name + " (";
    for (size_t i = 0; i < columns.size(); ++i)
        text += std::string(i == 0 ? "" : ",") + "\r\n  " + columns[i];
    return text + "\r\n);";
}

// What a missing CLIENTE (ID INTEGER NOT NULL, NOME VARCHAR(60)) gives in the process log: the
// last index text (none), the not-found lines of its columns, the statement.
std::vector<std::string> clienteLines() {
    return {
        "",
        sizeWarning("ID", "CLIENTE"),
        sizeWarning("NOME", "CLIENTE"),
        createTable(padded("CLIENTE"), {"ID INTEGER NOT NULL", "NOME VARCHAR(60)"}),
    };
}

TEST(TablePhase, MissingTableIsCreatedWithItsColumnsInOrder) {
    Databases r(kCliente, "");
    r.run();

    std::vector<std::string> expected = clienteLines();
    expected.push_back(kViewsStart);
    EXPECT_EQ(r.host.processLog, expected);
    EXPECT_TRUE(r.host.errorLog.empty());
    // The executed statement is the logged one: the table arrives whole, in one commit.
    EXPECT_EQ(r.statements.texts,
              (std::vector<std::string>{
                  createTable(padded("CLIENTE"), {"ID INTEGER NOT NULL", "NOME VARCHAR(60)"}) + "\r\n"}));
    EXPECT_EQ(r.reconnects.at.size(), 1u);
    EXPECT_EQ(r.target.queryValue("select rdb$format from rdb$relations where rdb$relation_name = 'CLIENTE'"),
              "1");

    EXPECT_EQ(columnNames(r.target, "CLIENTE"), (std::vector<std::string>{"ID", "NOME"}));
    EXPECT_EQ(columnTypes(r.target, "CLIENTE"), columnTypes(r.source, "CLIENTE"));

    EXPECT_EQ(r.host.progressMax, 1);
    EXPECT_EQ(r.host.progressPosition, 1);
    EXPECT_EQ(r.host.processEventsCalls, 1);
    EXPECT_EQ(r.host.dataSource2, &r.host.ORIGEM());
    ASSERT_NE(r.host.dataSource1, nullptr);
    EXPECT_NE(r.host.dataSource1, &r.host.ORIGEM());
    EXPECT_EQ(r.host.dataSource1->FieldByName("RDB$RELATION_NAME").AsString(), padded("CLIENTE"));
}

TEST(TablePhase, PresentTableGetsMissingColumnsAtTheSourcesRanks) {
    // LIXO1 and LIXO2 leave gaps in the source's stored positions.
    Databases r(R"(
CREATE TABLE PRODUTO (LIXO1 INTEGER, CODIGO INTEGER NOT NULL, DESCRICAO VARCHAR(40), LIXO2 INTEGER,
                      PRECO NUMERIC(9,2), ESTOQUE INTEGER, OBS VARCHAR(100));
ALTER TABLE PRODUTO DROP LIXO1;
ALTER TABLE PRODUTO DROP LIXO2;
)",
                "CREATE TABLE PRODUTO (DESCRICAO VARCHAR(40), ESTOQUE INTEGER, SO_DESTINO CHAR(3));");
    ASSERT_EQ(r.source.queryRows(
                  "select '' || rdb$field_position from rdb$relation_fields where rdb$relation_name = "
                  "'PRODUTO' order by 1"),
              (std::vector<std::string>{"1", "2", "4", "5", "6"}));
    const std::vector<std::string> soDestino = r.target.queryRows(
        "select rdb$field_source from rdb$relation_fields where rdb$field_name = 'SO_DESTINO'");
    const std::vector<std::string> targetTypes = columnTypes(r.target, "PRODUTO");

    r.run();

    EXPECT_EQ(r.host.processLog, (std::vector<std::string>{
                                     sizeWarning("CODIGO", "PRODUTO"),
                                     "ALTER TABLE PRODUTO ADD CODIGO INTEGER NOT NULL; ",
                                     "ALTER TABLE PRODUTO ALTER CODIGO POSITION 1;",
                                     sizeWarning("PRECO", "PRODUTO"),
                                     "ALTER TABLE PRODUTO ADD PRECO NUMERIC(9, 2); ",
                                     "ALTER TABLE PRODUTO ALTER PRECO POSITION 3;",
                                     sizeWarning("OBS", "PRODUTO"),
                                     "ALTER TABLE PRODUTO ADD OBS VARCHAR(100); ",
                                     "ALTER TABLE PRODUTO ALTER OBS POSITION 5;",
                                     kViewsStart,
                                 }));
    EXPECT_TRUE(r.host.errorLog.empty());
    // The table's columns go in one transaction: one commit, one new format version.
    EXPECT_EQ(r.reconnects.at.size(), 1u);
    EXPECT_EQ(r.target.queryValue("select rdb$format from rdb$relations where rdb$relation_name = 'PRODUTO'"),
              "2");

    EXPECT_EQ(columnNames(r.target, "PRODUTO"),
              (std::vector<std::string>{"CODIGO", "DESCRICAO", "PRECO", "ESTOQUE", "OBS", "SO_DESTINO"}));
    std::vector<std::string> shared = columnTypes(r.target, "PRODUTO");
    ASSERT_EQ(shared.size(), 6u);
    // The target-only column keeps its definition.
    EXPECT_EQ(shared.back(), targetTypes.back());
    EXPECT_EQ(r.target.queryRows("select rdb$field_source from rdb$relation_fields where rdb$field_name = "
                                 "'SO_DESTINO'"),
              soDestino);
    shared.pop_back();
    EXPECT_EQ(shared, columnTypes(r.source, "PRODUTO"));
}

TEST(TablePhase, ColumnWithAnotherLengthIsOnlyReported) {
    Databases r("CREATE TABLE FORNECEDOR (ID INTEGER, NOME VARCHAR(60));",
                "CREATE TABLE FORNECEDOR (ID INTEGER, NOME VARCHAR(40), SO_DESTINO DATE);");
    const std::vector<std::string> before = columnTypes(r.target, "FORNECEDOR");

    r.run();

    EXPECT_EQ(r.host.processLog, (std::vector<std::string>{sizeWarning("NOME", "FORNECEDOR"), kViewsStart}));
    EXPECT_TRUE(r.statements.texts.empty());
    EXPECT_TRUE(r.reconnects.at.empty());
    EXPECT_EQ(columnTypes(r.target, "FORNECEDOR"), before);
}

TEST(TablePhase, WithoutCriarautoWritesEverythingAndExecutesNothing) {
    Databases r(std::string(kCliente) + "CREATE TABLE PRODUTO (ID INTEGER, PRECO NUMERIC(9,2));",
                "CREATE TABLE PRODUTO (ID INTEGER);");
    r.host.criarautoValue = false;

    r.run();

    std::vector<std::string> expected = clienteLines();
    expected.insert(expected.end(), {
                                        sizeWarning("PRECO", "PRODUTO"),
                                        "ALTER TABLE PRODUTO ADD PRECO NUMERIC(9, 2); ",
                                        "ALTER TABLE PRODUTO ALTER PRECO POSITION 2;",
                                        kViewsStart,
                                    });
    EXPECT_EQ(r.host.processLog, expected);
    // Only the new table's statement is followed by a reconnect.
    EXPECT_EQ(r.reconnects.at.size(), 1u);
    EXPECT_EQ(relationCount(r.target, "CLIENTE"), "0");
    EXPECT_EQ(columnNames(r.target, "PRODUTO"), (std::vector<std::string>{"ID"}));
}

TEST(TablePhase, TableAndColumnWhoseNamesNeedQuotesAreCarriedQuoted) {
    Databases r(
        R"(CREATE TABLE "Cliente Novo" ("Id Cliente" INTEGER, NOME VARCHAR(10)); CREATE TABLE PRODUTO (ID INTEGER);)",
        "");

    r.run();

    EXPECT_TRUE(r.host.errorLog.empty());
    EXPECT_EQ(r.host.processLog.front(), "");
    EXPECT_EQ(r.host.processLog.at(3),
              createTable("\"Cliente Novo\"", {"\"Id Cliente\" INTEGER", "NOME VARCHAR(10)"}));
    EXPECT_EQ(relationCount(r.target, "Cliente Novo"), "1");
    EXPECT_EQ(columnNames(r.target, "Cliente Novo"), (std::vector<std::string>{"Id Cliente", "NOME"}));
    EXPECT_EQ(columnNames(r.target, "PRODUTO"), (std::vector<std::string>{"ID"}));
    EXPECT_EQ(r.host.progressMax, 2);
    EXPECT_EQ(r.host.progressPosition, 2);
    EXPECT_EQ(r.host.processEventsCalls, 2);
}

TEST(TablePhase, IndexNamedLikeANewTableIsMadeRightAfterTheTable) {
    Databases r(R"(
CREATE TABLE PEDIDO (ID INTEGER NOT NULL, DATA DATE);
CREATE INDEX PEDIDO ON PEDIDO (ID);
ALTER INDEX PEDIDO INACTIVE;
CREATE TABLE ZITEM (ID INTEGER);
)",
                "");
    const std::string index = "\r\n/*  Index definitions for PEDIDO */\r\nCREATE INDEX \"PEDIDO\" ON "
                              "\"PEDIDO\"(\"ID\");\r\nALTER INDEX \"PEDIDO\" INACTIVE;\r\n";

    r.run();

    EXPECT_EQ(r.host.processLog, (std::vector<std::string>{
                                     "",
                                     sizeWarning("ID", "PEDIDO"),
                                     sizeWarning("DATA", "PEDIDO"),
                                     createTable(padded("PEDIDO"), {"ID INTEGER NOT NULL", "DATA DATE"}),
                                     index,
                                     index,
                                     sizeWarning("ID", "ZITEM"),
                                     createTable(padded("ZITEM"), {"ID INTEGER"}),
                                     kViewsStart,
                                 }));
    EXPECT_TRUE(r.host.errorLog.empty());
    // The index text runs as its two statements, in order, right after the table's.
    const std::vector<std::string>& s = r.statements.texts;
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(
        s[1],
        "\r\n/*  Index definitions for PEDIDO */\r\nCREATE INDEX \"PEDIDO\" ON \"PEDIDO\"(\"ID\");\r\n");
    EXPECT_EQ(s[2], "ALTER INDEX \"PEDIDO\" INACTIVE;\r\n");
    EXPECT_EQ(
        r.target.queryRows("select trim(i.rdb$relation_name) || ' ' || trim(s.rdb$field_name) || ' ' || "
                           "coalesce(i.rdb$index_inactive, 0) from rdb$indices i join rdb$index_segments s "
                           "on s.rdb$index_name = i.rdb$index_name where i.rdb$index_name = 'PEDIDO'"),
        (std::vector<std::string>{"PEDIDO ID 1"}));
    EXPECT_EQ(columnNames(r.target, "PEDIDO"), (std::vector<std::string>{"ID", "DATA"}));
    EXPECT_EQ(columnNames(r.target, "ZITEM"), (std::vector<std::string>{"ID"}));
}

TEST(TablePhase, SourceWithoutRelationsWritesOnlyTheViewPhaseLine) {
    Databases r("", "CREATE TABLE SO_DESTINO (ID INTEGER);");

    r.run();

    EXPECT_EQ(r.host.processLog, (std::vector<std::string>{kViewsStart}));
    EXPECT_EQ(r.host.progressMax, 0);
    EXPECT_EQ(r.host.processEventsCalls, 0);
    EXPECT_TRUE(r.reconnects.at.empty());
}

TEST(TablePhase, DifferentFileNamesEndTheRunSilently) {
    Databases r(kCliente, "");
    r.host.xbanco2Value = "outra.fdb";

    EXPECT_THROW(r.run(), data::EAbort);

    EXPECT_EQ(r.host.messages,
              (std::vector<std::string>{"Atenção \r É impossivel fazer uma comparação com bancos "
                                        "diferentes, por favor verifique as conexões!"}));
    EXPECT_TRUE(r.host.processLog.empty());
    EXPECT_EQ(r.host.dataSource1, nullptr);
    EXPECT_EQ(relationCount(r.target, "CLIENTE"), "0");
}

// ---- Column types -------------------------------------------------------------------------------

struct TypeRow {
    const char* column;
    const char* declaration;
    const char* typeText; // as the ADD line writes it
};

constexpr TypeRow kTypeRows[] = {
    {"C_SMALLINT", "SMALLINT", "SMALLINT"},
    {"C_INTEGER", "INTEGER NOT NULL", "INTEGER NOT NULL"},
    {"C_BIGINT", "BIGINT", "BIGINT"},
    {"C_NUMERIC41", "NUMERIC(4,1)", "NUMERIC(4, 1)"},
    {"C_NUMERIC92", "NUMERIC(9,2)", "NUMERIC(9, 2)"},
    {"C_NUMERIC184", "NUMERIC(18,4)", "NUMERIC(18, 4)"},
    {"C_DECIMAL103", "DECIMAL(10,3)", "DECIMAL(10, 3)"},
    {"C_DOUBLE", "DOUBLE PRECISION", "DOUBLE PRECISION"},
    {"C_FLOAT", "FLOAT", "FLOAT"},
    {"C_DATE", "DATE", "DATE"},
    {"C_TIME", "TIME", "TIME"},
    {"C_TIMESTAMP", "TIMESTAMP", "TIMESTAMP"},
    {"C_CHAR1", "CHAR(1)", "CHAR(1)"},
    {"C_VARCHAR60", "VARCHAR(60)", "VARCHAR(60)"},
    {"C_TEXTO", "BLOB SUB_TYPE TEXT", "BLOB SUB_TYPE TEXT"},
    {"C_BINARIO", "BLOB SUB_TYPE BINARY", "BLOB"},
};

// The text columns take the databases' default character set: single-byte and multi-byte.
class ColumnTypes : public ::testing::TestWithParam<const char*> {};

TEST_P(ColumnTypes, AddedColumnsGetTheSourcesTypes) {
    std::string create = "CREATE TABLE TIPOS (";
    for (const TypeRow& row : kTypeRows)
        create +=
            std::string(row.column) + " " + row.declaration + (&row == std::end(kTypeRows) - 1 ? ");" : ", ");
    Databases r(create, "", GetParam());

    r.run();

    std::vector<std::string> expected = {""};
    std::vector<std::string> columns;
    for (const TypeRow& row : kTypeRows) {
        expected.push_back(sizeWarning(row.column, "TIPOS"));
        columns.push_back(std::string(row.column) + " " + row.typeText);
    }
    expected.push_back(createTable(padded("TIPOS"), columns));
    expected.push_back(kViewsStart);
    EXPECT_EQ(r.host.processLog, expected);
    EXPECT_TRUE(r.host.errorLog.empty());

    const std::vector<std::string> sourceTypes = columnTypes(r.source, "TIPOS");
    ASSERT_EQ(sourceTypes.size(), std::size(kTypeRows));
    EXPECT_EQ(columnTypes(r.target, "TIPOS"), sourceTypes);

    // A second run finds nothing missing and nothing of another length.
    const size_t firstRun = r.host.processLog.size();
    r.run();
    EXPECT_EQ(r.logFrom(firstRun), (std::vector<std::string>{kViewsStart}));
}

INSTANTIATE_TEST_SUITE_P(CharacterSets, ColumnTypes, ::testing::Values("WIN1252", "UTF8"));

// ---- Column declarations ------------------------------------------------------------------------

std::string fileText(const std::string& name) {
    std::ifstream in(sqlScript(name));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One line per column in position order with everything its declaration leaves in the catalogue:
// name, position, user domain, type, sub-type, byte and character length, precision, scale,
// character set, collation, NOT NULL, default, computed expression, dimensions, identity and the
// start of its generator, segment length; then one line per array bound.
std::vector<std::string> columnDeclarations(const ScratchDatabase& db, const std::string& table) {
    std::vector<std::string> rows = db.queryRows(
        "select trim(rf.rdb$field_name) || '|' || rf.rdb$field_position || '|' || iif(f.rdb$field_name "
        "starting with 'RDB$', '', trim(f.rdb$field_name)) || '|' || f.rdb$field_type || '|' || "
        "coalesce(f.rdb$field_sub_type, 0) || '|' || f.rdb$field_length || '|' || "
        "coalesce(f.rdb$character_length, 0) || '|' || coalesce(f.rdb$field_precision, 0) || '|' || "
        "coalesce(f.rdb$field_scale, 0) || '|' || coalesce(trim(cs.rdb$character_set_name), '') || '|' || "
        "coalesce(trim(co.rdb$collation_name), '') || '|' || coalesce(rf.rdb$null_flag, 0) || '|' || "
        "coalesce(cast(rf.rdb$default_source as varchar(200)), '') || '|' || "
        "coalesce(cast(f.rdb$computed_source as varchar(200)), '') || '|' || coalesce(f.rdb$dimensions, 0) "
        "|| "
        "'|' || coalesce(rf.rdb$identity_type, -1) || '|' || coalesce(g.rdb$initial_value, '') || '|' || "
        "coalesce(f.rdb$segment_length, 0) from rdb$relation_fields rf join rdb$fields f on f.rdb$field_name "
        "= rf.rdb$field_source left join rdb$character_sets cs on cs.rdb$character_set_id = "
        "f.rdb$character_set_id left join rdb$collations co on co.rdb$character_set_id = "
        "f.rdb$character_set_id and co.rdb$collation_id = coalesce(rf.rdb$collation_id, f.rdb$collation_id) "
        "left join rdb$generators g on g.rdb$generator_name = rf.rdb$generator_name where "
        "rf.rdb$relation_name = '" +
        table + "' order by rf.rdb$field_position");
    const std::vector<std::string> bounds = db.queryRows(
        "select trim(rf.rdb$field_name) || ' ' || d.rdb$dimension || ' ' || d.rdb$lower_bound || ':' || "
        "d.rdb$upper_bound from rdb$relation_fields rf join rdb$field_dimensions d on d.rdb$field_name = "
        "rf.rdb$field_source where rf.rdb$relation_name = '" +
        table + "' order by 1");
    rows.insert(rows.end(), bounds.begin(), bounds.end());
    return rows;
}

struct DeclarationRow {
    const char* column;
    int rank;
    const char* onWin1252; // the definition the ADD line writes on a WIN1252 target
    const char* onUtf8;    // and on a UTF8 target
};

// COLUNAS of columns_source.sql: stored columns in their order, then the computed ones.
constexpr DeclarationRow kDeclarationRows[] = {
    {"C_DOMINIO", 1, "DM_CODIGO", "DM_CODIGO"},
    {"C_DOMINIO_PROPRIO", 2, "DM_NOME DEFAULT 'proprio' NOT NULL COLLATE UNICODE_CI",
     "DM_NOME DEFAULT 'proprio' NOT NULL COLLATE UNICODE_CI"},
    {"C_LOGICO", 3, "DM_LOGICO", "DM_LOGICO"},
    {"C_MATRIZ_DOMINIO", 4, "DM_MATRIZ", "DM_MATRIZ"},
    {"C_UTF8", 5, "VARCHAR(10) CHARACTER SET UTF8", "VARCHAR(10)"},
    {"C_ASCII", 6, "CHAR(5) CHARACTER SET ASCII", "CHAR(5) CHARACTER SET ASCII"},
    {"C_OCTETS", 7, "CHAR(8) CHARACTER SET OCTETS", "CHAR(8) CHARACTER SET OCTETS"},
    {"C_WIN1252", 8, "VARCHAR(10)", "VARCHAR(10) CHARACTER SET WIN1252"},
    {"C_COLACAO", 9, "VARCHAR(10) COLLATE WIN_PTBR", "VARCHAR(10) CHARACTER SET WIN1252 COLLATE WIN_PTBR"},
    {"C_UTF8_COLACAO", 10, "VARCHAR(10) CHARACTER SET UTF8 COLLATE UNICODE_CI_AI",
     "VARCHAR(10) COLLATE UNICODE_CI_AI"},
    {"C_LITERAL", 11, "VARCHAR(10) DEFAULT 'abc' NOT NULL",
     "VARCHAR(10) CHARACTER SET WIN1252 DEFAULT 'abc' NOT NULL"},
    {"C_NULO", 12, "INTEGER DEFAULT NULL", "INTEGER DEFAULT NULL"},
    {"C_AGORA", 13, "TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL",
     "TIMESTAMP DEFAULT CURRENT_TIMESTAMP NOT NULL"},
    {"C_NUMERO", 14, "NUMERIC(9, 2) DEFAULT 0", "NUMERIC(9, 2) DEFAULT 0"},
    {"C_BOOLEANO", 15, "BOOLEAN DEFAULT FALSE", "BOOLEAN DEFAULT FALSE"},
    {"C_IDENTIDADE", 17, "INTEGER GENERATED BY DEFAULT AS IDENTITY NOT NULL",
     "INTEGER GENERATED BY DEFAULT AS IDENTITY NOT NULL"},
    {"C_IDENTIDADE_100", 18, "BIGINT GENERATED BY DEFAULT AS IDENTITY (START WITH 100) NOT NULL",
     "BIGINT GENERATED BY DEFAULT AS IDENTITY (START WITH 100) NOT NULL"},
    {"C_MATRIZ", 19, "INTEGER [1:3, 0:4]", "INTEGER [1:3, 0:4]"},
    {"C_MATRIZ_TEXTO", 20, "VARCHAR(5) [1:2] CHARACTER SET UTF8", "VARCHAR(5) [1:2]"},
    {"C_TEXTO", 22, "BLOB SUB_TYPE TEXT CHARACTER SET UTF8", "BLOB SUB_TYPE TEXT"},
    {"C_FIM", 23, "INTEGER", "INTEGER"},
    {"C_CALCULADO", 16, "VARCHAR(21) COMPUTED BY (C_LITERAL || '-' || C_WIN1252)",
     "VARCHAR(21) CHARACTER SET WIN1252 COMPUTED BY (C_LITERAL || '-' || C_WIN1252)"},
    {"C_CALCULO_NUMERO", 21, "NUMERIC(18, 2) COMPUTED BY (C_NUMERO * 2)",
     "NUMERIC(18, 2) COMPUTED BY (C_NUMERO * 2)"},
};

// The source is WIN1252; the target's default set decides which columns name their set.
class ColumnDeclarations : public ::testing::TestWithParam<const char*> {};

TEST_P(ColumnDeclarations, AddedColumnsAreDeclaredAsOnTheSource) {
    const std::string targetSet = GetParam();
    const bool utf8 = targetSet == "UTF8";
    ScratchDatabase source("origem", "fatura.fdb",
                           {.script = sqlScript("columns_domains.sql"),
                            .sql = fileText("columns_source.sql") + "INSERT INTO PRESENTE (P_ID) VALUES (1);",
                            .characterSet = "WIN1252"});
    ScratchDatabase target(
        "destino", "fatura.fdb",
        {.script = sqlScript("columns_domains.sql"),
         .sql = "CREATE TABLE PRESENTE (P_ID INTEGER, P_UTF8 VARCHAR(10), P_MAIOR VARCHAR(10));"
                "INSERT INTO PRESENTE (P_ID) VALUES (1);",
         .characterSet = targetSet});
    TestHost host(source, target);
    StatementRecorder statements(host.CAMPOS2());

    host.run(sync::runTableViewProcess);

    EXPECT_TRUE(host.errorLog.empty()) << host.errorLog.front();
    // The new table in one statement, its computed columns after the stored ones, then each moved
    // to its rank.
    std::vector<std::string> expected = {""};
    std::vector<std::string> columns;
    std::vector<std::string> moves;
    for (const DeclarationRow& row : kDeclarationRows) {
        expected.push_back(sizeWarning(row.column, "COLUNAS"));
        columns.push_back(std::string(row.column) + " " + (utf8 ? row.onUtf8 : row.onWin1252));
        if (std::string(row.onWin1252).find("COMPUTED BY") != std::string::npos)
            moves.push_back(std::string("ALTER TABLE COLUNAS ALTER ") + row.column + " POSITION " +
                            std::to_string(row.rank) + ";");
    }
    const std::string create = createTable(padded("COLUNAS"), columns);
    expected.push_back(create);
    ASSERT_EQ(moves.size(), 2u);
    expected.insert(expected.end(), moves.begin(), moves.end());
    // A present column declared alike in another set is not reported; a longer one is.
    expected.push_back(sizeWarning("P_MAIOR", "PRESENTE"));
    expected.push_back(sizeWarning("P_NOVO", "PRESENTE"));
    expected.push_back(std::string("ALTER TABLE PRESENTE ADD P_NOVO VARCHAR(10)") +
                       (utf8 ? "" : " CHARACTER SET UTF8") + " DEFAULT 'novo'; ");
    expected.push_back("ALTER TABLE PRESENTE ALTER P_NOVO POSITION 4;");
    expected.push_back(sizeWarning("P_DOBRO", "PRESENTE"));
    expected.push_back("ALTER TABLE PRESENTE ADD P_DOBRO BIGINT COMPUTED BY (P_ID * 2); ");
    expected.push_back("ALTER TABLE PRESENTE ALTER P_DOBRO POSITION 5;");
    expected.push_back(kViewsStart);
    ASSERT_EQ(host.processLog.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(host.processLog[i], expected[i]) << "entry " << i;
    // The statement executed is its logged text.
    EXPECT_NE(std::find(statements.texts.begin(), statements.texts.end(), create + "\r\n"),
              statements.texts.end())
        << create;

    EXPECT_EQ(columnDeclarations(target, "COLUNAS"), columnDeclarations(source, "COLUNAS"));
    std::vector<std::string> present = columnDeclarations(target, "PRESENTE");
    const std::vector<std::string> sourcePresent = columnDeclarations(source, "PRESENTE");
    ASSERT_EQ(present.size(), 5u);
    EXPECT_EQ(present[3], sourcePresent[3]);
    EXPECT_EQ(present[4], sourcePresent[4]);
    // The identity columns got generators of their own on the target; the computed column reads
    // the existing row, the default is there for new rows.
    EXPECT_EQ(target.queryValue("select count(*) from rdb$generators where rdb$system_flag = 6"), "2");
    target.runSql("INSERT INTO PRESENTE (P_ID) VALUES (5);");
    EXPECT_EQ(
        target.queryRows("select p_id || ' ' || coalesce(p_novo, 'nulo') || ' ' || p_dobro from presente "
                         "order by p_id"),
        (std::vector<std::string>{"1 nulo 2", "5 novo 10"}));

    // A second run finds nothing missing and reports only the column that is really longer.
    const size_t firstRun = host.processLog.size();
    host.run(sync::runTableViewProcess);
    EXPECT_EQ(std::vector<std::string>(host.processLog.begin() + static_cast<std::ptrdiff_t>(firstRun),
                                       host.processLog.end()),
              (std::vector<std::string>{sizeWarning("P_MAIOR", "PRESENTE"), kViewsStart}));
}

INSTANTIATE_TEST_SUITE_P(TargetSets, ColumnDeclarations, ::testing::Values("WIN1252", "UTF8"));

// A column that the server refuses does not hold back the table's next columns: a NOT NULL column
// without a default on a table with rows (refused at the commit) and an identity column there
// (the same) are each reported for the table, and the columns after them are still added.
TEST(TablePhase, RefusedColumnIsReportedAndTheNextColumnsStillCome) {
    Databases r(R"(
CREATE TABLE CLIENTE (ID INTEGER, OBRIGATORIO INTEGER NOT NULL, DEPOIS VARCHAR(5),
                      CONTADOR INTEGER GENERATED BY DEFAULT AS IDENTITY, COM_PADRAO INTEGER DEFAULT 7 NOT NULL);
CREATE TABLE ZPRODUTO (ID INTEGER);
)",
                "CREATE TABLE CLIENTE (ID INTEGER); INSERT INTO CLIENTE VALUES (1);");

    r.run();

    EXPECT_EQ(r.host.errorLog,
              (std::vector<std::string>{
                  kTableFailed + padded("CLIENTE"),
                  "    SQLCODE -607: unsuccessful metadata update - Cannot make field OBRIGATORIO of table "
                  "CLIENTE NOT NULL because there are NULLs present",
                  kTableFailed + padded("CLIENTE"),
                  "    SQLCODE -607: unsuccessful metadata update - Cannot make field CONTADOR of table "
                  "CLIENTE NOT NULL because there are NULLs present",
              }));
    // The table's columns go in one transaction; its commit is refused, and they go again one by
    // one, each committed.
    const std::vector<std::string> columnLines{
        sizeWarning("OBRIGATORIO", "CLIENTE"),
        "ALTER TABLE CLIENTE ADD OBRIGATORIO INTEGER NOT NULL; ",
        "ALTER TABLE CLIENTE ALTER OBRIGATORIO POSITION 2;",
        sizeWarning("DEPOIS", "CLIENTE"),
        "ALTER TABLE CLIENTE ADD DEPOIS VARCHAR(5); ",
        "ALTER TABLE CLIENTE ALTER DEPOIS POSITION 3;",
        sizeWarning("CONTADOR", "CLIENTE"),
        "ALTER TABLE CLIENTE ADD CONTADOR INTEGER GENERATED BY DEFAULT AS IDENTITY NOT NULL; ",
        "ALTER TABLE CLIENTE ALTER CONTADOR POSITION 4;",
        sizeWarning("COM_PADRAO", "CLIENTE"),
        "ALTER TABLE CLIENTE ADD COM_PADRAO INTEGER DEFAULT 7 NOT NULL; ",
        "ALTER TABLE CLIENTE ALTER COM_PADRAO POSITION 5;",
    };
    std::vector<std::string> expected = columnLines;
    expected.insert(expected.end(), columnLines.begin(), columnLines.end());
    expected.insert(expected.end(), {"", sizeWarning("ID", "ZPRODUTO"),
                                     createTable(padded("ZPRODUTO"), {"ID INTEGER"}), kViewsStart});
    EXPECT_EQ(r.host.processLog, expected);
    EXPECT_EQ(columnNames(r.target, "CLIENTE"), (std::vector<std::string>{"ID", "DEPOIS", "COM_PADRAO"}));
    EXPECT_EQ(r.target.queryValue("select id || ' ' || com_padrao from cliente"), "1 7");
    EXPECT_EQ(columnNames(r.target, "ZPRODUTO"), (std::vector<std::string>{"ID"}));
    EXPECT_TRUE(r.host.IBDatabase2().Connected());
    EXPECT_EQ(r.host.processEventsCalls, 2);
}

// ---- Whole tables, wide tables, the format-version limit ---------------------------------------

std::string formatOf(const ScratchDatabase& db, const std::string& table) {
    return db.queryValue("select rdb$format from rdb$relations where rdb$relation_name = '" + table + "'");
}

std::string columnsOf(const std::string& prefix, int from, int to) {
    std::string text;
    for (int c = from; c <= to; ++c)
        text += std::string(c == from ? "" : ", ") + prefix + std::to_string(c) + " INTEGER";
    return text;
}

// A table of 1000 columns arrives whole at its first format version; 990 columns more on a table
// that has 10 arrive in one transaction, one format version more.
TEST(TablePhase, WideTablesArriveWithinTheFormatVersionLimit) {
    Databases r("CREATE TABLE LARGA (" + columnsOf("C", 1, 1000) + ");\nCREATE TABLE CRESCE (" +
                    columnsOf("C", 1, 1000) + ");",
                "CREATE TABLE CRESCE (" + columnsOf("C", 1, 10) + ");");

    r.run();

    EXPECT_TRUE(r.host.errorLog.empty()) << r.host.errorLog.front();
    EXPECT_EQ(
        r.target.queryValue("select count(*) from rdb$relation_fields where rdb$relation_name = 'LARGA'"),
        "1000");
    EXPECT_EQ(
        r.target.queryValue("select count(*) from rdb$relation_fields where rdb$relation_name = 'CRESCE'"),
        "1000");
    EXPECT_EQ(formatOf(r.target, "LARGA"), "1");
    EXPECT_EQ(formatOf(r.target, "CRESCE"), "2");
    EXPECT_EQ(columnNames(r.target, "LARGA"), columnNames(r.source, "LARGA"));
    EXPECT_EQ(columnNames(r.target, "CRESCE"), columnNames(r.source, "CRESCE"));
    // A second run finds nothing missing.
    const size_t firstRun = r.host.processLog.size();
    r.run();
    EXPECT_EQ(r.logFrom(firstRun), (std::vector<std::string>{kViewsStart}));
}

// A table that an earlier version left with only its placeholder column gets the source's columns
// and loses the placeholder in the same commit.
TEST(TablePhase, TableLeftWithOnlyThePlaceholderColumnIsRepaired) {
    Databases r(kCliente, "CREATE TABLE CLIENTE (INTY INT);");

    r.run();

    EXPECT_TRUE(r.host.errorLog.empty()) << r.host.errorLog.front();
    EXPECT_EQ(r.host.processLog, (std::vector<std::string>{
                                     sizeWarning("ID", "CLIENTE"),
                                     "ALTER TABLE CLIENTE ADD ID INTEGER NOT NULL; ",
                                     "ALTER TABLE " + padded("CLIENTE") + " DROP INTY ",
                                     "ALTER TABLE CLIENTE ALTER ID POSITION 1;",
                                     sizeWarning("NOME", "CLIENTE"),
                                     "ALTER TABLE CLIENTE ADD NOME VARCHAR(60); ",
                                     "ALTER TABLE CLIENTE ALTER NOME POSITION 2;",
                                     kViewsStart,
                                 }));
    EXPECT_EQ(columnNames(r.target, "CLIENTE"), (std::vector<std::string>{"ID", "NOME"}));
    EXPECT_EQ(columnTypes(r.target, "CLIENTE"), columnTypes(r.source, "CLIENTE"));
    EXPECT_EQ(r.reconnects.at.size(), 1u);

    // A placeholder beside other columns of the target is the target's own column: left alone.
    Databases other(kCliente, "CREATE TABLE CLIENTE (INTY INT, OUTRA INT);");
    other.run();
    EXPECT_EQ(columnNames(other.target, "CLIENTE"),
              (std::vector<std::string>{"ID", "NOME", "INTY", "OUTRA"}));
}

// A table whose format versions the server has used up: its failure line says so, and the run goes on.
TEST(TablePhase, ReachingTheFormatVersionLimitIsSaid) {
    std::string versions = "CREATE TABLE CHEIA (A INTEGER);\nCREATE TABLE DEPOIS (A INTEGER);\n";
    for (int v = 1; v <= 254; ++v)
        versions += "ALTER TABLE CHEIA ADD X" + std::to_string(v) + " INTEGER;\n";
    Databases r(
        "CREATE TABLE CHEIA (A INTEGER, NOVA INTEGER);\nCREATE TABLE DEPOIS (A INTEGER, NOVA INTEGER);",
        versions);
    ASSERT_EQ(formatOf(r.target, "CHEIA"), "255");

    r.run();

    ASSERT_EQ(r.host.errorLog.size(), 3u) << ::testing::PrintToString(r.host.errorLog);
    EXPECT_EQ(r.host.errorLog[0], kTableFailed + padded("CHEIA"));
    EXPECT_NE(r.host.errorLog[1].find("too many versions"), std::string::npos) << r.host.errorLog[1];
    EXPECT_EQ(r.host.errorLog[2],
              "    A tabela chegou ao limite de 255 versões de formato do Firebird; um backup e "
              "restore do banco de destino (gbak) volta a contar do início.");
    EXPECT_EQ(columnNames(r.target, "DEPOIS"), (std::vector<std::string>{"A", "NOVA"}));
}

// ---- Views --------------------------------------------------------------------------------------

constexpr char kOtherOwner[] = "VISTREL_VENDEDOR";
constexpr char kOtherPassword[] = "vend123";

// Creates a view on db as another user than SYSDBA.
void createViewAsOtherOwner(const ScratchDatabase& db, const std::string& ddl) {
    db.runSql(std::string("CREATE OR ALTER USER ") + kOtherOwner + " PASSWORD '" + kOtherPassword +
              "'; GRANT RDB$ADMIN TO " + kOtherOwner + ";");
    TestServer::instance().isqlChecked("", "CONNECT '" + db.connectionString() + "' USER '" + kOtherOwner +
                                               "' PASSWORD '" + kOtherPassword + "' ROLE 'RDB$ADMIN';\n" +
                                               ddl + "\nCOMMIT;\n");
}

// A stop asked for during the view phase ends the run before its next view: what was sent stays.
TEST(ViewPhase, StopEndsTheWalkBeforeItsNextView) {
    Databases r("CREATE TABLE T (ID INTEGER);\n"
                "CREATE VIEW V_UM (ID) AS SELECT ID FROM T;\n"
                "CREATE VIEW V_DOIS (ID) AS SELECT ID FROM T;\n",
                "CREATE TABLE T (ID INTEGER);");
    // The opening line of the view phase and the first view's text.
    r.host.stopAfterLogEntries = 2;
    EXPECT_THROW(r.run(), data::EAbort); // the silent end of a stopped run
    ASSERT_EQ(r.host.processLog.size(), 2u);
    EXPECT_EQ(r.host.processLog[0], kViewsStart);
    EXPECT_EQ(relationCount(r.target, "V_UM") == "1", r.host.processLog[1].find("V_UM") != std::string::npos);
    EXPECT_EQ(std::stoi(relationCount(r.target, "V_UM")) + std::stoi(relationCount(r.target, "V_DOIS")), 1);
}

TEST(ViewPhase, EveryViewIsSentAsCreateOrAlter) {
    Databases r(R"(
CREATE TABLE CLIENTE (ID INTEGER, NOME VARCHAR(60));
CREATE VIEW V_CLIENTES (ID, NOME) AS select id, nome from cliente;
CREATE VIEW V_DOISPONTOS (ID, TXT) AS select id, 'a:b' from cliente -- nota: :x
;
)",
                R"(
CREATE TABLE CLIENTE (ID INTEGER, NOME VARCHAR(60));
INSERT INTO CLIENTE VALUES (1, 'ANA');
CREATE VIEW V_CLIENTES (ID) AS select id from cliente;
)");
    createViewAsOtherOwner(r.source, "CREATE VIEW V_VENDEDOR (ID) AS select id from cliente;");

    r.run();

    ASSERT_EQ(r.host.processLog.size(), 4u);
    EXPECT_EQ(r.host.processLog[0], kViewsStart);
    // Owned by SYSDBA: the header comment is gone, its empty lines stay.
    EXPECT_EQ(r.host.processLog[1],
              "\r\n\r\n\r\nCREATE OR ALTER VIEW \"V_CLIENTES\" (\r\n  \"ID\", \r\n  \"NOME\"\r\n) "
              "\r\nAS\r\nselect id, nome from cliente\r\n;\r\n");
    EXPECT_EQ(r.host.processLog[2],
              "\r\n\r\n\r\nCREATE OR ALTER VIEW \"V_DOISPONTOS\" (\r\n  \"ID\", \r\n  \"TXT\"\r\n) "
              "\r\nAS\r\nselect id, 'a:b' from cliente -- nota: :x\r\n;\r\n");
    // Another owner: the header stays.
    EXPECT_EQ(r.host.processLog[3],
              "\r\n/* View: V_VENDEDOR, Owner: VISTREL_VENDEDOR */\r\n\r\nCREATE OR ALTER VIEW "
              "\"V_VENDEDOR\" (\r\n  \"ID\"\r\n) \r\nAS\r\nselect id from cliente\r\n;\r\n");
    EXPECT_TRUE(r.host.errorLog.empty());
    EXPECT_EQ(r.reconnects.at, (std::vector<size_t>{2, 3, 4}));
    // Views count as relations; the table phase writes nothing for them.
    EXPECT_EQ(r.host.progressMax, 4);
    EXPECT_EQ(r.host.processEventsCalls, 4);

    EXPECT_EQ(columnNames(r.target, "V_CLIENTES"), (std::vector<std::string>{"ID", "NOME"}));
    // The literal was sent in the connection's UTF8, so the view column is UTF8 text: read as bytes
    // (isql without a connection character set cannot convert it).
    EXPECT_EQ(r.target.queryValue("select cast(txt as varchar(3) character set octets) from v_doispontos"),
              "613A62");
    EXPECT_EQ(columnNames(r.target, "V_VENDEDOR"), (std::vector<std::string>{"ID"}));
}

TEST(ViewPhase, ViewOverAViewThatSortsLaterArrivesInOneRun) {
    Databases r(R"(
CREATE TABLE CLIENTE (ID INTEGER);
CREATE VIEW V_Z (ID) AS select id from cliente;
CREATE VIEW V_A (ID) AS select id from v_z;
)",
                "CREATE TABLE CLIENTE (ID INTEGER);");
    const std::string va =
        "\r\n\r\n\r\nCREATE OR ALTER VIEW \"V_A\" (\r\n  \"ID\"\r\n) \r\nAS\r\nselect id from v_z\r\n;\r\n";
    const std::string vz = "\r\n\r\n\r\nCREATE OR ALTER VIEW \"V_Z\" (\r\n  \"ID\"\r\n) \r\nAS\r\nselect id "
                           "from cliente\r\n;\r\n";

    r.run();

    // V_Z goes ahead of V_A, which selects from it: one run creates both.
    EXPECT_EQ(r.host.processLog, (std::vector<std::string>{kViewsStart, vz, va}));
    EXPECT_EQ(r.reconnects.at, (std::vector<size_t>{2, 3}));
    EXPECT_EQ(relationCount(r.target, "V_A"), "1");
    EXPECT_EQ(relationCount(r.target, "V_Z"), "1");
    EXPECT_TRUE(r.host.errorLog.empty());
}

} // namespace
} // namespace vistrel::test
