// Round trip: the extracted statement, with its header comment removed, executed on a database that
// lacks the object recreates it, and extracting it there gives the same text.
#include "tests/extract/extractfixture.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vistrel::extract::testing {
namespace {

// Test names from the name field of a case.
struct CaseName {
    template <typename Info> std::string operator()(const Info& testInfo) const {
        return testInfo.param.name;
    }
};

struct RoundTrip {
    const char* name;
    Db source;
    Db target;
    TExtractObjectTypes kind;
    std::string objectName;
};

// Failure messages name the case.
void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.name;
}

// Removes the first occurrence of what from text; fails the test when it is missing.
std::string removeOnce(std::string text, const std::string& what) {
    const auto at = text.find(what);
    EXPECT_NE(at, std::string::npos) << "missing: " << what;
    if (at != std::string::npos) {
        text.erase(at, what.size());
    }
    return text;
}

// The statements to execute: the text without its header comment (and, for triggers, without the
// closing COMMIT WORK line, which the session's transaction does instead). Index text holds one
// statement per line; the other kinds hold one statement.
std::vector<std::string> statementsOf(TExtractObjectTypes kind, const std::string& name,
                                      const std::string& text) {
    switch (kind) {
    case eoDomain:
        return {removeOnce(text, "/* Domain definitions */")};
    case eoException:
        return {removeOnce(text, "/*  Exceptions */")};
    case eoView:
        return {removeOnce(text, "/* View: " + name + ", Owner: SYSDBA */")};
    case eoTrigger:
        return {
            removeOnce(removeOnce(text, "/* Triggers only will work for SQL triggers */"), "COMMIT WORK ;")};
    default: {
        std::vector<std::string> statements;
        for (const std::string& line :
             data::splitLines(removeOnce(text, "/*  Index definitions for " + name + " */"))) {
            if (!data::trim(line).empty()) {
                statements.push_back(line);
            }
        }
        return statements;
    }
    }
}

std::string extractFrom(Session& session, TExtractObjectTypes kind, const std::string& name) {
    TIBExtract extractor;
    extractor.setDatabase(&session.db());
    extractor.setTransaction(&session.tr());
    extractor.ExtractObject(kind, name);
    return extractor.Items().Text();
}

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, RecreatesObjectWithSameText) {
    const RoundTrip& c = GetParam();
    std::string sourceText;
    {
        Session source(database(c.source));
        sourceText = extractFrom(source, c.kind, c.objectName);
    }
    ASSERT_NE(sourceText, "");

    Session target(database(c.target));
    ASSERT_EQ(extractFrom(target, c.kind, c.objectName), "") << "the target already has the object";
    for (const std::string& statement : statementsOf(c.kind, c.objectName, sourceText)) {
        SCOPED_TRACE(statement);
        ASSERT_NO_THROW(target.execute(statement));
    }
    // The server checks some DDL (references of a trigger body) only at commit.
    ASSERT_NO_THROW(target.tr().Commit());

    EXPECT_EQ(extractFrom(target, c.kind, c.objectName), sourceText);
}

