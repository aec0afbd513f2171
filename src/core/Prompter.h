#pragma once
// The standard dialogs as the windows use them: a message box, an input box
// and the beep. Windows never open message boxes themselves; the program
// hands them the desktop prompter and tests hand in a scripted one.
#include <QString>
#include <optional>

namespace ravo {

class Prompter {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;
    virtual Answer message(const QString& text, const QString& title, Icon icon = Icon::None,
                           Buttons buttons = Buttons::Ok) = 0;
    // The typed text, or nothing when the user cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& defaultText = {}) = 0;
    virtual void beep() = 0;

    // Shorthands for the program's usual boxes.
    void error(const QString& text, const QString& title);
    void plain(const QString& text, const QString& title);
    bool confirm(const QString& text, const QString& title);
};

} // namespace ravo
