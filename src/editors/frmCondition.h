#pragma once
// The environment log of the metrology room: one reading (date, time,
// temperature, humidity, air pressure) after another. The window opens on
// the latest reading; Save writes the log and keeps the window open for the
// next reading.
#include "LedgerEditor.h"

class QGroupBox;

namespace ravo {

class frmCondition : public LedgerEditor {
    Q_OBJECT
public:
    explicit frmCondition(ProgramState& state, QWidget* parent = nullptr);

    // The column each of Text1(0..4) is bound to, its caption and its unit.
    static const QStringList& textColumns();
    static const QStringList& textCaptions();
    static const QStringList& units();

    QGroupBox* Frame1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdExit = nullptr;

public slots:
    void addRecord();

protected:
    void onActivate() override;

private:
    void createLayout();
};

} // namespace ravo
