// vistrel-sync on a target in use, run as a program against the real server: a termination signal
// at several points of a run stops it before its next object, reports what was done and exits
// with 128 + the signal, and a rerun then converges; a customer's connection holding a table the
// run alters makes that table fail after the lock timeout, and the run goes on.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "tests/support/process.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/tcprelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <thread>

#include <sys/mount.h>
#include <unistd.h>

#ifndef VISTREL_SYNC_PROGRAM
#error "VISTREL_SYNC_PROGRAM must name vistrel-sync"
#endif

namespace vistrel::test::integration {
namespace {

struct SyncRun {
    int status = -1;
    int endedBySignal = 0;
    std::string out;
    std::string err;
};

std::vector<std::string> passwordVariables() {
    const std::string& password = TestServer::instance().password();
    return {"VISTREL_SOURCE_PASSWORD=" + password, "VISTREL_TARGET_PASSWORD=" + password};
}

std::vector<std::string> syncArguments(const ScratchDatabase& source, const ScratchDatabase& target,
                                       const std::vector<std::string>& more) {
    std::vector<std::string> argv{VISTREL_SYNC_PROGRAM, "--source", source.connectionString(), "--target",
                                  target.connectionString()};
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

SyncRun resultOf(const ProcessResult& r) {
    return {r.exitCode, r.endedBySignal, r.out, r.err};
}

SyncRun runSync(const ScratchDatabase& source, const ScratchDatabase& target,
                const std::vector<std::string>& more = {}) {
    return resultOf(runProcess(syncArguments(source, target, more), {}, passwordVariables()));
}

std::string describe(const SyncRun& run) {
    return "status " + std::to_string(run.status) + ", ended by signal " + std::to_string(run.endedBySignal) +
           "\n--- stdout:\n" + run.out + "\n--- stderr:\n" + run.err;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The number after `field` in the summary line that starts with `line`; -1 without that line.
int summaryCount(const std::string& out, const std::string& line, const std::string& field) {
    const std::regex pattern("(^|\n)" + std::regex_replace(line, std::regex(R"([\[\]])"), R"(\$&)") +
                             "[^\n]*" + field + " ([0-9]+)");
    std::smatch match;
    if (!std::regex_search(out, match, pattern))
        return -1;
    return std::stoi(match[2].str());
}

int userTables(const ScratchDatabase& database) {
    return std::stoi(database.queryValue("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 AND "
                                         "RDB$VIEW_BLR IS NULL AND RDB$RELATION_NAME STARTING WITH 'T'"));
}

// ---- Termination signals ---------------------------------------------------------------------------

// The tables of the signals' source, each with an index and a trigger.
constexpr int kSignalTables = 120;

// A source with something for every process 1 to 7, enough of it that a run lasts a few seconds.
std::string signalSource() {
    std::string sql;
    for (int g = 0; g < 40; ++g)
        sql += "CREATE GENERATOR G_SINAL_" + std::to_string(g) + ";\n";
    sql += "CREATE EXCEPTION E_SINAL 'parado';\n"
           "CREATE DOMAIN DM_SINAL AS INTEGER;\n";
    for (int t = 0; t < kSignalTables; ++t) {
        const std::string table = "T" + std::to_string(t);
        sql += "CREATE TABLE " + table + " (ID INTEGER NOT NULL";
        for (int c = 0; c < 5; ++c)
            sql += ", C" + std::to_string(c) + " VARCHAR(20)";
        sql += ");\n";
        sql += "CREATE INDEX IX_" + table + " ON " + table + " (C0);\n";
    }
    sql += "SET TERM ^ ;\n";
    for (int t = 0; t < kSignalTables; ++t)
        sql += "CREATE TRIGGER TR_T" + std::to_string(t) + " FOR T" + std::to_string(t) +
               " BEFORE UPDATE AS BEGIN NEW.C1 = 'y'; END^\n";
    sql += "SET TERM ; ^\n";
    sql += "CREATE VIEW V_SINAL AS SELECT ID FROM T0;\n"
           "SET TERM ^ ;\n"
           "CREATE PROCEDURE P_SINAL (A INTEGER) RETURNS (B INTEGER) AS BEGIN B = A; SUSPEND; END^\n"
           "CREATE TRIGGER TR_SINAL FOR T0 BEFORE INSERT AS BEGIN NEW.C0 = 'x'; END^\n"
           "SET TERM ; ^\n";
    return sql;
}

// Where in the run the signal is sent: once the predicate holds for the command's output so far
// and the target.
struct SignalPoint {
    const char* name;
    int signal;
    std::function<bool(const std::string& out, const ScratchDatabase& target)> reached;
};

const SignalPoint kSignalPoints[] = {
    // While the generators are being created (the first of them has been written).
    {"SigintInTheGenerators", SIGINT,
     [](const std::string& out, const ScratchDatabase&) { return contains(out, "Generator Criado; "); }},
    // In the middle of the table phase: the statement of its fourth table has been written.
    {"SigtermInTheTables", SIGTERM,
     [](const std::string& out, const ScratchDatabase&) { return contains(out, "CREATE TABLE T3 "); }},
    // After the tables, in the later processes (the trigger process has begun).
    {"SighupAfterTheTables", SIGHUP,
     [](const std::string& out, const ScratchDatabase&) {
         return contains(out, "Trigger não encontrada; ");
     }},
};

class CliSignals : public ::testing::TestWithParam<SignalPoint> {};

TEST_P(CliSignals, StopsBeforeTheNextObjectReportsWhatWasDoneAndARerunConverges) {
    const SignalPoint& point = GetParam();
    const ScratchDatabase source("origem", "sinal.fdb", {.sql = signalSource()});
    const ScratchDatabase target("destino", "sinal.fdb");
    const std::vector<std::string> processes{"--processes", "1,2,3,4,5,6,7"};

    SyncRun stopped;
    bool sent = false;
    {
        RunningProcess command(syncArguments(source, target, processes), passwordVariables());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
        while (!sent && !command.ended() && std::chrono::steady_clock::now() < deadline) {
            if (point.reached(command.outSoFar(), target))
                sent = command.signal(point.signal);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stopped = resultOf(command.wait());
    }
    ASSERT_TRUE(sent) << "the run ended before the signal could be sent\n" << describe(stopped);

    // The command ended by itself, with the signal's status: no crash, no core.
    EXPECT_EQ(stopped.endedBySignal, 0) << describe(stopped);
    EXPECT_EQ(stopped.status, 128 + point.signal) << describe(stopped);
    const std::string signalName = point.signal == SIGINT    ? "SIGINT"
                                   : point.signal == SIGTERM ? "SIGTERM"
                                                             : "SIGHUP";
    EXPECT_TRUE(contains(stopped.err, "vistrel-sync: interrompido pelo sinal " + signalName + "; "))
        << describe(stopped);
    // Nothing failed on the way: the stop came between two objects.
    EXPECT_FALSE(contains(stopped.err, "Erro na tabela")) << describe(stopped);
    EXPECT_FALSE(contains(stopped.err, "SQLCODE")) << describe(stopped);
    EXPECT_FALSE(contains(stopped.out, "falhas 1")) << describe(stopped);
    // The summary was written, the interrupted process marked as such (unless the signal came
    // between two processes), none after it begun.
    EXPECT_TRUE(contains(stopped.out, " interrompido (sinal " + signalName + ")\n") ||
                !contains(stopped.out, "[7 índices]"))
        << describe(stopped);
    EXPECT_FALSE(
        contains(stopped.out, "[7 índices] índices: percorridos " + std::to_string(kSignalTables) + ","))
        << describe(stopped);

    // What the summary says was created is on the target.
    const int generatorsCreated = summaryCount(stopped.out, "[1 generators] generators:", "criados");
    ASSERT_GE(generatorsCreated, 1) << describe(stopped);
    EXPECT_EQ(std::stoi(target.queryValue("SELECT COUNT(*) FROM RDB$GENERATORS WHERE RDB$SYSTEM_FLAG = 0")),
              generatorsCreated)
        << describe(stopped);
    const int tablesCreated = summaryCount(stopped.out, "[4 tabelas e views] tabelas:", "criados");
    EXPECT_EQ(userTables(target), tablesCreated < 0 ? 0 : tablesCreated) << describe(stopped);
    if (point.signal == SIGTERM) {
        EXPECT_LT(tablesCreated, kSignalTables) << describe(stopped);
    }
    // No table was left half made: every table there has all its columns.
    const std::vector<std::string> columnCounts = target.queryRows(
        "SELECT COUNT(*) FROM RDB$RELATION_FIELDS F JOIN RDB$RELATIONS R ON R.RDB$RELATION_NAME = "
        "F.RDB$RELATION_NAME WHERE R.RDB$SYSTEM_FLAG = 0 AND R.RDB$VIEW_BLR IS NULL GROUP BY "
        "F.RDB$RELATION_NAME");
    for (const std::string& count : columnCounts)
        EXPECT_EQ(std::stoi(count), 6) << describe(stopped);

    // The rerun finishes what was left and the check then finds the target up to date.
    const SyncRun rerun = runSync(source, target, processes);
    EXPECT_EQ(rerun.status, 0) << describe(rerun);
    EXPECT_EQ(userTables(target), kSignalTables);
    const SyncRun check = runSync(source, target, {"--check", "--processes", "1,2,3,4,5,6,7"});
    EXPECT_EQ(check.status, 0) << describe(check);
    EXPECT_TRUE(contains(check.out, "\nDestino em dia: nada a criar.\n")) << describe(check);
}

INSTANTIATE_TEST_SUITE_P(Points, CliSignals, ::testing::ValuesIn(kSignalPoints),
                         [](const ::testing::TestParamInfo<SignalPoint>& p) {
                             return std::string(p.param.name);
                         });

// ---- Lock waits with a limit -------------------------------------------------------------------------

// A customer's connection to the target: it updates a row of the table and keeps its transaction
// open until it is released.
class Holder {
public:
    Holder(const ScratchDatabase& database, const std::string& update) {
        m_session.setServerType("IBServer");
        m_transaction.setDefaultDatabase(&m_session);
        m_session.setDefaultTransaction(&m_transaction);
        m_session.setDatabaseName(database.connectionString());
        m_session.Params().Add("user_name=" + database.user());
        m_session.Params().Add("password=" + database.password());
        m_session.setConnected(true);
        data::TIBDataSet statement;
        statement.setDatabase(&m_session);
        statement.SelectSQL().Add(update);
        statement.ExecSQL();
    }
    ~Holder() { release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    void release() {
        if (m_transaction.Active())
            m_transaction.Rollback();
        m_session.setConnected(false);
    }

private:
    data::TIBDatabase m_session;
    data::TIBTransaction m_transaction;
};

TEST(CliLockTimeout, ObjectsOnATableInUseFailAfterTheLimitWithTheServersReasonAndTheRunGoesOn) {
    const ScratchDatabase source("origem", "trava.fdb",
                                 {.sql = "CREATE TABLE CLIENTES (ID INTEGER NOT NULL, NOME VARCHAR(30));\n"
                                         "CREATE INDEX IX_NOME ON CLIENTES (NOME);\n"
                                         "ALTER TABLE CLIENTES ADD CONSTRAINT PK_CLIENTES PRIMARY KEY (ID);\n"
                                         "CREATE GENERATOR G_DEPOIS;\n"});
    const ScratchDatabase target("destino", "trava.fdb",
                                 {.sql = "CREATE TABLE CLIENTES (ID INTEGER NOT NULL, NOME VARCHAR(30));\n"
                                         "INSERT INTO CLIENTES VALUES (1, 'Ana');\n"});
    const std::vector<std::string> processes{"--processes", "7,8,1"};
    Holder holder(target, "UPDATE CLIENTES SET NOME = 'Bia' WHERE ID = 1");

    std::vector<std::string> limited = processes;
    limited.insert(limited.end(), {"--lock-timeout", "2"});
    RunningProcess command(syncArguments(source, target, limited), passwordVariables());
    // Far beyond the limit: a run still going then waits for the holder, not for its limit.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!command.ended() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const bool endedWhileHeld = command.ended();
    holder.release();
    const SyncRun run = resultOf(command.wait());
    ASSERT_TRUE(endedWhileHeld) << "the run waited for the holder's transaction\n" << describe(run);

    EXPECT_EQ(run.status, 1) << describe(run);
    // Each object on the table in use fails with its line and the server's reason, which names the
    // table; the run goes on with the next object and the next process.
    const std::string inUse =
        "    SQLCODE -901: lock time-out on wait transaction - unsuccessful metadata update - "
        "object TABLE \"CLIENTES\" is in use\n";
    EXPECT_TRUE(contains(run.out, "Não foi possivel criar esse indice!\n" + inUse)) << describe(run);
    EXPECT_TRUE(contains(run.err, "Não foi possivel criar a constraint: PK_CLIENTES")) << describe(run);
    EXPECT_EQ(summaryCount(run.out, "[7 índices] índices:", "falhas"), 1) << describe(run);
    EXPECT_EQ(summaryCount(run.out, "[8 constraints] constraints:", "falhas"), 1) << describe(run);
    EXPECT_EQ(summaryCount(run.out, "[1 generators] generators:", "criados"), 1) << describe(run);
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = 'G_DEPOIS'"),
              "1");
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$RELATION_NAME = 'CLIENTES'"),
              "0");

    // With the holder gone the same run creates them, and a target nobody else uses sees no change.
    const SyncRun rerun = runSync(source, target, processes);
    EXPECT_EQ(rerun.status, 0) << describe(rerun);
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$RELATION_NAME = 'CLIENTES'"),
              "2");
}

// ---- A full disk --------------------------------------------------------------------------------

namespace fs = std::filesystem;

// A small filesystem (tmpfs with a size limit) mounted over a scratch database's folder, the
// database moved onto it: the database has `spare` bytes to grow by and then meets a full disk.
// Unmounted when it goes, after the database was dropped (declare it before the database).
class SmallDisk {
public:
    SmallDisk() = default;
    ~SmallDisk() {
        if (m_mounted.empty())
            return;
        ::umount2(m_mounted.c_str(), MNT_DETACH);
        std::error_code ignored;
        fs::remove_all(m_mounted, ignored);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    // Empty when it worked, else why not.
    std::string putUnder(const ScratchDatabase& database, std::uintmax_t spare) {
        if (::geteuid() != 0)
            return "not root";
        const fs::path file = database.path();
        const fs::path aside =
            database.folder().parent_path() / (database.folder().filename().string() + ".aside");
        fs::rename(file, aside);
        const std::uintmax_t size = fs::file_size(aside) + spare;
        const std::string options = "size=" + std::to_string(size) + ",mode=0777";
        if (::mount("tmpfs", database.folder().c_str(), "tmpfs", 0, options.c_str()) != 0) {
            const std::string reason = std::strerror(errno);
            fs::rename(aside, file);
            return "mount: " + reason;
        }
        m_mounted = database.folder();
        fs::copy_file(aside, file);
        fs::remove(aside);
        return {};
    }

private:
    fs::path m_mounted;
};

TEST(CliFullDisk, EndsTheRunAtOnceWithOneLineStatusTwoAndNothingOfTheProcessReportedDone) {
    std::string tables;
    for (int t = 0; t < 150; ++t) {
        tables += "CREATE TABLE TABELA_COM_NOME_LONGO_" + std::to_string(t) + " (";
        for (int c = 0; c < 25; ++c)
            tables +=
                std::string(c ? ", " : "") + "COLUNA_COM_NOME_LONGO_" + std::to_string(c) + " VARCHAR(200)";
        tables += ");\n";
    }
    const ScratchDatabase source("origem", "cheio.fdb", {.sql = "CREATE GENERATOR G_ANTES;\n" + tables});
    SmallDisk disk;
    const ScratchDatabase target("destino", "cheio.fdb");
    const std::string refused = disk.putUnder(target, 256 * 1024);
    if (!refused.empty())
        GTEST_SKIP() << "no small filesystem here (" << refused << "); see README, \"A full disk\"";

    const SyncRun run = runSync(source, target, {"--processes", "1,4,7"});
    EXPECT_EQ(run.status, 2) << describe(run);
    // One line for the run's end, naming the target and the server's reason; no failure line after it.
    EXPECT_TRUE(contains(run.err, "vistrel-sync: [4 tabelas e views] erro grave no destino " +
                                      target.connectionString() + ": "))
        << describe(run);
    EXPECT_TRUE(contains(run.err, "No space left on device")) << describe(run);
    EXPECT_FALSE(contains(run.err, "Erro na tabela")) << describe(run);
    EXPECT_FALSE(contains(run.out, "Erro na tabela")) << describe(run);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << describe(run);
    // Process 1 ended before and stays reported; process 4 is not reported as done, none after it ran.
    EXPECT_EQ(summaryCount(run.out, "[1 generators] generators:", "criados"), 1) << describe(run);
    EXPECT_TRUE(contains(run.out, "\n[4 tabelas e views] interrompido (erro grave)\n")) << describe(run);
    EXPECT_FALSE(contains(run.out, "[4 tabelas e views] tabelas:")) << describe(run);
    EXPECT_FALSE(contains(run.out, "nenhum objeto")) << describe(run);
    EXPECT_FALSE(contains(run.out, "[7 ")) << describe(run);
}

// ---- The direct-execution connection meets a server that is gone ----------------------------------

// The target's server gone in the middle of the procedure process (the relay before it closed, its
// port refused): whether the direct-execution connection meets it in a statement or when it
// attaches again between two procedures, the run ends with one lost-connection line and status 2,
// never with a failure line for that procedure or the ones after it.
TEST(CliDirectConnectionLost, AReconnectBetweenTwoProceduresEndsTheRunWithOneLineAndStatusTwo) {
    std::string procedures = "SET TERM ^ ;\n";
    for (int p = 0; p < 80; ++p)
        procedures += "CREATE PROCEDURE P_" + std::to_string(p) +
                      " (A INTEGER) RETURNS (B INTEGER) AS BEGIN B = A + " + std::to_string(p) +
                      "; SUSPEND; END^\n";
    procedures += "SET TERM ; ^\n";
    const ScratchDatabase source("origem", "direta.fdb", {.sql = procedures});
    const ScratchDatabase target("destino", "direta.fdb");
    std::optional<TcpRelay> relay(std::in_place, TestServer::instance().port());
    const std::string targetName = relay->host() + ":" + target.path().string();

    std::vector<std::string> argv{
        VISTREL_SYNC_PROGRAM, "--source", source.connectionString(), "--target", targetName,
        "--processes",        "5"};
    RunningProcess command(argv, passwordVariables());
    bool cut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    while (!cut && !command.ended() && std::chrono::steady_clock::now() < deadline) {
        // Once a procedure has been committed (read past the relay), the relay is cut.
        if (std::stoi(target.queryValue("SELECT COUNT(*) FROM RDB$PROCEDURES")) >= 2) {
            relay.reset();
            cut = true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    const SyncRun run = resultOf(command.wait());
    ASSERT_TRUE(cut) << describe(run);
    EXPECT_EQ(run.status, 2) << describe(run);
    EXPECT_TRUE(contains(run.err, "vistrel-sync: [5 procedures] conexão perdida com o destino " + targetName))
        << describe(run);
    EXPECT_FALSE(contains(run.out + run.err, "Não foi possivel")) << describe(run);
    EXPECT_FALSE(contains(run.out + run.err, "SQLCODE")) << describe(run);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << describe(run);
    EXPECT_TRUE(contains(run.out, "\n[5 procedures] interrompido (conexão perdida)\n")) << describe(run);
    EXPECT_LT(std::stoi(target.queryValue("SELECT COUNT(*) FROM RDB$PROCEDURES")), 80);
}

} // namespace
} // namespace vistrel::test::integration
