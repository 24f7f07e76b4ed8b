// 8-COMPARAR CONSTRAINTS against real source and target databases.
#include "sync/processes.h"
#include "tests/sync/basicprocesses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vistrel::test {
namespace {

constexpr char kConstraintBanner[] =
    "-------------------------Inicio da Constraint--------------------------";
constexpr char kNotFound[] = "Constraint não encontrada; ";
constexpr char kFailed[] = "Não foi possivel criar a constraint: ";

constexpr char kTables[] = R"(
CREATE TABLE PAI (ID INTEGER NOT NULL, COD VARCHAR(10) NOT NULL, NOME VARCHAR(30));
CREATE TABLE FILHO (A INTEGER NOT NULL, B INTEGER NOT NULL, PAI_ID INTEGER, COD VARCHAR(10),
  PAI_SN INTEGER, PAI_SD INTEGER);
CREATE TABLE ARVORE (ID INTEGER NOT NULL, PAI INTEGER, NIVEL INTEGER);
CREATE TABLE NUMEROS (N INTEGER NOT NULL);
CREATE TABLE "minuscula" ("Id" INTEGER NOT NULL, "Valor" INTEGER);
)";

// Named and server-made keys (single, composite, descending, with an index named otherwise), a
// foreign key with each action, one to a unique key, one to its own table, named and unnamed
// checks, names that need quotes. Created out of the walk's order: the walk sorts them.
constexpr char kConstraints[] = R"(
ALTER TABLE FILHO ADD CONSTRAINT CK_FILHO CHECK (A <> B AND A > 0);
ALTER TABLE PAI ADD PRIMARY KEY (ID);
ALTER TABLE PAI ADD CONSTRAINT UQ_PAI_COD UNIQUE (COD);
ALTER TABLE PAI ADD UNIQUE (NOME, COD);
ALTER TABLE FILHO ADD CONSTRAINT PK_FILHO PRIMARY KEY (B, A) USING DESCENDING INDEX IX_FILHO_PK;
ALTER TABLE ARVORE ADD CONSTRAINT PK_ARVORE PRIMARY KEY (ID);
ALTER TABLE NUMEROS ADD PRIMARY KEY (N) USING INDEX IX_NUMEROS;
ALTER TABLE "minuscula" ADD CONSTRAINT "pk minuscula" PRIMARY KEY ("Id");
ALTER TABLE FILHO ADD FOREIGN KEY (PAI_ID) REFERENCES PAI ON DELETE CASCADE ON UPDATE CASCADE;
ALTER TABLE FILHO ADD CONSTRAINT FK_FILHO_COD FOREIGN KEY (COD) REFERENCES PAI (COD);
ALTER TABLE FILHO ADD CONSTRAINT FK_SN FOREIGN KEY (PAI_SN) REFERENCES PAI (ID) ON DELETE SET NULL;
ALTER TABLE FILHO ADD CONSTRAINT FK_SD FOREIGN KEY (PAI_SD) REFERENCES PAI (ID)
  ON DELETE SET DEFAULT ON UPDATE NO ACTION;
ALTER TABLE ARVORE ADD CONSTRAINT FK_ARVORE_PAI FOREIGN KEY (PAI) REFERENCES ARVORE (ID);
ALTER TABLE ARVORE ADD CHECK (NIVEL >= 0);
ALTER TABLE "minuscula" ADD CONSTRAINT "ck 'x'" CHECK ("Valor" > 0);
)";

std::string source() {
    return std::string(kTables) + kConstraints;
}

// The name the server gave to the one unnamed constraint of that type on that table.
std::string serverName(const ScratchDatabase& db, const std::string& table, const std::string& type) {
    return db.queryValue(
        "SELECT RDB$CONSTRAINT_NAME FROM RDB$RELATION_CONSTRAINTS WHERE RDB$RELATION_NAME = '" + table +
        "' AND RDB$CONSTRAINT_TYPE = '" + type + "' AND RDB$CONSTRAINT_NAME STARTING WITH 'INTEG_'");
}

