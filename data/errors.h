#pragma once
// Error classes of the data-access layer. Every failure of a session, transaction, cursor or
// statement is raised as one of these.
#include <stdexcept>
#include <string>
#include <utility>

namespace vistrel::data {

// General database error: the root of every error this layer raises.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

class EIBError : public EDatabaseError {
public:
    EIBError(const std::string& message, long sqlCode, long ibErrorCode)
        : EDatabaseError(message), m_sqlCode(sqlCode), m_ibErrorCode(ibErrorCode) {}
    long SQLCode() const noexcept { return m_sqlCode; }
    long IBErrorCode() const noexcept { return m_ibErrorCode; }

private:
    long m_sqlCode;
    long m_ibErrorCode;
};

// Reported by the server or the client library through the status vector.
class EIBInterBaseError : public EIBError {
public:
    using EIBError::EIBError;
};

// The connection to the server was lost, or the server or the database shut down, on a call of an
// attached session, of its statements or of the direct-execution connection. The session or
// connection has closed itself before this is raised: a later detach has nothing to report, and
// every later call of the session raises this again until it attaches anew. what() is the text
// the operator reads (kConnectionLostMessage with the database name); serverMessage() is the
// client library's own report.
class EIBConnectionLost : public EIBInterBaseError {
public:
    EIBConnectionLost(const std::string& message, std::string serverMessage, long sqlCode, long ibErrorCode)
        : EIBInterBaseError(message, sqlCode, ibErrorCode), m_serverMessage(std::move(serverMessage)) {}
    const std::string& serverMessage() const noexcept { return m_serverMessage; }

private:
    std::string m_serverMessage;
};

// The text of EIBConnectionLost; %s is the database name as the session or connection names it.
inline constexpr char kConnectionLostMessage[] =
    "Atenção \r A conexão com o banco %s foi perdida e o processo foi interrompido; verifique o "
    "servidor e clique em Conectar!";

// A server error after which the database cannot go on with the run (a full disk or another I/O
// error, a corrupt database, a failed consistency check): handled as a lost connection, so that
// the run ends at once with one message instead of a failure line for every object after it.
// what() is kFatalServerErrorMessage with the database name, followed by the server's report.
class EIBFatalServerError : public EIBConnectionLost {
public:
    using EIBConnectionLost::EIBConnectionLost;
};

// The text of EIBFatalServerError; %s is the database name.
inline constexpr char kFatalServerErrorMessage[] =
    "Atenção \r O banco %s informou um erro grave e o processo foi interrompido; verifique o servidor "
    "e clique em Conectar!";

// A server error whose SQL code is -551 (no permission).
class EIBInterBaseRoleError : public EIBInterBaseError {
public:
    using EIBInterBaseError::EIBInterBaseError;
};

// A silent abort: ends a handler without any report.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// Fixed messages of the session layer, found before reaching the server. The enumerator's value
// is the error's SQLCode.
enum class ClientError : long {
    LibraryNotFound = 1,
    UnknownServerType,
    ServerTypeActive,
    DatabaseNameMissing,
    DatabaseOpen,
    DatabaseClosed,
    DPBConstantUnknown,
    TransactionActive,
    TransactionNotActive,
    NoDatabasesInTransaction,
    DatabaseNotAssigned,
    TransactionNotAssigned,
    EmptyQuery,
    EmptySQLStatement,
    DatasetOpen,
    NoSelectForExec,
    SQLParseError,
    FieldNotFound,
    StringTooLarge,
    InvalidDataConversion,
    SQLOpen,
    NotPermitted,
    DPBValueTooLong,
    StatementNotPrepared,
    TPBConstantUnknown,
    DriveLetterName,
    ConnectTimeout,
};

class EIBClientError : public EIBError {
public:
    EIBClientError(ClientError code, const std::string& message)
        : EIBError(message, static_cast<long>(code), 0), m_code(code) {}
    ClientError code() const noexcept { return m_code; }

private:
    ClientError m_code;
};

// Raises the client error with its fixed text; %s in the text is replaced by arg.
[[noreturn]] void raiseClientError(ClientError code, const std::string& arg = {});
// Raises a client error with an already formatted text.
[[noreturn]] void raiseClientErrorText(ClientError code, const std::string& text);
// The fixed text of a client error (with its %s / %d placeholders).
const char* clientErrorText(ClientError code);

} // namespace vistrel::data
