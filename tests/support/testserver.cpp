#include "tests/support/testserver.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <signal.h>
#include <string_view>
#include <unistd.h>

#ifndef VISTREL_FBSERVER_SCRIPT
#error "VISTREL_FBSERVER_SCRIPT must name scripts/fbserver.sh"
#endif
#ifndef VISTREL_TEST_SQL_DIR
#error "VISTREL_TEST_SQL_DIR must name the tests/sql folder"
#endif
#ifndef VISTREL_ISQL
#define VISTREL_ISQL "isql-fb"
#endif

namespace vistrel::test {
namespace {

std::filesystem::path makeTempFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a folder like " + pattern + ": " + std::strerror(errno));
    }
    return pattern;
}

std::map<std::string, std::string> readEnvFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        throw std::runtime_error("cannot read the test server's env file " + file.string());
    }
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::size_t eq = line.find('=');
        if (line.empty() || line.front() == '#' || eq == std::string::npos) {
            continue;
        }
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::string required(const std::map<std::string, std::string>& values, const std::string& key,
                     const std::filesystem::path& file) {
    auto it = values.find(key);
    if (it == values.end() || it->second.empty()) {
        throw std::runtime_error(file.string() + " has no " + key);
    }
    return it->second;
}

std::string describe(const ProcessResult& r) {
    std::string text = "exit code " + std::to_string(r.exitCode);
    if (!r.err.empty()) {
        text += "\n--- standard error ---\n" + r.err;
    }
    if (!r.out.empty()) {
        text += "\n--- standard output ---\n" + r.out;
    }
    return text;
}

// Scratch roots are named vistrel-scratch-PID-XXXXXX after the process that owns them.
constexpr const char* kScratchPrefix = "vistrel-scratch-";

// Removes the scratch roots of test processes that ended without cleaning up (a crash, a
// timeout), so that their databases do not pile up in the temporary folder.
void removeStaleScratchRoots() {
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ec)) {
        std::string name = entry.path().filename().string();
        if (!name.starts_with(kScratchPrefix) || !entry.is_directory(ec)) {
            continue;
        }
        std::string rest = name.substr(std::string_view(kScratchPrefix).size());
        std::size_t dash = rest.find('-');
        if (dash == std::string::npos || dash == 0 || rest.find_first_not_of("0123456789") != dash) {
            continue;
        }
        pid_t owner = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
        if (::kill(owner, 0) != 0 && errno == ESRCH) {
            std::filesystem::remove_all(entry.path(), ec);
        }
    }
}

} // namespace

TestServer& TestServer::instance() {
    static TestServer server;
    return server;
}

TestServer::TestServer() {
    std::filesystem::path envFile;
    const char* fromRunner = std::getenv(kServerEnvVariable);
    if (fromRunner != nullptr && *fromRunner != '\0') {
        envFile = fromRunner;
        if (!std::filesystem::exists(envFile)) {
            throw std::runtime_error(std::string(kServerEnvVariable) + " names " + envFile.string() +
                                     ", which does not exist: the test server fixture (fbserver_start) "
                                     "did not run or failed");
        }
    } else {
        m_ownServerDir = makeTempFolder("vistrel-fbserver");
        ProcessResult r = runProcess({"bash", VISTREL_FBSERVER_SCRIPT, "start", m_ownServerDir.string()});
        if (r.exitCode != 0) {
            std::error_code ignored;
            std::filesystem::remove_all(m_ownServerDir, ignored);
            throw std::runtime_error("cannot start a private Firebird server with " +
                                     std::string(VISTREL_FBSERVER_SCRIPT) + ": " + describe(r));
        }
        envFile = m_ownServerDir / "env";
    }

    auto values = readEnvFile(envFile);
    m_host = required(values, "VISTREL_FB_HOST", envFile);
    m_port = std::stoi(required(values, "VISTREL_FB_PORT", envFile));
    m_password = required(values, "VISTREL_FB_PASSWORD", envFile);
    auto user = values.find("VISTREL_FB_USER");
    m_user = (user == values.end() || user->second.empty()) ? "SYSDBA" : user->second;
    removeStaleScratchRoots();
    m_scratchRoot = makeTempFolder(std::string(kScratchPrefix) + std::to_string(::getpid()));
    m_serverFolder = std::filesystem::absolute(envFile).parent_path();
}

TestServer::~TestServer() {
    std::error_code ignored;
    std::filesystem::remove_all(m_scratchRoot, ignored);
    if (!m_ownServerDir.empty()) {
        try {
            ProcessResult r = runProcess({"bash", VISTREL_FBSERVER_SCRIPT, "stop", m_ownServerDir.string()});
            if (r.exitCode != 0) {
                std::cerr << "warning: stopping the private Firebird server failed: " << describe(r) << '\n';
            }
        } catch (const std::exception& e) {
            std::cerr << "warning: stopping the private Firebird server failed: " << e.what() << '\n';
        }
        std::filesystem::remove_all(m_ownServerDir, ignored);
    }
}

std::string TestServer::connectionString(const std::filesystem::path& database) const {
    return m_host + ":" + std::filesystem::absolute(database).string();
}

ProcessResult TestServer::isql(const std::string& connection, const std::string& sql, int dialect,
                               const std::string& characterSet) const {
    std::vector<std::string> argv{VISTREL_ISQL, "-q",   "-b",        "-s",      std::to_string(dialect),
                                  "-user",      m_user, "-password", m_password};
    if (!characterSet.empty()) {
        argv.push_back("-ch");
        argv.push_back(characterSet);
    }
    if (!connection.empty()) {
        argv.push_back(connection);
    }
    // isql drops every input byte that the locale's character set does not accept (in the C
    // locale, all of 128 to 255): a UTF-8 locale lets UTF-8 text through unchanged.
    return runProcess(argv, sql, {"LC_ALL=C.UTF-8"});
}

std::string TestServer::isqlChecked(const std::string& connection, const std::string& sql, int dialect,
                                    const std::string& characterSet) const {
    ProcessResult r = isql(connection, sql, dialect, characterSet);
    // isql reports a failed statement on standard error even where its exit code stays 0.
    if (r.exitCode != 0 || r.err.find("Statement failed") != std::string::npos) {
        std::string shown = sql.size() > 2000 ? sql.substr(0, 2000) + "\n..." : sql;
        throw IsqlError("isql-fb failed on " +
                            (connection.empty() ? std::string("(no database)") : connection) + ": " +
                            describe(r) + "\n--- input ---\n" + shown,
                        r);
    }
    return r.out;
}

std::filesystem::path sqlScript(const std::string& name) {
    std::filesystem::path file = std::filesystem::path(VISTREL_TEST_SQL_DIR) / name;
    if (!std::filesystem::is_regular_file(file)) {
        throw std::runtime_error("no SQL script " + file.string());
    }
    return file;
}

} // namespace vistrel::test
