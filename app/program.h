#pragma once
// The program block VISTREL: the application, the termination signals and the main window.
#include <functional>

namespace vistrel::app {

class TForm1;

// Runs the program: builds the window (which shows the start-up notice), shows it and runs the
// event loop until it closes. SIGTERM, SIGINT and SIGHUP end it as closing the window does, exit
// status 0. Returns 1 when the window cannot be built (the client library cannot be loaded).
// started, when given, runs once the window is built and shown (tests drive the window there).
int runProgram(int& argc, char** argv, const std::function<void(TForm1&)>& started = {});

} // namespace vistrel::app