struct Expected {
    std::string name; // as the catalogue stores it
    std::string ddl;
};

// Every constraint of the source in the walk's order, with its statement.
std::vector<Expected> expectedWalk(const ScratchDatabase& source) {
    return {
        {"PK_ARVORE", "ALTER TABLE ARVORE ADD CONSTRAINT PK_ARVORE PRIMARY KEY (ID);"},
        {"PK_FILHO",
         "ALTER TABLE FILHO ADD CONSTRAINT PK_FILHO PRIMARY KEY (B, A) USING DESCENDING INDEX IX_FILHO_PK;"},
        {serverName(source, "NUMEROS", "PRIMARY KEY"),
         "ALTER TABLE NUMEROS ADD PRIMARY KEY (N) USING INDEX IX_NUMEROS;"},
        {serverName(source, "PAI", "PRIMARY KEY"), "ALTER TABLE PAI ADD PRIMARY KEY (ID);"},
        {"pk minuscula", "ALTER TABLE \"minuscula\" ADD CONSTRAINT \"pk minuscula\" PRIMARY KEY (\"Id\");"},
        {serverName(source, "PAI", "UNIQUE"), "ALTER TABLE PAI ADD UNIQUE (NOME, COD);"},
        {"UQ_PAI_COD", "ALTER TABLE PAI ADD CONSTRAINT UQ_PAI_COD UNIQUE (COD);"},
        {"FK_ARVORE_PAI",
         "ALTER TABLE ARVORE ADD CONSTRAINT FK_ARVORE_PAI FOREIGN KEY (PAI) REFERENCES ARVORE (ID);"},
        {"FK_FILHO_COD",
         "ALTER TABLE FILHO ADD CONSTRAINT FK_FILHO_COD FOREIGN KEY (COD) REFERENCES PAI (COD);"},
        {"FK_SD",
         "ALTER TABLE FILHO ADD CONSTRAINT FK_SD FOREIGN KEY (PAI_SD) REFERENCES PAI (ID) ON UPDATE NO "
         "ACTION ON DELETE SET DEFAULT;"},
        {"FK_SN", "ALTER TABLE FILHO ADD CONSTRAINT FK_SN FOREIGN KEY (PAI_SN) REFERENCES PAI (ID) ON DELETE "
                  "SET NULL;"},
        {serverName(source, "FILHO", "FOREIGN KEY"), "ALTER TABLE FILHO ADD FOREIGN KEY (PAI_ID) REFERENCES "
                                                     "PAI (ID) ON UPDATE CASCADE ON DELETE CASCADE;"},
        {serverName(source, "ARVORE", "CHECK"), "ALTER TABLE ARVORE ADD CHECK (NIVEL >= 0);"},
        {"CK_FILHO", "ALTER TABLE FILHO ADD CONSTRAINT CK_FILHO CHECK (A <> B AND A > 0);"},
        {"ck 'x'", "ALTER TABLE \"minuscula\" ADD CONSTRAINT \"ck 'x'\" CHECK (\"Valor\" > 0);"},
    };
}

std::vector<std::string> block(const Expected& e) {
    return {kNotFound + padded(e.name), kConstraintBanner, e.ddl, kFim};
}

