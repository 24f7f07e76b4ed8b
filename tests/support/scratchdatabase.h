#pragma once

#include "tests/support/testserver.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::test {

// How a scratch database is made.
struct ScratchOptions {
    // Every member has an initializer, so designated initializers may name any subset of them.
    std::filesystem::path script{}; // isql script run after creation (SET TERM allowed); empty: none
    std::string sql{};              // SQL text run after the script; empty: none
    int dialect = 3;                // SQL dialect of the new database: 1 or 3
    std::string characterSet{};     // its DEFAULT CHARACTER SET; empty: none given (NONE)
    // The connection character set of every isql run on it, the script's too (the text is then
    // converted from it); empty: none, text goes as bytes of no set.
    std::string connectionCharacterSet{};
};

// A throw-away database on the test server, created in a folder of its own and dropped (then its
// folder removed) when the object goes away. Everything here runs through isql-fb as SYSDBA,
// independent of the project's own data layer, so it can check what that layer did.
//
//   ScratchDatabase source("source", {.script = sqlScript("demo_source.sql")});
//   ScratchDatabase target("target", "fatura.fdb", {.script = sqlScript("demo_target.sql")});
//   attach to source.connectionString() with TestServer::instance().user()/password() ...
//   EXPECT_EQ(target.queryValue("select count(*) from rdb$generators where rdb$system_flag = 0"), "1");
//
// The destructor drops the database through the server. Every attachment that a test opened on
// it must be closed by then: an attachment still open makes the test fail with a message naming
// the database, and is then cut off so that the drop completes.
class ScratchDatabase {
public:
    // File name: `prefix` + ".fdb", in a new folder whose name starts with `prefix`.
    explicit ScratchDatabase(std::string_view prefix, ScratchOptions options = {});
    // The given file name (no folder part), in a new folder whose name starts with `prefix`: two
    // scratch databases may carry the same file name.
    ScratchDatabase(std::string_view prefix, std::string_view fileName, ScratchOptions options = {});
    ~ScratchDatabase();

    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    // Absolute path of the database file.
    const std::filesystem::path& path() const { return m_path; }
    // Absolute path of the folder that holds it (and nothing else of other databases).
    const std::filesystem::path& folder() const { return m_folder; }
    // File name alone, such as "fatura.fdb".
    std::string fileName() const { return m_path.filename().string(); }
    // "127.0.0.1/PORT:/abs/path/file.fdb".
    std::string connectionString() const;
    // The server's host part ("127.0.0.1/PORT"), user and password.
    const std::string& host() const;
    const std::string& user() const;
    const std::string& password() const;
    int dialect() const { return m_dialect; }

    // Runs SQL text (isql syntax) and commits it. Throws IsqlError on the first failing statement.
    // Text reaches the database unchanged when it is valid UTF-8 (isql runs in a UTF-8 locale and
    // drops bytes that the locale does not accept); write other bytes as X'..' literals.
    void runSql(std::string_view sql) const;
    // Runs an isql script file and commits it. Throws IsqlError on the first failing statement.
    void runScript(const std::filesystem::path& script) const;
    // Runs a query with headings off; returns isql's standard output as it is.
    std::string query(std::string_view sql) const;
    // Rows of a query's output, trailing blanks removed, empty lines left out. Columns of a row
    // stand side by side as isql aligns them; a null shows as "<null>".
    std::vector<std::string> queryRows(std::string_view sql) const;
    // The single row of a one-column query, trailing blanks removed. Throws when the query does
    // not give exactly one row.
    std::string queryValue(std::string_view sql) const;

private:
    void create(const ScratchOptions& options);
    void drop() noexcept;

    std::filesystem::path m_folder;
    std::filesystem::path m_path;
    int m_dialect = 3;
    std::string m_connectionCharacterSet;
};

} // namespace vistrel::test
