#include "tests/extract/extractfixture.h"

#include <map>

namespace vistrel::extract::testing {

namespace {

using vistrel::test::ScratchDatabase;
using vistrel::test::ScratchOptions;

// Tables and the generator that the extracted views, triggers and indexes need.
const char* const kTables3 = R"(
CREATE GENERATOR G_PEDIDOS;
CREATE TABLE CLIENTES (ID INTEGER NOT NULL, NOME VARCHAR(60), CONSTRAINT PK_CLIENTES PRIMARY KEY (ID));
CREATE TABLE PEDIDOS (ID INTEGER NOT NULL, CLIENTE_ID INTEGER, NUMERO INTEGER, DATA DATE,
  CONSTRAINT PK_PEDIDOS PRIMARY KEY (ID), CONSTRAINT UQ_PED_NUMERO UNIQUE (NUMERO),
  CONSTRAINT FK_PED_CLI FOREIGN KEY (CLIENTE_ID) REFERENCES CLIENTES (ID),
  CONSTRAINT CK_PED_NUMERO CHECK (NUMERO >= 0));
CREATE TABLE "Tab""Q" ("Id" INTEGER, "nome" VARCHAR(10));
)";

const char* const kObjects3 = R"(
CREATE EXCEPTION E_ESTOQUE 'Sem estoque';
CREATE EXCEPTION E_APOSTROFO 'it''s empty';
CREATE EXCEPTION E_BRANCOS '  leading stays, trailing goes   ';
CREATE EXCEPTION E_VAZIA '';
CREATE EXCEPTION E_LINHAS 'linha 1
linha 2';
CREATE EXCEPTION "e_Aspas""x" 'quoted name';

CREATE DOMAIN DM_VALOR AS NUMERIC(15,2) DEFAULT 0 NOT NULL;
CREATE DOMAIN D_DECIMAL AS DECIMAL(15,2);
CREATE DOMAIN D_NUM18 AS NUMERIC(18,2);
CREATE DOMAIN D_DEC18 AS DECIMAL(18,4);
CREATE DOMAIN D_NUM4 AS NUMERIC(4,1);
CREATE DOMAIN D_NUM9 AS NUMERIC(9,3);
CREATE DOMAIN D_BIGINT AS BIGINT;
CREATE DOMAIN D_SMALLINT AS SMALLINT;
CREATE DOMAIN D_INTEGER AS INTEGER;
CREATE DOMAIN D_DOUBLE AS DOUBLE PRECISION;
CREATE DOMAIN D_FLOAT AS FLOAT;
CREATE DOMAIN D_DATE AS DATE;
CREATE DOMAIN D_TIME AS TIME;
CREATE DOMAIN D_TIMESTAMP AS TIMESTAMP;
CREATE DOMAIN D_BLOB_TEXT AS BLOB SUB_TYPE TEXT SEGMENT SIZE 80;
CREATE DOMAIN D_BLOB_WIN AS BLOB SUB_TYPE TEXT SEGMENT SIZE 80 CHARACTER SET WIN1252;
CREATE DOMAIN D_BLOB_BIN AS BLOB SUB_TYPE 0 SEGMENT SIZE 512;
CREATE DOMAIN D_BLOB_NEG AS BLOB SUB_TYPE -1 SEGMENT SIZE 100;
CREATE DOMAIN D_CHAR AS CHAR(3);
CREATE DOMAIN D_VARCHAR AS VARCHAR(60);
CREATE DOMAIN D_UTF8 AS VARCHAR(10) CHARACTER SET UTF8;
CREATE DOMAIN D_NONE AS VARCHAR(5) CHARACTER SET NONE;
CREATE DOMAIN D_COMPLETO AS VARCHAR(10) CHARACTER SET WIN1252 DEFAULT 'A' CHECK (VALUE <> '') NOT NULL
  COLLATE WIN_PTBR;
CREATE DOMAIN D_COLLATE AS VARCHAR(20) COLLATE PT_BR;
CREATE DOMAIN D_WIN_DEFAULT_COLLATE AS CHAR(2) CHARACTER SET WIN1252 COLLATE WIN1252;
CREATE DOMAIN D_ARRAY AS INTEGER[1:10, 0:5];
CREATE DOMAIN D_ARRAY_CHAR AS CHAR(3) [1:4] CHARACTER SET WIN1252;
CREATE DOMAIN D_CHECK_LOWER AS INTEGER check (value > 0);
CREATE DOMAIN D_DEFAULT_NULL AS INTEGER DEFAULT NULL;
CREATE DOMAIN D_DEFAULT_TEXT AS VARCHAR(15) DEFAULT 'it''s' NOT NULL CHECK (VALUE
  STARTING WITH 'i');
CREATE DOMAIN D_BOOLEAN AS BOOLEAN;
CREATE DOMAIN "d_Minusculo" AS INTEGER;

CREATE VIEW V_CLIENTES (ID, NOME) AS select id, nome from clientes;
CREATE VIEW V_UMA (ID) AS select id from clientes;
CREATE VIEW "v_Aspas""x" ("Id", "nome""x") AS select id, nome from clientes;

SET TERM ^ ;
CREATE TRIGGER TRG_PED_BI FOR PEDIDOS ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
  NEW.ID = GEN_ID(G_PEDIDOS, 1);
END^
CREATE TRIGGER TRG_PED_AU FOR PEDIDOS INACTIVE AFTER UPDATE POSITION 5
AS
DECLARE VARIABLE N INTEGER;
BEGIN
  N = NEW.NUMERO;
END^
CREATE TRIGGER TRG_PED_MULTI FOR PEDIDOS ACTIVE BEFORE INSERT OR UPDATE POSITION 1
AS BEGIN END^
CREATE TRIGGER TRG_CLI_ALL FOR CLIENTES ACTIVE AFTER INSERT OR UPDATE OR DELETE POSITION 2 AS BEGIN END^
CREATE TRIGGER TRG_CLI_ID FOR CLIENTES BEFORE INSERT OR DELETE AS BEGIN END^
CREATE TRIGGER "trg_Aspas""x" FOR "Tab""Q" AFTER DELETE POSITION 32767 AS BEGIN END^
CREATE TRIGGER TRG_CONNECT ACTIVE ON CONNECT AS BEGIN END^
CREATE TRIGGER TRG_DISCONNECT ON DISCONNECT POSITION 3 AS BEGIN END^
CREATE TRIGGER TRG_TX_START INACTIVE ON TRANSACTION START AS BEGIN END^
CREATE TRIGGER TRG_TX_COMMIT ON TRANSACTION COMMIT AS BEGIN END^
CREATE TRIGGER TRG_TX_ROLLBACK ON TRANSACTION ROLLBACK AS BEGIN END^
CREATE TRIGGER TRG_DDL_TABLE BEFORE CREATE TABLE OR ALTER TABLE AS BEGIN END^
CREATE TRIGGER TRG_DDL_MIX AFTER CREATE EXCEPTION OR DROP INDEX OR CREATE SEQUENCE OR DROP MAPPING
AS BEGIN END^
CREATE TRIGGER TRG_DDL_ANY AFTER ANY DDL STATEMENT AS BEGIN END^
SET TERM ; ^

CREATE UNIQUE DESCENDING INDEX IDX_PED_DATA ON PEDIDOS (DATA, NUMERO);
ALTER INDEX IDX_PED_DATA INACTIVE;
CREATE INDEX IDX_CLI_NOME ON CLIENTES (NOME);
CREATE DESCENDING INDEX IDX_PED_NUMERO_DESC ON PEDIDOS (NUMERO);
CREATE UNIQUE INDEX IDX_CLI_NOME_ID ON CLIENTES (NOME, ID);
CREATE INDEX IDX_EXPR ON CLIENTES COMPUTED BY (UPPER(NOME));
CREATE UNIQUE DESCENDING INDEX IDX_EXPR_DESC ON CLIENTES COMPUTED BY ((ID * 2) || 'x');
CREATE INDEX "idx_Minusculo" ON CLIENTES (ID);
CREATE INDEX "IDX""Q" ON "Tab""Q" ("nome", "Id");
CREATE INDEX CLIENTES ON PEDIDOS (CLIENTE_ID);
)";

