#pragma once
// How the window shows byte strings from the databases and the processes: valid UTF-8 sequences
// as UTF-8, every other byte as Windows-1252. The bytes themselves are never changed; only their
// display is decoded.
#include <QString>

#include <string>

namespace vistrel::app {

// Decodes one entry: each well-formed UTF-8 sequence as its character, each other byte by the
// Windows-1252 table.
QString decodeText(const std::string& bytes);

// decodeText, then CR LF and lone CR turned into line feeds, so that an entry with line breaks
// shows as several lines.
QString displayText(const std::string& bytes);

// Text typed into the window, as the bytes sent to the databases (UTF-8).
std::string toBytes(const QString& text);

} // namespace vistrel::app
