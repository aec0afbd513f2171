#pragma once
// The four panels of the main window's status bar, side by side: the record
// counter, the greeting, the date and the time. When the bar is short of
// room the counter keeps its whole text longest: the greeting gives way
// first, then the time and the date. The panels never make the window wider
// than it is allowed to be.
#include <QVector>
#include <QWidget>

class QLabel;

namespace ravo {

class StatusPanels : public QWidget {
public:
    // Makes the four panels, named "<barName>.Panels(1)" … "(4)".
    StatusPanels(const QString& barName, QWidget* parent);

    // Panel 1 … 4.
    QLabel* panel(int number) const { return m_panels.at(number - 1); }
    // Places the panels in the width there is; runs on every resize and
    // whenever a panel's text changes its width.
    void arrange();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QVector<QLabel*> m_panels;
};

} // namespace ravo
