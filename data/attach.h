#pragma once
// Rules every attachment of the program goes through (the sessions and the direct-execution
// connection alike): a bounded wait for the server, and names that must never leave the machine.
#include <string>

namespace vistrel::data {

// How long an attach waits for the server to answer before it gives up (15 s unless changed).
// A host that accepts the connection and never answers would otherwise hold the caller for the
// client library's own limit of about three minutes.
int connectTimeoutSeconds() noexcept;
void setConnectTimeoutSeconds(int seconds) noexcept;

// Whether the name is a drive-letter path ("E:\sgbd\fatura.fdb": one letter, a colon, a
// backslash) on a system where a drive letter cannot name a local file. The client library would
// read the letter as a host name, look it up and send the credentials to whatever answers; such a
// name is refused before anything is sent.
bool isDriveLetterName(const std::string& databaseName) noexcept;

// Runs after every attach call into the client library, successful or not. The client installs
// handlers of its own for SIGINT and SIGTERM when it is first used; a program that handles those
// signals itself takes them back here. nullptr: nothing runs.
void setAfterAttachHook(void (*hook)()) noexcept;

// Texts of the two refusals; %s is the database name as given.
inline constexpr char kDriveLetterNameMessage[] =
    "Atenção \r O banco %s não informa o servidor; preencha o servidor e clique em Conectar!";
inline constexpr char kConnectTimeoutMessage[] = "Atenção \r O servidor não respondeu em %d segundos: %s";

} // namespace vistrel::data
