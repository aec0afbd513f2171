#pragma once
// The picture beside the sign-in fields: the product's gauge with its name,
// drawn in code so that it scales with the screen and needs no image file.
#include <QWidget>

namespace ravo {

class InstrumentDial : public QWidget {
    Q_OBJECT
public:
    explicit InstrumentDial(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {120, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ravo
