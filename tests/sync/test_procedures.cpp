// 5-COMPARAR PROCEDURES against real source and target databases.
#include "data/errors.h"
#include "data/sqlconnection.h"
#include "sync/processes.h"
#include "tests/support/scratchdatabase.h"
#include "tests/sync/testhost.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::test {
namespace {

// Fixed texts, spelled out here independently of the code under test.
constexpr char kExecutando[] = "Executando Procedure....";
constexpr char kFalha[] = "Houve algum problema na execução dessa procedure ";
// The server's reason under the failure line of A_CHAMA while B_CHAMADA is missing.
constexpr char kChamadaUnknown[] =
    "    SQLCODE -204: unsuccessful metadata update - CREATE OR ALTER PROCEDURE A_CHAMA "
    "failed - Dynamic SQL Error - SQL error code = -204 - Procedure unknown - B_CHAMADA";
constexpr char kFinalizada[] = "Comparação de procedure finalizada;";
constexpr char kGuard[] =
    "Atenção \r É impossivel fazer uma comparação com bancos diferentes, por favor verifique as conexões!";

// Source and target made from SQL text, both named fatura.fdb so that the guard lets the run go,
// both with the same default character set, and a host over them.
struct Databases {
    Databases(std::string_view sourceSql, std::string_view targetSql,
              const std::string& characterSet = "WIN1252")
        : source("proc_origem", "fatura.fdb", {.sql = std::string(sourceSql), .characterSet = characterSet}),
          target("proc_destino", "fatura.fdb", {.sql = std::string(targetSql), .characterSet = characterSet}),
          host(std::make_unique<TestHost>(source, target)) {}
    ~Databases() { host.reset(); }

