// Program block VISTREL: creates the main window and runs the event loop until it closes.
#include "app/program.h"

int main(int argc, char* argv[]) {
    return vistrel::app::runProgram(argc, argv);
}
