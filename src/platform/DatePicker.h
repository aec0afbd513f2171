#pragma once
// A date picker that takes a date typed as a whole. QDateEdit edits one part
// of the date at a time and moves on by itself once a part is full, so a date
// typed in one go ("2026-12-31") lands its parts in the wrong places. Here the
// first character typed starts a fresh text in the box; Enter, leaving the
// box, or the dialog's own confirmation reads it with parseUserDate() (every
// form users type: 2026-12-31, 2026/12/31, 20261231, 2026年12月31日 …).
// The arrow keys and the calendar still change the date shown.
//
// A text that is no date stays in the box as typed; Enter then reports it
// with refused() instead of confirming the dialog, and the dialog refuses to
// confirm while commitTyped() fails.
#include <QDateEdit>

namespace ravo {

class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    // True while the box holds a typed text not yet read as a date.
    bool isTyping() const { return m_typing; }
    QString typedText() const { return m_typing ? m_typed : QString(); }
    // Reads the typed text as the picker's date. False (text kept) when it
    // is no date; true when it was one or nothing was typed.
    bool commitTyped();
    // Forgets a typed text and shows the picker's date again.
    void discardTyped();

signals:
    // Enter was pressed on a typed text that is no date.
    void refused(const QString& typed);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void showText(const QString& text);
    void showTyped();

    QString m_typed;
    bool m_typing = false;
};

} // namespace ravo
