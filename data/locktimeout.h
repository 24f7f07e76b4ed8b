#pragma once
// How long a statement waits for a lock that another connection holds (a row it updated, a table
// it has in use) before it fails with the server's lock time-out. Every transaction of the
// program that waits for locks (the sessions' and the direct-execution connection's) waits at most
// this long, so that a run on a database in use never hangs on a customer's open transaction.
#include <string>

namespace vistrel::data {

// 30 s unless changed; the same for the window and the command.
inline constexpr int kDefaultLockTimeoutSeconds = 30;
// The largest wait the server takes.
inline constexpr int kMaxLockTimeoutSeconds = 32767;

int lockTimeoutSeconds() noexcept;
// Clamped to 1 .. kMaxLockTimeoutSeconds.
void setLockTimeoutSeconds(int seconds) noexcept;

namespace detail {
// The transaction parameter item that bounds the wait (isc_tpb_lock_timeout and its value), to
// be added to a parameter block that waits for locks.
std::string lockTimeoutItem();
} // namespace detail

} // namespace vistrel::data
