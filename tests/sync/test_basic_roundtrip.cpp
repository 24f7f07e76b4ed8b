// The generator, exception, domain, trigger and index processes together: the same-name guard of
// each, and a whole schema brought over to an empty target.
#include "data/errors.h"
#include "extract/ibextract.h"
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::test {
namespace {

struct Process {
    const char* label;
    sync::ProcessEntry run;
    const char* completion;
};

const Process kProcesses[] = {
    {"generators", &sync::runGeneratorProcess, kConcluido},
    {"exceptions", &sync::runExceptionProcess, kConcluido},
    {"domains", &sync::runDomainProcess, kConcluido},
    {"triggers", &sync::runTriggerProcess, kFinalizado},
    {"indexes", &sync::runIndexProcess, kFinalizado},
};

constexpr char kGuardMessage[] =
    "Atenção \r É impossivel fazer uma comparação com bancos diferentes, por favor verifique as conexões!";

constexpr char kOneOfEach[] = R"(
CREATE GENERATOR G_UM;
CREATE EXCEPTION E_UM 'um';
CREATE DOMAIN DM_UM AS INTEGER;
CREATE TABLE T_UM (ID INTEGER);
CREATE INDEX IDX_UM ON T_UM (ID);
SET TERM ^ ;
CREATE TRIGGER TRG_UM FOR T_UM ACTIVE BEFORE INSERT POSITION 0 AS BEGIN END^
SET TERM ; ^
)";

class SameNameGuard : public ::testing::TestWithParam<Process> {};

// Different file names (letter case counts): the warning, a silent abort, nothing written,
// nothing executed, the grid left alone.
TEST_P(SameNameGuard, DifferentFileNamesStopTheRunSilently) {
    DatabasePair db(kOneOfEach, "CREATE TABLE T_UM (ID INTEGER);");
    TestHost& host = db.host();
    host.xbancoValue = "fatura.fdb";
    host.xbanco2Value = "FATURA.FDB";
    const int detaches = db.targetDetaches();
    EXPECT_THROW(host.run(GetParam().run), data::EAbort);
    EXPECT_EQ(host.messages, std::vector<std::string>{kGuardMessage});
    EXPECT_TRUE(host.processLog.empty());
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.dataSource1, nullptr);
    EXPECT_EQ(host.processEventsCalls, 0);
    EXPECT_EQ(db.targetDetaches(), detaches);
}

// Blanks around one of the names do not count: the run goes on to its completion message.
TEST_P(SameNameGuard, BlanksAroundAFileNamePass) {
    DatabasePair db(kOneOfEach, "CREATE TABLE T_UM (ID INTEGER);");
    TestHost& host = db.host();
    host.xbancoValue = "  fatura.fdb ";
    host.xbanco2Value = "fatura.fdb";
    host.run(GetParam().run);
    EXPECT_EQ(host.messages, std::vector<std::string>{GetParam().completion});
    EXPECT_FALSE(host.processLog.empty());
    EXPECT_TRUE(host.errorLog.empty());
}

INSTANTIATE_TEST_SUITE_P(Processes, SameNameGuard, ::testing::ValuesIn(kProcesses), ByLabel());

constexpr char kSchema[] = R"(
CREATE GENERATOR G_CLIENTES;
CREATE GENERATOR G_ITENS;
CREATE SEQUENCE "g_minúsculo";
CREATE EXCEPTION E_ESTOQUE 'Sem estoque';
CREATE EXCEPTION E_CREATE 'Can''t create: CREATE it later';
CREATE EXCEPTION "E'ASPA" 'Pedido já faturado';
CREATE DOMAIN DM_ID AS INTEGER NOT NULL;
CREATE DOMAIN DM_VALOR AS NUMERIC(15,2) DEFAULT 0 NOT NULL;
CREATE DOMAIN DM_QTDE AS NUMERIC(15,3) DEFAULT 1 NOT NULL CHECK (VALUE >= 0);
CREATE DOMAIN DM_NOME AS VARCHAR(60) CHARACTER SET WIN1252 COLLATE WIN_PTBR;
CREATE DOMAIN DM_SIM_NAO AS CHAR(1) DEFAULT 'S' NOT NULL CHECK (VALUE IN ('S', 'N'));
CREATE DOMAIN DM_OBS AS BLOB SUB_TYPE TEXT SEGMENT SIZE 80;
CREATE DOMAIN "DM'ASPA" AS SMALLINT;
CREATE TABLE CLIENTES (ID DM_ID, NOME DM_NOME, ATIVO DM_SIM_NAO, OBS DM_OBS,
    CONSTRAINT PK_CLIENTES PRIMARY KEY (ID));
CREATE TABLE PRODUTOS (ID DM_ID, ESTOQUE DM_QTDE, PRECO DM_VALOR, CONSTRAINT PK_PRODUTOS PRIMARY KEY (ID));
CREATE TABLE ITENS (ID DM_ID, PRODUTO_ID INTEGER NOT NULL, QUANTIDADE DM_QTDE,
    CONSTRAINT PK_ITENS PRIMARY KEY (ID),
    CONSTRAINT FK_ITENS_PRODUTOS FOREIGN KEY (PRODUTO_ID) REFERENCES PRODUTOS (ID));
