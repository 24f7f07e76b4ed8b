#include "data/detail/fbclient.h"
#include "data/errors.h"
#include "data/ibdatabase.h"

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

namespace vistrel::data {

#ifdef _WIN32
const char* const kClientLibraryName = "fbclient.dll";
#else
const char* const kClientLibraryName = "libfbclient.so.2";
#endif

namespace detail {
namespace {

struct Loaded {
    void* module = nullptr;
    FbApi api{};
};

std::string& libraryNameSetting() {
    static std::string name = kClientLibraryName;
    return name;
}

template <typename F> void bind(void* module, F& target, const char* symbol, bool& ok) {
    void* p = dlsym(module, symbol);
    if (!p)
        ok = false;
    target = reinterpret_cast<F>(p);
}

template <typename F, CallKind Kind>
void bind(void* module, Counted<F, Kind>& target, const char* symbol, bool& ok) {
    bind(module, target.fn, symbol, ok);
}

std::atomic<uint64_t> clientCalls{0};
std::atomic<uint64_t> statementPrepares{0};
std::atomic<uint64_t> commits{0};
std::atomic<int64_t> commitNanoseconds{0};

} // namespace

const FbApi& loadClient(const std::string& libraryName) {
    // Loaded once for the whole program and never unloaded: handles of the library stay valid
    // until the process ends.
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<Loaded>> loaded;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = loaded.find(libraryName);
    if (it != loaded.end())
        return it->second->api;
    void* module = dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        raiseClientError(ClientError::LibraryNotFound, libraryName);
    auto entry = std::make_unique<Loaded>();
    entry->module = module;
    bool ok = true;
    FbApi& a = entry->api;
    bind(module, a.attach_database, "isc_attach_database", ok);
    bind(module, a.detach_database, "isc_detach_database", ok);
    bind(module, a.start_multiple, "isc_start_multiple", ok);
    bind(module, a.commit_transaction, "isc_commit_transaction", ok);
    bind(module, a.rollback_transaction, "isc_rollback_transaction", ok);
    bind(module, a.database_info, "isc_database_info", ok);
    bind(module, a.dsql_allocate_statement, "isc_dsql_allocate_statement", ok);
    bind(module, a.dsql_prepare, "isc_dsql_prepare", ok);
    bind(module, a.dsql_describe, "isc_dsql_describe", ok);
    bind(module, a.dsql_describe_bind, "isc_dsql_describe_bind", ok);
    bind(module, a.dsql_execute, "isc_dsql_execute", ok);
    bind(module, a.dsql_execute2, "isc_dsql_execute2", ok);
    bind(module, a.dsql_execute_immediate, "isc_dsql_execute_immediate", ok);
    bind(module, a.dsql_fetch, "isc_dsql_fetch", ok);
    bind(module, a.dsql_free_statement, "isc_dsql_free_statement", ok);
    bind(module, a.dsql_sql_info, "isc_dsql_sql_info", ok);
    bind(module, a.open_blob2, "isc_open_blob2", ok);
    bind(module, a.get_segment, "isc_get_segment", ok);
    bind(module, a.close_blob, "isc_close_blob", ok);
    bind(module, a.cancel_blob, "isc_cancel_blob", ok);
    bind(module, a.create_blob2, "isc_create_blob2", ok);
    bind(module, a.put_segment, "isc_put_segment", ok);
    bind(module, a.sqlcode, "isc_sqlcode", ok);
    bind(module, a.vax_integer, "isc_vax_integer", ok);
    bind(module, a.interpret, "fb_interpret", ok);
    if (!ok) {
        dlclose(module);
        raiseClientError(ClientError::LibraryNotFound, libraryName);
    }
    const FbApi& result = entry->api;
    loaded.emplace(libraryName, std::move(entry));
    return result;
}

void setClientLibraryName(const std::string& name) {
    libraryNameSetting() = name;
}
const std::string& clientLibraryName() {
    return libraryNameSetting();
}

const FbApi& api() {
    return loadClient(libraryNameSetting());
}

void countClientCall(CallKind kind) noexcept {
    clientCalls.fetch_add(1, std::memory_order_relaxed);
    if (kind == CallKind::Statement)
        statementPrepares.fetch_add(1, std::memory_order_relaxed);
    else if (kind == CallKind::Commit)
        commits.fetch_add(1, std::memory_order_relaxed);
}

void addCommitTime(std::chrono::steady_clock::duration took) noexcept {
    commitNanoseconds.fetch_add(std::chrono::duration_cast<std::chrono::nanoseconds>(took).count(),
                                std::memory_order_relaxed);
}

StatusError interpretStatus(const ISC_STATUS* status) {
    const FbApi& a = api();
    StatusError err{{}, a.sqlcode(status), status[1], fatalServerError(status)};
    const ISC_STATUS* p = status;
    char buffer[1024];
    while (a.interpret(buffer, sizeof buffer, &p) > 0) {
        if (!err.message.empty() && err.message.back() != '\n')
            err.message += "\r\n";
        err.message += buffer;
    }
    return err;
}

bool statusHas(const ISC_STATUS* status, ISC_STATUS code) {
    // Walk the clusters of the vector: each is a kind followed by its argument(s).
    const ISC_STATUS* p = status;
    if (p[0] != isc_arg_gds)
        return false;
    while (*p != isc_arg_end) {
        ISC_STATUS kind = *p++;
        if (kind == isc_arg_gds) {
            if (*p == code)
                return true;
            ++p;
        } else if (kind == isc_arg_cstring) {
            p += 2;
        } else {
            ++p;
        }
    }
    return false;
}

namespace {
constexpr ISC_STATUS kConnectionLostCodes[] = {isc_lost_db_connection, isc_net_read_err, isc_net_write_err,
                                               isc_network_error,      isc_att_shutdown, isc_shutdown};
}

// The server's codes after which a run cannot go on on that database (the I/O codes come with the
// operating system's reason, "No space left on device" among them).
constexpr ISC_STATUS kFatalServerCodes[] = {
    isc_io_error,     isc_io_create_err, isc_io_open_err,   isc_io_close_err, isc_io_read_err,
    isc_io_write_err, isc_io_delete_err, isc_io_access_err, isc_db_corrupt,   isc_corrupt,
    isc_badpage,      isc_bad_checksum,  isc_page_type_err, isc_bug_check,    isc_virmemexh,
    isc_sys_request,  isc_lockmanerr,    isc_no_lock_mgr,   isc_shutinprog,
};

bool connectionLost(const ISC_STATUS* status) {
    for (ISC_STATUS code : kConnectionLostCodes) {
        if (statusHas(status, code))
            return true;
    }
    return fatalServerError(status);
}

bool fatalServerError(const ISC_STATUS* status) {
    for (ISC_STATUS code : kFatalServerCodes) {
        if (statusHas(status, code))
            return true;
    }
    return false;
}

bool fatalServerCode(long code) {
    for (ISC_STATUS fatal : kFatalServerCodes) {
        if (code == fatal)
            return true;
    }
    return false;
}

bool connectionLostCode(long code) {
    for (ISC_STATUS lost : kConnectionLostCodes) {
        if (code == lost)
            return true;
    }
    return false;
}

std::string fillMessage(std::string_view text, int number, const std::string& name) {
    // Put together piece by piece: std::string::replace trips a false -Wrestrict of g++ 12 in
    // optimised builds.
    std::string message;
    message.reserve(text.size() + name.size());
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 1 < text.size() && (text[at + 1] == 's' || text[at + 1] == 'd')) {
            message += text[at + 1] == 's' ? name : std::to_string(number);
            ++at;
        } else {
            message += text[at];
        }
    }
    return message;
}

