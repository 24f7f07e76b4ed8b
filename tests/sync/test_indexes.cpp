// 7-COMPARAR  INDICES against real source and target databases.
#include "data/errors.h"
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::test {
namespace {

constexpr char kIndexBanner[] = "-------------------------Inicio da Index--------------------------";
constexpr char kIndexFailed[] = "Não foi possivel criar esse indice!";

// One index per table, so that the walk's order (by table name) is fixed: unique, descending,
// inactive, named with an apostrophe, backing a primary key (not walked: the constraint makes it),
// and on a table the target lacks.
constexpr char kTargetTables[] = R"(
CREATE TABLE TA (ID INTEGER NOT NULL, A INTEGER);
CREATE TABLE TB (B INTEGER);
CREATE TABLE TC (C INTEGER, C2 VARCHAR(10));
CREATE TABLE TD (D INTEGER);
CREATE TABLE TP (ID INTEGER NOT NULL);
)";

constexpr char kIndexes[] = R"(
ALTER TABLE TP ADD CONSTRAINT PK_TP PRIMARY KEY (ID);
CREATE TABLE TZ_SO_ORIGEM (Z INTEGER);
CREATE UNIQUE INDEX IDX_A_UNICO ON TA (A);
CREATE DESCENDING INDEX IDX_B_DESC ON TB (B);
CREATE INDEX IDX_C_INATIVO ON TC (C, C2);
ALTER INDEX IDX_C_INATIVO INACTIVE;
CREATE INDEX "IDX'D" ON TD (D);
CREATE INDEX IDX_Z ON TZ_SO_ORIGEM (Z);
)";

std::string source() {
    return std::string(kTargetTables) + kIndexes;
}

