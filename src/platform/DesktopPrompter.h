#pragma once
// The prompter of the running program: Qt's message, input and file boxes.
#include "core/Prompter.h"

class QWidget;

namespace ravo {

class DesktopPrompter : public Prompter {
public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override;
    // The input box with the typing shown as dots.
    std::optional<QString> password(const QString& prompt, const QString& title) override;
    // Qt's file dialog; the extension follows the file type chosen in it.
    std::optional<QString> saveFileName(const QString& title, const QString& suggestedPath,
                                        const QStringList& types) override;
    // The same dialog with a list of the choices below the file type (Qt's
    // own dialog, which can carry it, on every platform).
    std::optional<QString> saveFileNameWithChoice(const QString& title, const QString& suggestedPath,
                                                  const QStringList& types, FileChoice* choice) override;
    void beep() override;
};

} // namespace ravo