std::vector<std::string> blocks(const std::vector<Expected>& walk) {
    std::vector<std::string> out;
    for (const Expected& e : walk) {
        const auto b = block(e);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

// The columns of an index in order (up to three), read with isql-fb.
std::string segments(const std::string& index) {
    std::string out;
    for (int position = 0; position < 3; ++position)
        out += std::string(position ? " || ',' || " : "") +
               "COALESCE((SELECT TRIM(S.RDB$FIELD_NAME) FROM RDB$INDEX_SEGMENTS S WHERE S.RDB$INDEX_NAME = " +
               index + " AND S.RDB$FIELD_POSITION = " + std::to_string(position) + "), '')";
    return out;
}

// Every constraint of the user tables but NOT NULL, as the catalogue holds it: name (server-made
// names as INTEG_#), table, type, index (server-made as RDB$#) and its direction, columns, the
// referenced table and columns, the actions, the check text.
std::string constraintRowsQuery() {
    return "SELECT CASE WHEN C.RDB$CONSTRAINT_NAME STARTING WITH 'INTEG_' THEN 'INTEG_#' "
           "ELSE TRIM(C.RDB$CONSTRAINT_NAME) END || ' ' || TRIM(C.RDB$RELATION_NAME) || ' ' || "
           "TRIM(C.RDB$CONSTRAINT_TYPE) || ' ' || COALESCE(CASE WHEN I.RDB$INDEX_NAME STARTING WITH 'RDB$' "
           "THEN 'RDB$#' ELSE TRIM(I.RDB$INDEX_NAME) END, '-') || ' ' || COALESCE(I.RDB$INDEX_TYPE, 0) || ' "
           "(' || " +
           segments("C.RDB$INDEX_NAME") + " || ') ' || COALESCE(TRIM(RI.RDB$RELATION_NAME) || '(' || " +
           segments("I.RDB$FOREIGN_KEY") +
           " || ')', '') || ' ' || COALESCE(TRIM(RC.RDB$UPDATE_RULE) || '/' || TRIM(RC.RDB$DELETE_RULE), '') "
           "|| "
           "' ' || COALESCE((SELECT FIRST 1 CAST(T.RDB$TRIGGER_SOURCE AS VARCHAR(200)) FROM "
           "RDB$CHECK_CONSTRAINTS CC "
           "JOIN RDB$TRIGGERS T ON T.RDB$TRIGGER_NAME = CC.RDB$TRIGGER_NAME WHERE CC.RDB$CONSTRAINT_NAME = "
           "C.RDB$CONSTRAINT_NAME AND T.RDB$TRIGGER_SOURCE IS NOT NULL), '') "
           "FROM RDB$RELATION_CONSTRAINTS C JOIN RDB$RELATIONS R ON R.RDB$RELATION_NAME = "
           "C.RDB$RELATION_NAME "
           "LEFT JOIN RDB$INDICES I ON I.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
           "LEFT JOIN RDB$INDICES RI ON RI.RDB$INDEX_NAME = I.RDB$FOREIGN_KEY "
           "LEFT JOIN RDB$REF_CONSTRAINTS RC ON RC.RDB$CONSTRAINT_NAME = C.RDB$CONSTRAINT_NAME "
           "WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND C.RDB$CONSTRAINT_TYPE <> 'NOT NULL' ORDER BY 1";
}

std::vector<std::string> constraintRows(const ScratchDatabase& db) {
    return db.queryRows(constraintRowsQuery());
}

class ConstraintProcess : public ::testing::TestWithParam<BoxCase> {};

TEST_P(ConstraintProcess, EmptyTargetGetsEveryConstraint) {
    const BoxCase c = GetParam();
    DatabasePair db(source(), kTables);
    TestHost& host = db.host();
    host.criarautoValue = c.criarauto;
    host.rapidoValue = c.rapido;
    const int detaches = db.targetDetaches();

    host.run(sync::runConstraintProcess);

    const std::vector<Expected> walk = expectedWalk(db.source);
    EXPECT_EQ(host.processLog, blocks(walk));
    EXPECT_TRUE(host.errorLog.empty());
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizado});
    ASSERT_NE(host.dataSource1, nullptr);
    EXPECT_EQ(host.dataSource1->Database(), &host.IBDatabase1());
    // Reconnected after every missing constraint, unless in fast mode.
    EXPECT_EQ(db.targetDetaches() - detaches, c.rapido ? 0 : static_cast<int>(walk.size()));
    const std::vector<std::string> sourceRows = constraintRows(db.source);
    ASSERT_EQ(sourceRows.size(), walk.size());
    EXPECT_EQ(constraintRows(db.target), c.criarauto && !c.rapido ? sourceRows : std::vector<std::string>{});
    db.reconnectTarget();
    EXPECT_EQ(constraintRows(db.target), c.criarauto ? sourceRows : std::vector<std::string>{});

    // A second run finds every constraint it created.
    host.processLog.clear();
    host.messages.clear();
    const int before = db.targetDetaches();
    host.run(sync::runConstraintProcess);
    EXPECT_EQ(host.processLog, c.criarauto ? std::vector<std::string>{} : blocks(walk));
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizado});
    if (c.criarauto) {
        EXPECT_EQ(db.targetDetaches(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Boxes, ConstraintProcess, allBoxCases(), ByLabel());

// A target that made the same constraints in another order holds other server-made names: those
// constraints are found by their rule, and nothing is written.
TEST(ConstraintProcessTarget, ServerMadeNamesDoNotDecide) {
    DatabasePair db(source(),
                    std::string(kTables) +
                        "CREATE TABLE OUTRA (X INTEGER NOT NULL PRIMARY KEY, Y INTEGER CHECK (Y > 0));" +
                        kConstraints);
    ASSERT_NE(serverName(db.target, "PAI", "PRIMARY KEY"), serverName(db.source, "PAI", "PRIMARY KEY"));
    const int detaches = db.targetDetaches();
    db.host().run(sync::runConstraintProcess);
    EXPECT_TRUE(db.host().processLog.empty());
    EXPECT_TRUE(db.host().errorLog.empty());
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(db.targetDetaches(), detaches);
}

// A server-made constraint counts as present only for the same rule: the same columns in the same
// order, the same referenced key, the same check text. A named one only by its name on its table.
TEST(ConstraintProcessTarget, ServerMadeConstraintsMatchByRuleNamedOnesByName) {
    DatabasePair db(source(), std::string(kTables) + R"(
ALTER TABLE PAI ADD PRIMARY KEY (ID);
ALTER TABLE PAI ADD UNIQUE (COD, NOME);
ALTER TABLE PAI ADD CONSTRAINT UQ_OUTRO_NOME UNIQUE (COD);
ALTER TABLE ARVORE ADD CHECK (NIVEL > 0);
ALTER TABLE ARVORE ADD CONSTRAINT PK_ARVORE PRIMARY KEY (ID);
ALTER TABLE FILHO ADD FOREIGN KEY (PAI_ID) REFERENCES ARVORE (ID) ON DELETE CASCADE ON UPDATE CASCADE;
)");
    db.host().run(sync::runConstraintProcess);
    std::vector<std::string> notFound;
    for (const std::string& line : db.host().processLog)
        if (line.rfind(kNotFound, 0) == 0)
            notFound.push_back(line);
    const std::vector<Expected> walk = expectedWalk(db.source);
    std::vector<std::string> expected;
    for (const Expected& e : walk)
        if (e.name != "PK_ARVORE" && e.name != serverName(db.source, "PAI", "PRIMARY KEY"))
            expected.push_back(kNotFound + padded(e.name));
    EXPECT_EQ(notFound, expected);
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
}

// The failure lines of an error log, each of which must be followed by its indented reason.
std::vector<std::string> failureLinesOf(const std::vector<std::string>& log) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < log.size(); i += 2) {
        lines.push_back(log[i]);
        EXPECT_TRUE(i + 1 < log.size() && log[i + 1].rfind("    ", 0) == 0 && log[i + 1].size() > 4)
            << log[i];
    }
    return lines;
}

