// The target's connection lost in the middle of a process: the real server, the target session
// and the direct-execution connection reached through a TCP relay that the test cuts right after
// the first object was created (the server keeps running). The run ends at the first call that
// meets the cut: the operator's message leaves the process, no failure line is written for the
// objects it did not reach, no completion message is shown, and the target session is closed as
// lost. Once the relay lets connections through again, the target attaches at the first try and
// the same process completes what the cut left undone.
#include "data/attach.h"
#include "data/errors.h"
#include "sync/objectevents.h"
#include "sync/processes.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/tcprelay.h"
#include "tests/support/testserver.h"
#include "tests/sync/testhost.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace vistrel::test {
namespace {

struct LostCase {
    const char* label;
    sync::ProcessEntry process;
    // Five objects of the kind in the source; the target has none of them (but what they stand on).
    std::string sourceSql;
    std::string targetSql;
    sync::ObjectType type;
    // The step after which the relay is cut: right after the first object's statements went to the
    // target (the next object meets the cut), or (Written) right before they go (the object's own
    // protected step meets it).
    sync::ObjectEvent cutAfter;
    // How many of the five the target holds after the run that completes the work.
    const char* countQuery;
    // Only the direct-execution connection goes through the relay, which goes silent instead of
    // refusing (a host that no longer answers): its next attach waits for its connect timeout.
    bool silent = false;
    // The events the view may see after the cut: those of the object that meets it (for the
    // reconnect between two procedures, the next one is walked, missing and written first).
    size_t eventsAfterCut = 1;
};

void PrintTo(const LostCase& c, std::ostream* os) {
    *os << c.label;
}

std::string five(const std::string& pattern) {
    std::string sql;
    for (int i = 1; i <= 5; ++i) {
        std::string line = pattern;
        for (size_t at = line.find('#'); at != std::string::npos; at = line.find('#'))
            line.replace(at, 1, std::to_string(i));
        sql += line + "\n";
    }
    return sql;
}

// A host whose target goes through the relay, which it cuts at the case's step.
class CuttingHost : public TestHost {
public:
    CuttingHost(const ScratchDatabase& source, const ScratchDatabase& target, TcpRelay& relay,
                const LostCase& c)
        : TestHost(source, target), m_relay(relay), m_case(c) {
        relayedName = relay.host() + ":" + target.path().string();
        if (!c.silent) {
            IBDatabase2().setConnected(false);
            components().setTargetLogin(relayedName, target.user(), target.password());
            IBDatabase2().setConnected(true);
        }
        components().connectDirectConnection(relayedName, target.user(), target.password());
    }

    void objectEvent(sync::ObjectEvent event, sync::ObjectType type, const std::string& name) override {
        if (cut)
            eventsAfterCut.push_back(name);
        if (event == sync::ObjectEvent::Failed)
            ++failures;
        if (!cut && type == m_case.type && event == m_case.cutAfter) {
            if (m_case.silent)
                m_relay.silence();
            else
                m_relay.cut();
            cut = true;
            processLogAtCut = processLog.size();
            errorLogAtCut = errorLog.size();
        }
    }

