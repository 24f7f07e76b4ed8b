// Every process that has a failure line writes, under it and in the same pane, the reason the
// server gave: its SQL code and its message on one indented line. Against real databases, each
// case an object that does not compile on the target.
#include "data/errors.h"
#include "sync/objectprocess.h"
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vistrel::test {
namespace {

struct ReasonCase {
    const char* label;
    sync::ProcessEntry process;
    const char* sourceSql;
    const char* targetSql;
    bool errorLog; // the pane of the failure line: the error log, or else the process log
    std::string failureLine;
    std::string reason;
    // A failure line of the process log stands in the error log too, as this line (empty: the
    // same line), followed by the same reason.
    std::string errorLogLine = {};
};

void PrintTo(const ReasonCase& c, std::ostream* os) {
    *os << c.label;
}

class FailureReason : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(FailureReason, FollowsTheFailureLineInItsPane) {
    const ReasonCase& c = GetParam();
    DatabasePair db(c.sourceSql, c.targetSql);
    db.host().run(c.process);
    const std::vector<std::string>& pane = c.errorLog ? db.host().errorLog : db.host().processLog;
    const std::vector<std::string>& otherPane = c.errorLog ? db.host().processLog : db.host().errorLog;

    std::vector<std::string> following;
    for (size_t i = 0; i < pane.size(); ++i)
        if (pane[i] == c.failureLine && i + 1 < pane.size())
            following.push_back(pane[i + 1]);
    EXPECT_EQ(following, std::vector<std::string>{c.reason}) << ::testing::PrintToString(pane);
    if (c.errorLog) {
        for (const std::string& entry : otherPane)
            EXPECT_NE(entry.rfind("    SQLCODE", 0), 0u) << entry;
    } else {
        // The error log holds the failure as well, naming the object, with the server's reason.
        const std::string line = c.errorLogLine.empty() ? c.failureLine : c.errorLogLine;
        EXPECT_EQ(otherPane, (std::vector<std::string>{line, c.reason}));
    }
}

// The target has the table T without the column EXTRA.
constexpr char kTargetWithoutExtra[] = "CREATE TABLE T (ID INTEGER);";

INSTANTIATE_TEST_SUITE_P(
    EveryProcessWithAFailureLine, FailureReason,
    ::testing::Values(
        ReasonCase{"trigger", sync::runTriggerProcess,
                   "CREATE TABLE T (ID INTEGER, EXTRA INTEGER);\n"
                   "SET TERM ^ ;\n"
                   "CREATE TRIGGER TRG_EXTRA FOR T ACTIVE BEFORE INSERT POSITION 0 AS BEGIN NEW.EXTRA = 1; "
                   "END^\n"
                   "SET TERM ; ^\n",
                   kTargetWithoutExtra, true, "Não foi possivel criar a trigger: " + padded("TRG_EXTRA"),
                   "    SQLCODE -206: unsuccessful metadata update - CREATE OR ALTER TRIGGER TRG_EXTRA "
                   "failed - Dynamic SQL Error - SQL error code = -206 - Column unknown - NEW.EXTRA"},
        ReasonCase{"index", sync::runIndexProcess,
                   "CREATE TABLE T (ID INTEGER, EXTRA INTEGER);\nCREATE INDEX IX_EXTRA ON T (EXTRA);\n",
                   kTargetWithoutExtra, false, "Não foi possivel criar esse indice!",
                   "    SQLCODE -607: unsuccessful metadata update - CREATE INDEX IX_EXTRA failed - Unknown "
                   "columns in index IX_EXTRA",
                   "Não foi possivel criar o indice: " + padded("IX_EXTRA")},
        // On the target T is a view: the column cannot be added to it.
        ReasonCase{"table", sync::runTableViewProcess, "CREATE TABLE T (ID INTEGER, EXTRA INTEGER);\n",
                   "CREATE VIEW T (ID) AS SELECT 1 FROM RDB$DATABASE;\n", true,
                   "Erro na tabela: " + padded("T"),
                   "    SQLCODE -607: unsuccessful metadata update - ALTER TABLE T failed - SQL error code = "
                   "-607 - Invalid command - Table T does not exist"},
        // The view selects a column that the target's procedure of that name does not return.
        ReasonCase{"view", sync::runTableViewProcess,
                   "CREATE TABLE T (ID INTEGER);\n"
                   "SET TERM ^ ;\n"
                   "CREATE PROCEDURE SP_BASE RETURNS (ID INTEGER) AS BEGIN ID = 1; SUSPEND; END^\n"
                   "SET TERM ; ^\n"
                   "CREATE VIEW V_SOBRE (ID) AS SELECT ID FROM SP_BASE;\n",
                   "CREATE TABLE T (ID INTEGER);\n"
                   "SET TERM ^ ;\n"
                   "CREATE PROCEDURE SP_BASE RETURNS (OUTRO INTEGER) AS BEGIN OUTRO = 1; SUSPEND; END^\n"
                   "SET TERM ; ^\n",
                   false, "Não foi possivel criar à view V_SOBRE",
                   "    SQLCODE -206: unsuccessful metadata update - CREATE OR ALTER VIEW V_SOBRE failed - "
                   "Dynamic SQL Error - SQL error code = -206 - Column unknown - ID"},
        ReasonCase{"procedure", sync::runProcedureProcess,
                   "CREATE TABLE T (ID INTEGER, EXTRA INTEGER);\n"
                   "SET TERM ^ ;\n"
                   "CREATE PROCEDURE SP_EXTRA RETURNS (E INTEGER) AS BEGIN SELECT MAX(EXTRA) FROM T INTO :E; "
                   "SUSPEND; END^\n"
                   "SET TERM ; ^\n",
                   kTargetWithoutExtra, true, "Houve algum problema na execução dessa procedure SP_EXTRA",
                   "    SQLCODE -206: unsuccessful metadata update - CREATE OR ALTER PROCEDURE SP_EXTRA "
                   "failed - Dynamic SQL Error - SQL error code = -206 - Column unknown - EXTRA"}),
    ByLabel{});

// The reason's form, for the errors a step can raise.
TEST(FailureReasonText, OneIndentedLinePerError) {
    EXPECT_EQ(sync::failureReason(data::EIBInterBaseError(
                  "unsuccessful metadata update\r\nCREATE TRIGGER X failed\r\nColumn unknown\r\n", -607,
                  335544351)),
              "    SQLCODE -607: unsuccessful metadata update - CREATE TRIGGER X failed - Column unknown");
    EXPECT_EQ(sync::failureReason(data::EIBInterBaseRoleError("no permission\nfor ALTER", -551, 335544352)),
              "    SQLCODE -551: no permission - for ALTER");
    // A client error's number is not a server code: its message alone.
    EXPECT_EQ(sync::failureReason(
                  data::EIBClientError(data::ClientError::EmptySQLStatement, "Empty SQL Statement")),
              "    Empty SQL Statement");
    EXPECT_EQ(sync::failureReason(std::runtime_error("\r\nfirst\r\n\r\nsecond\n")), "    first - second");
    EXPECT_EQ(sync::failureReason(std::runtime_error("")), "    ");
}

} // namespace
} // namespace vistrel::test
