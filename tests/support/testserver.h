#pragma once

#include "tests/support/process.h"

#include <filesystem>
#include <stdexcept>
#include <string>

namespace vistrel::test {

// Environment variable naming the env file of a private server that the test runner started
// (scripts/fbserver.sh writes it). Without it, the first use of TestServer starts a private
// server of its own and stops it when the process ends.
inline constexpr const char* kServerEnvVariable = "VISTREL_FB_ENV";

// An isql-fb run that reported a failure; what() holds the command's output.
class IsqlError : public std::runtime_error {
public:
    IsqlError(const std::string& message, ProcessResult result)
        : std::runtime_error(message), m_result(std::move(result)) {}
    const ProcessResult& result() const { return m_result; }

private:
    ProcessResult m_result;
};

// The private Firebird 3 server that the tests use: loopback only, its own security database,
// a SYSDBA password set by the scripts. Never the system server.
class TestServer {
public:
    // The process-wide instance; the first call attaches to the runner's server or starts one.
    // Throws std::runtime_error when neither is possible.
    static TestServer& instance();

    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;
    ~TestServer();

    // "127.0.0.1/PORT": what a connection string puts before the colon.
    const std::string& host() const { return m_host; }
    int port() const { return m_port; }
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }

    // host() + ":" + the absolute path of a database file on this machine.
    std::string connectionString(const std::filesystem::path& database) const;

    // Folder of this process's scratch databases; removed when the process ends.
    const std::filesystem::path& scratchRoot() const { return m_scratchRoot; }
    // Folder of the server's env file, shared by every test process of the run.
    const std::filesystem::path& serverFolder() const { return m_serverFolder; }

    // Runs isql-fb as SYSDBA with `sql` as its input, connected to `connection` (a connection
    // string; empty when the input creates or connects itself). isql stops at the first failing
    // statement. `dialect` is the client SQL dialect, `characterSet` the connection character set
    // (empty: none). Returns isql's result as it is.
    ProcessResult isql(const std::string& connection, const std::string& sql, int dialect = 3,
                       const std::string& characterSet = {}) const;

    // As isql(), but throws IsqlError when isql reports a failure; returns its standard output.
    std::string isqlChecked(const std::string& connection, const std::string& sql, int dialect = 3,
                            const std::string& characterSet = {}) const;

private:
    TestServer();

    std::string m_host;
    int m_port = 0;
    std::string m_user;
    std::string m_password;
    std::filesystem::path m_ownServerDir; // set when this process started the server itself
    std::filesystem::path m_scratchRoot;
    std::filesystem::path m_serverFolder;
};

// Absolute path of a file in the repository's tests/sql folder; throws when it does not exist.
std::filesystem::path sqlScript(const std::string& name);

} // namespace vistrel::test
