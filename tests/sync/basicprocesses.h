#pragma once
// Shared by the tests of the generator, exception, domain, trigger and index processes: a source
// and a target database made from SQL text, both carrying the same file name so that the
// same-name guard lets the processes run, and a host over them.
#include "tests/support/scratchdatabase.h"
#include "tests/support/systemnames.h"
#include "tests/sync/testhost.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::test {

// Fixed lines the processes write, spelled out here independently of the code under test.
inline constexpr char kFim[] = "-------------------------Fim-----------------------------------------";
inline constexpr char kConcluido[] = "Processo concluido!";
inline constexpr char kFinalizado[] = "Processo finalizado!";

// Counts the detaches of a session: every target reconnect is one.
class DetachCounter : public data::DatabaseClient {
public:
    explicit DetachCounter(data::TIBDatabase& db) : m_db(&db) { db.addClient(this); }
    ~DetachCounter() {
        if (m_db)
            m_db->removeClient(this);
    }
    DetachCounter(const DetachCounter&) = delete;
    DetachCounter& operator=(const DetachCounter&) = delete;

    int count = 0;

    void databaseDisconnecting() override { ++count; }
    void databaseDestroyed() override { m_db = nullptr; }

private:
    data::TIBDatabase* m_db;
};

class DatabasePair {
public:
    DatabasePair(std::string_view sourceSql, std::string_view targetSql, int targetDialect = 3);
    ~DatabasePair();
    DatabasePair(const DatabasePair&) = delete;
    DatabasePair& operator=(const DatabasePair&) = delete;

    ScratchDatabase source;
    ScratchDatabase target;
    TestHost& host() { return *m_host; }

    // Detaches and attaches the target session again: its open transaction is committed.
    void reconnectTarget();
    // How often the target session has been detached so far.
    int targetDetaches() const { return m_detaches->count; }
    // The DDL text the extractor gives for one object, read from the source or the target.
    std::string extractFromSource(int objectType, const std::string& name);
    std::string extractFromTarget(int objectType, const std::string& name);

    // Closes the host before the databases go (for tests that end with the target detached).
    void closeHost() {
        m_detaches.reset();
        m_host.reset();
    }

private:
    std::optional<TestHost> m_host;
    std::optional<DetachCounter> m_detaches;
};

// The two check boxes a process reads, one case of a parameterised test.
struct BoxCase {
    const char* label;
    bool criarauto;
    bool rapido;
};

// Every combination of criarauto and rapido.
inline auto allBoxCases() {
    return ::testing::Values(BoxCase{"criarauto", true, false}, BoxCase{"criarauto_rapido", true, true},
                             BoxCase{"nothing_executed", false, false},
                             BoxCase{"nothing_executed_rapido", false, true});
}

// Names the cases of a parameterised test after their label.
struct ByLabel {
    template <class T> std::string operator()(const ::testing::TestParamInfo<T>& p) const {
        return p.param.label;
    }
};

} // namespace vistrel::test
