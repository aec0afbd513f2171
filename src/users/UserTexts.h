#pragma once
// Texts that more than one window of the accounts subsystem shows.
#include <QString>

class QLineEdit;

namespace ravo {

inline const QString OkButtonText = QStringLiteral("确定(&O)");
inline const QString CancelButtonText = QStringLiteral("取消(&C)");

// Sets up a text box for a password: it shows "*" for each character, and
// input methods (pinyin and the like) and predictive text stay off, so the
// typed characters never pass through a candidate window.
void makePasswordBox(QLineEdit* box);

} // namespace ravo
