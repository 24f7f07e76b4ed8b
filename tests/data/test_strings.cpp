// Line-list text rules and the name=value access used for parameter lists.
#include "data/strings.h"

#include <gtest/gtest.h>

using namespace vistrel::data;

TEST(StringList, TextEndsEveryItemWithCrLf) {
    TStringList l;
    EXPECT_EQ(l.Text(), "");
    l.Add("a");
    l.Add("b\r\nc");
    EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\n");
}

TEST(StringList, SetTextSplitsAtEveryKindOfBreak) {
    TStringList l;
    l.SetText("a\r\nb\rc\nd\r\n");
    EXPECT_EQ(l.items(), (std::vector<std::string>{"a", "b", "c", "d"}));
    l.SetText("\r\nx\r\n\r\n");
    EXPECT_EQ(l.items(), (std::vector<std::string>{"", "x", ""}));
    l.SetText("");
    EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, ValuesReplaceFirstLineOfNameIgnoringCase) {
    TStringList l;
    l.Add("VendorLib=x");
    l.Add("Database=database.fdb");
    l.Add("DATABASE=second");
    l.SetValues("DataBase", "host:/a/b.fdb");
    EXPECT_EQ(l[1], "DataBase=host:/a/b.fdb");
    EXPECT_EQ(l[2], "DATABASE=second");
    l.SetValues("Role", "R");
    EXPECT_EQ(l[3], "Role=R");
    EXPECT_EQ(l.Values("database"), "host:/a/b.fdb");
}

TEST(StringList, ChangingHookCanRefuse) {
    TStringList l;
    l.OnChanging = [] { throw std::runtime_error("refused"); };
    EXPECT_THROW(l.Add("x"), std::runtime_error);
    EXPECT_EQ(l.Count(), 0);
}

TEST(TextHelpers, ReplaceIgnoringCase) {
    EXPECT_EQ(replaceAllIgnoreCase("/* X */ a COMMIT WORK ;\r\ncommit work ;", "COMMIT WORK ;", ""),
              "/* X */ a \r\n");
    EXPECT_EQ(trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(trimRight("ab  \x01"), "ab");
}
