// 6-COMPARAR TRIGGERS against real source and target databases.
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace vistrel::test {
namespace {

constexpr char kTriggerBanner[] = "-------------------------Inicio da Triiger--------------------------";

constexpr char kTables[] = R"(
CREATE TABLE T1 (ID INTEGER, NOTA VARCHAR(20), QTD INTEGER);
CREATE TABLE T2 (ID INTEGER, EXTRA INTEGER);
CREATE TABLE T3 (ID INTEGER);
)";

// A body with a variable used as :X and the word create, an inactive trigger, a trigger named with
// an apostrophe, and one that only compiles where T2 has the column EXTRA.
constexpr char kTriggers[] = R"(
SET TERM ^ ;
CREATE TRIGGER TRG_T1_BI FOR T1 ACTIVE BEFORE INSERT POSITION 0
AS
DECLARE VARIABLE X INTEGER;
BEGIN
  SELECT COUNT(*) FROM T1 INTO :X;
  NEW.QTD = :X;
  NEW.NOTA = 'create me';
END^
CREATE TRIGGER TRG_T2_AI FOR T2 ACTIVE AFTER INSERT POSITION 5
AS
BEGIN
  UPDATE T2 SET EXTRA = 1 WHERE ID = NEW.ID AND EXTRA IS NULL;
END^
CREATE TRIGGER TRG_MESMO FOR T1 INACTIVE BEFORE UPDATE POSITION 3
AS
BEGIN
  NEW.ID = OLD.ID;
END^
CREATE TRIGGER "trg'aspa" FOR T3 ACTIVE BEFORE DELETE POSITION 0
AS
BEGIN
END^
SET TERM ; ^
)";

std::string source() {
    return std::string(kTables) + kTriggers;
}

const std::string kT1Text = "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"TRG_T1_BI\" FOR \"T1\" \r\n"
                            "ACTIVE BEFORE INSERT POSITION 0\r\n"
                            "AS\r\n"
                            "DECLARE VARIABLE X INTEGER;\r\n"
                            "BEGIN\r\n"
                            "  SELECT COUNT(*) FROM T1 INTO :X;\r\n"
                            "  NEW.QTD = :X;\r\n"
                            "  NEW.NOTA = 'create me';\r\n"
                            "END\r\n"
                            " ;\r\n\r\n\r\n";
const std::string kT2Text = "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"TRG_T2_AI\" FOR \"T2\" \r\n"
                            "ACTIVE AFTER INSERT POSITION 5\r\n"
                            "AS\r\n"
                            "BEGIN\r\n"
                            "  UPDATE T2 SET EXTRA = 1 WHERE ID = NEW.ID AND EXTRA IS NULL;\r\n"
                            "END\r\n"
                            " ;\r\n\r\n\r\n";
const std::string kMesmoText = "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"TRG_MESMO\" FOR \"T1\" \r\n"
                               "INACTIVE BEFORE UPDATE POSITION 3\r\n"
                               "AS\r\n"
                               "BEGIN\r\n"
                               "  NEW.ID = OLD.ID;\r\n"
                               "END\r\n"
                               " ;\r\n\r\n\r\n";
const std::string kAspaText = "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"trg'aspa\" FOR \"T3\" \r\n"
                              "ACTIVE BEFORE DELETE POSITION 0\r\n"
                              "AS\r\n"
                              "BEGIN\r\n"
                              "END\r\n"
                              " ;\r\n\r\n\r\n";

std::vector<std::string> block(const std::string& name, const std::string& text) {
    return {"Trigger não encontrada; " + padded(name), kTriggerBanner, text, kFim};
}

