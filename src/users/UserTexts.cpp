#include "UserTexts.h"

#include <QLineEdit>

namespace ravo {

void makePasswordBox(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhNoPredictiveText | Qt::ImhSensitiveData);
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    // The mask character is the style's choice unless named (42 is '*').
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

} // namespace ravo