CREATE UNIQUE INDEX UNQ_CLI_NOME ON CLIENTES (NOME);
CREATE DESCENDING INDEX IDX_PRO_PRECO ON PRODUTOS (PRECO);
CREATE INDEX IDX_ITE_PROD_QTD ON ITENS (PRODUTO_ID, QUANTIDADE);
ALTER INDEX IDX_ITE_PROD_QTD INACTIVE;
CREATE INDEX "IDX'CLI" ON CLIENTES (ATIVO);
SET TERM ^ ;
CREATE TRIGGER TRG_CLI_BI FOR CLIENTES ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
    IF (NEW.ID IS NULL) THEN
        NEW.ID = GEN_ID(G_CLIENTES, 1);
END^
CREATE TRIGGER TRG_ITE_BI FOR ITENS ACTIVE BEFORE INSERT POSITION 0
AS
DECLARE VARIABLE SALDO NUMERIC(15,3);
BEGIN
    IF (NEW.ID IS NULL) THEN
        NEW.ID = GEN_ID(G_ITENS, 1);
    SELECT ESTOQUE FROM PRODUTOS WHERE ID = NEW.PRODUTO_ID INTO :SALDO;
    IF (SALDO < NEW.QUANTIDADE) THEN
        EXCEPTION E_ESTOQUE;
END^
CREATE TRIGGER "trg'ite_au" FOR ITENS INACTIVE AFTER UPDATE POSITION 10
AS
BEGIN
    UPDATE PRODUTOS SET ESTOQUE = ESTOQUE - (NEW.QUANTIDADE - OLD.QUANTIDADE) WHERE ID = NEW.PRODUTO_ID;
END^
SET TERM ; ^
)";

// The tables the triggers and indexes need, with plain column types so that the domain process
// still finds every domain missing.
constexpr char kTargetTables[] = R"(
CREATE TABLE CLIENTES (ID INTEGER NOT NULL, NOME VARCHAR(60) CHARACTER SET WIN1252 COLLATE WIN_PTBR,
    ATIVO CHAR(1), OBS BLOB SUB_TYPE TEXT, CONSTRAINT PK_CLIENTES PRIMARY KEY (ID));
CREATE TABLE PRODUTOS (ID INTEGER NOT NULL, ESTOQUE NUMERIC(15,3), PRECO NUMERIC(15,2),
    CONSTRAINT PK_PRODUTOS PRIMARY KEY (ID));
CREATE TABLE ITENS (ID INTEGER NOT NULL, PRODUTO_ID INTEGER NOT NULL, QUANTIDADE NUMERIC(15,3),
    CONSTRAINT PK_ITENS PRIMARY KEY (ID),
    CONSTRAINT FK_ITENS_PRODUTOS FOREIGN KEY (PRODUTO_ID) REFERENCES PRODUTOS (ID));
)";

struct Kind {
    const char* label;
    extract::TExtractObjectTypes type;
    const char* names; // query listing the user objects of the kind
    size_t count;      // how many the schema holds
};

const Kind kKinds[] = {
    {"exception", extract::eoException, "select rdb$exception_name from rdb$exceptions order by 1", 3},
    {"domain", extract::eoDomain,
     "select rdb$field_name from rdb$fields where coalesce(rdb$system_flag, 0) = 0 and rdb$field_name not "
     "starting 'RDB$' order by 1",
     7},
    {"trigger", extract::eoTrigger,
     "select rdb$trigger_name from rdb$triggers where coalesce(rdb$system_flag, 0) = 0 order by 1", 3},
    {"index", extract::eoIndexes,
     "select rdb$index_name from rdb$indices where coalesce(rdb$system_flag, 0) = 0 order by 1", 8},
};

TEST(BasicProcessesTogether, EmptyTargetEndsWithTheSourcesDefinitions) {
    DatabasePair db(kSchema, kTargetTables);
    TestHost& host = db.host();
    for (const Process& p : kProcesses) {
        SCOPED_TRACE(p.label);
        host.messages.clear();
        host.run(p.run);
        EXPECT_EQ(host.messages, std::vector<std::string>{p.completion});
    }
    EXPECT_TRUE(host.errorLog.empty());
    for (const std::string& line : host.processLog)
        EXPECT_NE(line, "Não foi possivel criar esse indice!");
    db.reconnectTarget();

    const char* generators =
        "select rdb$generator_name from rdb$generators where rdb$system_flag = 0 order by rdb$generator_name";
    EXPECT_EQ(db.target.queryRows(generators), db.source.queryRows(generators));
    EXPECT_EQ(db.source.queryRows(generators).size(), 3u);

    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.label);
        const std::vector<std::string> names = db.source.queryRows(k.names);
        EXPECT_EQ(names.size(), k.count);
        EXPECT_EQ(db.target.queryRows(k.names), names);
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            const std::string text = db.extractFromSource(k.type, name);
            EXPECT_EQ(db.extractFromTarget(k.type, name), text);
            // Every object has text but the indexes that back constraints.
            const bool constraintIndex = name.rfind("PK_", 0) == 0 || name.rfind("FK_", 0) == 0;
            EXPECT_EQ(text.empty(), constraintIndex);
        }
    }
}

} // namespace
} // namespace vistrel::test