    ScratchDatabase source;
    ScratchDatabase target;
    std::unique_ptr<TestHost> host;
};

// The statement the process logs and executes: the head, two blanks, the stored source, one blank,
// then the " ; " entry.
std::string statement(const std::string& head, const std::string& body) {
    return head + "  " + body + " \r\n ; \r\n";
}

// What the parameters of a procedure are, as the server describes them, in declared order.
std::string signatureQuery(const std::string& procedure) {
    return "select p.rdb$parameter_type, p.rdb$parameter_number, trim(p.rdb$parameter_name), "
           "f.rdb$field_type, "
           "coalesce(f.rdb$field_sub_type, 0), f.rdb$field_scale, coalesce(f.rdb$field_precision, 0), "
           "f.rdb$field_length, f.rdb$character_length, trim(cs.rdb$character_set_name), "
           "coalesce(p.rdb$collation_id, f.rdb$collation_id, 0), coalesce(p.rdb$null_flag, 0), "
           "cast(p.rdb$default_source as varchar(100)) from rdb$procedure_parameters p join rdb$fields f on "
           "f.rdb$field_name = p.rdb$field_source left join rdb$character_sets cs on cs.rdb$character_set_id "
           "= "
           "f.rdb$character_set_id where p.rdb$procedure_name = '" +
           procedure + "' order by p.rdb$parameter_type, p.rdb$parameter_number";
}

std::string counts(const ScratchDatabase& db, const std::string& procedure) {
    return db.queryValue(
        "select coalesce(rdb$procedure_inputs, 0) || '/' || coalesce(rdb$procedure_outputs, 0) "
        "from rdb$procedures where rdb$procedure_name = '" +
        procedure + "'");
}

// ------------------------------------------------------------------ statement heads

struct HeadCase {
    const char* label;
    const char* sql;    // creates the procedure P on the source
    const char* head;   // the head the process assembles for it
    const char* body;   // its stored source
    const char* call;   // a query whose result must be the same on both sides; empty: none
    const char* counts; // inputs/outputs
};

// The procedure of the order-entry example, then the shapes without inputs, without outputs, without
// either: each is logged exactly, created on the empty target with the source's counts, and gives
// the source's result there.
const HeadCase kHeadCases[] = {
    {"example",
     "SET TERM ^;\nCREATE PROCEDURE P (A INTEGER, B VARCHAR(10)) RETURNS (R NUMERIC(15,2))\nAS\nBEGIN\n  R = "
     "A + "
     "CHAR_LENGTH(B) + 0.25;\n  SUSPEND;\nEND^\nSET TERM ;^\n",
     " CREATE OR ALTER PROCEDURE P (   A  integer ,  B  VARCHAR(10)  ) RETURNS ( R  NUMERIC(15,2) ) AS ",
     "BEGIN\n  R = A + CHAR_LENGTH(B) + 0.25;\n  SUSPEND;\nEND", "select r from p(2, 'abc')", "2/1"},
    {"no_inputs",
     "SET TERM ^;\nCREATE PROCEDURE P RETURNS (R INTEGER, S VARCHAR(5))\nAS\nBEGIN\n  R = 7;\n  S = "
     "'sete';\n  "
     "SUSPEND;\nEND^\nSET TERM ;^\n",
     " CREATE OR ALTER PROCEDURE P (   ) RETURNS ( R  integer ,   S  VARCHAR(5) ) AS ",
     "BEGIN\n  R = 7;\n  S = 'sete';\n  SUSPEND;\nEND", "select r || s from p", "0/2"},
    {"no_outputs",
     "SET TERM ^;\nCREATE PROCEDURE P (A INTEGER, B DATE)\nAS\nBEGIN\n  IF (A < 0) THEN EXIT;\nEND^\nSET "
     "TERM ;^\n",
     " CREATE OR ALTER PROCEDURE P (   A  integer ,  B  DATE  ) AS ", "BEGIN\n  IF (A < 0) THEN EXIT;\nEND",
     "", "2/0"},
    {"neither", "SET TERM ^;\nCREATE PROCEDURE P\nAS\nBEGIN\n  EXIT;\nEND^\nSET TERM ;^\n",
     " CREATE OR ALTER PROCEDURE P (   ) AS ", "BEGIN\n  EXIT;\nEND", "", "0/0"},
};

void PrintTo(const HeadCase& c, std::ostream* os) {
    *os << c.label;
}

class ProcedureHead : public ::testing::TestWithParam<HeadCase> {};

TEST_P(ProcedureHead, MissingProcedureIsCreatedAsLogged) {
    const HeadCase& c = GetParam();
    Databases db(c.sql, "");
    TestHost& host = *db.host;
    host.criarautoValue = false; // not consulted: the procedure is executed all the same
    host.processLog = {"linha de uma execução anterior"};

    host.run(sync::runProcedureProcess);

    EXPECT_EQ(host.processLog,
              (std::vector<std::string>{"", std::string(kExecutando) + "P", statement(c.head, c.body)}));
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizada});
    EXPECT_TRUE(host.procedureBuffer.empty());
    EXPECT_EQ(host.SQLConnection().activeTransactionCount(), 0);
    EXPECT_EQ(host.dataSource1, nullptr);

    // Committed: another attachment sees it.
    EXPECT_EQ(counts(db.target, "P"), c.counts);
    EXPECT_EQ(db.target.queryRows(signatureQuery("P")), db.source.queryRows(signatureQuery("P")));
    if (*c.call) {
        const std::string expected = db.source.queryValue(c.call);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(db.target.queryValue(c.call), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ProcedureHead, ::testing::ValuesIn(kHeadCases),
                         [](const auto& p) { return std::string(p.param.label); });

// ------------------------------------------------------------------ parameter types

struct TypeCase {
    const char* characterSet; // default character set of both databases
    const char* head;
};

constexpr char kTypesProcedure[] = R"(SET TERM ^;
CREATE PROCEDURE TIPOS (
  A SMALLINT, B INTEGER, C BIGINT, D NUMERIC(15,2), E NUMERIC(18,4), F DECIMAL(9,3), G DOUBLE PRECISION,
  H DATE, I TIMESTAMP, J CHAR(1) CHARACTER SET WIN1252, K VARCHAR(10) CHARACTER SET WIN1252,
  L CHAR(1) CHARACTER SET UTF8, M VARCHAR(10) CHARACTER SET UTF8, N BLOB SUB_TYPE TEXT)
RETURNS (R1 NUMERIC(18,4), R2 DECIMAL(9,3), R3 VARCHAR(100) CHARACTER SET UTF8, R4 BIGINT, R5 BLOB SUB_TYPE TEXT,
  R6 SMALLINT)
AS
BEGIN
  R1 = D + E + F + A + B + C;
  R2 = F;
  R3 = J || K || L || M || H || ' ' || I || ' ' || G;
  R4 = C;
  R5 = N;
  R6 = A;
  SUSPEND;
END^
SET TERM ;^
)";

