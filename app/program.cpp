#include "app/program.h"

#include "app/messagebox.h"
#include "app/signals.h"
#include "app/unit1.h"

#include <QApplication>

#include <exception>
#include <memory>

namespace vistrel::app {

int runProgram(int& argc, char** argv, const std::function<void(TForm1&)>& started) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vistrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vistrel"));

    std::unique_ptr<TForm1> window;
    // Taken before anything loads the client library, and again after its first attach.
    TerminationSignals terminationSignals([&window](int) {
        if (window)
            window->endBySignal();
        else
            closeMessageBoxes(); // the start-up notice, while the window is being built
    });

    try {
        window = std::make_unique<TForm1>();
    } catch (const std::exception& error) {
        // The window could not be built (the client library cannot be loaded): the program ends
        // with the error's message, without showing the window.
        showMessageBox(error.what());
        return 1;
    }
    if (TerminationSignals::received()) {
        // A signal came while the window was being built: it ends without being shown.
        window->endBySignal();
        return 0;
    }
    window->show();
    if (started)
        started(*window);
    return QApplication::exec();
}

} // namespace vistrel::app
