#pragma once
// A TCP relay on the loopback interface between the client library and the test server, which a
// test cuts in the middle of a conversation: a real network loss with the server still running,
// so that a test can lose its connection without stopping a server that other tests share.
#include <memory>
#include <string>

namespace vistrel::test {

class TcpRelay {
public:
    // Listens on a free port of 127.0.0.1 and relays every connection to 127.0.0.1:targetPort.
    explicit TcpRelay(int targetPort);
    // Closes every connection and stops listening.
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    int port() const noexcept;
    // "127.0.0.1/PORT": what a connection string puts before the colon to go through the relay.
    std::string host() const;

    // Closes both ends of every connection before it returns: the client meets the loss on its
    // next call. Until restore(), a new connection is closed as soon as it is accepted.
    void cut();
    // As cut(), and from then on a new connection is accepted and held without an answer, as by a
    // host that has gone silent: the client waits for its connect timeout.
    void silence();
    // Lets new connections through again.
    void restore();
    // Connections relayed (accepted while not cut) since the relay started.
    int relayedCount() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace vistrel::test
