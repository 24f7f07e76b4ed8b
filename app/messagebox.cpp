#include "app/messagebox.h"

#include "app/textcodec.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace vistrel::app {
namespace {

void modalMessageBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), displayText(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

MessageBoxFunction& current() {
    static MessageBoxFunction function;
    return function;
}

} // namespace

void showMessageBox(const std::string& text) {
    if (const MessageBoxFunction& function = current())
        function(text);
    else
        modalMessageBox(text);
}

void closeMessageBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            box->done(QMessageBox::Ok);
    }
}

MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function) {
    return std::exchange(current(), std::move(function));
}

} // namespace vistrel::app