constexpr char kTypesBody[] = "BEGIN\n  R1 = D + E + F + A + B + C;\n  R2 = F;\n  R3 = J || K || L || M || H "
                              "|| ' ' || I || ' ' || G;\n  R4 = C;\n  R5 = N;\n  R6 = A;\n  SUSPEND;\nEND";

constexpr char kTypesCall[] =
    "select r1 || '|' || r2 || '|' || r3 || '|' || r4 || '|' || cast(r5 as varchar(20)) || '|' || r6 from "
    "tipos(-3, 100000, 9000000000123, 1234567890123.45, 12345678901234.5678, 123456.789, 0.5, '2024-02-29', "
    "'2024-02-29 13:14:15', 'a', 'abcdefghij', 'z', 'klmnopqrst', 'texto longo')";

// In a WIN1252 database the UTF8 parameters name their set; in a UTF8 database the WIN1252 ones
// do, and the VARCHAR(10) that takes 40 bytes is still declared with 10 characters.
const TypeCase kTypeCases[] = {
    {"WIN1252",
     " CREATE OR ALTER PROCEDURE TIPOS (   A  SMALLINT ,  B  integer ,  C  BIGINT ,  D  NUMERIC(15,2) ,  E  "
     "NUMERIC(18,4) ,  F  DECIMAL(9,3) ,  G  DOUBLE PRECISION ,  H  DATE ,  I  TIMESTAMP ,  J  CHAR(1) ,  K  "
     "VARCHAR(10) ,  L  CHAR(1) CHARACTER SET UTF8 ,  M  VARCHAR(10) CHARACTER SET UTF8 ,  N  BLOB SUB_TYPE "
     "TEXT  "
     ") RETURNS ( R1  NUMERIC(18,4) ,   R2  DECIMAL(9,3) ,   R3  VARCHAR(100) CHARACTER SET UTF8 ,   R4  "
     "BIGINT ,   "
     "R5  BLOB SUB_TYPE TEXT ,   R6  SMALLINT ) AS "},
    {"UTF8",
     " CREATE OR ALTER PROCEDURE TIPOS (   A  SMALLINT ,  B  integer ,  C  BIGINT ,  D  NUMERIC(15,2) ,  E  "
     "NUMERIC(18,4) ,  F  DECIMAL(9,3) ,  G  DOUBLE PRECISION ,  H  DATE ,  I  TIMESTAMP ,  J  CHAR(1) "
     "CHARACTER "
     "SET WIN1252 ,  K  VARCHAR(10) CHARACTER SET WIN1252 ,  L  CHAR(1) ,  M  VARCHAR(10) ,  N  BLOB "
     "SUB_TYPE TEXT  "
     ") RETURNS ( R1  NUMERIC(18,4) ,   R2  DECIMAL(9,3) ,   R3  VARCHAR(100) ,   R4  BIGINT ,   R5  BLOB "
     "SUB_TYPE "
     "TEXT ,   R6  SMALLINT ) AS "},
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << c.characterSet;
}

class ProcedureTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ProcedureTypes, TargetParametersEqualTheSourcesInOrder) {
    const TypeCase& c = GetParam();
    Databases db(kTypesProcedure, "", c.characterSet);
    TestHost& host = *db.host;

    host.run(sync::runProcedureProcess);

    EXPECT_EQ(host.processLog, (std::vector<std::string>{"", std::string(kExecutando) + "TIPOS",
                                                         statement(c.head, kTypesBody)}));
    EXPECT_TRUE(host.errorLog.empty());

    const std::vector<std::string> sourceSignature = db.source.queryRows(signatureQuery("TIPOS"));
    ASSERT_EQ(sourceSignature.size(), 20u);
    EXPECT_EQ(db.target.queryRows(signatureQuery("TIPOS")), sourceSignature);
    const std::string expected = db.source.queryValue(kTypesCall);
    EXPECT_NE(expected.find("22580247014934.8068"), std::string::npos) << expected;
    EXPECT_EQ(db.target.queryValue(kTypesCall), expected);
}

INSTANTIATE_TEST_SUITE_P(CharacterSets, ProcedureTypes, ::testing::ValuesIn(kTypeCases),
                         [](const auto& p) { return std::string(p.param.characterSet); });

// Parameters declared with a domain take the domain's type (the target needs no domain), and the
// NOT NULL of a plain domain parameter; TYPE OF takes the type alone. Collations, NOT NULL and
// defaults of the parameters themselves are kept, and so is a BOOLEAN.
// Parameters declared with a domain, TYPE OF a domain or TYPE OF COLUMN name it, so that the
// domain's NOT NULL and check travel; the others carry their own type, set, collation, NOT NULL
// and default.
TEST(ProcedureProcess, DomainsCollationsDefaultsAndBooleansAreKept) {
    constexpr char kDomains[] = R"(CREATE DOMAIN DM_VALOR NUMERIC(9,2) NOT NULL CHECK (VALUE >= 0);
CREATE DOMAIN DM_NOME VARCHAR(20) CHARACTER SET UTF8;
CREATE TABLE T_TIPO (C VARCHAR(7) CHARACTER SET UTF8);
)";
    Databases db(std::string(kDomains) + R"(SET TERM ^;
CREATE PROCEDURE DOMS (O DM_VALOR, Q TYPE OF DM_VALOR, T VARCHAR(10) CHARACTER SET UTF8 COLLATE UNICODE_CI,
  U INTEGER NOT NULL, W BOOLEAN, X DM_NOME, C TYPE OF COLUMN T_TIPO.C, N DM_NOME NOT NULL, V INTEGER = 5,
  Y VARCHAR(3) DEFAULT 'abc')
RETURNS (R NUMERIC(9,2) NOT NULL, S VARCHAR(60))
AS
BEGIN
  R = O + COALESCE(Q, 0) + U + V;
  S = T || IIF(W, 'v', 'f') || X || C || N || Y;
  SUSPEND;
END^
SET TERM ;^
)",
                 kDomains);
    TestHost& host = *db.host;

    host.run(sync::runProcedureProcess);

    ASSERT_EQ(host.processLog.size(), 3u);
    EXPECT_EQ(
        host.processLog[2],
        statement(" CREATE OR ALTER PROCEDURE DOMS (   O  DM_VALOR ,  Q  TYPE OF DM_VALOR ,  T  "
                  "VARCHAR(10) CHARACTER SET UTF8 COLLATE UNICODE_CI ,  U  integer NOT NULL ,  W  BOOLEAN ,  "
                  "X  DM_NOME ,  C  TYPE OF COLUMN T_TIPO.C ,  N  DM_NOME NOT NULL ,  V  integer = 5 ,  Y  "
                  "VARCHAR(3) DEFAULT 'abc'  ) RETURNS ( R  NUMERIC(9,2) NOT NULL ,   S  VARCHAR(60) ) AS ",
                  "BEGIN\n  R = O + COALESCE(Q, 0) + U + V;\n  S = T || IIF(W, 'v', 'f') || X || C || N || "
                  "Y;\n  SUSPEND;\nEND"));
    EXPECT_TRUE(host.errorLog.empty());

    const char* call = "select r || '|' || s from doms(1.25, null, 'Tt', 2, true, 'x', 'c', 'n')";
    EXPECT_EQ(db.source.queryValue(call), "8.25|Ttvxcnabc");
    EXPECT_EQ(db.target.queryValue(call), "8.25|Ttvxcnabc");
    // The domain's NOT NULL and check still refuse what they refuse on the source.
    EXPECT_THROW(db.target.query("select r from doms(null, null, 'Tt', 2, true, 'x', 'c', 'n')"), IsqlError);
    EXPECT_THROW(db.target.query("select r from doms(-1, null, 'Tt', 2, true, 'x', 'c', 'n')"), IsqlError);
    // Everything reads back the same, the domain a parameter is declared with included.
    const std::string types =
        "select p.rdb$parameter_type, p.rdb$parameter_number, f.rdb$field_type, "
        "coalesce(f.rdb$field_sub_type, 0), f.rdb$field_scale, f.rdb$field_precision, "
        "f.rdb$character_length, f.rdb$character_set_id, coalesce(p.rdb$collation_id, "
        "f.rdb$collation_id, 0), cast(p.rdb$default_source as varchar(20)), iif(p.rdb$field_source "
        "starting with 'RDB$', '', trim(p.rdb$field_source)), coalesce(p.rdb$parameter_mechanism, 0), "
        "coalesce(trim(p.rdb$relation_name), ''), coalesce(trim(p.rdb$field_name), ''), "
        "coalesce(p.rdb$null_flag, 0) from rdb$procedure_parameters p join rdb$fields f on "
        "f.rdb$field_name = p.rdb$field_source where p.rdb$procedure_name = 'DOMS' order by 1, 2";
    EXPECT_EQ(db.target.queryRows(types), db.source.queryRows(types));
}

