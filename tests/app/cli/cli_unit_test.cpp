// vistrel-sync without a server: the command line, the databases as HOST:PATH, the password
// sources and the password file's permissions, the output with and without a terminal, and the
// exit status of every usage error.
#include "app/cli/options.h"
#include "app/cli/output.h"
#include "app/cli/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::cli {
namespace {

// Parameterised cases are named by their place in the table.
const auto caseNumber = [](const auto& info) { return "case" + std::to_string(info.index); };

// ---- HOST:PATH ----------------------------------------------------------------------------------

struct AddressCase {
    const char* text;
    const char* host;
    const char* path;
    const char* fileName;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << c.text;
}

class GoodAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(GoodAddress, SplitsHostPathAndFileName) {
    const AddressCase& c = GetParam();
    const DatabaseAddress address = parseDatabaseAddress(c.text, "--source");
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.path, c.path);
    EXPECT_EQ(address.fileName, c.fileName);
    EXPECT_EQ(address.databaseName(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GoodAddress,
    ::testing::Values(
        AddressCase{"127.0.0.1:/srv/db/fatura.fdb", "127.0.0.1", "/srv/db/fatura.fdb", "fatura.fdb"},
        AddressCase{"127.0.0.1/3050:/srv/db/fatura.fdb", "127.0.0.1/3050", "/srv/db/fatura.fdb",
                    "fatura.fdb"},
        AddressCase{"127.0.0.1:E:\\SGBD\\fatura.fdb", "127.0.0.1", "E:\\SGBD\\fatura.fdb", "fatura.fdb"},
        AddressCase{"db-server.example:fatura", "db-server.example", "fatura", "fatura"},
        AddressCase{"localhost/gds_db:/var/x y/a.fdb", "localhost/gds_db", "/var/x y/a.fdb", "a.fdb"},
        AddressCase{"[::1]/3050:/srv/a.fdb", "[::1]/3050", "/srv/a.fdb", "a.fdb"},
        AddressCase{"[fe80::1]:/srv/a.fdb", "[fe80::1]", "/srv/a.fdb", "a.fdb"}),
    caseNumber);

struct BadAddressCase {
    const char* text;
    const char* reason;
};

void PrintTo(const BadAddressCase& c, std::ostream* os) {
    *os << c.text;
}

class BadAddress : public ::testing::TestWithParam<BadAddressCase> {};

TEST_P(BadAddress, IsRefusedWithItsReason) {
    const BadAddressCase& c = GetParam();
    try {
        (void)parseDatabaseAddress(c.text, "--target");
        FAIL() << c.text << " was accepted";
    } catch (const UsageError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind(std::string("--target: \"") + c.text + "\" não é SERVIDOR:CAMINHO (", 0), 0u)
            << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadAddress,
                         ::testing::Values(BadAddressCase{"/srv/db/fatura.fdb", "falta o \":\""},
                                           BadAddressCase{"", "falta o \":\""},
                                           BadAddressCase{":/srv/a.fdb", "falta o servidor"},
                                           BadAddressCase{"127.0.0.1:", "falta o caminho"},
                                           BadAddressCase{"127.0.0.1:/srv/db/", "sem nome de arquivo"},
                                           BadAddressCase{"E:\\SGBD\\fatura.fdb", "letra de unidade"},
                                           BadAddressCase{"127.0.0.1/:/srv/a.fdb", "porta inválida"},
                                           BadAddressCase{"127.0.0.1/30 50:/srv/a.fdb", "porta inválida"},
                                           BadAddressCase{"host name:/srv/a.fdb", "servidor inválido"},
                                           BadAddressCase{"[::1:/srv/a.fdb", "sem \"]\""},
                                           BadAddressCase{"[::g]:/srv/a.fdb", "IPv6 inválido"},
                                           BadAddressCase{"[::1]/3050/srv/a.fdb", "falta o \":\""}),
                         caseNumber);

// ---- Arguments ----------------------------------------------------------------------------------

std::vector<std::string> withDatabases(std::vector<std::string> more) {
    std::vector<std::string> arguments = {"--source", "db:/a/x.fdb", "--target=db/3050:/b/x.fdb"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

TEST(Arguments, DefaultsAndValues) {
    Options options = parseArguments(withDatabases({}));
    EXPECT_EQ(options.source.databaseName(), "db:/a/x.fdb");
    EXPECT_EQ(options.target.databaseName(), "db/3050:/b/x.fdb");
    EXPECT_EQ(options.processes, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(options.dryRun);
    EXPECT_FALSE(options.fast);
    EXPECT_FALSE(options.check);
    EXPECT_FALSE(options.sourceUser);

    options =
        parseArguments(withDatabases({"--processes", "4,1,7", "--fast", "--dry-run", "--source-user=ana",
                                      "--target-user", "bia", "--target-password-file", "/p"}));
    EXPECT_EQ(options.processes, (std::vector<int>{4, 1, 7}));
    EXPECT_TRUE(options.fast);
    EXPECT_TRUE(options.dryRun);
    EXPECT_EQ(options.sourceUser, "ana");
    EXPECT_EQ(options.targetUser, "bia");
    EXPECT_EQ(options.targetPasswordFile, "/p");
    EXPECT_FALSE(options.sourcePasswordFile);

    EXPECT_EQ(parseArguments(withDatabases({"--processes=all"})).processes, knownProcesses());
    EXPECT_TRUE(parseArguments(withDatabases({"--check"})).check);
    // --help and --version need no databases.
    EXPECT_TRUE(parseArguments({"--help"}).help);
    EXPECT_TRUE(parseArguments({"--version"}).version);
    EXPECT_TRUE(parseArguments({"-V"}).version);
    // -q and -v, short or long.
    EXPECT_FALSE(options.quiet);
    EXPECT_FALSE(options.verbose);
    EXPECT_TRUE(parseArguments(withDatabases({"-q"})).quiet);
    EXPECT_TRUE(parseArguments(withDatabases({"--quiet"})).quiet);
    EXPECT_TRUE(parseArguments(withDatabases({"-v"})).verbose);
    EXPECT_TRUE(parseArguments(withDatabases({"--verbose"})).verbose);
    EXPECT_FALSE(parseArguments(withDatabases({"-v"})).quiet);
}

struct UsageCase {
    std::vector<std::string> arguments;
    const char* message;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.message;
}

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, OneLineThatNamesTheMistake) {
    const UsageCase& c = GetParam();
    try {
        (void)parseArguments(c.arguments);
        FAIL() << "accepted";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageErrors,
    ::testing::Values(
        UsageCase{{}, "falta --source SERVIDOR:CAMINHO (veja --help)"},
        UsageCase{{"--source", "db:/a/x.fdb"}, "falta --target SERVIDOR:CAMINHO (veja --help)"},
        UsageCase{withDatabases({"--barulhento"}), "opção desconhecida: --barulhento (veja --help)"},
        // The value after "=" is never repeated: it may be a password.
        UsageCase{withDatabases({"--secret=hunter2"}), "opção desconhecida: --secret (veja --help)"},
        UsageCase{
            withDatabases({"--source-password=hunter2"}),
            "--source-password não existe: a senha não vai na linha de comando (use VISTREL_SOURCE_PASSWORD, "
            "VISTREL_TARGET_PASSWORD ou --source-password-file / --target-password-file)"},
        UsageCase{withDatabases({"hunter2"}), "argumento inesperado na posição 4 (veja --help)"},
        UsageCase{withDatabases({"--processes"}), "--processes precisa de um valor"},
        UsageCase{
            withDatabases({"--processes", "1,9"}),
            "--processes: processo desconhecido: \"9\" (use números de 1 a 8 separados por vírgula, ou all)"},
        UsageCase{
            withDatabases({"--processes", "1,,2"}),
            "--processes: processo desconhecido: \"\" (use números de 1 a 8 separados por vírgula, ou all)"},
        UsageCase{withDatabases({"--processes", "tudo"}), "--processes: processo desconhecido: \"tudo\" (use "
                                                          "números de 1 a 8 separados por vírgula, ou all)"},
        UsageCase{withDatabases({"--processes", "2,2"}), "--processes: processo repetido: 2"},
        UsageCase{withDatabases({"--fast", "--fast"}), "--fast dado mais de uma vez"},
        UsageCase{withDatabases({"--check=yes"}), "--check não aceita valor"},
        UsageCase{withDatabases({"--source", "db:/c/x.fdb"}), "--source dado mais de uma vez"},
        UsageCase{withDatabases({"--check", "--dry-run"}), "--check e --dry-run não vão juntos"},
        UsageCase{
            {"--source", "/srv/a.fdb", "--target", "db:/b/a.fdb"},
            "--source: \"/srv/a.fdb\" não é SERVIDOR:CAMINHO (falta o \":\" entre servidor e caminho)"}),
    caseNumber);

// ---- Passwords ----------------------------------------------------------------------------------

Environment fakeEnvironment(std::map<std::string, std::string> variables) {
    return [variables](const std::string& name) -> std::optional<std::string> {
        const auto it = variables.find(name);
        if (it == variables.end())
            return std::nullopt;
        return it->second;
    };
}

struct CredentialCase {
    const char* what;
    std::map<std::string, std::string> environment;
    std::vector<std::string> more;
    const char* sourceUser;
    const char* sourcePassword;
    const char* targetUser;
    const char* targetPassword;
};

void PrintTo(const CredentialCase& c, std::ostream* os) {
    *os << c.what;
}

class CredentialSources : public ::testing::TestWithParam<CredentialCase> {};

TEST_P(CredentialSources, OwnVariableThenCommonOnes) {
    const CredentialCase& c = GetParam();
    const Options options = parseArguments(withDatabases(c.more));
    const Environment environment = fakeEnvironment(c.environment);
    const Credentials source = resolveCredentials(Side::Source, options, environment);
    const Credentials target = resolveCredentials(Side::Target, options, environment);
    EXPECT_EQ(source.user, c.sourceUser) << c.what;
    EXPECT_EQ(source.password, c.sourcePassword) << c.what;
    EXPECT_EQ(target.user, c.targetUser) << c.what;
    EXPECT_EQ(target.password, c.targetPassword) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CredentialSources,
    ::testing::Values(CredentialCase{"own variables",
                                     {{"VISTREL_SOURCE_PASSWORD", "s1"}, {"VISTREL_TARGET_PASSWORD", "t1"}},
                                     {},
                                     "SYSDBA",
                                     "s1",
                                     "SYSDBA",
                                     "t1"},
                      CredentialCase{
                          "own variables before ISC_PASSWORD",
                          {{"VISTREL_SOURCE_PASSWORD", "s1"}, {"ISC_PASSWORD", "c"}, {"ISC_USER", "ana"}},
                          {},
                          "ana",
                          "s1",
                          "ana",
                          "c"},
                      CredentialCase{"an empty own variable counts as unset",
                                     {{"VISTREL_TARGET_PASSWORD", ""}, {"ISC_PASSWORD", "c"}},
                                     {},
                                     "SYSDBA",
                                     "c",
                                     "SYSDBA",
                                     "c"},
                      CredentialCase{"user options before ISC_USER",
                                     {{"ISC_PASSWORD", "c"}, {"ISC_USER", "ana"}},
                                     {"--source-user", "bia", "--target-user", "caio"},
                                     "bia",
                                     "c",
                                     "caio",
                                     "c"}),
    caseNumber);

TEST(Credentials, NoPasswordAnywhereIsAUsageError) {
    const Options options = parseArguments(withDatabases({}));
    try {
        (void)resolveCredentials(Side::Target, options, fakeEnvironment({{"VISTREL_SOURCE_PASSWORD", "s"}}));
        FAIL();
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(),
                     "sem senha para o destino: defina VISTREL_TARGET_PASSWORD (ou ISC_PASSWORD) ou "
                     "use --target-password-file");
    }
}

// A folder of its own for password files, removed afterwards.
class PasswordFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vistrel-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::string write(const std::string& name, const std::string& content, mode_t mode) {
        const std::string path = (m_folder / name).string();
        std::ofstream(path, std::ios::binary) << content;
        ::chmod(path.c_str(), mode);
        return path;
    }

    static std::string refusal(const std::string& path) {
        try {
            (void)readPasswordFile(path);
        } catch (const UsageError& error) {
            return error.what();
        }
        return "accepted";
    }

    std::filesystem::path m_folder;
};

TEST_F(PasswordFile, FirstLineOfAPrivateFile) {
    EXPECT_EQ(readPasswordFile(write("a", "k#tuv!(mo&qez1936\n", 0600)), "k#tuv!(mo&qez1936");
    EXPECT_EQ(readPasswordFile(write("b", "tomen47\r\nsecond line\n", 0400)), "tomen47");
    EXPECT_EQ(readPasswordFile(write("c", "no line end", 0600)), "no line end");
    // Other users' write permission lets them change it, not read it.
    EXPECT_EQ(readPasswordFile(write("d", "pw", 0622)), "pw");
}

TEST_F(PasswordFile, RefusedWhenOthersMayReadItOrItCannotServe) {
    const std::string lead = "arquivo de senha \"";
    const std::string groupReadable = write("g", "secret-g\n", 0640);
    EXPECT_EQ(refusal(groupReadable),
              lead + groupReadable + "\": outros usuários podem lê-lo (use chmod 600)");
    const std::string worldReadable = write("w", "secret-w\n", 0604);
    EXPECT_EQ(refusal(worldReadable),
              lead + worldReadable + "\": outros usuários podem lê-lo (use chmod 600)");
    const std::string empty = write("e", "\nsecond\n", 0600);
    EXPECT_EQ(refusal(empty), lead + empty + "\": a primeira linha está vazia");
    const std::string missing = (m_folder / "missing").string();
    EXPECT_EQ(refusal(missing), lead + missing + "\": No such file or directory");
    EXPECT_EQ(refusal(m_folder.string()), lead + m_folder.string() + "\": não é um arquivo comum");
    if (::geteuid() != 0) {
        // root reads every file whatever its mode.
        const std::string unreadable = write("u", "pw\n", 0200);
        EXPECT_EQ(refusal(unreadable), lead + unreadable + "\": Permission denied");
    }
}

// ---- The whole command without a server ---------------------------------------------------------

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

CommandResult command(const std::vector<std::string>& arguments,
                      std::map<std::string, std::string> environment = {{"VISTREL_SOURCE_PASSWORD", "s"},
                                                                        {"VISTREL_TARGET_PASSWORD", "t"}}) {
    std::ostringstream out;
    std::ostringstream err;
    const int status =
        runCommand(arguments, fakeEnvironment(std::move(environment)), out, err, Terminal{}, "");
    return {status, out.str(), err.str()};
}

TEST(Command, UsageErrorsGiveOneLineAndStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--nope"},
        withDatabases({"--processes", "0"}),
        {"--source", "fatura.fdb", "--target", "db:/b/fatura.fdb"},
        withDatabases({"--source-password-file", "/nonexistent/password"}),
    };
    for (const auto& arguments : cases) {
        const CommandResult result = command(arguments);
        EXPECT_EQ(result.status, kExitUsage) << arguments.front();
        EXPECT_EQ(result.out, "");
        ASSERT_FALSE(result.err.empty());
        EXPECT_EQ(result.err.rfind("vistrel-sync: ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
    const CommandResult noPassword = command(withDatabases({}), {});
    EXPECT_EQ(noPassword.status, kExitUsage);
    EXPECT_EQ(noPassword.err, "vistrel-sync: sem senha para a origem: defina VISTREL_SOURCE_PASSWORD (ou "
                              "ISC_PASSWORD) ou use --source-password-file\n");
}

TEST(Command, GuardRefusesDifferentFileNamesBeforeAnyConnection) {
    // No server listens on port 1: the guard answers before any attach is tried.
    const CommandResult result =
        command({"--source", "127.0.0.1/1:/a/fatura.fdb", "--target", "127.0.0.1/1:/b/FATURA.fdb"});
    EXPECT_EQ(result.status, kExitGuard);
    EXPECT_EQ(result.out, "");
    // The message's lines without their trailing blanks.
    EXPECT_EQ(result.err, "Atenção\n É impossivel fazer uma comparação com bancos diferentes, por favor "
                          "verifique as conexões!\n");
}

TEST(Command, HelpAndVersion) {
    const CommandResult help = command({"--help"}, {});
    EXPECT_EQ(help.status, kExitDone);
    EXPECT_EQ(help.out, usageText());
    EXPECT_NE(help.out.find("--check"), std::string::npos);
    EXPECT_EQ(help.err, "");
    // This test program carries no version record: the text of a file without one.
    const CommandResult version = command({"--version"}, {});
    EXPECT_EQ(version.status, kExitDone);
    EXPECT_EQ(version.out, "V:1.0.0\n");
    const CommandResult shortVersion = command({"-V"}, {});
    EXPECT_EQ(shortVersion.status, kExitDone);
    EXPECT_EQ(shortVersion.out, "V:1.0.0\n");
    EXPECT_NE(help.out.find("-q, --quiet"), std::string::npos);
    EXPECT_NE(help.out.find("-v, --verbose"), std::string::npos);
    // -q with -v is a usage error.
    const CommandResult both = command(withDatabases({"-q", "-v"}));
    EXPECT_EQ(both.status, kExitUsage);
    EXPECT_EQ(both.err, "vistrel-sync: --quiet e --verbose não vão juntos\n");
}

// ---- Output -------------------------------------------------------------------------------------

TEST(Output, EntriesAsTheWindowShowsThemWithoutProgressWhenRedirected) {
    std::ostringstream out;
    std::ostringstream err;
    {
        Output output(out, err, false);
        output.progress("[1 generators] 3 G_X");
        // CR LF and lone CR as line breaks; a byte that is no UTF-8 as its Windows-1252 character.
        output.processEntry("CREATE TABLE T\r\n(A INT)\rEND");
        output.processEntry("");
        output.errorEntry("Erro na tabela: A\xE7\xC3\xA3o\x80");
        output.clearProgress();
    }
    EXPECT_EQ(out.str(), "CREATE TABLE T\n(A INT)\nEND\n\n");
    EXPECT_EQ(err.str(), "Erro na tabela: A\xC3\xA7\xC3\xA3o\xE2\x82\xAC\n");
}

TEST(Output, LinesWithoutTrailingBlanks) {
    std::ostringstream out;
    std::ostringstream err;
    {
        Output output(out, err, false);
        output.processEntry("Generator Criado; G_UM      ");
        output.processEntry("CREATE TABLE T   \r\n  (A INT)\t \r\n   ");
        output.errorEntry("Erro na tabela: T    ");
        output.outLine("[1 generators] nenhum objeto  ");
    }
    // Blanks at the start and inside a line stay.
    EXPECT_EQ(out.str(),
              "Generator Criado; G_UM\nCREATE TABLE T\n  (A INT)\n\n[1 generators] nenhum objeto\n");
    EXPECT_EQ(err.str(), "Erro na tabela: T\n");
}

TEST(Output, QuietKeepsTheFailuresAndTheCommandsOwnLines) {
    std::ostringstream out;
    std::ostringstream err;
    {
        Output output(out, err, false);
        output.setQuiet(true);
        output.processEntry("Index não encontrada; IX");
        output.errorEntry("Não foi possivel criar o indice: IX");
        output.outLine("[7 índices] índices: percorridos 1, faltando 1, criados 0, falhas 1");
        output.errLine("vistrel-sync: [7 índices] falhou");
    }
    EXPECT_EQ(out.str(), "[7 índices] índices: percorridos 1, faltando 1, criados 0, falhas 1\n");
    EXPECT_EQ(err.str(), "Não foi possivel criar o indice: IX\nvistrel-sync: [7 índices] falhou\n");
}

TEST(Output, ProgressLineOnATerminalIsErasedAroundEveryLine) {
    std::ostringstream out;
    std::ostringstream err;
    {
        Output output(out, err, true);
        output.progress("[1 generators] 1 G_A");
        output.errLine("falhou");
        output.progress("[1 generators] 1 G_A"); // the same text is not drawn again
        output.progress("[1 generators] 2 G_B");
    }
    EXPECT_EQ(err.str(),
              "[1 generators] 1 G_A\r\033[Kfalhou\n[1 generators] 1 G_A\r\033[K[1 generators] 2 G_B\r\033[K");
    EXPECT_EQ(out.str(), "");
}

TEST(Output, ProgressLineText) {
    EXPECT_EQ(progressLine(4, "tabelas e views", 12, 85, "CLIENTES    ", 80),
              "[4 tabelas e views] 12/85 CLIENTES");
    EXPECT_EQ(progressLine(1, "generators", 3, 0, "G_X\r\nY", 80), "[1 generators] 3 G_X  Y");
    EXPECT_EQ(progressLine(7, "índices", 2, 0, "", 80), "[7 índices] 2");
    // Cut to one column less than the terminal, counting characters, not bytes.
    EXPECT_EQ(progressLine(7, "índices", 2, 0, "IDX_ÇÃO_MUITO_LONGO", 20), "[7 índices] 2 IDX_Ç");
}

TEST(Output, OneLineErrorText) {
    EXPECT_EQ(oneLine("Your user name and password are not defined.\r\nAsk your administrator.\r\n"),
              "Your user name and password are not defined.; Ask your administrator.");
    EXPECT_EQ(oneLine("a\nb\rc"), "a; b; c");
}

} // namespace
} // namespace vistrel::cli
