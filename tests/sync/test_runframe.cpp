// The text rewrites of extracted DDL, on their own: framing text is removed only where the
// extractor wrote it, on a line of its own; the object's own text keeps the same letters.
#include "sync/runframe.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vistrel::sync {
namespace {

struct RemoveCase {
    const char* name;
    std::string text;
    std::string what;
    std::string expected;
};

// Failure messages name the case.
void PrintTo(const RemoveCase& c, std::ostream* os) {
    *os << c.name;
}

class RemoveText : public ::testing::TestWithParam<RemoveCase> {};

TEST_P(RemoveText, RemovesOnlyWholeLines) {
    EXPECT_EQ(removeText(GetParam().text, GetParam().what), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemoveText,
    ::testing::Values(
        RemoveCase{"ClosingLineLeavesAnEmptyLine", "END\r\n ;\r\n\r\nCOMMIT WORK ;\r\n", "COMMIT WORK ;",
                   "END\r\n ;\r\n\r\n\r\n"},
        RemoveCase{"InsideALiteralStays", "  NEW.S = 'COMMIT WORK ;';\r\nCOMMIT WORK ;\r\n", "COMMIT WORK ;",
                   "  NEW.S = 'COMMIT WORK ;';\r\n\r\n"},
        RemoveCase{"AloneInsideABodyIsAlsoAWholeLine", "AS\nCOMMIT WORK ;\nEND", "COMMIT WORK ;",
                   "AS\n\nEND"},
        RemoveCase{"LetterCaseDisregarded", "x\r\ncommit work ;\r\n", "COMMIT WORK ;", "x\r\n\r\n"},
        RemoveCase{"AtTheVeryStartAndEnd", "COMMIT WORK ;", "COMMIT WORK ;", ""},
        RemoveCase{
            "HeaderLine",
            "\r\n/* Triggers only will work for SQL triggers */\r\n\r\nCREATE TRIGGER \"T\" FOR \"A\" \r\n",
            "/* Triggers only will work for SQL triggers */",
            "\r\n\r\n\r\nCREATE TRIGGER \"T\" FOR \"A\" \r\n"},
        RemoveCase{"HeaderTextInsideAComment",
                   "AS BEGIN /* /* Triggers only will work for SQL triggers */ */ END\r\n",
                   "/* Triggers only will work for SQL triggers */",
                   "AS BEGIN /* /* Triggers only will work for SQL triggers */ */ END\r\n"},
        RemoveCase{"IndexHeaderWithItsName",
                   "\r\n/*  Index definitions for IDX_A */\r\nCREATE INDEX \"IDX_A\" ON \"T\"(\"A\");\r\n",
                   "/*  Index definitions for IDX_A */",
                   "\r\n\r\nCREATE INDEX \"IDX_A\" ON \"T\"(\"A\");\r\n"},
        RemoveCase{"LongerLineIsNotTheHeader", "\r\n/*  Index definitions for IDX_AB */\r\n",
                   "/*  Index definitions for IDX_A */", "\r\n/*  Index definitions for IDX_AB */\r\n"},
        RemoveCase{"EveryWholeLineOccurrence", "A\nA\nxA\nA", "A", "\n\nxA\n"},
        RemoveCase{"EmptyWhatChangesNothing", "abc\r\n", "", "abc\r\n"}),
    [](const ::testing::TestParamInfo<RemoveCase>& caseInfo) { return std::string(caseInfo.param.name); });

} // namespace
} // namespace vistrel::sync
