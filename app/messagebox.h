#pragma once
// The window system's plain message box: the text, one OK button, modal. Every notice, warning
// and error report of the program goes through showMessageBox, so that a test can install a
// recorder in its place.
#include <functional>
#include <string>

namespace vistrel::app {

// The text is a byte string as the program holds it (a carriage return starts a new line).
using MessageBoxFunction = std::function<void(const std::string& text)>;

void showMessageBox(const std::string& text);

// Answers every modal message box that is up, as its OK button would.
void closeMessageBoxes();

// Replaces the message box; an empty function restores the modal box. Returns the previous one.
MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function);

} // namespace vistrel::app
