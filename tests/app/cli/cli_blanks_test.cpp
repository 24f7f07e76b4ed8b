// A file name typed with blanks around it: the guard compares it trimmed, and the path attached
// drops the blanks before it (the server drops those after it), so a name the guard lets pass
// reaches the file.
#include "app/cli/options.h"
#include "sync/guard.h"

#include <gtest/gtest.h>

namespace vistrel::cli {
namespace {

TEST(FileNameBlanks, TheGuardPassesAndThePathAttachedLosesTheLeadingBlanks) {
    const DatabaseAddress target = parseDatabaseAddress("db:/srv/b/  fatura.fdb  ", "--target");
    const DatabaseAddress source = parseDatabaseAddress("db:/srv/a/fatura.fdb", "--source");
    EXPECT_TRUE(sync::sameDatabaseFileName(source.fileName, target.fileName));
    EXPECT_EQ(target.databaseName(), "db:/srv/b/fatura.fdb  ");
    EXPECT_EQ(parseDatabaseAddress("db:E:\\SGBD\\ fatura.fdb", "--target").databaseName(),
              "db:E:\\SGBD\\fatura.fdb");
    // A name without blanks is attached as typed.
    EXPECT_EQ(source.databaseName(), "db:/srv/a/fatura.fdb");
    EXPECT_EQ(sync::attachedFileName("  fatura.fdb "), "fatura.fdb ");
}

} // namespace
} // namespace vistrel::cli