std::exception_ptr connectionLostError(const StatusError& e, const std::string& databaseName) {
    if (e.fatal)
        return std::make_exception_ptr(
            EIBFatalServerError(fillMessage(kFatalServerErrorMessage, 0, databaseName) + "\r\n" + e.message,
                                e.message, e.sqlCode, e.ibErrorCode));
    return std::make_exception_ptr(EIBConnectionLost(fillMessage(kConnectionLostMessage, 0, databaseName),
                                                     e.message, e.sqlCode, e.ibErrorCode));
}

ISC_STATUS databaseInfoInteger(const FbApi& api, isc_db_handle* database, unsigned char item, int missing,
                               int& value, ISC_STATUS* status) {
    const char items[] = {static_cast<char>(item), static_cast<char>(isc_info_end)};
    char buffer[64] = {};
    const ISC_STATUS result = api.database_info(status, database, sizeof items, items, sizeof buffer, buffer);
    if (result != 0)
        return result;
    value = missing;
    const char* p = buffer;
    const char* const end = buffer + sizeof buffer;
    while (p + 3 <= end && *p != isc_info_end && *p != isc_info_truncated) {
        const auto code = static_cast<unsigned char>(*p++);
        const auto length = static_cast<short>(api.vax_integer(p, 2));
        p += 2;
        if (length < 0 || p + length > end)
            break;
        if (code == item) {
            value = static_cast<int>(api.vax_integer(p, length));
            break;
        }
        p += length;
    }
    return 0;
}

void throwConnectionLost(const StatusError& e, const std::string& databaseName) {
    std::rethrow_exception(connectionLostError(e, databaseName));
}

void throwStatusError(const StatusError& e) {
    if (e.sqlCode == -551)
        throw EIBInterBaseRoleError(e.message, e.sqlCode, e.ibErrorCode);
    throw EIBInterBaseError(e.message, e.sqlCode, e.ibErrorCode);
}

void raiseStatusError(const ISC_STATUS* status) {
    throwStatusError(interpretStatus(status));
}

} // namespace detail

uint64_t clientCallCount() noexcept {
    return detail::clientCalls.load(std::memory_order_relaxed);
}

uint64_t statementPrepareCount() noexcept {
    return detail::statementPrepares.load(std::memory_order_relaxed);
}

uint64_t commitCount() noexcept {
    return detail::commits.load(std::memory_order_relaxed);
}

double commitSeconds() noexcept {
    return static_cast<double>(detail::commitNanoseconds.load(std::memory_order_relaxed)) / 1e9;
}

} // namespace vistrel::data
