// Program block VISTREL: creates the main window and runs the event loop until it closes.
#include "app/messagebox.h"
#include "app/unit1.h"

#include <QApplication>

#include <exception>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vistrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vistrel"));

    std::unique_ptr<vistrel::app::TForm1> window;
    try {
        window = std::make_unique<vistrel::app::TForm1>();
    } catch (const std::exception& error) {
        // The window could not be built (the client library cannot be loaded): the program ends
        // with the error's message, without showing the window.
        vistrel::app::showMessageBox(error.what());
        return 1;
    }
    window->show();
    return QApplication::exec();
}
