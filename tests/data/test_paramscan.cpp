// The parameter scan: which characters become markers, what is sent unchanged, and the parse
// errors. No server needed.
#include "data/errors.h"
#include "data/ibsql.h"

#include <gtest/gtest.h>

using namespace vistrel::data;

namespace {

struct ScanCase {
    const char* name;
    std::string sql;
    std::string sent;
    std::vector<std::string> names;
};

class ParameterScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ParameterScan, SendsTextAndCollectsNames) {
    const ScanCase& c = GetParam();
    ScannedSQL s = scanParameters(c.sql);
    EXPECT_EQ(s.text, c.sent);
    EXPECT_EQ(s.names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParameterScan,
    ::testing::Values(
        ScanCase{"plain", "select * from t where a = :A", "select * from t where a = ?", {"A"}},
        ScanCase{"lower_case_name_upper", "where x = :name_1$rest", "where x = ?$rest", {"NAME_1"}},
        ScanCase{"question_marker", "where x = ?p", "where x = ?", {"P"}},
        ScanCase{"quoted_name_kept", "where x = :\"Mixed Name\"", "where x = ?", {"Mixed Name"}},
        ScanCase{"repeated_name", "a = :X or b = :x", "a = ? or b = ?", {"X", "X"}},
        ScanCase{"colon_in_single_quotes", "select ':a' from r", "select ':a' from r", {}},
        ScanCase{"doubled_quote_stays_in_run", "select 'it''s :a' from r", "select 'it''s :a' from r", {}},
        ScanCase{"colon_in_double_quotes", "select \"A:B\" from r", "select \"A:B\" from r", {}},
        ScanCase{"block_comment", "select 1 /* :x ? */ from r", "select 1 /* :x ? */ from r", {}},
        ScanCase{"line_comment_is_scanned", "select 1 -- :x\r\nfrom r", "select 1 -- ?\r\nfrom r", {"X"}},
        ScanCase{"trigger_body_variable", "SELECT 1 FROM R INTO :X;", "SELECT 1 FROM R INTO ?;", {"X"}},
        ScanCase{"accented_bytes_unchanged", "select 'ação' from r", "select 'ação' from r", {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

struct ErrorCase {
    const char* name;
    std::string sql;
    std::string message;
};

class ParameterScanError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ParameterScanError, RaisesParseError) {
    const ErrorCase& c = GetParam();
    try {
        scanParameters(c.sql);
        FAIL() << "no error for " << c.sql;
    } catch (const EIBClientError& e) {
        EXPECT_EQ(std::string(e.what()), c.message);
        EXPECT_EQ(e.code(), ClientError::SQLParseError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParameterScanError,
    ::testing::Values(
        ErrorCase{"assignment", "x := 1", "SQL Parse Error:\r\n\r\nParameter name expected"},
        ErrorCase{"colon_blank", "a : b", "SQL Parse Error:\r\n\r\nParameter name expected"},
        ErrorCase{"bare_question_mark", "where a = ?", "SQL Parse Error:\r\n\r\nParameter name expected"},
        ErrorCase{"marker_at_end", "where a = :", "SQL Parse Error:\r\n\r\nParameter name expected"},
        ErrorCase{"open_string", "select 'abc from r", "SQL Parse Error:\r\n\r\nEOF in string detected"},
        ErrorCase{"open_identifier", "select \"abc from r", "SQL Parse Error:\r\n\r\nEOF in string detected"},
        ErrorCase{"open_comment", "select 1 /* never closed",
                  "SQL Parse Error:\r\n\r\nEOF in comment detected"}),
    [](const auto& tc) { return std::string(tc.param.name); });

} // namespace
