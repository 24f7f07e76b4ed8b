// The extractor's pure text helpers: pattern formatting, identifier quoting, list re-splitting
// and trigger event phrases.
#include "extract/extracttext.h"
#include "extract/ibextract.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vistrel::extract {
namespace {

// Test names from the name field of a case.
struct CaseName {
    template <typename Info> std::string operator()(const Info& testInfo) const {
        return testInfo.param.name;
    }
};

// ---- formatText ------------------------------------------------------------------------------

struct FormatCase {
    const char* name;
    std::string pattern;
    std::vector<FormatArg> args;
    std::string expected;
};

// Failure messages name the case.
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class FormatTextTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTextTest, FillsPattern) {
    EXPECT_EQ(formatText(GetParam().pattern, GetParam().args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatTextTest,
    ::testing::Values(
        FormatCase{"Trigger",
                   "CREATE TRIGGER %s FOR %s %s%s %s POSITION %d",
                   {std::string("\"T\""), std::string("\"P\""), std::string("\r\n"), std::string("ACTIVE"),
                    std::string("BEFORE INSERT"), 7LL},
                   "CREATE TRIGGER \"T\" FOR \"P\" \r\nACTIVE BEFORE INSERT POSITION 7"},
        FormatCase{"IndexedArgument", ") %0:sAS%0:s", {std::string("\r\n")}, ") \r\nAS\r\n"},
        FormatCase{
            "CapitalS", "ALTER INDEX %S INACTIVE;", {std::string("\"I\"")}, "ALTER INDEX \"I\" INACTIVE;"},
        FormatCase{"NegativeNumber", "NUMERIC(4, %d)", {-3LL}, "NUMERIC(4, -3)"},
        FormatCase{"PercentSign", "100%% %s", {std::string("x")}, "100% x"},
        FormatCase{
            "IndexThenNext", "%1:s%s%0:s", {std::string("a"), std::string("b"), std::string("c")}, "bca"},
        FormatCase{"NoPlaceholders", "/* Domain definitions */", {}, "/* Domain definitions */"}),
    CaseName());

TEST(FormatTextErrors, MissingOrMismatchedArgumentsThrow) {
    EXPECT_THROW(formatText("%s %s", {std::string("one")}), std::invalid_argument);
    EXPECT_THROW(formatText("%d", {std::string("text")}), std::invalid_argument);
    EXPECT_THROW(formatText("%s", {5LL}), std::invalid_argument);
    EXPECT_THROW(formatText("%x", {std::string("a")}), std::invalid_argument);
    EXPECT_THROW(formatText("ends in %", {}), std::invalid_argument);
    EXPECT_THROW(formatText("%5:s", {std::string("a")}), std::invalid_argument);
    EXPECT_THROW(formatText("%0s", {std::string("a")}), std::invalid_argument);
}

// ---- quoteIdentifier ---------------------------------------------------------------------------

struct QuoteCase {
    const char* name;
    int dialect;
    std::string value;
    std::string expected;
};

// Failure messages name the case.
void PrintTo(const QuoteCase& c, std::ostream* os) {
    *os << c.name;
}

class QuoteIdentifierTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteIdentifierTest, QuotesByDialect) {
    EXPECT_EQ(quoteIdentifier(GetParam().dialect, GetParam().value), GetParam().expected);
    EXPECT_EQ(TIBExtract::QuoteIdentifier(GetParam().dialect, GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, QuoteIdentifierTest,
    ::testing::Values(QuoteCase{"Dialect3Plain", 3, "CLIENTES", "\"CLIENTES\""},
                      QuoteCase{"Dialect3KeepsBlanksAndCase", 3, " Nome x ", "\" Nome x \""},
                      QuoteCase{"Dialect3DoublesQuotes", 3, "A\"B\"\"C", "\"A\"\"B\"\"\"\"C\""},
                      QuoteCase{"Dialect3Empty", 3, "", "\"\""},
                      QuoteCase{"Dialect2QuotesToo", 2, "x", "\"x\""},
                      QuoteCase{"Dialect1TrimsAndUppercases", 1, " \tclientes_1 \r\n", "CLIENTES_1"},
                      QuoteCase{"Dialect1NoQuoteDoubling", 1, "a\"b", "A\"B"},
                      QuoteCase{"Dialect1Utf8Latin", 1, "a\xC3\xA7\xC3\xA3o\xC3\xBF\xC5\x93",
                                "A\xC3\x87\xC3\x83O\xC5\xB8\xC5\x92"},
                      QuoteCase{"Dialect1Utf8KeepsDivisionAndSharpS", 1, "\xC3\xB7\xC3\x9F",
                                "\xC3\xB7\xC3\x9F"},
                      QuoteCase{"Dialect1Windows1252", 1, "a\xE7\xE3o\xFF\x9A", "A\xC7\xC3O\x9F\x8A"},
                      QuoteCase{"Dialect1Windows1252DivisionSign", 1, "\xF7x", "\xF7X"},
                      QuoteCase{"Dialect1OnlyBlanks", 1, "   ", ""}),
    CaseName());

// ---- sqlIdentifier by the target's dialect ---------------------------------------------------

struct NameCase {
    const char* name;
    std::string value;
    std::string dialect3; // as a dialect-3 statement carries it
    bool dialect1Holds;   // a dialect-1 statement carries it as it is; otherwise it is refused
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class SqlIdentifierTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SqlIdentifierTest, WritesTheNameForTheTargetsDialect) {
    const NameCase& c = GetParam();
    EXPECT_EQ(sqlIdentifier(c.value), c.dialect3);
    EXPECT_EQ(sqlIdentifier(3, c.value), c.dialect3);
    if (c.dialect1Holds) {
        EXPECT_EQ(sqlIdentifier(1, c.value), c.value);
        return;
    }
    try {
        (void)sqlIdentifier(1, c.value);
        ADD_FAILURE() << "dialect 1 took " << c.value;
    } catch (const EDialectName& error) {
        EXPECT_EQ(error.name(), c.value);
        EXPECT_EQ(std::string(error.what()), "Nome que o dialeto 1 não aceita: " + c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, SqlIdentifierTest,
                         ::testing::Values(NameCase{"Ordinary", "G_CLIENTES", "G_CLIENTES", true},
                                           NameCase{"DigitsAndDollar", "T1$X", "T1$X", true},
                                           NameCase{"LowerCase", "g_min", "\"g_min\"", false},
                                           NameCase{"Blank", "G B", "\"G B\"", false},
                                           NameCase{"ReservedWord", "ORDER", "\"ORDER\"", false},
                                           NameCase{"Accent", "AÇÃO", "\"AÇÃO\"", false},
                                           NameCase{"Apostrophe", "E'ASPA", "\"E'ASPA\"", false},
                                           NameCase{"DoubleQuote", "A\"B", "\"A\"\"B\"", false},
                                           NameCase{"LeadingDigit", "1A", "\"1A\"", false},
                                           NameCase{"Empty", "", "\"\"", false}),
                         CaseName());

TEST(QuoteString, DoublesApostrophes) {
    EXPECT_EQ(quoteString("it's empty"), "'it''s empty'");
    EXPECT_EQ(quoteString(""), "''");
    EXPECT_EQ(quoteString("''"), "''''''");
    EXPECT_EQ(quoteString("a\r\nb \"q\""), "'a\r\nb \"q\"'");
}

// ---- appendResplit -----------------------------------------------------------------------------

struct ResplitCase {
    const char* name;
    std::vector<std::string> items;
    std::string appended;
    std::vector<std::string> expected;
};

// Failure messages name the case.
void PrintTo(const ResplitCase& c, std::ostream* os) {
    *os << c.name;
}

class AppendResplitTest : public ::testing::TestWithParam<ResplitCase> {};

TEST_P(AppendResplitTest, SplitsAtEveryLineBreak) {
    data::TStringList list;
    list.Assign(GetParam().items);
    appendResplit(list, GetParam().appended);
    EXPECT_EQ(list.items(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AppendResplitTest,
    ::testing::Values(ResplitCase{"EmptyListEmptyText", {}, "", {}},
                      ResplitCase{"EmbeddedBreaksBecomeItems",
                                  {"\r\n/* V */\r\n", "CREATE VIEW \"V\" ("},
                                  ") \r\nAS\r\n",
                                  {"", "/* V */", "", "CREATE VIEW \"V\" (", ") ", "AS"}},
                      ResplitCase{"LoneCrAndLf", {"A"}, "x\ry\nz", {"A", "x", "y", "z"}},
                      ResplitCase{"CrCrLf", {}, "a\r\r\nb", {"a", "", "b"}},
                      ResplitCase{"LfCr", {}, "a\n\rb", {"a", "", "b"}},
                      ResplitCase{"TrailingBreakMakesNoItem", {"A"}, "B\r\n", {"A", "B"}},
                      ResplitCase{"TwoTrailingBreaks", {"A"}, "B\n\n", {"A", "B", ""}},
                      ResplitCase{"ItemEndingInBreak", {"x ;\r\n"}, "", {"x ;", ""}},
                      ResplitCase{"LeadingBreakOfAppended", {"A"}, "\nB", {"A", "", "B"}}),
    CaseName());

// ---- triggerEventPhrase ------------------------------------------------------------------------

struct PhraseCase {
    const char* name;
    int64_t type;
    std::optional<std::string> expected;
};

// Failure messages name the case.
void PrintTo(const PhraseCase& c, std::ostream* os) {
    *os << c.name;
}

class TriggerEventPhraseTest : public ::testing::TestWithParam<PhraseCase> {};

TEST_P(TriggerEventPhraseTest, PhraseOfType) {
    EXPECT_EQ(triggerEventPhrase(GetParam().type), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, TriggerEventPhraseTest,
    ::testing::Values(
        PhraseCase{"Type0", 0, std::string()}, PhraseCase{"Type1", 1, std::string("BEFORE INSERT")},
        PhraseCase{"Type2", 2, std::string("AFTER INSERT")},
        PhraseCase{"Type3", 3, std::string("BEFORE UPDATE")},
        PhraseCase{"Type4", 4, std::string("AFTER UPDATE")},
        PhraseCase{"Type5", 5, std::string("BEFORE DELETE")},
        PhraseCase{"Type6", 6, std::string("AFTER DELETE")},
        PhraseCase{"Type17", 17, std::string("BEFORE INSERT OR UPDATE")},
        PhraseCase{"Type18", 18, std::string("AFTER INSERT OR UPDATE")},
        PhraseCase{"Type25", 25, std::string("BEFORE INSERT OR DELETE")},
        PhraseCase{"Type27", 27, std::string("BEFORE UPDATE OR DELETE")},
        PhraseCase{"Type113", 113, std::string("BEFORE INSERT OR UPDATE OR DELETE")},
        PhraseCase{"Type114", 114, std::string("AFTER INSERT OR UPDATE OR DELETE")},
        PhraseCase{"DeleteOrInsert", 13, std::string("BEFORE DELETE OR INSERT")},
        PhraseCase{"EventTwice", 9, std::nullopt}, // INSERT OR INSERT
        PhraseCase{"GapBetweenEvents", 65, std::nullopt}, PhraseCase{"Type127", 127, std::nullopt},
        PhraseCase{"Negative", -1, std::nullopt},
        // Database triggers: 8192 + event.
        PhraseCase{"DatabaseConnect", 8192, std::string("ON CONNECT")},
        PhraseCase{"DatabaseDisconnect", 8193, std::string("ON DISCONNECT")},
        PhraseCase{"TransactionStart", 8194, std::string("ON TRANSACTION START")},
        PhraseCase{"TransactionCommit", 8195, std::string("ON TRANSACTION COMMIT")},
        PhraseCase{"TransactionRollback", 8196, std::string("ON TRANSACTION ROLLBACK")},
        PhraseCase{"DatabaseUnknownEvent", 8197, std::nullopt},
        // DDL triggers: 16384 + AFTER bit + one bit per statement kind, as the
        // server stores them.
        PhraseCase{"DdlWithoutEvent", 16385, std::nullopt},
        PhraseCase{"DdlBeforeCreateTable", 16386, std::string("BEFORE CREATE TABLE")},
        PhraseCase{"DdlAfterCreateOrAlterTable", 16391, std::string("AFTER CREATE TABLE OR ALTER TABLE")},
        PhraseCase{"DdlAfterThreeKinds", 3221307393,
                   std::string("AFTER CREATE EXCEPTION OR DROP INDEX OR CREATE SEQUENCE")},
        PhraseCase{"DdlBeforeDropMapping", 140737488371712, std::string("BEFORE DROP MAPPING")},
        PhraseCase{"DdlBeforeAny", 9223372036854767614, std::string("BEFORE ANY DDL STATEMENT")},
        PhraseCase{"DdlAfterAny", 9223372036854767615, std::string("AFTER ANY DDL STATEMENT")},
        PhraseCase{"DdlKindBitAsEvent", 16384 | (int64_t{1} << 15), std::nullopt},
        PhraseCase{"DdlBitPastMapping", 16384 | (int64_t{1} << 48), std::nullopt},
        PhraseCase{"BothKindBits", 0x6000, std::nullopt}),
    CaseName());

// ---- TExtractTypes -----------------------------------------------------------------------------

TEST(ExtractTypes, SetOfOptionBits) {
    constexpr TExtractTypes none;
    EXPECT_TRUE(none.empty());
    constexpr TExtractTypes some{etTable, etEncryption};
    EXPECT_FALSE(some.empty());
    EXPECT_TRUE(some.contains(etTable));
    EXPECT_TRUE(some.contains(etEncryption));
    EXPECT_FALSE(some.contains(etDomain));
    EXPECT_EQ(some.bits(), (1u << 1) | (1u << 11));
    EXPECT_EQ(static_cast<int>(eoSubscription), 18);
    EXPECT_EQ(static_cast<int>(eoIndexes), 12);
    EXPECT_EQ(static_cast<int>(eoTrigger), 10);
}

} // namespace
} // namespace vistrel::extract