// Target rows that break a constraint: that constraint gets the failure line, nothing else is
// touched, and the constraints after it are still created.
TEST(ConstraintProcessTarget, RowsThatBreakAConstraintFailOnlyThatConstraint) {
    DatabasePair db(source(), std::string(kTables) + R"(
INSERT INTO PAI (ID, COD, NOME) VALUES (1, 'A', 'UM');
INSERT INTO FILHO (A, B, PAI_ID, COD) VALUES (1, 2, 99, 'A');
INSERT INTO ARVORE (ID, PAI, NIVEL) VALUES (1, NULL, -1);
INSERT INTO NUMEROS (N) VALUES (7);
INSERT INTO NUMEROS (N) VALUES (7);
)");
    db.host().run(sync::runConstraintProcess);
    const std::vector<Expected> walk = expectedWalk(db.source);
    const std::string orphan = serverName(db.source, "FILHO", "FOREIGN KEY");
    const std::string check = serverName(db.source, "ARVORE", "CHECK");
    const std::string duplicate = serverName(db.source, "NUMEROS", "PRIMARY KEY");
    EXPECT_EQ(db.host().processLog, blocks(walk));
    EXPECT_EQ(failureLinesOf(db.host().errorLog),
              (std::vector<std::string>{kFailed + padded(duplicate), kFailed + padded(orphan),
                                        kFailed + padded(check)}));
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});

    std::vector<std::string> created = constraintRows(db.source);
    const auto refused = [](const std::string& row) {
        return row.rfind("INTEG_# NUMEROS PRIMARY KEY", 0) == 0 ||
               row.rfind("INTEG_# FILHO FOREIGN KEY", 0) == 0 || row.rfind("INTEG_# ARVORE CHECK", 0) == 0;
    };
    EXPECT_EQ(std::count_if(created.begin(), created.end(), refused), 3);
    created.erase(std::remove_if(created.begin(), created.end(), refused), created.end());
    EXPECT_EQ(constraintRows(db.target), created);
    // The rows are as they were.
    EXPECT_EQ(db.target.queryRows("SELECT A || ' ' || B || ' ' || PAI_ID FROM FILHO"),
              std::vector<std::string>{"1 2 99"});
    EXPECT_EQ(db.target.queryValue("SELECT COUNT(*) FROM NUMEROS"), "2");
}