// Objects whose stored source keeps blank lines: created through the data layer, which sends the
// statement text unchanged (isql would trim it).
const char* const kVerbatimObjects3[] = {
    "CREATE VIEW V_LINHAS (NOME) AS\n\n\n  select nome\r\n  from clientes\r\n\n  \n",
    "CREATE TRIGGER TRG_BRANCOS FOR CLIENTES ACTIVE BEFORE UPDATE POSITION 4\nAS\nBEGIN\r\n  NEW.NOME = "
    "UPPER(NEW.NOME);\rEND\n\n  \n",
};

const char* const kTables1 = R"(
CREATE GENERATOR G_PED;
CREATE TABLE clientes (id INTEGER NOT NULL, nome VARCHAR(60));
)";

const char* const kObjects1 = R"(
CREATE EXCEPTION e_erro 'Erro';
CREATE DOMAIN d_num4 AS NUMERIC(4,1);
CREATE DOMAIN d_num9 AS NUMERIC(9,2);
CREATE DOMAIN d_num15 AS NUMERIC(15,3);
CREATE DOMAIN d_data AS DATE DEFAULT 'NOW';
CREATE DOMAIN d_nome AS VARCHAR(30) CHARACTER SET WIN1252 NOT NULL;
CREATE INDEX idx_a ON clientes (nome);
CREATE VIEW v_cli (id, nome) AS select id, nome from clientes;
SET TERM ^ ;
CREATE TRIGGER trg_cli_bi FOR clientes BEFORE INSERT POSITION 3
AS
BEGIN
  new.id = gen_id(g_ped, 1);
