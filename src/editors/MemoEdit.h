#pragma once
// A multi-line text field with a length limit for typing: what the user types
// or pastes beyond the limit is not taken, while a longer text loaded from
// the ledger is shown whole. Tab moves on to the next field.
#include <QPlainTextEdit>

namespace ravo {

class MemoEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MemoEdit(QWidget* parent = nullptr);

    void setMaxLength(int length) { m_maxLength = length; }
    int maxLength() const { return m_maxLength; }

    // Shows a text as it is, without the limit.
    void loadText(const QString& text);

private:
    void trimExcess();

    int m_maxLength = 0;
    bool m_loading = false;
    int m_changeStart = 0;
    int m_changeEnd = -1;
};

} // namespace ravo