// A key over a column the target holds without NOT NULL cannot be created; the foreign keys that
// reference it fail with it, and the rest is created.
TEST(ConstraintProcessTarget, KeyTheTargetCannotHoldFailsWithTheForeignKeysOnIt) {
    std::string tables = kTables;
    const std::string notNullId = "CREATE TABLE PAI (ID INTEGER NOT NULL,";
    tables.replace(tables.find(notNullId), notNullId.size(), "CREATE TABLE PAI (ID INTEGER,");
    DatabasePair db(source(), tables);
    db.host().run(sync::runConstraintProcess);
    const std::vector<Expected> walk = expectedWalk(db.source);
    EXPECT_EQ(db.host().processLog, blocks(walk));
    EXPECT_EQ(failureLinesOf(db.host().errorLog),
              (std::vector<std::string>{kFailed + padded(serverName(db.source, "PAI", "PRIMARY KEY")),
                                        kFailed + padded("FK_SD"), kFailed + padded("FK_SN"),
                                        kFailed + padded(serverName(db.source, "FILHO", "FOREIGN KEY"))}));
    EXPECT_EQ(db.host().messages, std::vector<std::string>{kFinalizado});
    EXPECT_EQ(constraintRows(db.target).size(), walk.size() - 4);
}

// Once process 8 has created them, the indexes behind the constraints exist on the target under
// the source's names, and the index process finds them.
TEST(ConstraintProcessTarget, IndexProcessFindsTheConstraintIndexesAfterwards) {
    DatabasePair db(source(), kTables);
    TestHost& host = db.host();
    host.run(sync::runIndexProcess);
    // Before: the index process leaves the indexes behind constraints to the constraint process,
    // so none of them is reported missing.
    std::vector<std::string> reported;
    for (const std::string& line : host.processLog)
        if (line.rfind("Index não encontrada; ", 0) == 0)
            reported.push_back(line.substr(std::string("Index não encontrada; ").size()));
    EXPECT_TRUE(reported.empty()) << host.processLogText();
    host.processLog.clear();
    host.run(sync::runConstraintProcess);
    EXPECT_TRUE(host.errorLog.empty());
    host.processLog.clear();
    host.messages.clear();
    host.run(sync::runIndexProcess);
    EXPECT_TRUE(host.processLog.empty()) << host.processLogText();
    EXPECT_EQ(host.messages, std::vector<std::string>{kFinalizado});
}

} // namespace
} // namespace vistrel::test