std::vector<std::string> allBlocks() {
    std::vector<std::string> out;
    for (const auto& b : {block("TRG_T1_BI", kT1Text), block("TRG_T2_AI", kT2Text),
                          block("TRG_MESMO", kMesmoText), block("trg'aspa", kAspaText)})
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

constexpr char kTargetTriggers[] =
    "select trim(rdb$trigger_name) || ' ' || trim(rdb$relation_name) || ' ' || "
    "rdb$trigger_inactive from rdb$triggers where coalesce(rdb$system_flag, 0) = 0 "
    "order by rdb$trigger_name";
const std::vector<std::string> kAllTriggerRows = {"TRG_MESMO T1 1", "TRG_T1_BI T1 0", "TRG_T2_AI T2 0",
                                                  "trg'aspa T3 0"};

class TriggerProcess : public ::testing::TestWithParam<BoxCase> {};

TEST_P(TriggerProcess, EmptyTargetGetsEveryTrigger) {
    const BoxCase c = GetParam();
    DatabasePair db(source(), kTables);
    TestHost& host = db.host();
    host.criarautoValue = c.criarauto;
    host.rapidoValue = c.rapido;
    const int detaches = db.targetDetaches();

    host.run(sync::runTriggerProcess);

    EXPECT_EQ(host.processLog, allBlocks());
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizado});
    ASSERT_NE(host.dataSource1, nullptr);
    EXPECT_EQ(host.dataSource1->Database(), &host.IBDatabase1());
    EXPECT_EQ(db.targetDetaches() - detaches, c.rapido ? 0 : 4);
    EXPECT_EQ(db.target.queryRows(kTargetTriggers),
              c.criarauto && !c.rapido ? kAllTriggerRows : std::vector<std::string>{});
    db.reconnectTarget();
    EXPECT_EQ(db.target.queryRows(kTargetTriggers),
              c.criarauto ? kAllTriggerRows : std::vector<std::string>{});
    if (c.criarauto) {
        // The body that reads into :X runs on the target as it does on the source.
        db.target.runSql("INSERT INTO T1 (ID) VALUES (1); INSERT INTO T1 (ID) VALUES (2);");
        EXPECT_EQ(db.target.queryRows("select qtd || ' ' || nota from t1 order by id"),
                  (std::vector<std::string>{"0 create me", "1 create me"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, TriggerProcess, allBoxCases(), ByLabel());

TEST(TriggerProcessTarget, HoldingEveryTriggerWritesNothing) {
    DatabasePair db(source(), source());
    const int detaches = db.targetDetaches();
    db.host().run(sync::runTriggerProcess);
    EXPECT_TRUE(db.host().processLog.empty());
    EXPECT_TRUE(db.host().errorLog.empty());
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(db.targetDetaches(), detaches);
}

// TRG_T2_AI does not compile where T2 lacks EXTRA: its error-log line, its closing banner, no
// reconnect for it, and the walk goes on. TRG_MESMO exists on the target but on T3: it counts as
// missing, and CREATE OR ALTER moves it to T1 as the source has it.
TEST(TriggerProcessTarget, FailuresGoToTheErrorLogAndTheWalkGoesOn) {
    DatabasePair db(source(), R"(
CREATE TABLE T1 (ID INTEGER, NOTA VARCHAR(20), QTD INTEGER);
CREATE TABLE T2 (ID INTEGER);
CREATE TABLE T3 (ID INTEGER);
SET TERM ^ ;
CREATE TRIGGER TRG_MESMO FOR T3 ACTIVE BEFORE INSERT POSITION 0 AS BEGIN END^
SET TERM ; ^
)");
    const int detaches = db.targetDetaches();
    db.host().run(sync::runTriggerProcess);

    EXPECT_EQ(db.host().processLog, allBlocks());
    EXPECT_EQ(
        db.host().errorLog,
        (std::vector<std::string>{"Não foi possivel criar a trigger: " + padded("TRG_T2_AI"),
                                  "    SQLCODE -206: unsuccessful metadata update - CREATE OR ALTER TRIGGER "
                                  "TRG_T2_AI failed - Dynamic SQL Error - SQL error code = -206 - Column "
                                  "unknown - EXTRA"}));
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(db.targetDetaches() - detaches, 3);
    EXPECT_EQ(db.target.queryRows(kTargetTriggers),
              (std::vector<std::string>{"TRG_MESMO T1 1", "TRG_T1_BI T1 0", "trg'aspa T3 0"}));
}

// A database trigger has no table: the extractor writes it with its event phrase in place of the
// table, and with criarauto it is created on the target. Without criarauto nothing is executed and
// the target is still reconnected.
TEST(TriggerProcessTarget, DatabaseTriggerArrivesWithItsEventPhrase) {
    constexpr char kSql[] = R"(
SET TERM ^ ;
CREATE TRIGGER TRG_CONEXAO ON CONNECT POSITION 0 AS BEGIN END^
SET TERM ; ^
)";
    const std::string text =
        "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"TRG_CONEXAO\" \r\nACTIVE ON CONNECT POSITION "
        "0\r\nAS BEGIN END\r\n ;\r\n\r\n\r\n";
    for (const bool criarauto : {true, false}) {
        SCOPED_TRACE(criarauto);
        DatabasePair db(kSql, "");
        db.host().criarautoValue = criarauto;
        const int detaches = db.targetDetaches();
        db.host().run(sync::runTriggerProcess);
        EXPECT_EQ(db.host().processLog, block("TRG_CONEXAO", text));
        EXPECT_EQ(db.host().errorLog, std::vector<std::string>{});
        EXPECT_EQ(db.targetDetaches() - detaches, 1);
        EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
        EXPECT_EQ(
            db.target.queryValue("select count(*) from rdb$triggers where rdb$trigger_name = "
                                 "'TRG_CONEXAO' and rdb$relation_name is null and rdb$trigger_type = 8192"),
            criarauto ? "1" : "0");
        if (criarauto) {
            // Found by its probe afterwards: a second run writes nothing.
            db.host().processLog.clear();
            db.host().run(sync::runTriggerProcess);
            EXPECT_EQ(db.host().processLog, std::vector<std::string>{});
            EXPECT_EQ(db.host().errorLog, std::vector<std::string>{});
        }
    }
}

// User triggers are told from the server's by their flags: triggers named RDB_... and CHECK_...
// are carried, the triggers the server makes for a check constraint are not walked.
TEST(TriggerProcessTarget, NamesLikeTheServersAreCarriedCheckTriggersAreNot) {
    constexpr char kTable[] = "CREATE TABLE T1 (ID INTEGER, A INTEGER, CHECK (A > 0));";
    DatabasePair db(std::string(kTable) + R"(
SET TERM ^ ;
CREATE TRIGGER CHECK_MEU FOR T1 BEFORE INSERT AS BEGIN END^
CREATE TRIGGER RDB_MEU FOR T1 AFTER INSERT AS BEGIN END^
SET TERM ; ^
)",
                    kTable);
    db.host().run(sync::runTriggerProcess);
    std::vector<std::string> names;
    for (const std::string& line : db.host().processLog)
        if (line.rfind("Trigger não encontrada; ", 0) == 0)
            names.push_back(line);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Trigger não encontrada; " + padded("CHECK_MEU"),
                                               "Trigger não encontrada; " + padded("RDB_MEU")}));
    EXPECT_EQ(db.host().errorLog, std::vector<std::string>{});
    EXPECT_EQ(
        db.target.queryValue("select count(*) from rdb$triggers where rdb$trigger_name in ('CHECK_MEU', "
                             "'RDB_MEU')"),
        "2");
}

