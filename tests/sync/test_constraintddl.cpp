// The statement that creates a constraint, and how constraints of server-made names are matched:
// golden texts, one row per case.
#include "sync/constraints.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vistrel::test {
namespace {

using sync::ConstraintDefinition;
using sync::ConstraintType;

ConstraintDefinition key(ConstraintType type, std::string name, std::string table,
                         std::vector<std::string> columns, std::string index, bool descending = false) {
    ConstraintDefinition c;
    c.type = type;
    c.name = std::move(name);
    c.table = std::move(table);
    c.columns = std::move(columns);
    c.indexName = std::move(index);
    c.descendingIndex = descending;
    return c;
}

ConstraintDefinition foreignKey(std::string name, std::string table, std::vector<std::string> columns,
                                std::string index, std::string referenced,
                                std::vector<std::string> referencedColumns, std::string updateRule,
                                std::string deleteRule) {
    ConstraintDefinition c = key(ConstraintType::ForeignKey, std::move(name), std::move(table),
                                 std::move(columns), std::move(index));
    c.referencedTable = std::move(referenced);
    c.referencedColumns = std::move(referencedColumns);
    c.updateRule = std::move(updateRule);
    c.deleteRule = std::move(deleteRule);
    return c;
}

ConstraintDefinition check(std::string name, std::string table, std::string source) {
    ConstraintDefinition c;
    c.type = ConstraintType::Check;
    c.name = std::move(name);
    c.table = std::move(table);
    c.checkSource = std::move(source);
    return c;
}

struct DdlCase {
    const char* label;
    ConstraintDefinition constraint;
    const char* ddl;
};

// Cases are named by their label, in test names and in failure messages.
void PrintTo(const DdlCase& c, std::ostream* out) {
    *out << c.label;
}

class ConstraintDdl : public ::testing::TestWithParam<DdlCase> {};

TEST_P(ConstraintDdl, Statement) {
    EXPECT_EQ(sync::constraintDdl(GetParam().constraint), GetParam().ddl);
}

const DdlCase kDdlCases[] = {
    {"named_primary_key", key(ConstraintType::PrimaryKey, "PK_PAI", "PAI", {"ID"}, "PK_PAI"),
     "ALTER TABLE PAI ADD CONSTRAINT PK_PAI PRIMARY KEY (ID);"},
    {"server_made_primary_key", key(ConstraintType::PrimaryKey, "INTEG_12", "PAI", {"ID"}, "RDB$PRIMARY3"),
     "ALTER TABLE PAI ADD PRIMARY KEY (ID);"},
    {"composite_descending_index_of_its_own",
     key(ConstraintType::PrimaryKey, "PK_FILHO", "FILHO", {"B", "A"}, "IX_FILHO", true),
     "ALTER TABLE FILHO ADD CONSTRAINT PK_FILHO PRIMARY KEY (B, A) USING DESCENDING INDEX IX_FILHO;"},
    {"descending_index_of_the_constraint_name",
     key(ConstraintType::PrimaryKey, "PK_D", "D", {"ID"}, "PK_D", true),
     "ALTER TABLE D ADD CONSTRAINT PK_D PRIMARY KEY (ID) USING DESCENDING INDEX PK_D;"},
    {"server_made_name_index_of_its_own",
     key(ConstraintType::PrimaryKey, "INTEG_4", "NUMEROS", {"N"}, "IX_NUMEROS"),
     "ALTER TABLE NUMEROS ADD PRIMARY KEY (N) USING INDEX IX_NUMEROS;"},
    {"named_unique", key(ConstraintType::Unique, "UQ_COD", "PAI", {"COD"}, "UQ_COD"),
     "ALTER TABLE PAI ADD CONSTRAINT UQ_COD UNIQUE (COD);"},
    {"server_made_unique", key(ConstraintType::Unique, "INTEG_7", "PAI", {"NOME", "COD"}, "RDB$5"),
     "ALTER TABLE PAI ADD UNIQUE (NOME, COD);"},
    {"names_that_need_quotes",
     key(ConstraintType::Unique, "uq \"x\"", "minha tabela", {"Id", "SELECT"}, "ix minha"),
     "ALTER TABLE \"minha tabela\" ADD CONSTRAINT \"uq \"\"x\"\"\" UNIQUE (\"Id\", \"SELECT\") USING INDEX "
     "\"ix minha\";"},
    {"foreign_key_default_actions",
     foreignKey("FK_A", "FILHO", {"PAI_ID"}, "FK_A", "PAI", {"ID"}, "RESTRICT", "RESTRICT"),
     "ALTER TABLE FILHO ADD CONSTRAINT FK_A FOREIGN KEY (PAI_ID) REFERENCES PAI (ID);"},
    {"foreign_key_cascade",
     foreignKey("INTEG_9", "FILHO", {"PAI_ID"}, "RDB$FOREIGN10", "PAI", {"ID"}, "CASCADE", "CASCADE"),
     "ALTER TABLE FILHO ADD FOREIGN KEY (PAI_ID) REFERENCES PAI (ID) ON UPDATE CASCADE ON DELETE CASCADE;"},
    {"foreign_key_set_null_and_no_action",
     foreignKey("FK_B", "FILHO", {"X"}, "FK_B", "PAI", {"ID"}, "NO ACTION", "SET NULL"),
     "ALTER TABLE FILHO ADD CONSTRAINT FK_B FOREIGN KEY (X) REFERENCES PAI (ID) ON UPDATE NO ACTION ON "
     "DELETE SET "
     "NULL;"},
    {"foreign_key_set_default",
     foreignKey("FK_C", "FILHO", {"X", "Y"}, "FK_C", "PAI", {"A", "B"}, "SET DEFAULT", "RESTRICT"),
     "ALTER TABLE FILHO ADD CONSTRAINT FK_C FOREIGN KEY (X, Y) REFERENCES PAI (A, B) ON UPDATE SET DEFAULT;"},
    {"foreign_key_index_of_its_own",
     foreignKey("FK_D", "FILHO", {"X"}, "IX_FK_D", "PAI", {"ID"}, "RESTRICT", "CASCADE"),
     "ALTER TABLE FILHO ADD CONSTRAINT FK_D FOREIGN KEY (X) REFERENCES PAI (ID) ON DELETE CASCADE USING "
     "INDEX "
     "IX_FK_D;"},
    {"self_reference",
     foreignKey("FK_E", "ARVORE", {"PAI"}, "FK_E", "ARVORE", {"ID"}, "RESTRICT", "RESTRICT"),
     "ALTER TABLE ARVORE ADD CONSTRAINT FK_E FOREIGN KEY (PAI) REFERENCES ARVORE (ID);"},
    {"named_check", check("CK_A", "FILHO", "CHECK (A <> B AND A > 0)"),
     "ALTER TABLE FILHO ADD CONSTRAINT CK_A CHECK (A <> B AND A > 0);"},
    {"server_made_check", check("INTEG_3", "ARVORE", "CHECK (NIVEL >= 0)"),
     "ALTER TABLE ARVORE ADD CHECK (NIVEL >= 0);"},
    // The check's own text is written as stored, line breaks and quotes included.
    {"check_text_as_stored", check("ck 'x'", "T", "check (\"Valor\" > 0 or\r\n  NOME = 'it''s')"),
     "ALTER TABLE T ADD CONSTRAINT \"ck 'x'\" check (\"Valor\" > 0 or\r\n  NOME = 'it''s');"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConstraintDdl, ::testing::ValuesIn(kDdlCases),
                         [](const ::testing::TestParamInfo<DdlCase>& p) {
                             return std::string(p.param.label);
                         });

TEST(ConstraintNames, ServerMadeNames) {
    EXPECT_TRUE(sync::isServerConstraintName("INTEG_1"));
    EXPECT_TRUE(sync::isServerConstraintName("INTEG_12345"));
    for (const char* own : {"INTEG_", "INTEG_1A", "integ_1", "PK_INTEG_1", "INTEG", "X"})
        EXPECT_FALSE(sync::isServerConstraintName(own)) << own;
    for (const char* server : {"RDB$PRIMARY1", "RDB$FOREIGN22", "RDB$3"})
        EXPECT_TRUE(sync::isServerIndexName(server)) << server;
    for (const char* own : {"PK_X", "IX_RDB$", "rdb$1"})
        EXPECT_FALSE(sync::isServerIndexName(own)) << own;
}

TEST(ConstraintRules, CheckViolationQueryNegatesTheCondition) {
    EXPECT_EQ(sync::checkViolationQuery(check("CK", "ARVORE", "CHECK (NIVEL >= 0)")),
              "SELECT FIRST 1 1 FROM ARVORE WHERE NOT  (NIVEL >= 0)");
    EXPECT_EQ(
        sync::checkViolationQuery(check("ck", "minha tabela", "\r\n check(\"Valor\" > 0 or X = 'CHECK')")),
        "SELECT FIRST 1 1 FROM \"minha tabela\" WHERE NOT (\"Valor\" > 0 or X = 'CHECK')");
}

TEST(ConstraintRules, SameRuleWhateverTheNames) {
    const ConstraintDefinition pk =
        key(ConstraintType::PrimaryKey, "INTEG_1", "T", {"A", "B"}, "RDB$PRIMARY1");
    EXPECT_TRUE(
        sync::sameRule(pk, key(ConstraintType::PrimaryKey, "INTEG_9", "T", {"A", "B"}, "RDB$PRIMARY7")));
    EXPECT_TRUE(sync::sameRule(pk, key(ConstraintType::PrimaryKey, "PK_T", "T", {"A", "B"}, "PK_T", true)));
    EXPECT_FALSE(
        sync::sameRule(pk, key(ConstraintType::PrimaryKey, "INTEG_9", "T", {"B", "A"}, "RDB$PRIMARY7")));
    EXPECT_FALSE(sync::sameRule(pk, key(ConstraintType::PrimaryKey, "INTEG_9", "T", {"A"}, "RDB$PRIMARY7")));
    EXPECT_FALSE(sync::sameRule(pk, key(ConstraintType::Unique, "INTEG_9", "T", {"A", "B"}, "RDB$7")));
    EXPECT_FALSE(
        sync::sameRule(pk, key(ConstraintType::PrimaryKey, "INTEG_9", "U", {"A", "B"}, "RDB$PRIMARY7")));

    const ConstraintDefinition fk =
        foreignKey("INTEG_2", "F", {"P"}, "RDB$FOREIGN2", "P", {"ID"}, "RESTRICT", "CASCADE");
    EXPECT_TRUE(sync::sameRule(
        fk, foreignKey("INTEG_5", "F", {"P"}, "RDB$FOREIGN9", "P", {"ID"}, "RESTRICT", "RESTRICT")));
    EXPECT_FALSE(sync::sameRule(
        fk, foreignKey("INTEG_5", "F", {"P"}, "RDB$FOREIGN9", "Q", {"ID"}, "RESTRICT", "CASCADE")));
    EXPECT_FALSE(sync::sameRule(
        fk, foreignKey("INTEG_5", "F", {"P"}, "RDB$FOREIGN9", "P", {"COD"}, "RESTRICT", "CASCADE")));

    const ConstraintDefinition ck = check("INTEG_3", "T", "CHECK (A > 0)");
    EXPECT_TRUE(sync::sameRule(ck, check("INTEG_8", "T", "CHECK (A > 0)")));
    EXPECT_FALSE(sync::sameRule(ck, check("INTEG_8", "T", "CHECK (A >= 0)")));
    EXPECT_FALSE(sync::sameRule(ck, check("INTEG_8", "U", "CHECK (A > 0)")));
}

} // namespace
} // namespace vistrel::test
