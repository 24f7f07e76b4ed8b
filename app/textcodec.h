#pragma once
// The window's side of app/displaytext.h: byte strings from the databases and the processes as
// the texts its panes and grids show.
#include <QString>

#include <string>

namespace vistrel::app {

// decodeToUtf8 as a QString.
QString decodeText(const std::string& bytes);

// displayUtf8 as a QString: an entry with line breaks shows as several lines.
QString displayText(const std::string& bytes);

// Text typed into the window, as the bytes sent to the databases (UTF-8).
std::string toBytes(const QString& text);

} // namespace vistrel::app