INSTANTIATE_TEST_SUITE_P(
    Objects, RoundTripTest,
    ::testing::Values(
        RoundTrip{"Domain_DM_VALOR", Db::Source3, Db::Target3, eoDomain, "DM_VALOR"},
        RoundTrip{"Domain_AllClauses", Db::Source3, Db::Target3, eoDomain, "D_COMPLETO"},
        RoundTrip{"Domain_CollateOnly", Db::Source3, Db::Target3, eoDomain, "D_COLLATE"},
        RoundTrip{"Domain_BlobCharSet", Db::Source3, Db::Target3, eoDomain, "D_BLOB_WIN"},
        RoundTrip{"Domain_BlobNegative", Db::Source3, Db::Target3, eoDomain, "D_BLOB_NEG"},
        RoundTrip{"Domain_Array", Db::Source3, Db::Target3, eoDomain, "D_ARRAY"},
        RoundTrip{"Domain_ArrayOfChar", Db::Source3, Db::Target3, eoDomain, "D_ARRAY_CHAR"},
        RoundTrip{"Domain_Bigint", Db::Source3, Db::Target3, eoDomain, "D_BIGINT"},
        RoundTrip{"Domain_Decimal", Db::Source3, Db::Target3, eoDomain, "D_DEC18"},
        RoundTrip{"Domain_NumericOnSmallint", Db::Source3, Db::Target3, eoDomain, "D_NUM4"},
        RoundTrip{"Domain_MultiLineCheck", Db::Source3, Db::Target3, eoDomain, "D_DEFAULT_TEXT"},
        RoundTrip{"Domain_LowerCaseName", Db::Source3, Db::Target3, eoDomain, "d_Minusculo"},
        RoundTrip{"Exception_E_ESTOQUE", Db::Source3, Db::Target3, eoException, "E_ESTOQUE"},
        RoundTrip{"Exception_Apostrophe", Db::Source3, Db::Target3, eoException, "E_APOSTROFO"},
        RoundTrip{"Exception_LineBreak", Db::Source3, Db::Target3, eoException, "E_LINHAS"},
        RoundTrip{"Exception_Empty", Db::Source3, Db::Target3, eoException, "E_VAZIA"},
        RoundTrip{"Exception_QuoteInName", Db::Source3, Db::Target3, eoException, "e_Aspas\"x"},
        RoundTrip{"View_V_CLIENTES", Db::Source3, Db::Target3, eoView, "V_CLIENTES"},
        RoundTrip{"View_BlankLines", Db::Source3, Db::Target3, eoView, "V_LINHAS"},
        RoundTrip{"View_QuotesInNames", Db::Source3, Db::Target3, eoView, "v_Aspas\"x"},
        RoundTrip{"Trigger_TRG_PED_BI", Db::Source3, Db::Target3, eoTrigger, "TRG_PED_BI"},
        RoundTrip{"Trigger_Inactive", Db::Source3, Db::Target3, eoTrigger, "TRG_PED_AU"},
        RoundTrip{"Trigger_InsertOrUpdate", Db::Source3, Db::Target3, eoTrigger, "TRG_PED_MULTI"},
        RoundTrip{"Trigger_AllEvents", Db::Source3, Db::Target3, eoTrigger, "TRG_CLI_ALL"},
        RoundTrip{"Trigger_InsertOrDelete", Db::Source3, Db::Target3, eoTrigger, "TRG_CLI_ID"},
        RoundTrip{"Trigger_SourceLineBreaks", Db::Source3, Db::Target3, eoTrigger, "TRG_BRANCOS"},
        RoundTrip{"Trigger_QuotesInNames", Db::Source3, Db::Target3, eoTrigger, "trg_Aspas\"x"},
        RoundTrip{"Trigger_OnConnect", Db::Source3, Db::Target3, eoTrigger, "TRG_CONNECT"},
        RoundTrip{"Trigger_OnDisconnect", Db::Source3, Db::Target3, eoTrigger, "TRG_DISCONNECT"},
        RoundTrip{"Trigger_OnTransactionStart", Db::Source3, Db::Target3, eoTrigger, "TRG_TX_START"},
        RoundTrip{"Trigger_OnTransactionCommit", Db::Source3, Db::Target3, eoTrigger, "TRG_TX_COMMIT"},
        RoundTrip{"Trigger_OnTransactionRollback", Db::Source3, Db::Target3, eoTrigger, "TRG_TX_ROLLBACK"},
        RoundTrip{"Trigger_DdlTwoKinds", Db::Source3, Db::Target3, eoTrigger, "TRG_DDL_TABLE"},
        RoundTrip{"Trigger_DdlFourKinds", Db::Source3, Db::Target3, eoTrigger, "TRG_DDL_MIX"},
        RoundTrip{"Trigger_DdlAny", Db::Source3, Db::Target3, eoTrigger, "TRG_DDL_ANY"},
        RoundTrip{"Index_Expression", Db::Source3, Db::Target3, eoIndexes, "IDX_EXPR"},
        RoundTrip{"Index_ExpressionUniqueDescending", Db::Source3, Db::Target3, eoIndexes, "IDX_EXPR_DESC"},
        RoundTrip{"Domain_Boolean", Db::Source3, Db::Target3, eoDomain, "D_BOOLEAN"},
        RoundTrip{"Index_IDX_PED_DATA", Db::Source3, Db::Target3, eoIndexes, "IDX_PED_DATA"},
        RoundTrip{"Index_Ascending", Db::Source3, Db::Target3, eoIndexes, "IDX_CLI_NOME"},
        RoundTrip{"Index_Descending", Db::Source3, Db::Target3, eoIndexes, "IDX_PED_NUMERO_DESC"},
        RoundTrip{"Index_Unique", Db::Source3, Db::Target3, eoIndexes, "IDX_CLI_NOME_ID"},
        RoundTrip{"Index_QuotesInNames", Db::Source3, Db::Target3, eoIndexes, "IDX\"Q"},
        RoundTrip{"Index_LowerCaseName", Db::Source3, Db::Target3, eoIndexes, "idx_Minusculo"},
        RoundTrip{"Dialect1_Domain", Db::Source1, Db::Target1, eoDomain, "D_NUM15"},
        RoundTrip{"Dialect1_DomainDefault", Db::Source1, Db::Target1, eoDomain, "D_DATA"},
        RoundTrip{"Dialect1_DomainCharSet", Db::Source1, Db::Target1, eoDomain, "D_NOME"},
        RoundTrip{"Dialect1_Exception", Db::Source1, Db::Target1, eoException, "E_ERRO"},
        RoundTrip{"Dialect1_View", Db::Source1, Db::Target1, eoView, "V_CLI"},
        RoundTrip{"Dialect1_Trigger", Db::Source1, Db::Target1, eoTrigger, "TRG_CLI_BI"},
        RoundTrip{"Dialect1_Index", Db::Source1, Db::Target1, eoIndexes, "IDX_A"}),
    CaseName());

} // namespace
} // namespace vistrel::extract::testing
