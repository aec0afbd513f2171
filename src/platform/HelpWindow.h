#pragma once
// The help window: the program's Chinese manual, bundled with the program,
// with its contents page, back and forward, and a search for a word.
//
// F1 anywhere opens the manual at the section of the window in front: the
// application-wide HelpKeyFilter maps the window's objectName, or else its
// class name, to its section, so no window needs code of its own for it.
#include <QHash>
#include <QObject>
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
    // Shows the section with this anchor (the contents page for an empty
    // one) and brings the window to the front; returns as showContents.
    QString showSection(const QString& section);
    // The text of the page shown.
    QString pageText() const;
    QTextBrowser* browser() const { return m_browser; }

private:
    void findNext();
    void bringToFront();

    QTextBrowser* m_browser = nullptr;
    QLineEdit* m_find = nullptr;
};

// The manual's section of a window, by the window's objectName ("frmUser" →
// "users"); empty for a window the manual has no section of.
QString helpSectionFor(const QString& windowName);
// The section of `window`: by its objectName, else by its class name
// (frmOperation) or that of a class it derives from; empty when none.
QString helpSectionOf(const QWidget* window);
// Every window with a section of its own, with that section.
const QHash<QString, QString>& helpSections();

// Opens the manual at `section` over the window of `from`. A help window
// already open is used again unless a modal dialog would keep the user from
// it; then the new one belongs to that dialog. Returns why the manual could
// not be shown, or empty text.
QString showHelp(QWidget* from, const QString& section);

// F1 in any window opens the manual at that window's section; a window
// without one (a message box, say) uses the section of the window it
// belongs to, and failing that the contents page. Install once on the
// application.
class HelpKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace ravo
