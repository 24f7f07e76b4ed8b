#pragma once
// Move-only owners of the client's attachment, transaction, statement and blob handles. Internal
// to the data layer.
#include "data/detail/fbclient.h"

#include <utility>

namespace vistrel::data::detail {

// Owns one client handle and releases it by the kind's own call (detach, rollback, drop, close or
// cancel) when reset, assigned over or destroyed, with the client's errors ignored; never throws.
// A client call that ends the handle itself (a successful detach, commit or close) zeroes it
// through ptr(), which leaves nothing to release.
template <typename Kind> class ClientHandle {
public:
    ClientHandle() = default;
    explicit ClientHandle(const FbApi& client) noexcept : m_client(&client) {}
    ClientHandle(const ClientHandle&) = delete;
    ClientHandle& operator=(const ClientHandle&) = delete;
    ClientHandle(ClientHandle&& other) noexcept
        : m_client(other.m_client), m_handle(std::exchange(other.m_handle, 0)) {}
    ClientHandle& operator=(ClientHandle&& other) noexcept {
        if (this != &other) {
            reset();
            m_client = other.m_client;
            m_handle = std::exchange(other.m_handle, 0);
        }
        return *this;
    }
    ~ClientHandle() { reset(); }

    explicit operator bool() const noexcept { return m_handle != 0; }
    // The handle's address, for the client calls that set, use or end it.
    FB_API_HANDLE* ptr() noexcept { return &m_handle; }
    // The client library the handle belongs to (the one it was made with).
    const FbApi& client() const noexcept { return *m_client; }

    void reset() noexcept {
        if (m_handle != 0) {
            ISC_STATUS_ARRAY status{};
            Kind::release(*m_client, status, &m_handle);
            m_handle = 0;
        }
    }
    // Forgets the handle without a client call (the client has already ended it).
    void forget() noexcept { m_handle = 0; }

private:
    const FbApi* m_client = nullptr;
    FB_API_HANDLE m_handle = 0;
};

struct DetachOnRelease {
    static void release(const FbApi& a, ISC_STATUS* s, FB_API_HANDLE* h) { a.detach_database(s, h); }
};
struct RollbackOnRelease {
    static void release(const FbApi& a, ISC_STATUS* s, FB_API_HANDLE* h) { a.rollback_transaction(s, h); }
};
struct DropOnRelease {
    static void release(const FbApi& a, ISC_STATUS* s, FB_API_HANDLE* h) {
        a.dsql_free_statement(s, h, DSQL_drop);
    }
};
struct CloseOnRelease {
    static void release(const FbApi& a, ISC_STATUS* s, FB_API_HANDLE* h) { a.close_blob(s, h); }
};
struct CancelOnRelease {
    static void release(const FbApi& a, ISC_STATUS* s, FB_API_HANDLE* h) { a.cancel_blob(s, h); }
};

using Attachment = ClientHandle<DetachOnRelease>;
// A transaction left active is rolled back.
using Transaction = ClientHandle<RollbackOnRelease>;
using Statement = ClientHandle<DropOnRelease>;
// A blob opened for reading is closed.
using BlobReader = ClientHandle<CloseOnRelease>;
// A blob being written is cancelled unless it was closed: a half-written blob never reaches the
// database.
using BlobWriter = ClientHandle<CancelOnRelease>;

} // namespace vistrel::data::detail
