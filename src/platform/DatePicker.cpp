#include "DatePicker.h"

#include "core/Dates.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

namespace ravo {

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QLatin1String(ShortDateFormat));
}

bool DatePicker::commitTyped()
{
    if (!m_typing)
        return true;
    const std::optional<QDate> d = parseUserDate(m_typed);
    if (!d || *d < minimumDate() || *d > maximumDate())
        return false;
    m_typing = false;
    m_typed.clear();
    setDate(*d); // shows the date in the picker's own form, also when it was shown already
    return true;
}

void DatePicker::discardTyped()
{
    if (!m_typing)
        return;
    m_typing = false;
    m_typed.clear();
    setDate(date());
}

void DatePicker::showText(const QString& text)
{
    // The spin box would read every character at once and put a date of its
    // own making in (its validator "mends" 2003-2-30 into 2003-02-28); the
    // typed text is read only when it is complete.
    QLineEdit* edit = lineEdit();
    const QSignalBlocker block(edit);
    const QValidator* validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    edit->setCursorPosition(int(text.size()));
    edit->setValidator(validator);
}

void DatePicker::showTyped()
{
    showText(m_typed);
}

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    const bool printable =
        !text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    if (printable) {
        // A text selected as a whole (the box was entered with Tab) is typed over.
        const QLineEdit* edit = lineEdit();
        const bool over = !m_typing || (edit->hasSelectedText() && edit->selectedText() == edit->text());
        m_typed = over ? text : m_typed + text;
        m_typing = true;
        showTyped();
        event->accept();
        return;
    }
    if (m_typing) {
        switch (event->key()) {
        case Qt::Key_Backspace:
            m_typed.chop(1);
            showTyped();
            event->accept();
            return;
        case Qt::Key_Escape:
            discardTyped();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A text that is no date must not confirm the dialog.
            if (!commitTyped()) {
                event->accept();
                emit refused(m_typed);
                return;
            }
            break;
        default:
            // The arrow keys step the date once the typed one is read.
            if (!commitTyped()) {
                event->accept();
                return;
            }
            break;
        }
    }
    QDateEdit::keyPressEvent(event);
}

void DatePicker::inputMethodEvent(QInputMethodEvent* event)
{
    // 年, 月 and 日 come from the input method.
    if (!event->commitString().isEmpty()) {
        m_typed = (m_typing ? m_typed : QString()) + event->commitString();
        m_typing = true;
        showTyped();
    }
    event->accept();
}

void DatePicker::focusInEvent(QFocusEvent* event)
{
    QDateEdit::focusInEvent(event); // shows the date
    if (m_typing) {
        // Back to a text that is no date: shown whole and selected, so that
        // typing replaces it.
        showTyped();
        lineEdit()->selectAll();
    }
}

void DatePicker::focusOutEvent(QFocusEvent* event)
{
    const bool kept = !commitTyped();
    // The spin box reads its text on leaving and would "mend" a text that is
    // no date (2003-2-30 into 2003-02-28): it reads the date shown instead.
    if (kept)
        showText(textFromDateTime(dateTime()));
    QDateEdit::focusOutEvent(event);
    if (kept)
        showTyped(); // nothing typed is lost; the dialog reports it on confirmation
}

bool DatePicker::focusNextPrevChild(bool next)
{
    // Tab moves between the parts of the date, but leaves a typed text.
    if (m_typing)
        return QWidget::focusNextPrevChild(next);
    return QDateEdit::focusNextPrevChild(next);
}

} // namespace ravo