// The extractor's closing line is removed where it wrote it; the same text inside the body stays.
TEST(TriggerProcessTarget, BodyHoldingTheClosingTextArrivesWhole) {
    constexpr char kSql[] = R"(
CREATE TABLE T1 (ID INTEGER, S VARCHAR(40));
SET TERM ^ ;
CREATE TRIGGER TRG_COMMIT FOR T1 BEFORE INSERT AS
BEGIN
  NEW.S = 'COMMIT WORK ;';
END^
SET TERM ; ^
)";
    DatabasePair db(kSql, "CREATE TABLE T1 (ID INTEGER, S VARCHAR(40));");
    db.host().run(sync::runTriggerProcess);
    EXPECT_EQ(db.host().processLog,
              block("TRG_COMMIT",
                    "\r\n\r\n\r\nCREATE OR ALTER TRIGGER \"TRG_COMMIT\" FOR \"T1\" \r\nACTIVE BEFORE "
                    "INSERT POSITION 0\r\nAS\r\nBEGIN\r\n  NEW.S = 'COMMIT WORK ;';\r\nEND\r\n "
                    ";\r\n\r\n\r\n"));
    EXPECT_EQ(db.host().errorLog, std::vector<std::string>{});
    db.target.runSql("INSERT INTO T1 (ID) VALUES (1);");
    EXPECT_EQ(db.target.queryValue("SELECT S FROM T1"), "COMMIT WORK ;");
}

} // namespace
} // namespace vistrel::test