// A failed index has its failure line and, under it, the server's reason.
std::vector<std::string> block(const std::string& name, const std::string& text,
                               const char* failureReason = nullptr) {
    std::vector<std::string> lines = {"Index não encontrada; " + padded(name), kIndexBanner, text};
    if (failureReason) {
        lines.push_back(kIndexFailed);
        lines.push_back(failureReason);
    }
    lines.push_back(kFim);
    return lines;
}

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> blocks) {
    std::vector<std::string> out;
    for (const auto& b : blocks)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

const std::vector<std::string> kUnique =
    block("IDX_A_UNICO", "\r\n\r\nCREATE UNIQUE INDEX \"IDX_A_UNICO\" ON \"TA\"(\"A\");\r\n");
const std::vector<std::string> kDescending =
    block("IDX_B_DESC", "\r\n\r\nCREATE DESCENDING INDEX \"IDX_B_DESC\" ON \"TB\"(\"B\");\r\n");
const std::vector<std::string> kInactive = block("IDX_C_INATIVO", "\r\n\r\nCREATE INDEX \"IDX_C_INATIVO\" ON "
                                                                  "\"TC\"(\"C\", \"C2\");\r\nALTER INDEX "
                                                                  "\"IDX_C_INATIVO\" INACTIVE;\r\n");
const std::vector<std::string> kApostrophe =
    block("IDX'D", "\r\n\r\nCREATE INDEX \"IDX'D\" ON \"TD\"(\"D\");\r\n");

// name, table, unique, descending, inactive; for the target's indexes outside system tables.
constexpr char kTargetIndexes[] =
    "select trim(rdb$index_name) || ' ' || trim(rdb$relation_name) || ' ' || coalesce(rdb$unique_flag, 0) || "
    "' ' || coalesce(rdb$index_type, 0) || ' ' || coalesce(rdb$index_inactive, 0) from rdb$indices "
    "where coalesce(rdb$system_flag, 0) = 0 order by rdb$index_name";
const std::vector<std::string> kCreatedRows = {"IDX'D TD 0 0 0", "IDX_A_UNICO TA 1 0 0",
                                               "IDX_B_DESC TB 0 1 0", "IDX_C_INATIVO TC 0 0 1"};

class IndexProcess : public ::testing::TestWithParam<BoxCase> {};

TEST_P(IndexProcess, EmptyTargetGetsEveryIndex) {
    const BoxCase c = GetParam();
    DatabasePair db(source(), kTargetTables);
    TestHost& host = db.host();
    host.criarautoValue = c.criarauto;
    host.rapidoValue = c.rapido;
    const int detaches = db.targetDetaches();

    host.run(sync::runIndexProcess);

    // The index on the table that the target lacks fails only when it is executed.
    const auto missingTable = block(
        "IDX_Z", "\r\n\r\nCREATE INDEX \"IDX_Z\" ON \"TZ_SO_ORIGEM\"(\"Z\");\r\n",
        c.criarauto ? "    SQLCODE -607: unsuccessful metadata update - CREATE INDEX IDX_Z failed - Unknown "
                      "columns in index IDX_Z"
                    : nullptr);
    EXPECT_EQ(host.processLog, join({kUnique, kDescending, kInactive, kApostrophe, missingTable}));
    // The failure stands in the error log too, naming the index, with the same reason.
    if (c.criarauto)
        EXPECT_EQ(host.errorLog,
                  (std::vector<std::string>{"Não foi possivel criar o indice: " + padded("IDX_Z"),
                                            "    SQLCODE -607: unsuccessful metadata update - CREATE "
                                            "INDEX IDX_Z failed - Unknown columns in index IDX_Z"}));
    else
        EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(host.processEventsCalls, 5);
    ASSERT_NE(host.dataSource1, nullptr);
    EXPECT_EQ(host.dataSource1->Database(), &host.IBDatabase1());
    // Reconnected after every missing index that did not fail, unless in fast mode.
    EXPECT_EQ(db.targetDetaches() - detaches, c.rapido ? 0 : (c.criarauto ? 4 : 5));
    EXPECT_EQ(db.target.queryRows(kTargetIndexes),
              c.criarauto && !c.rapido ? kCreatedRows : std::vector<std::string>{});
    db.reconnectTarget();
    EXPECT_EQ(db.target.queryRows(kTargetIndexes), c.criarauto ? kCreatedRows : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Boxes, IndexProcess, allBoxCases(), ByLabel());

TEST(IndexProcessTarget, HoldingEveryIndexWritesNothingButLetsEventsRunPerRow) {
    DatabasePair db(source(), source());
    const int detaches = db.targetDetaches();
    db.host().run(sync::runIndexProcess);
    EXPECT_TRUE(db.host().processLog.empty());
    EXPECT_TRUE(db.host().errorLog.empty());
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(db.host().processEventsCalls, 5);
    EXPECT_EQ(db.targetDetaches(), detaches);
}

// A unique index over rows that hold duplicates is accepted when executed and refused when the
// reconnect commits it: that index's failure line, and the walk goes on.
constexpr char kDuplicateSource[] = R"(
CREATE TABLE TU (U INTEGER);
CREATE TABLE TV (V INTEGER);
CREATE UNIQUE INDEX IDX_U ON TU (U);
CREATE INDEX IDX_V ON TV (V);
)";
constexpr char kDuplicateTarget[] = R"(
CREATE TABLE TU (U INTEGER);
CREATE TABLE TV (V INTEGER);
INSERT INTO TU VALUES (1);
INSERT INTO TU VALUES (1);
)";

TEST(IndexProcessTarget, CommitRefusedAtTheReconnectIsTheIndexFailure) {
    DatabasePair db(kDuplicateSource, kDuplicateTarget);
    db.host().run(sync::runIndexProcess);
    EXPECT_EQ(
        db.host().processLog,
        join({block("IDX_U", "\r\n\r\nCREATE UNIQUE INDEX \"IDX_U\" ON \"TU\"(\"U\");\r\n",
                    "    SQLCODE -803: attempt to store duplicate value (visible to active transactions) "
                    "in unique index \"IDX_U\" - Problematic key value is (\"U\" = 1)"),
              block("IDX_V", "\r\n\r\nCREATE INDEX \"IDX_V\" ON \"TV\"(\"V\");\r\n")}));
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(db.target.queryRows(kTargetIndexes), std::vector<std::string>{"IDX_V TV 0 0 0"});
}

