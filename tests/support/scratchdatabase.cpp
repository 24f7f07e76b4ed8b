#include "tests/support/scratchdatabase.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace vistrel::test {
namespace {

namespace fs = std::filesystem;

// Keeps names usable inside a quoted SQL string and a file path.
std::string safeName(std::string_view text) {
    std::string out;
    for (char c : text) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                  c == '-' || c == '.';
        out += ok ? c : '_';
    }
    return out.empty() ? std::string("db") : out;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string rtrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.pop_back();
    }
    return s;
}

bool isAttachmentInUse(const ProcessResult& r) {
    return r.err.find("object") != std::string::npos && r.err.find("in use") != std::string::npos;
}

// Holds an exclusive lock on a file while it lives.
class FileLock {
public:
    explicit FileLock(const fs::path& file) : m_fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0) {
            int saved = errno;
            if (m_fd >= 0) {
                ::close(m_fd);
            }
            throw std::runtime_error("cannot lock " + file.string() + ": " + std::strerror(saved));
        }
    }
    ~FileLock() { ::close(m_fd); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd;
};

// An empty database of the given dialect and default character set, made through the server
// with CREATE DATABASE on first use. It lives beside the server's env file, so every test
// process of a run shares it; nobody attaches to it, so its file can be copied at any time.
fs::path emptyDatabase(int dialect, const std::string& characterSet) {
    const TestServer& server = TestServer::instance();
    fs::path folder = server.serverFolder() / "empty";
    fs::path file =
        folder / ("dialect" + std::to_string(dialect) + "-" +
                  (characterSet.empty() ? std::string("default") : safeName(characterSet)) + ".fdb");
    static std::mutex mutex;
    std::lock_guard threadLock(mutex);
    fs::create_directories(folder);
    FileLock processLock(folder / ".lock");
    if (fs::exists(file)) {
        return file;
    }
    // Made under a name of this process and renamed when complete: a reader never sees half of it.
    fs::path made = folder / ("making-" + std::to_string(::getpid()) + ".fdb");
    fs::remove(made);
    std::ostringstream sql;
    sql << "SET SQL DIALECT " << dialect << ";\n"
        << "CREATE DATABASE '" << server.connectionString(made) << "' USER '" << server.user()
        << "' PASSWORD '" << server.password() << "'";
    if (!characterSet.empty()) {
        sql << " DEFAULT CHARACTER SET " << characterSet;
    }
    sql << ";\nCOMMIT;\n";
    server.isqlChecked("", sql.str(), dialect);
    fs::rename(made, file);
    return file;
}

} // namespace

ScratchDatabase::ScratchDatabase(std::string_view prefix, ScratchOptions options)
    : ScratchDatabase(prefix, safeName(prefix) + ".fdb", std::move(options)) {}

ScratchDatabase::ScratchDatabase(std::string_view prefix, std::string_view fileName, ScratchOptions options) {
    if (fileName.empty() || fileName.find('/') != std::string_view::npos ||
        fileName.find('\'') != std::string_view::npos) {
        throw std::invalid_argument("ScratchDatabase: a plain file name is needed, not \"" +
                                    std::string(fileName) + "\"");
    }
    if (options.dialect != 1 && options.dialect != 3) {
        throw std::invalid_argument("ScratchDatabase: the dialect is 1 or 3");
    }
    const TestServer& server = TestServer::instance();
    std::string pattern = (server.scratchRoot() / (safeName(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a folder like " + pattern + ": " + std::strerror(errno));
    }
    m_folder = pattern;
    m_path = m_folder / std::string(fileName);
    m_dialect = options.dialect;
    m_connectionCharacterSet = options.connectionCharacterSet;
    try {
        create(options);
    } catch (...) {
        drop();
        throw;
    }
}

ScratchDatabase::~ScratchDatabase() {
    drop();
}

const std::string& ScratchDatabase::host() const {
    return TestServer::instance().host();
}
const std::string& ScratchDatabase::user() const {
    return TestServer::instance().user();
}
const std::string& ScratchDatabase::password() const {
    return TestServer::instance().password();
}

std::string ScratchDatabase::connectionString() const {
    return TestServer::instance().connectionString(m_path);
}

void ScratchDatabase::create(const ScratchOptions& options) {
    // A copy of an empty database made once per process for each dialect and character set is
    // the same as a new one made by CREATE DATABASE, and far cheaper.
    fs::copy_file(emptyDatabase(options.dialect, options.characterSet), m_path);
    fs::permissions(m_path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::group_write);
    if (!options.script.empty()) {
        runScript(options.script);
    }
    if (!options.sql.empty()) {
        runSql(options.sql);
    }
}

void ScratchDatabase::runSql(std::string_view sql) const {
    // isql rolls back at the end of its input: commit what the text did.
    std::string text(sql);
    text += "\nCOMMIT;\n";
    TestServer::instance().isqlChecked(connectionString(), text, m_dialect, m_connectionCharacterSet);
}

void ScratchDatabase::runScript(const std::filesystem::path& script) const {
    runSql(readFile(script));
}

std::string ScratchDatabase::query(std::string_view sql) const {
    std::string text = "SET HEADING OFF;\n";
    text += sql;
    // A single statement may come without its terminator.
    std::size_t last = text.find_last_not_of(" \t\r\n");
    if (text[last] != ';') {
        text += ';';
    }
    text += "\n";
    return TestServer::instance().isqlChecked(connectionString(), text, m_dialect, m_connectionCharacterSet);
}

std::vector<std::string> ScratchDatabase::queryRows(std::string_view sql) const {
    std::vector<std::string> rows;
    std::istringstream in(query(sql));
    std::string line;
    while (std::getline(in, line)) {
        line = rtrim(line);
        if (!line.empty()) {
            rows.push_back(line);
        }
    }
    return rows;
}

std::string ScratchDatabase::queryValue(std::string_view sql) const {
    std::vector<std::string> rows = queryRows(sql);
    if (rows.size() != 1) {
        throw std::runtime_error("expected one row from \"" + std::string(sql) + "\", got " +
                                 std::to_string(rows.size()));
    }
    std::string value = rows.front();
    std::size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first);
}

void ScratchDatabase::drop() noexcept {
    if (m_folder.empty()) {
        return;
    }
    try {
        const TestServer& server = TestServer::instance();
        if (std::filesystem::exists(m_path)) {
            ProcessResult r = server.isql(connectionString(), "DROP DATABASE;\n", m_dialect);
            if (r.exitCode != 0 && isAttachmentInUse(r)) {
                // One more try covers a detach that the server was still finishing.
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                r = server.isql(connectionString(), "DROP DATABASE;\n", m_dialect);
                if (r.exitCode != 0 && isAttachmentInUse(r)) {
                    ADD_FAILURE() << "scratch database " << m_path.string()
                                  << " still has an attachment when it is dropped: some session was not "
                                     "closed before the ScratchDatabase went away";
                    // Cut off the other attachments so that the drop completes anyway.
                    server.isql(connectionString(),
                                "DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION;\n"
                                "COMMIT;\n",
                                m_dialect);
                    for (int i = 0; i < 10 && r.exitCode != 0; ++i) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(100));
                        r = server.isql(connectionString(), "DROP DATABASE;\n", m_dialect);
                    }
                }
            }
            if (r.exitCode != 0) {
                std::cerr << "warning: cannot drop scratch database " << m_path.string() << ": " << r.err
                          << '\n';
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "warning: cannot drop scratch database " << m_path.string() << ": " << e.what() << '\n';
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    m_folder.clear();
}

} // namespace vistrel::test
