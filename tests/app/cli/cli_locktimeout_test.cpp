// --lock-timeout: whole seconds from 1 to the server's largest wait, 30 when not given, the same
// default as the window's; the transactions then carry the limit.
#include "app/cli/options.h"
#include "data/locktimeout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::cli {
namespace {

std::vector<std::string> withDatabases(std::vector<std::string> more) {
    std::vector<std::string> arguments{"--source", "db:/a/x.fdb", "--target", "db:/b/x.fdb"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

TEST(LockTimeout, DefaultIsTheWindowsAndAValueIsTaken) {
    EXPECT_EQ(parseArguments(withDatabases({})).lockTimeout, 30);
    EXPECT_EQ(data::kDefaultLockTimeoutSeconds, 30);
    EXPECT_EQ(data::lockTimeoutSeconds(), 30);
    EXPECT_EQ(parseArguments(withDatabases({"--lock-timeout", "5"})).lockTimeout, 5);
    EXPECT_EQ(parseArguments(withDatabases({"--lock-timeout=1"})).lockTimeout, 1);
    EXPECT_EQ(parseArguments(withDatabases({"--lock-timeout", "32767"})).lockTimeout, 32767);
}

TEST(LockTimeout, OutsideOneToTheServersLargestIsAUsageError) {
    const std::string message = "--lock-timeout precisa de um número de segundos de 1 a 32767";
    for (const char* bad : {"0", "-1", "32768", "99999999", "2s", "", " 3", "1.5"}) {
        try {
            (void)parseArguments(withDatabases({"--lock-timeout", bad}));
            ADD_FAILURE() << "accepted \"" << bad << "\"";
        } catch (const UsageError& error) {
            EXPECT_EQ(std::string(error.what()), message) << bad;
        }
    }
    try {
        (void)parseArguments(withDatabases({"--lock-timeout", "3", "--lock-timeout", "4"}));
        ADD_FAILURE() << "accepted twice";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()), "--lock-timeout dado mais de uma vez");
    }
}

TEST(LockTimeout, TheTransactionItemCarriesTheSeconds) {
    data::setLockTimeoutSeconds(300);
    const std::string item = data::detail::lockTimeoutItem();
    data::setLockTimeoutSeconds(data::kDefaultLockTimeoutSeconds);
    // isc_tpb_lock_timeout, a length of 4, the seconds low byte first.
    EXPECT_EQ(item, std::string("\x15\x04\x2c\x01\x00\x00", 6));
    data::setLockTimeoutSeconds(0);
    EXPECT_EQ(data::lockTimeoutSeconds(), 1);
    data::setLockTimeoutSeconds(100000);
    EXPECT_EQ(data::lockTimeoutSeconds(), data::kMaxLockTimeoutSeconds);
    data::setLockTimeoutSeconds(data::kDefaultLockTimeoutSeconds);
}

} // namespace
} // namespace vistrel::cli
