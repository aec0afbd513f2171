#pragma once
// The invisible strip between the navigator and the grid that the user drags
// to widen or narrow the navigator. It only reports the mouse; the main
// window moves the grey feedback bar and lays out the controls.
#include <QWidget>

namespace ravo {

class SplitterHandle : public QWidget {
    Q_OBJECT
public:
    explicit SplitterHandle(QWidget* parent = nullptr);

signals:
    void pressed();
    // x is the pointer's position within the strip, in twips.
    void moved(int x);
    void released();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace ravo