// Clicked twice on the same session: the second run sees what the first one created through the
// direct-execution connection and rebuilds nothing.
TEST(ProcedureProcess, ASecondClickRebuildsNothing) {
    Databases db(R"(SET TERM ^;
CREATE PROCEDURE P_UM RETURNS (R INTEGER) AS BEGIN R = 1; SUSPEND; END^
CREATE PROCEDURE P_DOIS (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A * 2; SUSPEND; END^
SET TERM ;^
)",
                 "");
    TestHost& host = *db.host;

    host.run(sync::runProcedureProcess);
    ASSERT_EQ(host.processLog.size(), 5u);
    EXPECT_EQ(db.target.queryValue("select r from p_dois(4)"), "8");

    host.run(sync::runProcedureProcess);

    EXPECT_EQ(host.processLog, std::vector<std::string>{""});
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, (std::vector<std::string>{kFinalizada, kFinalizada}));
}

// ------------------------------------------------------------------ the decision by counts

constexpr char kDecisionSource[] = R"(SET TERM ^;
CREATE PROCEDURE P_IGUAL (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A; SUSPEND; END^
CREATE PROCEDURE P_CORPO (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A + 1; SUSPEND; END^
CREATE PROCEDURE P_ENTRADA (A INTEGER, B INTEGER) RETURNS (R INTEGER) AS BEGIN R = A * B; SUSPEND; END^
CREATE PROCEDURE P_SAIDA (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A * 10; SUSPEND; END^
CREATE PROCEDURE P_FALTA (A VARCHAR(5)) RETURNS (R VARCHAR(10)) AS BEGIN R = A || A; SUSPEND; END^
SET TERM ;^
)";

// Same counts: one equal, one with another body and other parameter types. Different counts: one
// input more on the source, one output more on the target.
constexpr char kDecisionTarget[] = R"(SET TERM ^;
CREATE PROCEDURE P_IGUAL (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A; SUSPEND; END^
CREATE PROCEDURE P_CORPO (A VARCHAR(3)) RETURNS (R INTEGER) AS BEGIN R = -1; SUSPEND; END^
CREATE PROCEDURE P_ENTRADA (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A; SUSPEND; END^
CREATE PROCEDURE P_SAIDA (A INTEGER) RETURNS (R INTEGER, S INTEGER) AS BEGIN R = A; S = A; SUSPEND; END^
SET TERM ;^
)";

TEST(ProcedureProcess, RebuildsWhatIsMissingOrHasOtherCountsNewestFirst) {
    Databases db(kDecisionSource, kDecisionTarget);
    TestHost& host = *db.host;

    host.run(sync::runProcedureProcess);

    EXPECT_EQ(
        host.processLog,
        (std::vector<std::string>{
            "",
            std::string(kExecutando) + "P_FALTA",
            statement(
                " CREATE OR ALTER PROCEDURE P_FALTA (   A  VARCHAR(5)  ) RETURNS ( R  VARCHAR(10) ) AS ",
                "BEGIN R = A || A; SUSPEND; END"),
            std::string(kExecutando) + "P_SAIDA",
            statement(" CREATE OR ALTER PROCEDURE P_SAIDA (   A  integer  ) RETURNS ( R  integer ) AS ",
                      "BEGIN R = A * 10; SUSPEND; END"),
            std::string(kExecutando) + "P_ENTRADA",
            statement(" CREATE OR ALTER PROCEDURE P_ENTRADA (   A  integer ,  B  integer  ) RETURNS ( R  "
                      "integer ) AS ",
                      "BEGIN R = A * B; SUSPEND; END"),
        }));
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizada});

    EXPECT_EQ(db.target.queryValue("select r from p_falta('ab')"), "abab");
    EXPECT_EQ(db.target.queryValue("select r from p_saida(4)"), "40");
    EXPECT_EQ(counts(db.target, "P_SAIDA"), "1/1");
    EXPECT_EQ(db.target.queryValue("select r from p_entrada(6, 7)"), "42");
    // Equal counts: left as the target has it, body and types alike.
    EXPECT_EQ(db.target.queryValue("select r from p_corpo('x')"), "-1");
    EXPECT_EQ(db.target.queryValue("select r from p_igual(3)"), "3");
}

TEST(ProcedureProcess, NothingIsWrittenWhenEveryProcedureHasItsCounts) {
    Databases db(kDecisionSource, kDecisionSource);
    TestHost& host = *db.host;

    host.run(sync::runProcedureProcess);

    EXPECT_EQ(host.processLog, std::vector<std::string>{""});
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizada});
    EXPECT_EQ(host.SQLConnection().activeTransactionCount(), 0);
}

