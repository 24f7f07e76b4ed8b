#pragma once
// How byte strings from the databases and the processes are shown, by the window and by the
// command alike: valid UTF-8 sequences as they are, every other byte as its Windows-1252
// character. The bytes themselves are never changed; only their display is decoded.
#include <string>

namespace vistrel::app {

// The entry as UTF-8: each well-formed UTF-8 sequence kept, each other byte replaced by the UTF-8
// form of its Windows-1252 character (the five bytes the code page leaves undefined by the C1
// control of the same value, as the system's own conversion does).
std::string decodeToUtf8(const std::string& bytes);

// decodeToUtf8, then CR LF and lone CR turned into line feeds, so that an entry with line breaks
// shows as several lines.
std::string displayUtf8(const std::string& bytes);

} // namespace vistrel::app
