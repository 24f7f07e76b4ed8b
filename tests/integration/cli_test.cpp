// vistrel-sync against the real server, run as a program: a full run on an empty target writes
// what the window writes and leaves the target as the window's run leaves it (isql-fb -x equal);
// --check reports what is missing before the run and nothing after it, and leaves the target
// untouched, as --dry-run does; every exit status; passwords from the environment or a private
// file only, never in any output; a connection lost in the middle of a run.
#include "tests/integration/schemacompare.h"
#include "tests/support/process.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/tcprelay.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include <sys/stat.h>

#if !defined(VISTREL_SYNC_PROGRAM) || !defined(VISTREL_GFIX_PROGRAM)
#error "VISTREL_SYNC_PROGRAM and VISTREL_GFIX_PROGRAM must name vistrel-sync and gfix"
#endif

namespace vistrel::test::integration {
namespace {

namespace fs = std::filesystem;

// The file name both rows carry.
constexpr char kFileName[] = "vistrel.fdb";

struct SyncRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The passwords of both databases as the command reads them from its environment.
std::vector<std::string> passwordVariables() {
    const std::string& password = TestServer::instance().password();
    return {"VISTREL_SOURCE_PASSWORD=" + password, "VISTREL_TARGET_PASSWORD=" + password};
}

SyncRun runSync(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
    std::vector<std::string> argv{VISTREL_SYNC_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProcessResult r = runProcess(argv, {}, environment);
    return {r.exitCode, r.out, r.err};
}

SyncRun runSync(const ScratchDatabase& source, const ScratchDatabase& target,
                std::vector<std::string> more = {},
                const std::vector<std::string>& environment = passwordVariables()) {
    std::vector<std::string> arguments{"--source", source.connectionString(), "--target",
                                       target.connectionString()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return runSync(arguments, environment);
}

std::string describe(const SyncRun& run) {
    return "status " + std::to_string(run.status) + "\n--- stdout:\n" + run.out + "\n--- stderr:\n" + run.err;
}

// The output up to the summary, which starts at the first line of the form "[1 generators] ".
std::string logPart(const std::string& out, const std::string& firstSummary) {
    const size_t at = out.find("\n" + firstSummary);
    return at == std::string::npos ? out : out.substr(0, at + 1);
}

// Each line without the blanks at its end.
std::string withoutTrailingBlanks(const std::string& text) {
    return std::regex_replace(text, std::regex("[ \t]+(\n|$)"), "$1");
}

std::string withoutPath(std::string text, const ScratchDatabase& database) {
    const std::string path = database.path().string();
    for (size_t at = text.find(path); at != std::string::npos; at = text.find(path, at))
        text.replace(at, path.size(), "<database>");
    return text;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// One line ending in a line feed.
bool oneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

// Nothing the command writes may hold a password, and no terminal control without a terminal.
void expectClean(const SyncRun& run, const std::string& password) {
    EXPECT_FALSE(contains(run.out, password)) << describe(run);
    EXPECT_FALSE(contains(run.err, password)) << describe(run);
    EXPECT_FALSE(contains(run.err, "\033")) << describe(run);
}

class Environment : public ::testing::Environment {
public:
    // The command must find its passwords only where each test puts them.
    void SetUp() override {
        for (const char* name :
             {"ISC_USER", "ISC_PASSWORD", "VISTREL_SOURCE_PASSWORD", "VISTREL_TARGET_PASSWORD"})
            ::unsetenv(name);
    }
};
[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

// ---- A full run against the window's -----------------------------------------------------------

// The seven processes the window's run below clicks (the convergence source is not one that the
// constraint process brings over whole).
constexpr char kSeven[] = "1,2,3,4,5,6,7";

TEST(CliConvergence, FullRunWritesAndBuildsWhatTheWindowDoesAndCheckTellsBeforeAndAfter) {
    const ScratchDatabase source("origem", kFileName,
                                 {.script = sqlScript("convergence_source.sql"), .characterSet = "WIN1252"});
    const ScratchDatabase windowTarget("janela", kFileName, {.characterSet = "WIN1252"});
    const ScratchDatabase target("destino", kFileName, {.characterSet = "WIN1252"});
    const std::string password = TestServer::instance().password();

    // The window's run: the seven buttons in order, "Criar. Aut" ticked.
    std::string windowText;
    std::string windowSummary;
    std::string windowErrors;
    const std::regex kSummaryLine(R"(\[[1-8] [^\]]+\] .*)");
    {
        Window window(source, windowTarget);
        app::TForm1& form = window.form();
        for (QPushButton* button : {form.Button6, form.Button9, form.Button10, form.INICIAR, form.Button5,
                                    form.Button7, form.Button11}) {
            const std::string before = window.processLog();
            const std::vector<std::string> messages = window.click(button);
            const std::string after = window.processLog();
            // The lines the click added; the procedure process clears the pane before it writes.
            if (after != before) {
                const bool continued =
                    !before.empty() && after.compare(0, before.size() + 1, before + "\n") == 0;
                // The process's summary lines end what it added: the command writes the same
                // lines after its last process.
                std::istringstream added(continued ? after.substr(before.size() + 1) : after);
                for (std::string line; std::getline(added, line);)
                    (std::regex_match(line, kSummaryLine) ? windowSummary : windowText) += line + "\n";
            }
            for (const std::string& message : messages)
                windowText += paneText({message}) + "\n";
        }
        // The window's process log opens holding one empty line, which is no entry.
        if (windowText.rfind('\n', 0) == 0)
            windowText.erase(0, 1);
        windowErrors = window.errorLog();
        window.close();
    }

    const std::string untouched = fingerprint(target);

    // Before the run: the check finds what is missing, executes nothing, keeps nothing.
    const SyncRun before = runSync(source, target, {"--check", "--processes", kSeven});
    EXPECT_EQ(before.status, 1) << describe(before);
    expectClean(before, password);
    EXPECT_TRUE(contains(before.out, "[4 tabelas e views] a criar: tabelas ")) << describe(before);
    EXPECT_FALSE(contains(before.out, "a criar: tabelas 0")) << describe(before);
    EXPECT_TRUE(contains(before.out, "Destino desatualizado: ")) << describe(before);
    EXPECT_EQ(fingerprint(target), untouched);

    // A dry run writes every statement and executes none, the procedures' neither.
    const SyncRun dry = runSync(source, target, {"--dry-run", "--processes", kSeven});
    EXPECT_EQ(dry.status, 0) << describe(dry);
    expectClean(dry, password);
    EXPECT_TRUE(contains(dry.out, "CREATE TABLE ")) << describe(dry);
    EXPECT_TRUE(contains(dry.out, "CREATE OR ALTER PROCEDURE ")) << describe(dry);
    EXPECT_FALSE(std::regex_search(dry.out, std::regex(", criados [1-9]"))) << describe(dry);
    EXPECT_EQ(fingerprint(target), untouched);

    // The run: the same lines as the window's panes, the same target afterwards.
    const SyncRun run = runSync(source, target, {"--processes", kSeven});
    ASSERT_EQ(run.status, 0) << describe(run);
    expectClean(run, password);
    // The window's lines as the command writes them: without their trailing blanks.
    EXPECT_EQ(logPart(run.out, "[1 generators] "), withoutTrailingBlanks(windowText));
    EXPECT_EQ(run.out.substr(logPart(run.out, "[1 generators] ").size()), windowSummary);
    EXPECT_TRUE(contains(windowSummary, "[7 índices] índices: percorridos ")) << windowSummary;
    EXPECT_EQ(run.err, windowErrors.empty() ? "" : withoutTrailingBlanks(windowErrors + "\n"));
    EXPECT_TRUE(contains(run.out, "\n[4 tabelas e views] tabelas: percorridos ")) << run.out;
    EXPECT_FALSE(contains(run.out, ", criados 0, falhas 0\n[4 tabelas e views] colunas")) << run.out;
    EXPECT_EQ(withoutPath(isqlExtract(target), target), withoutPath(isqlExtract(windowTarget), windowTarget));

    // After the run the check finds nothing to create (views count only when missing).
    const std::string done = fingerprint(target);
    const SyncRun after = runSync(source, target, {"--check", "--processes", kSeven});
    EXPECT_EQ(after.status, 0) << describe(after);
    EXPECT_TRUE(contains(after.out, "[4 tabelas e views] a criar: views 0\n")) << describe(after);
    EXPECT_TRUE(contains(after.out, "\nDestino em dia: nada a criar.\n")) << describe(after);
    EXPECT_EQ(fingerprint(target), done);
}

// ---- Exit statuses, passwords and connections on the demo databases -----------------------------

class CliDemo : public ::testing::Test {
protected:
    CliDemo()
        : source("origem", "fatura.fdb", {.script = sqlScript("demo_source.sql")}),
          target("destino", "fatura.fdb", {.script = sqlScript("demo_target.sql")}),
          password(TestServer::instance().password()) {}

    // A password file in the scratch folder of the source, with the given mode.
    std::string passwordFile(const std::string& name, const std::string& content, mode_t mode) {
        const std::string path = (source.folder() / name).string();
        std::ofstream(path) << content;
        ::chmod(path.c_str(), mode);
        return path;
    }

    std::string generatorCount() const {
        return target.queryValue("SELECT COUNT(*) FROM RDB$GENERATORS WHERE RDB$SYSTEM_FLAG = 0");
    }

    ScratchDatabase source;
    ScratchDatabase target;
    std::string password;
};

TEST_F(CliDemo, PasswordsFromTheEnvironmentOnlyAndNeverShown) {
    const SyncRun own = runSync(source, target, {"--processes", "1"});
    EXPECT_EQ(own.status, 0) << describe(own);
    expectClean(own, password);
    EXPECT_TRUE(contains(own.out, "Generator Criado; G_PEDIDOS")) << describe(own);
    EXPECT_TRUE(contains(own.out, "Processo concluido!\n[1 generators] generators: percorridos "))
        << describe(own);
    EXPECT_EQ(generatorCount(), "4");

    // Firebird's usual variables serve both rows.
    const SyncRun common =
        runSync(source, target, {"--processes", "2"}, {"ISC_USER=SYSDBA", "ISC_PASSWORD=" + password});
    EXPECT_EQ(common.status, 0) << describe(common);
    expectClean(common, password);

    // No password anywhere: a usage error, no connection tried.
    const SyncRun none = runSync(source, target, {"--processes", "2"}, {});
    EXPECT_EQ(none.status, 2) << describe(none);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err,
              "vistrel-sync: sem senha para a origem: defina VISTREL_SOURCE_PASSWORD (ou ISC_PASSWORD) ou "
              "use --source-password-file\n");
}

TEST_F(CliDemo, PasswordFilesOnlyWhenPrivate) {
    const std::string privateFile = passwordFile("senha", password + "\n", 0600);
    const SyncRun fromFile = runSync(
        source, target,
        {"--processes", "1", "--source-password-file", privateFile, "--target-password-file", privateFile},
        {});
    EXPECT_EQ(fromFile.status, 0) << describe(fromFile);
    expectClean(fromFile, password);
    EXPECT_EQ(generatorCount(), "4");

    const std::string readable = passwordFile("aberta", password + "\n", 0644);
    const SyncRun refused = runSync(source, target, {"--target-password-file", readable});
    EXPECT_EQ(refused.status, 2) << describe(refused);
    EXPECT_EQ(refused.err, "vistrel-sync: arquivo de senha \"" + readable +
                               "\": outros usuários podem lê-lo (use chmod 600)\n");
    expectClean(refused, password);

    const std::string missing = (source.folder() / "nenhuma").string();
    const SyncRun unreadable = runSync(source, target, {"--source-password-file", missing});
    EXPECT_EQ(unreadable.status, 2) << describe(unreadable);
    EXPECT_EQ(unreadable.err,
              "vistrel-sync: arquivo de senha \"" + missing + "\": No such file or directory\n");
}

TEST_F(CliDemo, ConnectionsThatCannotBeMadeGiveOneLineAndStatusTwo) {
    const SyncRun wrong =
        runSync(source, target, {"--processes", "1"},
                {"VISTREL_SOURCE_PASSWORD=" + password, "VISTREL_TARGET_PASSWORD=wrong-" + password});
    EXPECT_EQ(wrong.status, 2) << describe(wrong);
    EXPECT_TRUE(oneLine(wrong.err)) << describe(wrong);
    EXPECT_TRUE(contains(wrong.err, "vistrel-sync: não foi possível conectar ao destino " +
                                        target.connectionString() + ": "))
        << describe(wrong);
    EXPECT_EQ(wrong.out, "");
    expectClean(wrong, password);
    EXPECT_EQ(generatorCount(), "1");

    // Port 1 of the loopback address: nothing listens there.
    const SyncRun unreachable =
        runSync({"--source", "127.0.0.1/1:" + source.path().string(), "--target", target.connectionString()},
                passwordVariables());
    EXPECT_EQ(unreachable.status, 2) << describe(unreachable);
    EXPECT_TRUE(oneLine(unreachable.err)) << describe(unreachable);
    EXPECT_TRUE(contains(unreachable.err, "vistrel-sync: não foi possível conectar à origem 127.0.0.1/1:"))
        << describe(unreachable);
    expectClean(unreachable, password);

    const SyncRun missingFile =
        runSync({"--source", source.connectionString(), "--target",
                 target.host() + ":" + (target.folder() / "x" / "fatura.fdb").string()},
                passwordVariables());
    EXPECT_EQ(missingFile.status, 2) << describe(missingFile);
    EXPECT_TRUE(oneLine(missingFile.err)) << describe(missingFile);
}

TEST_F(CliDemo, UsageErrorsThroughTheProgram) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--source", source.connectionString(), "--target", target.connectionString(), "--barulhento"},
             {"--source", source.path().string(), "--target", target.connectionString()},
             {"--source", source.connectionString(), "--target", target.connectionString(), "--processes",
              "1,9"},
             {"--source", source.connectionString(), "--target", target.connectionString(),
              "--target-password=" + password},
             {"--target", target.connectionString()},
         }) {
        const SyncRun run = runSync(arguments, passwordVariables());
        EXPECT_EQ(run.status, 2) << describe(run);
        EXPECT_TRUE(oneLine(run.err)) << describe(run);
        EXPECT_EQ(run.err.rfind("vistrel-sync: ", 0), 0u) << describe(run);
        EXPECT_EQ(run.out, "");
        expectClean(run, password);
    }
    EXPECT_EQ(generatorCount(), "1");

    const SyncRun version = runSync({"--version"}, {});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "V:2.0.9.0\n");
}

TEST_F(CliDemo, GuardRefusesDifferentFileNamesWithStatusThree) {
    const ScratchDatabase other("outro", "outro.fdb", {.script = sqlScript("demo_target.sql")});
    const SyncRun run = runSync(source, other);
    EXPECT_EQ(run.status, 3) << describe(run);
    EXPECT_EQ(run.out, "");
    // The message's lines without their trailing blanks.
    EXPECT_EQ(run.err, "Atenção\n É impossivel fazer uma comparação com bancos diferentes, por favor "
                       "verifique as conexões!\n");
    EXPECT_EQ(other.queryValue("SELECT COUNT(*) FROM RDB$GENERATORS WHERE RDB$SYSTEM_FLAG = 0"), "1");
}

TEST_F(CliDemo, FastRunAndProcessesInTheOrderGiven) {
    const SyncRun run = runSync(source, target, {"--processes", "2,1", "--fast"});
    EXPECT_EQ(run.status, 0) << describe(run);
    EXPECT_LT(run.out.find("Exception não encontrada; "), run.out.find("Generator Criado; ")) << run.out;
    EXPECT_TRUE(contains(run.out,
                         "[2 exceptions] exceptions: percorridos 3, faltando 2, criados 2, falhas 0\n"
                         "[1 generators] generators: percorridos "))
        << run.out;
    // What a fast run executed was committed when the command ended.
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM RDB$EXCEPTIONS"), "3");
    EXPECT_EQ(generatorCount(), "4");
}

TEST(CliFailure, AnObjectThatFailsGivesStatusOne) {
    const ScratchDatabase source("origem", "falha.fdb",
                                 {.sql = "CREATE TABLE T (A INTEGER);\nCREATE UNIQUE INDEX UX_T ON T (A);\n"
                                         "CREATE INDEX IX_T ON T (A);\n"});
    const ScratchDatabase target("destino", "falha.fdb",
                                 {.sql = "CREATE TABLE T (A INTEGER);\nINSERT INTO T VALUES (1);\n"
                                         "INSERT INTO T VALUES (1);\n"});
    const SyncRun run = runSync(source, target, {"--processes", "7"});
    EXPECT_EQ(run.status, 1) << describe(run);
    EXPECT_TRUE(contains(run.out, "Não foi possivel criar esse indice!\n")) << describe(run);
    EXPECT_TRUE(contains(run.out, "[7 índices] índices: percorridos 2, faltando 2, criados 1, falhas 1\n"))
        << describe(run);
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'IX_T'"), "1");
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'UX_T'"), "0");
    // Standard error has the failure too, naming the index, with the server's reason.
    EXPECT_TRUE(contains(run.err, "Não foi possivel criar o indice: UX_T\n    SQLCODE -803: "))
        << describe(run);
}

// -q: the failures and the summary only; -v: every statement as it goes to the target. No line ends
// in blanks (catalogue names arrive padded).
TEST(CliOutput, QuietAndVerbose) {
    const char* const sourceSql = "CREATE TABLE T (A INTEGER);\nCREATE UNIQUE INDEX UX_T ON T (A);\n"
                                  "CREATE INDEX IX_T ON T (A);\nCREATE GENERATOR G_T;\n";
    const char* const targetSql =
        "CREATE TABLE T (A INTEGER);\nINSERT INTO T VALUES (1);\nINSERT INTO T VALUES (1);\n";
    const ScratchDatabase source("origem", "falha.fdb", {.sql = sourceSql});
    const ScratchDatabase quietTarget("quieto", "falha.fdb", {.sql = targetSql});
    const ScratchDatabase verboseTarget("verboso", "falha.fdb", {.sql = targetSql});

    const SyncRun quiet = runSync(source, quietTarget, {"-q", "--processes", "1,7"});
    EXPECT_EQ(quiet.status, 1) << describe(quiet);
    EXPECT_TRUE(std::regex_match(quiet.out,
                                 std::regex("\\[1 generators\\] generators: percorridos [0-9]+, faltando 1, "
                                            "criados 1, falhas 0\n"
                                            "\\[7 índices\\] índices: percorridos 2, faltando 2, "
                                            "criados 1, falhas 1\n")))
        << describe(quiet);
    EXPECT_TRUE(contains(quiet.err, "Não foi possivel criar o indice: UX_T\n")) << describe(quiet);
    EXPECT_EQ(quietTarget.queryValue("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = 'IX_T'"), "1");

    const SyncRun verbose = runSync(source, verboseTarget, {"-v", "--processes", "1,7"});
    EXPECT_EQ(verbose.status, 1) << describe(verbose);
    EXPECT_TRUE(contains(verbose.out, "Generator Criado; G_T\n")) << describe(verbose);
    EXPECT_TRUE(contains(verbose.out, "Executando no destino: CREATE GENERATOR G_T")) << describe(verbose);
    EXPECT_TRUE(contains(verbose.out, "Executando no destino: CREATE UNIQUE INDEX \"UX_T\""))
        << describe(verbose);
    EXPECT_TRUE(contains(verbose.out, "Executando no destino: CREATE INDEX \"IX_T\"")) << describe(verbose);
    for (const SyncRun* run : {&quiet, &verbose})
        for (const std::string* text : {&run->out, &run->err})
            EXPECT_FALSE(std::regex_search(*text, std::regex("[ \t]\n"))) << *text;

    // Both at once are a usage error.
    const SyncRun both = runSync(source, verboseTarget, {"-q", "-v"});
    EXPECT_EQ(both.status, 2) << describe(both);
    EXPECT_EQ(both.err, "vistrel-sync: --quiet e --verbose não vão juntos\n");
}

TEST(CliProgress, OneLineOnATerminalOnly) {
    const ScratchDatabase source("origem", "fatura.fdb", {.script = sqlScript("demo_source.sql")});
    const ScratchDatabase target("destino", "fatura.fdb", {.script = sqlScript("demo_target.sql")});
    // script(1) gives the command a terminal for its standard output and error.
    std::string command = std::string(VISTREL_SYNC_PROGRAM) + " --source '" + source.connectionString() +
                          "' --target '" + target.connectionString() + "' --processes 1,2";
    const ProcessResult onTerminal =
        runProcess({"script", "-qefc", command, "/dev/null"}, {}, passwordVariables());
    EXPECT_EQ(onTerminal.exitCode, 0) << onTerminal.out << onTerminal.err;
    EXPECT_TRUE(contains(onTerminal.out, "[1 generators] 1")) << onTerminal.out;
    EXPECT_TRUE(contains(onTerminal.out, "[2 exceptions] 2 ")) << onTerminal.out;
    EXPECT_TRUE(contains(onTerminal.out, "\r\033[K")) << onTerminal.out;
}

// ---- A connection lost in the middle of a run ---------------------------------------------------

ProcessResult gfix(const ScratchDatabase& database, std::vector<std::string> arguments) {
    std::vector<std::string> argv{VISTREL_GFIX_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    for (const std::string& more : {std::string("-user"), database.user(), std::string("-password"),
                                    database.password(), database.connectionString()})
        argv.push_back(more);
    return runProcess(argv);
}

// How the target is lost in the middle of the run.
enum class Loss {
    Shutdown, // the database is shut down: every attachment is cut off and no new one let in
    Network   // the connection is cut on its way (a relay between the command and the server)
};

class CliLostConnection : public ::testing::TestWithParam<Loss> {};

TEST_P(CliLostConnection, TargetLostInTheMiddleGivesStatusTwoOneLineAndNothingReportedDoneThatWasNot) {
    std::string tables;
    for (int t = 0; t < 120; ++t) {
        tables += "CREATE TABLE T" + std::to_string(t) + " (";
        for (int c = 0; c < 6; ++c)
            tables += std::string(c ? ", " : "") + "C" + std::to_string(c) + " INTEGER";
        tables += ");\n";
    }
    const ScratchDatabase source("origem", "perda.fdb", {.sql = "CREATE GENERATOR G_PERDA;\n" + tables});
    const ScratchDatabase target("destino", "perda.fdb");
    TcpRelay relay(TestServer::instance().port());
    const std::string targetName =
        GetParam() == Loss::Network ? relay.host() + ":" + target.path().string() : target.connectionString();

    SyncRun run;
    std::atomic<bool> ended = false;
    std::thread command([&] {
        run = runSync({"--source", source.connectionString(), "--target", targetName, "--processes", "1,4"},
                      passwordVariables());
        ended = true;
    });
    // Once the target holds a few of the tables (read past the relay), it is lost.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    bool cut = false;
    while (!cut && !ended && std::chrono::steady_clock::now() < deadline) {
        const std::string count =
            target.queryValue("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 AND "
                              "RDB$RELATION_NAME STARTING WITH 'T'");
        if (std::stoi(count) < 3) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } else if (GetParam() == Loss::Network) {
            relay.cut();
            cut = true;
        } else {
            cut = gfix(target, {"-shut", "full", "-force", "0"}).exitCode == 0;
        }
    }
    command.join();
    if (GetParam() == Loss::Shutdown) {
        const ProcessResult online = gfix(target, {"-online", "normal"});
        ASSERT_EQ(online.exitCode, 0) << online.out << online.err;
    }
    ASSERT_TRUE(cut) << describe(run);
    EXPECT_EQ(run.status, 2) << describe(run);
    EXPECT_TRUE(
        contains(run.err, "vistrel-sync: [4 tabelas e views] conexão perdida com o destino " + targetName))
        << describe(run);
    // The run ended at the first call that met the loss: one line for it, none per object after it.
    EXPECT_FALSE(contains(run.err, "Erro na tabela")) << describe(run);
    EXPECT_FALSE(contains(run.err, "SQLCODE")) << describe(run);
    // Process 1 ended and was committed before; process 4 is not reported as having created anything.
    EXPECT_TRUE(contains(run.out, "[1 generators] generators: percorridos ")) << describe(run);
    EXPECT_TRUE(contains(run.out, ", faltando 1, criados 1, falhas 0\n")) << describe(run);
    EXPECT_TRUE(contains(run.out, "\n[4 tabelas e views] interrompido (conexão perdida)\n")) << describe(run);
    EXPECT_FALSE(contains(run.out, "[4 tabelas e views] tabelas:")) << describe(run);
    EXPECT_EQ(target.queryValue("SELECT COUNT(*) FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = 'G_PERDA'"),
              "1");
    EXPECT_LT(std::stoi(target.queryValue("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0")),
              120);
}

INSTANTIATE_TEST_SUITE_P(Losses, CliLostConnection, ::testing::Values(Loss::Shutdown, Loss::Network),
                         [](const ::testing::TestParamInfo<Loss>& p) {
                             return std::string(p.param == Loss::Shutdown ? "Shutdown" : "Network");
                         });

// ---- An older customer database upgraded to the newer schema ------------------------------------

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each customer row as one text, so that a widened column does not change how isql pads it.
constexpr char kUpgradeRows[] = "SELECT C.ID || '|' || COALESCE(C.NOME, '<null>') || '|' || C.EMAIL || '|' "
                                "|| COALESCE(P.TOTAL, -1) || '|' || "
                                "COALESCE(P.STATUS, '<null>') FROM CLIENTES C LEFT JOIN PEDIDOS P ON "
                                "P.CLIENTE = C.ID ORDER BY C.ID, P.ID";

TEST(CliUpgrade, CheckNamesEveryChangeReportAndScriptReviewThemAlterBringsThemIntoLine) {
    const ScratchOptions utf8{.characterSet = "UTF8", .connectionCharacterSet = "UTF8"};
    ScratchOptions newer = utf8;
    newer.script = sqlScript("upgrade_new.sql");
    ScratchOptions older = utf8;
    older.script = sqlScript("upgrade_old.sql");
    ScratchDatabase source("upgrade_new", kFileName, newer);
    ScratchDatabase target("upgrade_old", kFileName, older);
    const std::string rows = [&] {
        std::string all;
        for (const std::string& row : target.queryRows(kUpgradeRows))
            all += row + "\n";
        return all;
    }();
    const std::string untouched = fingerprint(target);
    const std::string sourceBefore = fingerprint(source);

    // The check names every changed object and fails; it touches nothing.
    const fs::path report = target.path().parent_path() / "report.json";
    const SyncRun check = runSync(source, target, {"--check", "--report", report.string()});
    EXPECT_EQ(check.status, 1) << describe(check);
    for (const char* line :
         {"[1 generators] a alterar: generators 1\n",
          "[1 generators] Generator diferente; G_PEDIDOS (incremento: 1 -> 10)\n",
          "[2 exceptions] Exception diferente; E_ESTOQUE (mensagem: ",
          "[3 domains] Domain diferente; DM_STATUS (tipo: VARCHAR(10) -> VARCHAR(15); ",
          "[4 tabelas e views] Coluna diferente; CLIENTES.EMAIL (tipo: VARCHAR(40) -> VARCHAR(80))\n",
          "[4 tabelas e views] Coluna existe só no destino; CLIENTES.ANTIGO\n",
          "[4 tabelas e views] Coluna não encontrada no destino; CLIENTES.CIDADE\n",
          "[5 procedures] Procedure diferente; SP_TOTAL (parâmetros; corpo)\n",
          "[6 triggers] Trigger diferente; TR_PED_BI (",
          "[7 índices] Index diferente; IDX_PED_STATUS (colunas: ",
          "[8 constraints] Constraint diferente; CK_TOTAL (check: ",
          "[8 constraints] Constraint diferente; FK_PED_CLI (ações)\n",
          "Alteração recusada: NOT NULL sobre 1 linha(s) com NULL\n", "Destino desatualizado: "})
        EXPECT_TRUE(contains(check.out, line)) << line;
    if (HasFailure())
        std::cerr << describe(check) << "\n";
    EXPECT_EQ(fingerprint(target), untouched);

    // The report is the plan as JSON, in the shape the manual page gives.
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(readFile(report)), &parseError);
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << parseError.errorString().toStdString();
    const QJsonObject top = document.object();
    EXPECT_EQ(top["mode"].toString(), "check");
    EXPECT_TRUE(top["summary"].toObject()["alter"].toInt() > 10);
    bool sawException = false;
    for (const QJsonValue value : top["objects"].toArray()) {
        const QJsonObject object = value.toObject();
        for (const char* key : {"kind", "name", "action", "outcome"})
            EXPECT_TRUE(object[key].isString()) << key;
        for (const char* key : {"differs", "statements", "refusals"})
            EXPECT_TRUE(object[key].isArray()) << key;
        EXPECT_TRUE(object["relation"].isString() || object["relation"].isNull());
        if (object["name"].toString() == "E_ESTOQUE") {
            sawException = true;
            EXPECT_EQ(object["kind"].toString(), "exception");
            EXPECT_EQ(object["action"].toString(), "alter");
            EXPECT_EQ(object["statements"].toArray().at(0).toString(),
                      "CREATE OR ALTER EXCEPTION E_ESTOQUE 'Estoque insuficiente para o pedido'");
        }
    }
    EXPECT_TRUE(sawException);

