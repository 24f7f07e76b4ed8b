#include "tests/support/scratchdatabase.h"
#include "tests/support/testserver.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using vistrel::test::IsqlError;
using vistrel::test::ProcessResult;
using vistrel::test::runProcess;
using vistrel::test::ScratchDatabase;
using vistrel::test::ScratchOptions;
using vistrel::test::sqlScript;
using vistrel::test::TestServer;

namespace fs = std::filesystem;

namespace {

// An isql-fb session that stays attached to a database until the object goes away (its input
// is a pipe that is closed only then).
class HeldAttachment {
public:
    explicit HeldAttachment(const ScratchDatabase& db) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
        m_input = fds[1];
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::string conn = db.connectionString();
        std::vector<std::string> args{"isql-fb", "-q", "-user", db.user(), "-password", db.password(), conn};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        int rc = ::posix_spawnp(&m_pid, "isql-fb", &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(fds[0]);
        if (rc != 0) {
            ::close(m_input);
            throw std::runtime_error("cannot start isql-fb");
        }
        // Wait until the server lists the session.
        for (int i = 0; i < 100; ++i) {
            if (db.queryValue(
                    "SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION "
                    "AND MON$REMOTE_PROTOCOL IS NOT NULL") != "0") {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        release();
        throw std::runtime_error("the held isql session never attached");
    }
    ~HeldAttachment() { release(); }
    HeldAttachment(const HeldAttachment&) = delete;
    HeldAttachment& operator=(const HeldAttachment&) = delete;

private:
    void release() {
        if (m_input >= 0) {
            ::close(m_input);
            m_input = -1;
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    int m_input = -1;
    pid_t m_pid = 0;
};

ProcessResult isqlAs(const ScratchDatabase& db, const std::string& user, const std::string& password) {
    return runProcess({"isql-fb", "-q", "-b", "-user", user, "-password", password, db.connectionString()},
                      "SELECT 1 FROM RDB$DATABASE;\n");
}

} // namespace

TEST(TestServerTest, IsAPrivateLoopbackServerWithItsOwnSysdbaPassword) {
    const TestServer& server = TestServer::instance();
    EXPECT_EQ(server.host(), "127.0.0.1/" + std::to_string(server.port()));
    EXPECT_NE(server.port(), 3050);
    EXPECT_EQ(server.user(), "SYSDBA");
    EXPECT_FALSE(server.password().empty());

    const char* envFile = std::getenv(vistrel::test::kServerEnvVariable);
    if (envFile != nullptr && *envFile != '\0') {
        std::ifstream in(envFile);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("VISTREL_FB_PASSWORD=" + server.password() + "\n"), std::string::npos);
        EXPECT_NE(text.find("VISTREL_FB_HOST=" + server.host() + "\n"), std::string::npos);
    }

    ScratchDatabase db("auth");
    ProcessResult good = isqlAs(db, "sysdba", server.password());
    EXPECT_EQ(good.exitCode, 0) << good.err;
    ProcessResult bad = isqlAs(db, "SYSDBA", server.password() + "x");
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("Your user name and password are not defined"), std::string::npos) << bad.err;
}

TEST(ScratchDatabaseTest, CreatesQueriesAndDropsItsDatabase) {
    fs::path file;
    fs::path folder;
    {
        ScratchDatabase db("probe");
        file = db.path();
        folder = db.folder();
        EXPECT_TRUE(file.is_absolute());
        EXPECT_EQ(file.parent_path(), folder);
        EXPECT_EQ(db.fileName(), "probe.fdb");
        EXPECT_EQ(db.connectionString(), TestServer::instance().host() + ":" + file.string());
        ASSERT_TRUE(fs::exists(file));

        EXPECT_EQ(db.queryValue("SELECT MON$DATABASE_NAME FROM MON$DATABASE"), file.string());
        EXPECT_EQ(db.queryValue("SELECT 'vistrel' || RDB$RELATION_ID FROM RDB$DATABASE"),
                  "vistrel" + db.queryValue("SELECT RDB$RELATION_ID FROM RDB$DATABASE"));
        EXPECT_NE(db.query("SELECT 'marca' FROM RDB$DATABASE").find("marca"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(folder));
}

TEST(ScratchDatabaseTest, TwoDatabasesMayShareAFileNameInDifferentFolders) {
    ScratchDatabase source("source", "fatura.fdb");
    ScratchDatabase target("target", "fatura.fdb");
    EXPECT_EQ(source.fileName(), "fatura.fdb");
    EXPECT_EQ(target.fileName(), "fatura.fdb");
    EXPECT_NE(source.folder(), target.folder());

    source.runSql("CREATE TABLE SO_NA_ORIGEM (ID INTEGER);");
    EXPECT_EQ(
        source.queryValue("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SO_NA_ORIGEM'"),
        "1");
    EXPECT_EQ(
        target.queryValue("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SO_NA_ORIGEM'"),
        "0");
}

TEST(ScratchDatabaseTest, SamePrefixGivesSeparateDatabases) {
    ScratchDatabase a("twin");
    ScratchDatabase b("twin");
    EXPECT_NE(a.path(), b.path());
    EXPECT_EQ(a.fileName(), b.fileName());
}

struct CreationCase {
    int dialect;
    std::string characterSet;
    std::string expectedCharacterSet; // as RDB$DATABASE reports it
};

void PrintTo(const CreationCase& c, std::ostream* os) {
    *os << "dialect " << c.dialect << ", character set \"" << c.characterSet << "\"";
}

class ScratchCreationTest : public testing::TestWithParam<CreationCase> {};

TEST_P(ScratchCreationTest, DialectAndDefaultCharacterSetAreApplied) {
    const CreationCase& c = GetParam();
    ScratchDatabase db("created", {.dialect = c.dialect, .characterSet = c.characterSet});
    EXPECT_EQ(db.dialect(), c.dialect);
    EXPECT_EQ(db.queryValue("SELECT MON$SQL_DIALECT FROM MON$DATABASE"), std::to_string(c.dialect));
    EXPECT_EQ(db.queryValue("SELECT RDB$CHARACTER_SET_NAME FROM RDB$DATABASE"), c.expectedCharacterSet);
    // Tables made with the default character set carry it.
    db.runSql("CREATE TABLE T (C VARCHAR(10));");
    EXPECT_EQ(db.queryValue("SELECT S.RDB$CHARACTER_SET_NAME FROM RDB$RELATION_FIELDS RF "
                            "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
                            "JOIN RDB$CHARACTER_SETS S ON S.RDB$CHARACTER_SET_ID = F.RDB$CHARACTER_SET_ID "
                            "WHERE RF.RDB$RELATION_NAME = 'T'"),
              c.expectedCharacterSet);
}

INSTANTIATE_TEST_SUITE_P(Options, ScratchCreationTest,
                         testing::Values(CreationCase{3, "", "NONE"}, CreationCase{1, "", "NONE"},
                                         CreationCase{3, "WIN1252", "WIN1252"},
                                         CreationCase{1, "ISO8859_1", "ISO8859_1"},
                                         CreationCase{3, "UTF8", "UTF8"}),
                         [](const testing::TestParamInfo<CreationCase>& param) {
                             return "Dialect" + std::to_string(param.param.dialect) + "_" +
                                    param.param.expectedCharacterSet;
                         });

TEST(ScratchDatabaseTest, DemoSourceScriptBuildsTheWholeSchema) {
    ScratchDatabase db("source", "fatura.fdb", {.script = sqlScript("demo_source.sql")});

    EXPECT_EQ(db.queryRows("SELECT RDB$GENERATOR_NAME FROM RDB$GENERATORS WHERE RDB$SYSTEM_FLAG = 0 "
                           "ORDER BY 1"),
              (std::vector<std::string>{"G_CLIENTES", "G_ITENS", "G_PEDIDOS", "G_PRODUTOS"}));
    EXPECT_EQ(db.queryValue("SELECT RDB$MESSAGE FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = 'E_ESTOQUE'"),
              "Sem estoque");
    EXPECT_EQ(
        db.queryValue(
            "SELECT RDB$FIELD_PRECISION || ' ' || RDB$FIELD_SCALE || ' ' || RDB$NULL_FLAG || ' ' "
            "|| CAST(RDB$DEFAULT_SOURCE AS VARCHAR(100)) FROM RDB$FIELDS WHERE RDB$FIELD_NAME = 'DM_VALOR'"),
        "15 -2 1 DEFAULT 0");
    EXPECT_EQ(db.queryRows("SELECT RDB$RELATION_NAME FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 "
                           "AND RDB$VIEW_BLR IS NULL ORDER BY 1"),
              (std::vector<std::string>{"CLIENTES", "ITENS", "PEDIDOS", "PRODUTOS"}));
    EXPECT_EQ(
        db.queryValue(
            "SELECT CAST(TRIM(RDB$VIEW_SOURCE) AS VARCHAR(200)) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = "
            "'V_CLIENTES'"),
        "select id, nome from clientes");
    EXPECT_NE(db.query("SELECT RDB$TRIGGER_SOURCE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'TRG_PED_BI'")
                  .find("NEW.ID = GEN_ID(G_PEDIDOS, 1);"),
              std::string::npos);
    EXPECT_EQ(
        db.queryValue("SELECT RDB$RELATION_NAME FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'IDX_PED_DATA'"),
        "PEDIDOS");
    EXPECT_EQ(db.queryValue("SELECT COUNT(*) FROM RDB$PROCEDURES"), "2");
    // The procedure and the triggers work on the sample rows.
    EXPECT_EQ(db.queryValue("SELECT ITENS || ' ' || TOTAL FROM SP_TOTAL_PEDIDO(1)"), "2 281.00");
    // Accented text arrives byte for byte as the script holds it.
    EXPECT_EQ(db.queryValue("SELECT NOME FROM CLIENTES WHERE ID = 2"), "Mercado São João");
    EXPECT_THROW(
        db.runSql("INSERT INTO ITENS (PEDIDO_ID, PRODUTO_ID, QUANTIDADE, PRECO) VALUES (1, 3, 1000, 1);"),
        IsqlError);
}

// Sets an environment variable of this process for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        m_old = m_had ? old : "";
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (m_had) {
            ::setenv(m_name.c_str(), m_old.c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(ScratchDatabaseTest, TextPassesUnchangedWhateverTheCallersLocale) {
    // In the C locale isql would drop every byte above 127.
    ScopedEnv cLocale("LC_ALL", "C");
    ScratchDatabase db("locale", {.sql = "CREATE TABLE T (A VARCHAR(40), B VARCHAR(40));\n"
                                         "INSERT INTO T VALUES ('Açúcar São João', X'53E36F');"});
    EXPECT_EQ(db.queryValue("SELECT OCTET_LENGTH(A) || ' ' || A FROM T"), "19 Açúcar São João");
    EXPECT_EQ(db.queryValue("SELECT OCTET_LENGTH(B) || ' ' || IIF(B = X'53E36F', 'igual', 'outro') FROM T"),
              "3 igual");
}

TEST(ScratchDatabaseTest, DemoTargetScriptIsTheEmptierSchema) {
    ScratchDatabase db("target", "fatura.fdb", {.script = sqlScript("demo_target.sql")});
    EXPECT_EQ(
        db.queryRows("SELECT RDB$FIELD_NAME FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'CLIENTES'"),
        std::vector<std::string>{"ID"});
    EXPECT_EQ(db.queryValue("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0"), "1");
    EXPECT_EQ(db.queryValue("SELECT COUNT(*) FROM RDB$GENERATORS WHERE RDB$SYSTEM_FLAG = 0"), "1");
    EXPECT_EQ(db.queryValue("SELECT COUNT(*) FROM RDB$TRIGGERS WHERE RDB$SYSTEM_FLAG = 0"), "0");
}

TEST(ScratchDatabaseTest, SqlTextRunsAfterTheScriptAndIsCommitted) {
    ScratchDatabase db(
        "withsql", {.script = sqlScript("demo_target.sql"), .sql = "INSERT INTO CLIENTES (ID) VALUES (7);"});
    // A new isql session sees the row: it was committed.
    EXPECT_EQ(db.queryValue("SELECT MAX(ID) FROM CLIENTES"), "7");
    db.runSql("INSERT INTO CLIENTES (ID) VALUES (8);");
    EXPECT_EQ(db.queryValue("SELECT COUNT(*) FROM CLIENTES"), "2");
}

TEST(ScratchDatabaseTest, FailingSqlThrowsWithTheServerMessageAndStopsAtTheFirstError) {
    ScratchDatabase db("failing");
    try {
        db.runSql(
            "CREATE TABLE A (ID INTEGER);\nINSERT INTO NAO_EXISTE VALUES (1);\nCREATE TABLE B (ID INTEGER);");
        FAIL() << "no error raised";
    } catch (const IsqlError& e) {
        EXPECT_NE(std::string(e.what()).find("NAO_EXISTE"), std::string::npos) << e.what();
        EXPECT_NE(e.result().exitCode, 0);
    }
    EXPECT_EQ(db.queryValue("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME IN ('A', 'B')"), "1");
    EXPECT_THROW(db.queryValue("SELECT 1 FROM RDB$DATABASE UNION ALL SELECT 2 FROM RDB$DATABASE"),
                 std::runtime_error);
}

TEST(ScratchDatabaseTest, RefusesBadArguments) {
    EXPECT_THROW(ScratchDatabase("bad", "sub/fatura.fdb"), std::invalid_argument);
    EXPECT_THROW(ScratchDatabase("bad", "o'brien.fdb"), std::invalid_argument);
    EXPECT_THROW(ScratchDatabase("bad", {.dialect = 2}), std::invalid_argument);
    EXPECT_THROW(sqlScript("nao_existe.sql"), std::runtime_error);
    EXPECT_THROW(ScratchDatabase("bad", {.script = "/nao/existe.sql"}), std::runtime_error);
}

TEST(ScratchDatabaseTest, AnAttachmentLeftOpenFailsTheTestAndTheDatabaseIsStillDropped) {
    fs::path file;
    std::unique_ptr<HeldAttachment> held;
    EXPECT_NONFATAL_FAILURE(
        {
            auto db = std::make_unique<ScratchDatabase>("held");
            file = db->path();
            held = std::make_unique<HeldAttachment>(*db);
            db.reset();
        },
        "still has an attachment");
    EXPECT_FALSE(fs::exists(file));
    held.reset();
}
