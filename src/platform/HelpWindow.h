#pragma once
// The help window: the program's Chinese manual, bundled with the program,
// with its contents page, back and forward, and a search for a word.
#include <QWidget>

class QLineEdit;
class QTextBrowser;

namespace ravo {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // The manual's address inside the program.
    static QString manualUrl();
    // The manual is part of the program (false only in a broken build).
    static bool manualAvailable();

    // A separate window owned by `owner`: it stays above it and goes with it.
    explicit HelpWindow(QWidget* owner = nullptr);

    // Shows the contents page and brings the window to the front. Returns
    // why the manual could not be shown, or empty text.
    QString showContents();
    // The text of the page shown.
    QString pageText() const;
    QTextBrowser* browser() const { return m_browser; }

private:
    void findNext();

    QTextBrowser* m_browser = nullptr;
    QLineEdit* m_find = nullptr;
};

} // namespace ravo
