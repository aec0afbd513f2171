#pragma once
// The prompter of the running program: Qt's message and input boxes.
#include "core/Prompter.h"

class QWidget;

namespace ravo {

class DesktopPrompter : public Prompter {
public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override;
    void beep() override;
};

} // namespace ravo
