#include "data/locktimeout.h"

#include <ibase.h>

#include <atomic>

namespace vistrel::data {
namespace {

std::atomic<int> timeoutSeconds{kDefaultLockTimeoutSeconds};

} // namespace

int lockTimeoutSeconds() noexcept {
    return timeoutSeconds.load();
}

void setLockTimeoutSeconds(int seconds) noexcept {
    if (seconds < 1)
        seconds = 1;
    if (seconds > kMaxLockTimeoutSeconds)
        seconds = kMaxLockTimeoutSeconds;
    timeoutSeconds.store(seconds);
}

namespace detail {

std::string lockTimeoutItem() {
    const auto seconds = static_cast<unsigned>(lockTimeoutSeconds());
    std::string item{static_cast<char>(isc_tpb_lock_timeout), static_cast<char>(4)};
    for (int shift = 0; shift < 32; shift += 8)
        item += static_cast<char>((seconds >> shift) & 0xFF);
    return item;
}

} // namespace detail
} // namespace vistrel::data
