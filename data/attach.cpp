#include "data/attach.h"

#include "data/detail/attach.h"
#include "data/errors.h"

#include <atomic>
#include <chrono>
#include <string>

namespace vistrel::data {
namespace {

std::atomic<int> timeoutSeconds{15};
std::atomic<void (*)()> afterAttach{nullptr};

} // namespace

int connectTimeoutSeconds() noexcept {
    return timeoutSeconds.load();
}

void setConnectTimeoutSeconds(int seconds) noexcept {
    timeoutSeconds.store(seconds > 0 ? seconds : 1);
}

void setAfterAttachHook(void (*hook)()) noexcept {
    afterAttach.store(hook);
}

bool isDriveLetterName(const std::string& databaseName) noexcept {
#ifdef _WIN32
    (void)databaseName;
    return false;
#else
    if (databaseName.size() < 3)
        return false;
    const char letter = databaseName[0];
    const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    return isLetter && databaseName[1] == ':' && databaseName[2] == '\\';
#endif
}

namespace detail {

void attachDatabase(const FbApi& api, const std::string& databaseName, std::string dpb,
                    isc_db_handle* handle) {
    if (isDriveLetterName(databaseName))
        raiseClientErrorText(ClientError::DriveLetterName,
                             fillMessage(kDriveLetterNameMessage, 0, databaseName));
    const int seconds = connectTimeoutSeconds();
    dpb += static_cast<char>(isc_dpb_connect_timeout);
    dpb += static_cast<char>(4);
    for (int shift = 0; shift < 32; shift += 8)
        dpb += static_cast<char>((static_cast<unsigned>(seconds) >> shift) & 0xFF);

    ISC_STATUS_ARRAY status{};
    const auto start = std::chrono::steady_clock::now();
    const ISC_STATUS result = api.attach_database(status, 0, databaseName.c_str(), handle,
                                                  static_cast<short>(dpb.size()), dpb.data());
    if (auto hook = afterAttach.load())
        hook();
    if (result == 0)
        return;
    *handle = 0;
    // The client reports a server that never answered as a rejected connection (or a network
    // error) once the timeout has run out; the same codes sooner are the server's own answer.
    const auto waited = std::chrono::steady_clock::now() - start;
    const bool timedOut = (statusHas(status, isc_connect_reject) || statusHas(status, isc_network_error) ||
                           statusHas(status, isc_net_read_err)) &&
                          waited >= std::chrono::seconds(seconds) - std::chrono::milliseconds(250);
    if (timedOut)
        raiseClientErrorText(ClientError::ConnectTimeout,
                             fillMessage(kConnectTimeoutMessage, seconds, databaseName));
    raiseStatusError(status);
}

} // namespace detail
} // namespace vistrel::data
