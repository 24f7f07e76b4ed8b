#pragma once
// Replaces the window's message box for the life of the object: every message is recorded (as
// the byte string the program passed) and an optional action runs while the "box" is up, as an
// operator's click would.
#include "app/messagebox.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::test {

class MessageRecorder {
public:
    MessageRecorder() {
        m_previous = app::setMessageBoxFunction([this](const std::string& text) {
            messages.push_back(text);
            if (onMessage)
                onMessage(text);
        });
    }
    ~MessageRecorder() { app::setMessageBoxFunction(std::move(m_previous)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<std::string> messages;
    // Runs while a message is "shown" (inside the handler that shows it).
    std::function<void(const std::string&)> onMessage;

private:
    app::MessageBoxFunction m_previous;
};

// The start-up notice that every window shows while it is built.
inline constexpr char kStartupNotice[] = "Foram feitas algumas atualizações no vistrel. \r"
                                         "1-COMPARAÇÃO EXCEPTIONS\r"
                                         "2-COMPARAÇÃO TRIGGERS\r"
                                         "3-COMPARAÇÃO DE DOMAINS\r";

inline constexpr char kGuardMessage[] =
    "Atenção \r É impossivel fazer uma comparação com bancos diferentes, por favor verifique as conexões!";

} // namespace vistrel::test
