// The rules every attach goes through: a host that accepts and never answers is given up after
// the connect timeout with a clear message, and a drive-letter name never reaches any host.
#include "data/attach.h"
#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/sqlconnection.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace vistrel::data;

namespace {

// A listener on 127.0.0.1 that accepts every connection and never sends a byte. It stops by
// itself at the latest after 60 s, and when it is destroyed.
class SilentListener {
public:
    SilentListener() {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_socket < 0)
            throw std::runtime_error("socket");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_socket, 8) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("listen");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~SilentListener() {
        m_stop = true;
        m_thread.join();
        for (int c : m_accepted)
            ::close(c);
        ::close(m_socket);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int port() const { return m_port; }
    int acceptedCount() const { return m_count.load(); }

private:
    void run() {
        for (int tick = 0; tick < 600 && !m_stop; ++tick) {
            pollfd p{m_socket, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                int c = ::accept(m_socket, nullptr, nullptr);
                if (c >= 0) {
                    m_accepted.push_back(c);
                    ++m_count;
                }
            }
        }
    }

    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_count{0};
    std::vector<int> m_accepted;
    std::thread m_thread;
};

// Sets the connect timeout for the scope.
class TimeoutScope {
public:
    explicit TimeoutScope(int seconds) : m_previous(connectTimeoutSeconds()) {
        setConnectTimeoutSeconds(seconds);
    }
    ~TimeoutScope() { setConnectTimeoutSeconds(m_previous); }
    TimeoutScope(const TimeoutScope&) = delete;
    TimeoutScope& operator=(const TimeoutScope&) = delete;

private:
    int m_previous;
};

template <typename F> const EIBClientError caughtClientError(F&& f) {
    try {
        f();
    } catch (const EIBClientError& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not a client error: " << e.what();
        return EIBClientError(ClientError::LibraryNotFound, e.what());
    }
    ADD_FAILURE() << "no error raised";
    return EIBClientError(ClientError::LibraryNotFound, "no error");
}

void attachSession(TIBDatabase& db, const std::string& name) {
    db.setDatabaseName(name);
    db.Params().Add("user_name=SYSDBA");
    db.Params().Add("password=secret");
    db.setConnected(true);
}

void connectDirect(TSQLConnection& connection, const std::string& name) {
    connection.Params().SetValues("DataBase", name);
    connection.Params().Add("User_Name=SYSDBA");
    connection.Params().Add("Password=secret");
    connection.VendorLib = kClientLibraryName;
    connection.setConnected(true);
}

} // namespace

TEST(ConnectTimeout, DefaultIsFifteenSeconds) {
    EXPECT_EQ(connectTimeoutSeconds(), 15);
}

TEST(ConnectTimeout, SessionGivesUpOnAHostThatNeverAnswers) {
    SilentListener listener;
    TimeoutScope timeout(1);
    const std::string name = "127.0.0.1/" + std::to_string(listener.port()) + ":/tmp/never/answers.fdb";
    TIBDatabase db;
    const EIBClientError e = caughtClientError([&] { attachSession(db, name); });
    EXPECT_EQ(e.code(), ClientError::ConnectTimeout);
    EXPECT_EQ(std::string(e.what()), "Atenção \r O servidor não respondeu em 1 segundos: " + name);
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(listener.acceptedCount(), 1);
}

TEST(ConnectTimeout, DirectExecutionConnectionGivesUpOnAHostThatNeverAnswers) {
    SilentListener listener;
    TimeoutScope timeout(2);
    const std::string name = "127.0.0.1/" + std::to_string(listener.port()) + ":E:\\SGBD\\fatura.fdb";
    TSQLConnection connection;
    const EIBClientError e = caughtClientError([&] { connectDirect(connection, name); });
    EXPECT_EQ(e.code(), ClientError::ConnectTimeout);
    EXPECT_EQ(std::string(e.what()), "Atenção \r O servidor não respondeu em 2 segundos: " + name);
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(listener.acceptedCount(), 1);
}

