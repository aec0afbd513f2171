#pragma once
// The progress window of a long print: it appears once a print runs to more
// than a few pages, tells how far the layout and the output have come, and
// offers "取消" for as long as the document can still be abandoned (while it
// is laid out, drawn for the preview, or written to a file).
#include "LinePrinter.h"

#include <QPointer>
#include <memory>

class QProgressDialog;

namespace ravo {

class PrintProgressWindow {
public:
    // Prints of up to this many pages show no progress window.
    static constexpr int FewPages = 3;

    explicit PrintProgressWindow(QWidget* parent);
    ~PrintProgressWindow();
    PrintProgressWindow(const PrintProgressWindow&) = delete;
    PrintProgressWindow& operator=(const PrintProgressWindow&) = delete;

    // The callback to hand to the layout and the output.
    PrintProgress callback();
    // Reports one step; false when the user cancelled.
    bool update(PrintStage stage, int done, int total);

    bool cancelled() const { return m_cancelled; }
    // The window while it is shown, or null.
    QProgressDialog* dialog() const;
    // Closes the window (the next long print opens it again).
    void finish();

private:
    QWidget* m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    bool m_cancelRemoved = false;
    bool m_cancelled = false;
};

} // namespace ravo