    std::string relayedName;
    bool cut = false;
    int failures = 0;
    size_t processLogAtCut = 0;
    size_t errorLogAtCut = 0;
    std::vector<std::string> eventsAfterCut;

private:
    TcpRelay& m_relay;
    const LostCase& m_case;
};

std::string lostMessage(const std::string& databaseName) {
    std::string message = data::kConnectionLostMessage;
    return message.replace(message.find("%s"), 2, databaseName);
}

class TargetLost : public ::testing::TestWithParam<LostCase> {};

TEST_P(TargetLost, EndsTheRunAtOnceWithOneMessageAndNoFailureLines) {
    const LostCase& c = GetParam();
    const ScratchDatabase source("origem", "perda.fdb", {.sql = c.sourceSql});
    const ScratchDatabase target("destino", "perda.fdb", {.sql = c.targetSql});
    TcpRelay relay(TestServer::instance().port());
    // A silent host is given up on after a short wait.
    const int connectTimeout = data::connectTimeoutSeconds();
    if (c.silent)
        data::setConnectTimeoutSeconds(2);
    {
        CuttingHost host(source, target, relay, c);
        std::string escaped;
        try {
            host.run(c.process);
        } catch (const data::EIBConnectionLost& lost) {
            escaped = lost.what();
        }
        ASSERT_TRUE(host.cut);
        EXPECT_EQ(escaped, lostMessage(host.relayedName));
        // Nothing after the cut: no failure line, no further object, no completion message.
        EXPECT_EQ(host.failures, 0);
        EXPECT_EQ(host.errorLog.size(), host.errorLogAtCut) << ::testing::PrintToString(host.errorLog);
        EXPECT_TRUE(host.eventsAfterCut.size() <= c.eventsAfterCut)
            << ::testing::PrintToString(host.eventsAfterCut);
        EXPECT_TRUE(host.messages.empty()) << ::testing::PrintToString(host.messages);
        EXPECT_FALSE(host.IBDatabase2().Connected() && !host.SQLConnection().connectionLost());
        EXPECT_TRUE(host.IBDatabase2().connectionLost() || host.SQLConnection().connectionLost());
        // The source was not touched by the cut.
        EXPECT_TRUE(host.IBDatabase1().Connected());
        EXPECT_FALSE(host.IBDatabase1().connectionLost());

        // Back: the target attaches at the first try (a still-attached session detaches without a
        // report) and the run completes.
        relay.restore();
        host.IBDatabase2().setConnected(false);
        host.IBDatabase2().setConnected(true);
        host.components().connectDirectConnection(host.relayedName, target.user(), target.password());
        host.cut = true; // no second cut
        host.messages.clear();
        host.errorLog.clear();
        host.run(c.process);
        EXPECT_EQ(host.failures, 0) << ::testing::PrintToString(host.errorLog);
        host.IBDatabase2().setConnected(false);
    }
    data::setConnectTimeoutSeconds(connectTimeout);
    EXPECT_EQ(target.queryValue(c.countQuery), "5");
}

INSTANTIATE_TEST_SUITE_P(
    Processes, TargetLost,
    ::testing::Values(
        LostCase{"generators", sync::runGeneratorProcess, five("CREATE GENERATOR G#;"), "",
                 sync::ObjectType::Generator, sync::ObjectEvent::Created,
                 "SELECT COUNT(*) FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME STARTING WITH 'G' AND "
                 "RDB$SYSTEM_FLAG = 0"},
        LostCase{"tables", sync::runTableViewProcess, five("CREATE TABLE T# (A INTEGER, B INTEGER);"), "",
                 sync::ObjectType::Column, sync::ObjectEvent::Created,
                 "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME STARTING WITH 'T' AND "
                 "RDB$SYSTEM_FLAG = 0"},
        LostCase{"procedures, at the direct execution", sync::runProcedureProcess,
                 "SET TERM ^ ;\n" +
                     five("CREATE PROCEDURE P# RETURNS (R INTEGER) AS BEGIN R = #; SUSPEND; END^") +
                     "SET TERM ; ^\n",
                 "", sync::ObjectType::Procedure, sync::ObjectEvent::Written,
                 "SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME STARTING WITH 'P'"},
        // The direct-execution connection closes after each procedure's commit: the next one
        // attaches it again and meets the cut there.
        LostCase{"procedures, at the reconnect between two", sync::runProcedureProcess,
                 "SET TERM ^ ;\n" +
                     five("CREATE PROCEDURE P# RETURNS (R INTEGER) AS BEGIN R = #; SUSPEND; END^") +
                     "SET TERM ; ^\n",
                 "", sync::ObjectType::Procedure, sync::ObjectEvent::Created,
                 "SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME STARTING WITH 'P'"},
        LostCase{"procedures, at the reconnect to a host gone silent", sync::runProcedureProcess,
                 "SET TERM ^ ;\n" +
                     five("CREATE PROCEDURE P# RETURNS (R INTEGER) AS BEGIN R = #; SUSPEND; END^") +
                     "SET TERM ; ^\n",
                 "", sync::ObjectType::Procedure, sync::ObjectEvent::Created,
                 "SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME STARTING WITH 'P'", true, 3},
        LostCase{
            "triggers, at the execution", sync::runTriggerProcess,
            "CREATE TABLE T (A INTEGER);\nSET TERM ^ ;\n" +
                five("CREATE TRIGGER TR# FOR T ACTIVE BEFORE INSERT POSITION # AS BEGIN NEW.A = #; END^") +
                "SET TERM ; ^\n",
            "CREATE TABLE T (A INTEGER);", sync::ObjectType::Trigger, sync::ObjectEvent::Written,
            "SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME STARTING WITH 'TR'"},
        LostCase{"indexes, at the execution", sync::runIndexProcess,
                 "CREATE TABLE T (A1 INTEGER, A2 INTEGER, A3 INTEGER, A4 INTEGER, A5 INTEGER);\n" +
                     five("CREATE INDEX IX# ON T (A#);"),
                 "CREATE TABLE T (A1 INTEGER, A2 INTEGER, A3 INTEGER, A4 INTEGER, A5 INTEGER);",
                 sync::ObjectType::Index, sync::ObjectEvent::Written,
                 "SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME STARTING WITH 'IX'"}),
    [](const ::testing::TestParamInfo<LostCase>& p) {
        std::string name;
        for (const char ch : std::string(p.param.label))
            if (std::isalnum(static_cast<unsigned char>(ch)))
                name += ch;
        return name;
    });

} // namespace
} // namespace vistrel::test