// ------------------------------------------------------------------ bodies

// The body goes to the server as it is stored: :X variables, literals holding colons, question
// marks and apostrophes, and a source far longer than 32000 characters.
TEST(ProcedureProcess, LongBodyWithVariablesAndLiteralsReachesTheTargetWhole) {
    std::string filler;
    for (int i = 0; i < 400; ++i)
        filler += "  /* " + std::string(90, static_cast<char>('a' + i % 26)) + " */\n";
    const std::string body = "DECLARE VARIABLE X VARCHAR(100);\nBEGIN\n" + filler +
                             "  X = 'hora: 10:30? sim' || :A || ' ?:B ''aspas''';\n"
                             "  SELECT :X || '!' FROM RDB$DATABASE INTO :R;\n  SUSPEND;\nEND";
    ASSERT_GT(body.size(), 36000u);
    Databases db("SET TERM ^;\nCREATE PROCEDURE LONGO (A VARCHAR(10)) RETURNS (R VARCHAR(200))\nAS\n" + body +
                     "^\nSET TERM ;^\n",
                 "");
    TestHost& host = *db.host;

    host.run(sync::runProcedureProcess);

    ASSERT_EQ(host.processLog.size(), 3u);
    EXPECT_EQ(
        host.processLog[2],
        statement(" CREATE OR ALTER PROCEDURE LONGO (   A  VARCHAR(10)  ) RETURNS ( R  VARCHAR(200) ) AS ",
                  body));
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizada});

    const char* call = "select r from longo('x:y')";
    EXPECT_EQ(db.source.queryValue(call), "hora: 10:30? simx:y ?:B 'aspas'!");
    EXPECT_EQ(db.target.queryValue(call), "hora: 10:30? simx:y ?:B 'aspas'!");
    const char* length =
        "select char_length(rdb$procedure_source) from rdb$procedures where rdb$system_flag = 0";
    EXPECT_EQ(db.target.queryValue(length), std::to_string(body.size()));
    EXPECT_EQ(db.source.queryValue(length), std::to_string(body.size()));
}

