#include "tests/support/tcprelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace vistrel::test {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("tcp relay: " + what + ": " + std::strerror(errno));
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Sends all of it; false when the other end is gone.
bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

} // namespace

struct TcpRelay::Impl {
    struct Pair {
        int client;
        int server;
    };

    int targetPort = 0;
    int listener = -1;
    int port = 0;
    int wake[2] = {-1, -1};
    std::mutex mutex;
    std::vector<Pair> pairs; // guarded by mutex
    bool cut = false;        // guarded by mutex
    bool silent = false;     // guarded by mutex: new connections are held without an answer
    std::vector<int> held;   // guarded by mutex
    std::atomic<bool> stopping{false};
    std::atomic<int> relayed{0};
    std::thread thread;

    void closePair(size_t index) {
        ::close(pairs[index].client);
        ::close(pairs[index].server);
        pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(index));
    }

    void accept() {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0)
            return;
        std::lock_guard lock(mutex);
        if (silent) {
            held.push_back(client);
            return;
        }
        if (cut) {
            ::close(client);
            return;
        }
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = loopback(targetPort);
        if (server < 0 ||
            ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (server >= 0)
                ::close(server);
            ::close(client);
            return;
        }
        pairs.push_back({client, server});
        ++relayed;
    }

    void run() {
        char buffer[65536];
        while (!stopping) {
            std::vector<pollfd> fds{{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
            {
                std::lock_guard lock(mutex);
                for (const Pair& pair : pairs) {
                    fds.push_back({pair.client, POLLIN, 0});
                    fds.push_back({pair.server, POLLIN, 0});
                }
            }
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents) {
                char drained[64];
                (void)!::read(wake[0], drained, sizeof drained);
            }
            {
                std::lock_guard lock(mutex);
                forward(fds, buffer, sizeof buffer);
            }
            // Accepted after the forwarding, so that no new socket takes the number of one that a
            // cut closed while the poll watched it.
            if (fds[0].revents & POLLIN)
                accept();
        }
    }

    void forward(const std::vector<pollfd>& fds, char* buffer, size_t size) {
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents || (fds[i].revents & POLLNVAL))
                continue;
            // The pair may have gone (cut, or its other end closed) since the poll began.
            size_t index = 0;
            while (index < pairs.size() && pairs[index].client != fds[i].fd &&
                   pairs[index].server != fds[i].fd)
                ++index;
            if (index == pairs.size())
                continue;
            const Pair pair = pairs[index];
            const int to = fds[i].fd == pair.client ? pair.server : pair.client;
            const ssize_t got = ::recv(fds[i].fd, buffer, size, 0);
            if (got <= 0 || !sendAll(to, buffer, static_cast<size_t>(got)))
                closePair(index);
        }
    }

    void wakeUp() { (void)!::write(wake[1], "x", 1); }
};

TcpRelay::TcpRelay(int targetPort) : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.targetPort = targetPort;
    if (::pipe2(impl.wake, O_CLOEXEC) != 0)
        fail("pipe");
    impl.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (impl.listener < 0)
        fail("socket");
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (::bind(impl.listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(impl.listener, 16) != 0 ||
        ::getsockname(impl.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        fail("listen on 127.0.0.1");
    impl.port = ntohs(address.sin_port);
    impl.thread = std::thread([&impl] { impl.run(); });
}

TcpRelay::~TcpRelay() {
    Impl& impl = *m_impl;
    impl.stopping = true;
    impl.wakeUp();
    impl.thread.join();
    while (!impl.pairs.empty())
        impl.closePair(0);
    for (int fd : impl.held)
        ::close(fd);
    for (int fd : {impl.listener, impl.wake[0], impl.wake[1]})
        if (fd >= 0)
            ::close(fd);
}

int TcpRelay::port() const noexcept {
    return m_impl->port;
}

std::string TcpRelay::host() const {
    return "127.0.0.1/" + std::to_string(m_impl->port);
}

void TcpRelay::cut() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->cut = true;
    while (!m_impl->pairs.empty())
        m_impl->closePair(0);
    m_impl->wakeUp();
}

void TcpRelay::silence() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->cut = true;
    m_impl->silent = true;
    while (!m_impl->pairs.empty())
        m_impl->closePair(0);
    m_impl->wakeUp();
}

void TcpRelay::restore() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->cut = false;
    m_impl->silent = false;
    for (int fd : m_impl->held)
        ::close(fd);
    m_impl->held.clear();
}

int TcpRelay::relayedCount() const noexcept {
    return m_impl->relayed.load();
}

} // namespace vistrel::test