// Elsewhere a refused commit ends the run: the unique index above, left uncommitted by a run in
// fast mode, makes the commit that starts the next run fail, before anything is written.
TEST(IndexProcessTarget, CommitRefusedAtTheStartOfTheNextRunEndsIt) {
    DatabasePair db(std::string(kDuplicateSource) +
                        "CREATE EXCEPTION E_UM 'um'; CREATE EXCEPTION E_DOIS 'dois';",
                    kDuplicateTarget);
    db.host().rapidoValue = true;
    db.host().run(sync::runIndexProcess);
    EXPECT_EQ(db.host().processLog.size(), 8u);
    db.host().processLog.clear();
    db.host().messages.clear();

    db.host().rapidoValue = false;
    EXPECT_THROW(db.host().run(sync::runExceptionProcess), data::EIBInterBaseError);
    EXPECT_TRUE(db.host().processLog.empty());
    EXPECT_TRUE(db.host().messages.empty());
    // The refused commit took the whole transaction with it; the target stays attached.
    EXPECT_TRUE(db.host().IBDatabase2().Connected());
    EXPECT_TRUE(db.target.queryRows(kTargetIndexes).empty());

    // The next run starts clean.
    db.host().run(sync::runExceptionProcess);
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kConcluido});
    EXPECT_EQ(db.target.queryRows("select trim(rdb$exception_name) from rdb$exceptions order by 1"),
              (std::vector<std::string>{"E_DOIS", "E_UM"}));
}

// A name with blanks inside is given to the extractor as it stands (only the padding goes), so the
// index is created under its exact name.
TEST(IndexProcessTarget, NameWithBlanksInsideIsCreatedUnderItsName) {
    DatabasePair db("CREATE TABLE TB (B INTEGER); CREATE INDEX \"IDX COM ESPACO\" ON TB (B);",
                    "CREATE TABLE TB (B INTEGER);");
    db.host().run(sync::runIndexProcess);
    EXPECT_EQ(db.host().processLog,
              block("IDX COM ESPACO", "\r\n\r\nCREATE INDEX \"IDX COM ESPACO\" ON \"TB\"(\"B\");\r\n"));
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(db.target.queryRows(kTargetIndexes), std::vector<std::string>{"IDX COM ESPACO TB 0 0 0"});
}

// User indexes are told from the server's by their flags: indexes named RDB_... and CHECK_... are
// carried, the indexes of the primary key, the foreign key and the unique constraint are not walked.
TEST(IndexProcessTarget, NamesLikeTheServersAreCarriedConstraintIndexesAreNot) {
    constexpr char kTables[] = R"(
CREATE TABLE TM (ID INTEGER NOT NULL PRIMARY KEY, U INTEGER UNIQUE, R INTEGER REFERENCES TM (ID), A INTEGER,
  CHECK (A > 0));
)";
    DatabasePair db(std::string(kTables) +
                        "CREATE INDEX RDB_IDX ON TM (A); CREATE INDEX CHECK_IDX ON TM (A, ID);",
                    kTables);
    db.host().run(sync::runIndexProcess);
    // Both on one table: the walk's order between them is the server's.
    const auto checkIdx =
        block("CHECK_IDX", "\r\n\r\nCREATE INDEX \"CHECK_IDX\" ON \"TM\"(\"A\", \"ID\");\r\n");
    const auto rdbIdx = block("RDB_IDX", "\r\n\r\nCREATE INDEX \"RDB_IDX\" ON \"TM\"(\"A\");\r\n");
    EXPECT_TRUE(db.host().processLog == join({checkIdx, rdbIdx}) ||
                db.host().processLog == join({rdbIdx, checkIdx}))
        << db.host().processLog.size();

    EXPECT_EQ(db.host().processEventsCalls, 2);
    EXPECT_EQ(db.target.queryValue("select count(*) from rdb$indices where rdb$index_name in ('RDB_IDX', "
                                   "'CHECK_IDX')"),
              "2");
}

} // namespace
} // namespace vistrel::test