    // The script of an --alter run, executed nothing; isql-fb runs it as it stands.
    const fs::path script = target.path().parent_path() / "upgrade.sql";
    const SyncRun scripted = runSync(source, target, {"--alter", "--script", script.string()});
    EXPECT_EQ(scripted.status, 0) << describe(scripted);
    EXPECT_EQ(fingerprint(target), untouched);
    const std::string scriptText = readFile(script);
    EXPECT_TRUE(contains(scriptText, "SET TERM ")) << scriptText;
    EXPECT_TRUE(contains(scriptText, "ALTER TABLE CLIENTES ALTER EMAIL TYPE VARCHAR(80)")) << scriptText;
    EXPECT_NO_THROW(target.runScript(script)) << scriptText;

    // A run with --alter then brings the rest into line; the check with --alter finds nothing to do,
    // the refusals only listed; the rows are the customer's still; the source is untouched.
    const SyncRun run = runSync(source, target, {"--alter"});
    EXPECT_EQ(run.status, 0) << describe(run);
    const SyncRun after = runSync(source, target, {"--check", "--alter"});
    EXPECT_EQ(after.status, 0) << describe(after);
    EXPECT_TRUE(contains(after.out, "Coluna diferente; CLIENTES.NOME (NOT NULL: não -> sim)"))
        << describe(after);
    std::string rowsAfter;
    for (const std::string& row : target.queryRows(kUpgradeRows))
        rowsAfter += row + "\n";
    EXPECT_EQ(rowsAfter, rows);
    EXPECT_EQ(fingerprint(source), sourceBefore);

    // A second run alters nothing (the view phase sends its views again, as every run does).
    const SyncRun again = runSync(source, target, {"--alter"});
    EXPECT_EQ(again.status, 0) << describe(again);
    EXPECT_FALSE(contains(again.out, "Inicio da Alteração")) << describe(again);
    EXPECT_FALSE(std::regex_search(again.out, std::regex(", alterados [1-9]"))) << describe(again);
}

} // namespace
} // namespace vistrel::test::integration
