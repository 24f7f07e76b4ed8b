#pragma once
// The Firebird client library, loaded at run time by file name. Internal to the data layer:
// ibase.h never leaves data/.
#include <ibase.h>

#include <string>

namespace vistrel::data::detail {

struct FbApi {
    decltype(&::isc_attach_database) attach_database;
    decltype(&::isc_detach_database) detach_database;
    decltype(&::isc_start_multiple) start_multiple;
    decltype(&::isc_commit_transaction) commit_transaction;
    decltype(&::isc_rollback_transaction) rollback_transaction;
    decltype(&::isc_database_info) database_info;
    decltype(&::isc_dsql_allocate_statement) dsql_allocate_statement;
    decltype(&::isc_dsql_prepare) dsql_prepare;
    decltype(&::isc_dsql_describe) dsql_describe;
    decltype(&::isc_dsql_describe_bind) dsql_describe_bind;
    decltype(&::isc_dsql_execute) dsql_execute;
    decltype(&::isc_dsql_execute2) dsql_execute2;
    decltype(&::isc_dsql_execute_immediate) dsql_execute_immediate;
    decltype(&::isc_dsql_fetch) dsql_fetch;
    decltype(&::isc_dsql_free_statement) dsql_free_statement;
    decltype(&::isc_dsql_sql_info) dsql_sql_info;
    decltype(&::isc_open_blob2) open_blob2;
    decltype(&::isc_get_segment) get_segment;
    decltype(&::isc_close_blob) close_blob;
    decltype(&::isc_cancel_blob) cancel_blob;
    decltype(&::isc_create_blob2) create_blob2;
    decltype(&::isc_put_segment) put_segment;
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
};
StatusError interpretStatus(const ISC_STATUS* status);
// True when any error code of the vector equals code.
bool statusHas(const ISC_STATUS* status, ISC_STATUS code);
[[noreturn]] void raiseStatusError(const ISC_STATUS* status);

// RAII owners of client handles; destructors never throw.
struct DatabaseHandle {
    isc_db_handle h = 0;
};
struct TransactionHandle {
    isc_tr_handle h = 0;
};

} // namespace vistrel::data::detail