TEST(ConnectTimeout, RefusedPortKeepsTheClientsOwnError) {
    // A port that nobody listens on answers at once: that is not a timeout.
    int port = 0;
    {
        SilentListener closed;
        port = closed.port();
    }
    TIBDatabase db;
    try {
        attachSession(db, "127.0.0.1/" + std::to_string(port) + ":/tmp/x.fdb");
        FAIL() << "attached to a closed port";
    } catch (const EIBClientError& e) {
        FAIL() << "client error for a refused port: " << e.what();
    } catch (const EIBInterBaseError& e) {
        EXPECT_NE(std::string(e.what()).find("Unable to complete network request"), std::string::npos)
            << e.what();
    }
}

struct DriveLetterCase {
    const char* name;
    bool refused;
};

class DriveLetterName : public testing::TestWithParam<DriveLetterCase> {};

TEST_P(DriveLetterName, Recognised) {
    EXPECT_EQ(isDriveLetterName(GetParam().name), GetParam().refused) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, DriveLetterName,
    testing::Values(DriveLetterCase{"E:\\sgbd\\fatura.fdb", true}, DriveLetterCase{"e:\\fatura.fdb", true},
                    DriveLetterCase{"Z:\\", true}, DriveLetterCase{"127.0.0.1:E:\\SGBD\\fatura.fdb", false},
                    DriveLetterCase{"localhost:E:\\sgbd\\fatura.fdb", false},
                    DriveLetterCase{"127.0.0.1/3050:F:\\sgbd\\dep25\\fatura.fdb", false},
                    DriveLetterCase{"E:/sgbd/fatura.fdb", false},
                    DriveLetterCase{"EE:\\sgbd\\fatura.fdb", false}, DriveLetterCase{"1:\\sgbd", false},
                    DriveLetterCase{"E:", false}, DriveLetterCase{"/var/lib/fatura.fdb", false},
                    DriveLetterCase{":E:\\sgbd\\fatura.fdb", false}));

TEST(DriveLetterName, SessionRefusesBeforeAnyClientCall) {
    const std::string name = "E:\\sgbd\\fatura.fdb";
    TIBDatabase db;
    db.setServerType("IBServer"); // loads the library before counting
    const uint64_t callsBefore = clientCallCount();
    const EIBClientError e = caughtClientError([&] { attachSession(db, name); });
    EXPECT_EQ(e.code(), ClientError::DriveLetterName);
    EXPECT_EQ(std::string(e.what()), "Atenção \r O banco E:\\sgbd\\fatura.fdb não informa o servidor; "
                                     "preencha o servidor e clique em Conectar!");
    // Nothing went to the client library: no name lookup, no connection, no credentials.
    EXPECT_EQ(clientCallCount(), callsBefore);
    EXPECT_FALSE(db.Connected());
}

TEST(DriveLetterName, StoredStartUpAttachFailsSilentlyAndLocally) {
    TIBDatabase db;
    TIBTransaction tr;
    tr.setDefaultDatabase(&db);
    db.setDefaultTransaction(&tr);
    db.setDatabaseName("E:\\sgbd\\fatura.fdb");
    db.Params().Add("user_name=SYSDBA");
    db.Params().Add("password=tomen47");
    db.setServerType("IBServer");
    db.setStreamedConnected(true);
    const uint64_t callsBefore = clientCallCount();
    db.Loaded();
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(clientCallCount(), callsBefore);
    // A transaction started later tries the stored attach again and gets the clear message.
    const EIBClientError e = caughtClientError([&] { tr.StartTransaction(); });
    EXPECT_EQ(e.code(), ClientError::DriveLetterName);
    EXPECT_EQ(clientCallCount(), callsBefore);
}

TEST(DriveLetterName, DirectExecutionConnectionRefusesBeforeAnyClientCall) {
    TSQLConnection connection;
    TIBDatabase loader;
    loader.setServerType("IBServer");
    const uint64_t callsBefore = clientCallCount();
    const EIBClientError e = caughtClientError([&] { connectDirect(connection, "D:\\dados\\fatura.fdb"); });
    EXPECT_EQ(e.code(), ClientError::DriveLetterName);
    EXPECT_EQ(clientCallCount(), callsBefore);
    EXPECT_FALSE(connection.Connected());
}
