#pragma once
// Databases and sessions shared by the extractor's server tests.
#include "data/ibdatabase.h"
#include "data/ibsql.h"
#include "extract/ibextract.h"
#include "tests/support/messageof.h"
#include "tests/support/scratchdatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vistrel::extract::testing {

// The databases the tests read, created on first use in each test process and dropped when the
// tests end. Sources hold the objects to extract; targets hold only what the objects need (tables
// and a generator), so that extracted DDL can be executed on them.
enum class Db { Source3, Source1, Target3, Target1 };
vistrel::test::ScratchDatabase& database(Db which);

// A session attached to a scratch database the way the window's source session is: user name and
// password lines, the session's transaction as its default one. Detaches when destroyed.
class Session {
public:
    explicit Session(const vistrel::test::ScratchDatabase& database);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    data::TIBDatabase& db() { return m_db; }
    data::TIBTransaction& tr() { return m_tr; }

    // Runs a statement that is not a query in the session's transaction.
    void execute(const std::string& sql);
    // A statement on the session, executed, standing on its first row.
    std::unique_ptr<data::TIBSQL> query(const std::string& sql);

private:
    data::TIBDatabase m_db;
    data::TIBTransaction m_tr;
};

// An extractor bound to a session on one of the databases.
class ExtractorTest : public ::testing::Test {
protected:
    explicit ExtractorTest(Db which = Db::Source3) : m_which(which) {}
    void SetUp() override;
    void TearDown() override;

    // The text of Items after one extraction.
    std::string extract(TExtractObjectTypes kind, const std::string& name);

    Session& session() { return *m_session; }
    TIBExtract& extractor() { return m_extract; }

private:
    Db m_which;
    std::unique_ptr<Session> m_session;
    TIBExtract m_extract;
};

// The message of the exception of type E that f throws, or "<no error>".
using vistrel::test::messageOf;

} // namespace vistrel::extract::testing
