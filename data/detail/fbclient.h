#pragma once
// The Firebird client library, loaded at run time by file name. Internal to the data layer:
// ibase.h never leaves data/.
#include <ibase.h>

#include <chrono>
#include <exception>
#include <string>
#include <string_view>

namespace vistrel::data {
class EIBConnectionLost;
}

namespace vistrel::data::detail {

// Calls that may reach the server are counted on their way through (clientCallCount(),
// statementPrepareCount() in ibdatabase.h): attach, detach, transaction start and end, database
// and statement information, prepare, execute, fetch and the blob calls. Calls the client answers
// by itself (describe, status interpretation) pass uncounted. Commits are also timed
// (commitCount(), commitSeconds()).
enum class CallKind { Call, Statement, Commit };
void countClientCall(CallKind kind) noexcept;
void addCommitTime(std::chrono::steady_clock::duration took) noexcept;

template <typename F, CallKind Kind> struct Counted;
template <typename R, typename... A, CallKind Kind> struct Counted<R (*)(A...), Kind> {
    R (*fn)(A...) = nullptr;
    R operator()(A... args) const {
        countClientCall(Kind);
        if constexpr (Kind == CallKind::Commit) {
            const auto start = std::chrono::steady_clock::now();
            R result = fn(args...);
            addCommitTime(std::chrono::steady_clock::now() - start);
            return result;
        } else {
            return fn(args...);
        }
    }
};

struct FbApi {
    Counted<decltype(&::isc_attach_database), CallKind::Call> attach_database;
    Counted<decltype(&::isc_detach_database), CallKind::Call> detach_database;
    Counted<decltype(&::isc_start_multiple), CallKind::Call> start_multiple;
    Counted<decltype(&::isc_commit_transaction), CallKind::Commit> commit_transaction;
    Counted<decltype(&::isc_rollback_transaction), CallKind::Call> rollback_transaction;
    Counted<decltype(&::isc_database_info), CallKind::Call> database_info;
    decltype(&::isc_dsql_allocate_statement) dsql_allocate_statement;
    Counted<decltype(&::isc_dsql_prepare), CallKind::Statement> dsql_prepare;
    decltype(&::isc_dsql_describe) dsql_describe;
    decltype(&::isc_dsql_describe_bind) dsql_describe_bind;
    Counted<decltype(&::isc_dsql_execute), CallKind::Call> dsql_execute;
    Counted<decltype(&::isc_dsql_execute2), CallKind::Call> dsql_execute2;
    Counted<decltype(&::isc_dsql_execute_immediate), CallKind::Statement> dsql_execute_immediate;
    Counted<decltype(&::isc_dsql_fetch), CallKind::Call> dsql_fetch;
    decltype(&::isc_dsql_free_statement) dsql_free_statement;
    Counted<decltype(&::isc_dsql_sql_info), CallKind::Call> dsql_sql_info;
    Counted<decltype(&::isc_open_blob2), CallKind::Call> open_blob2;
    Counted<decltype(&::isc_get_segment), CallKind::Call> get_segment;
    Counted<decltype(&::isc_close_blob), CallKind::Call> close_blob;
    Counted<decltype(&::isc_cancel_blob), CallKind::Call> cancel_blob;
    Counted<decltype(&::isc_create_blob2), CallKind::Call> create_blob2;
    Counted<decltype(&::isc_put_segment), CallKind::Call> put_segment;
    decltype(&::isc_sqlcode) sqlcode;
    decltype(&::isc_vax_integer) vax_integer;
    decltype(&::fb_interpret) interpret;
};

// Loads the named library once for the whole program and returns its entry points. A library
// that cannot be loaded (or lacks an entry point) raises the client error with its file name.
const FbApi& loadClient(const std::string& libraryName);
// The library loaded for the server type "IBServer" (loads it on first use).
const FbApi& api();
// Test hook: the library file name used for "IBServer" (the platform default unless changed).
void setClientLibraryName(const std::string& name);
const std::string& clientLibraryName();

// Client errors from the status vector.
struct StatusError {
    std::string message;
    long sqlCode;
    long ibErrorCode;
    // The vector holds a fatal server code (fatalServerError).
    bool fatal = false;
};
StatusError interpretStatus(const ISC_STATUS* status);
// True when any error code of the vector equals code.
bool statusHas(const ISC_STATUS* status, ISC_STATUS code);
// Whether the vector holds a network or shutdown code, or a fatal server code, after which an
// attachment is of no use; and whether one code is a network or shutdown code.
bool connectionLost(const ISC_STATUS* status);
bool connectionLostCode(long code);
// Whether the vector holds a code after which the database cannot go on with the run: a full disk
// and every other I/O error of the server, a corrupt database, a failed consistency check, memory
// or the lock manager exhausted, a shutdown under way.
bool fatalServerError(const ISC_STATUS* status);
bool fatalServerCode(long code);
// An interpreted status as EIBConnectionLost for the named database (EIBFatalServerError when it
// is fatal), and the same raised.
std::exception_ptr connectionLostError(const StatusError& e, const std::string& databaseName);
[[noreturn]] void throwConnectionLost(const StatusError& e, const std::string& databaseName);
// A message with its %d replaced by number and its %s by name (each where it stands, once).
std::string fillMessage(std::string_view text, int number, const std::string& name);

// Asks an attachment for one integer item (isc_info_...): `value` is set to it, or to `missing`
// when the answer does not hold it. Returns the client's result; when it is not 0, `status` holds
// the error and `value` is untouched.
ISC_STATUS databaseInfoInteger(const FbApi& api, isc_db_handle* database, unsigned char item, int missing,
                               int& value, ISC_STATUS* status);

// Raises an interpreted status as EIBInterBaseRoleError (SQL code -551) or EIBInterBaseError.
[[noreturn]] void throwStatusError(const StatusError& e);
[[noreturn]] void raiseStatusError(const ISC_STATUS* status);

} // namespace vistrel::data::detail
