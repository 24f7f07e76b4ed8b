#pragma once
// The command line of vistrel-sync: its options, the databases named as HOST:PATH, and where the
// passwords come from (never from the command line, which every user sees in the process list).
#include "data/locktimeout.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vistrel::cli {

// Exit statuses of the command.
enum ExitStatus : int {
    kExitDone = 0,         // every process ended without a failure line (--check: nothing to create)
    kExitObjectFailed = 1, // some object failed (--check: something would be created)
    kExitUsage = 2,        // usage error, or a connection that could not be made or was lost
    kExitGuard = 3,        // the guard refused the two databases
};

// A mistake on the command line or in what it names (a password file): one line, status 2. The
// text never holds a password.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A database as the window names it from a row's fields: host, ":", path. The host may carry a
// port or service after "/" ("127.0.0.1/3050"); an IPv6 address stands in brackets.
struct DatabaseAddress {
    std::string host;
    std::string path;
    // The path's last part after "/" or "\": what the row's file-name field holds, for the guard.
    std::string fileName;

    std::string databaseName() const { return host + ":" + path; }
};

// Reads HOST:PATH; `option` names the option in the error text.
DatabaseAddress parseDatabaseAddress(const std::string& text, const std::string& option);

struct Options {
    DatabaseAddress source;
    DatabaseAddress target;
    std::vector<int> processes; // process numbers, in the order they run
    bool dryRun = false;
    bool fast = false;
    bool check = false;
    bool alter = false;                                 // "Alterar" ticked
    std::optional<std::string> scriptFile;              // the statements a run would send, nothing sent
    std::optional<std::string> reportFile;              // the differences (and outcomes) as JSON
    int lockTimeout = data::kDefaultLockTimeoutSeconds; // seconds a statement waits for a lock
    std::optional<std::string> sourceUser;
    std::optional<std::string> targetUser;
    std::optional<std::string> sourcePasswordFile;
    std::optional<std::string> targetPasswordFile;
    bool help = false;
    bool version = false;
    bool quiet = false;   // -q: only the failures and the summary
    bool verbose = false; // -v: also every statement as it is executed on the target
};

// The process numbers the command knows, in their order ("all").
const std::vector<int>& knownProcesses();

// Reads the arguments (without the program name). --help and --version need nothing else; every
// other use needs --source and --target.
Options parseArguments(const std::vector<std::string>& arguments);

// The --help text.
const char* usageText();

// A user name and password for one database.
struct Credentials {
    std::string user;
    std::string password;
};

// Looks up an environment variable; nothing when it is not set.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;
// The process environment.
Environment processEnvironment();

enum class Side { Source, Target };

// The user: its option, else ISC_USER, else SYSDBA. The password: the side's password file, else
// VISTREL_SOURCE_PASSWORD / VISTREL_TARGET_PASSWORD, else ISC_PASSWORD; none at all is a usage
// error.
Credentials resolveCredentials(Side side, const Options& options, const Environment& environment);

// The first line of a password file. Refused (UsageError) when it cannot be read, is no regular
// file, is empty, or when its group or other users may read it.
std::string readPasswordFile(const std::string& path);

} // namespace vistrel::cli