// Names that need quotes, an apostrophe among them, stand safely in the probe, the parameter and
// source queries and the statement.
TEST(ProcedureProcess, QuotedNamesWithApostrophes) {
    Databases db(R"(SET TERM ^;
CREATE PROCEDURE "Soma'Dois" ("a'" INTEGER, "B c" INTEGER) RETURNS ("r" INTEGER) AS BEGIN "r" = "a'" + "B c"; SUSPEND; END^
SET TERM ;^
)",
                 "");
    TestHost& host = *db.host;

    host.run(sync::runProcedureProcess);

    EXPECT_EQ(
        host.processLog,
        (std::vector<std::string>{"", std::string(kExecutando) + "Soma'Dois",
                                  statement(" CREATE OR ALTER PROCEDURE \"Soma'Dois\" (   \"a'\"  integer ,  "
                                            "\"B c\"  integer  ) RETURNS ( \"r\"  integer ) AS ",
                                            "BEGIN \"r\" = \"a'\" + \"B c\"; SUSPEND; END")}));
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(db.target.queryValue("select \"r\" from \"Soma'Dois\"(2, 3)"), "5");

    // Present now with the same counts: a second run leaves it alone.
    host.IBDatabase2().setConnected(false);
    host.IBDatabase2().setConnected(true);
    host.run(sync::runProcedureProcess);
    EXPECT_EQ(host.processLog, std::vector<std::string>{""});
}

// ------------------------------------------------------------------ failures