END^
SET TERM ; ^
)";

// The whole script runs in one transaction: a commit per DDL statement would make creating the
// databases several times slower, and every test process creates its own.
ScratchOptions options(int dialect, const char* characterSet, const std::string& sql) {
    ScratchOptions o;
    o.dialect = dialect;
    o.characterSet = characterSet;
    o.sql = "SET AUTODDL OFF;\n" + sql + "COMMIT;\n";
    return o;
}

std::unique_ptr<ScratchDatabase> create(Db which) {
    switch (which) {
    case Db::Source3: {
        auto db = std::make_unique<ScratchDatabase>(
            "extract_source3", options(3, "ISO8859_1", std::string(kTables3) + kObjects3));
        Session session(*db);
        for (const char* sql : kVerbatimObjects3) {
            session.execute(sql);
        }
        session.tr().Commit();
        return db;
    }
    case Db::Source1:
        return std::make_unique<ScratchDatabase>("extract_source1",
                                                 options(1, "", std::string(kTables1) + kObjects1));
    case Db::Target3:
        return std::make_unique<ScratchDatabase>("extract_target3", options(3, "ISO8859_1", kTables3));
    case Db::Target1:
        return std::make_unique<ScratchDatabase>("extract_target1", options(1, "", kTables1));
    }
    throw std::logic_error("unknown database");
}

// Drops the databases after the last test, while the test server is still there.
class Databases : public ::testing::Environment {
public:
    ScratchDatabase& get(Db which) {
        auto& slot = m_databases[which];
        if (!slot) {
            slot = create(which);
        }
        return *slot;
    }
    void TearDown() override { m_databases.clear(); }

private:
    std::map<Db, std::unique_ptr<ScratchDatabase>> m_databases;
};

Databases* const g_databases =
    static_cast<Databases*>(::testing::AddGlobalTestEnvironment(new Databases)); // owned by GoogleTest

} // namespace

ScratchDatabase& database(Db which) {
    return g_databases->get(which);
}

Session::Session(const ScratchDatabase& database) {
    m_tr.setDefaultDatabase(&m_db);
    m_db.setDefaultTransaction(&m_tr);
    m_db.setDatabaseName(database.connectionString());
    m_db.Params().Add("user_name=SYSDBA");
    m_db.Params().Add("password=" + database.password());
    m_db.setConnected(true);
}

Session::~Session() {
    if (m_tr.Active()) {
        try {
            m_tr.Rollback();
        } catch (...) {
            // The detach below ends the transaction by force.
        }
    }
    m_db.forceClose();
}

void Session::execute(const std::string& sql) {
    data::TIBSQL statement;
    statement.setDatabase(&m_db);
    statement.setTransaction(&m_tr);
    statement.ParamCheck = false;
    statement.SQL().Add(sql);
    statement.ExecQuery();
}

std::unique_ptr<data::TIBSQL> Session::query(const std::string& sql) {
    auto statement = std::make_unique<data::TIBSQL>();
    statement->setDatabase(&m_db);
    statement->setTransaction(&m_tr);
    statement->SQL().Add(sql);
    statement->ExecQuery();
    return statement;
}

void ExtractorTest::SetUp() {
    m_session = std::make_unique<Session>(database(m_which));
    m_extract.setDatabase(&m_session->db());
    m_extract.setTransaction(&m_session->tr());
}

void ExtractorTest::TearDown() {
    m_session.reset();
}

std::string ExtractorTest::extract(TExtractObjectTypes kind, const std::string& name) {
    m_extract.ExtractObject(kind, name);
    return m_extract.Items().Text();
}

} // namespace vistrel::extract::testing
