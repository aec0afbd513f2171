#include "MemoEdit.h"

#include <QTextCursor>
#include <algorithm>

namespace ravo {

MemoEdit::MemoEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
        m_changeStart = position;
        m_changeEnd = position + added;
    });
    connect(this, &QPlainTextEdit::textChanged, this, &MemoEdit::trimExcess);
}

void MemoEdit::loadText(const QString& text)
{
    m_loading = true;
    setPlainText(text);
    m_loading = false;
}

void MemoEdit::trimExcess()
{
    if (m_loading || m_maxLength <= 0)
        return;
    const int length = document()->characterCount() - 1;
    if (length <= m_maxLength || m_changeEnd < 0)
        return;
    // Only what was just typed or pasted is cut back, from its end.
    const int end = std::min(m_changeEnd, length);
    const int start = std::max(m_changeStart, end - (length - m_maxLength));
    m_loading = true;
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    m_loading = false;
    m_changeEnd = -1;
}

} // namespace ravo