// A_CHAMA is newer than B_CHAMADA and calls it: the walk, newest first, would reach A_CHAMA while
// the target lacks B_CHAMADA. B_CHAMADA goes first instead, and one run creates both.
TEST(ProcedureProcess, CallerAndTheProcedureItCallsArriveInOneRun) {
    Databases db(R"(SET TERM ^;
CREATE PROCEDURE B_CHAMADA (A INTEGER) RETURNS (R INTEGER) AS BEGIN R = A * 2; SUSPEND; END^
CREATE PROCEDURE A_CHAMA (A INTEGER) RETURNS (R INTEGER) AS BEGIN SELECT R + 1 FROM B_CHAMADA(:A) INTO :R; SUSPEND; END^
CREATE PROCEDURE C_SOZINHA RETURNS (R INTEGER) AS BEGIN R = 3; SUSPEND; END^
SET TERM ;^
)",
                 "");
    TestHost& host = *db.host;
    const std::string statementA =
        statement(" CREATE OR ALTER PROCEDURE A_CHAMA (   A  integer  ) RETURNS ( R  integer ) AS ",
                  "BEGIN SELECT R + 1 FROM B_CHAMADA(:A) INTO :R; SUSPEND; END");
    const std::string statementB =
        statement(" CREATE OR ALTER PROCEDURE B_CHAMADA (   A  integer  ) RETURNS ( R  integer ) AS ",
                  "BEGIN R = A * 2; SUSPEND; END");
    const std::string statementC = statement(
        " CREATE OR ALTER PROCEDURE C_SOZINHA (   ) RETURNS ( R  integer ) AS ", "BEGIN R = 3; SUSPEND; END");

    host.run(sync::runProcedureProcess);

    // Newest first where nothing is called: C_SOZINHA, then B_CHAMADA ahead of its caller.
    EXPECT_EQ(host.processLog,
              (std::vector<std::string>{"", std::string(kExecutando) + "C_SOZINHA", statementC,
                                        std::string(kExecutando) + "B_CHAMADA", statementB,
                                        std::string(kExecutando) + "A_CHAMA", statementA}));
    EXPECT_EQ(host.errorLog, std::vector<std::string>{});
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizada});
    EXPECT_TRUE(host.procedureBuffer.empty());
    EXPECT_EQ(host.SQLConnection().activeTransactionCount(), 0);
    EXPECT_EQ(db.target.queryValue("select r from a_chama(5)"), "11");

    // A new target session sees them all: nothing left to do.
    host.IBDatabase2().setConnected(false);
    host.IBDatabase2().setConnected(true);
    host.run(sync::runProcedureProcess);
    EXPECT_EQ(host.processLog, std::vector<std::string>{""});
    EXPECT_EQ(host.errorLog, std::vector<std::string>{});
}

// ------------------------------------------------------------------ all seven processes

// The seven buttons in their order on an empty target: every procedure of the demonstration
// source ends up there with the source's parameters (names, order, types) and body.
TEST(ProcedureProcess, AfterTheSevenProcessesEveryProcedureIsOnTheTarget) {
    ScratchDatabase source("proc_origem", "fatura.fdb", {.script = sqlScript("demo_source.sql")});
    ScratchDatabase target("proc_destino", "fatura.fdb");
    {
        TestHost host(source, target);
        for (auto process : {sync::runGeneratorProcess, sync::runExceptionProcess, sync::runDomainProcess,
                             sync::runTableViewProcess, sync::runProcedureProcess, sync::runTriggerProcess,
                             sync::runIndexProcess})
            host.run(process);
        EXPECT_TRUE(host.errorLog.empty()) << host.errorLog.front();
    }

    const char* procedures = "select trim(rdb$procedure_name) from rdb$procedures order by 1";
    const std::vector<std::string> names = source.queryRows(procedures);
    ASSERT_EQ(names, (std::vector<std::string>{"SP_FATURAR", "SP_TOTAL_PEDIDO"}));
    EXPECT_EQ(target.queryRows(procedures), names);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(target.queryRows(signatureQuery(name)), source.queryRows(signatureQuery(name)));
        const std::string body =
            "select cast(rdb$procedure_source as varchar(4000)) from rdb$procedures where "
            "rdb$procedure_name = '" +
            name + "'";
        EXPECT_EQ(target.queryRows(body), source.queryRows(body));
    }
    EXPECT_EQ(target.queryValue("select itens || '/' || total from sp_total_pedido(1)"), "0/0.00");
}

// Every run starts with an empty process log; a guard failure ends it there, silently.
TEST(ProcedureProcess, GuardClearsTheLogAndStopsTheRun) {
    Databases db(kDecisionSource, "");
    TestHost& host = *db.host;
    host.xbanco2Value = "outro.fdb";
    host.processLog = {"linha de uma execução anterior"};

    EXPECT_THROW(host.run(sync::runProcedureProcess), data::EAbort);

    EXPECT_TRUE(host.processLog.empty());
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kGuard});
    EXPECT_EQ(db.target.queryValue("select count(*) from rdb$procedures where rdb$system_flag = 0"), "0");
}

} // namespace
} // namespace vistrel::test
