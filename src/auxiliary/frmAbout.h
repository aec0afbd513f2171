#pragma once
// The About box: the product's name, version and purpose, a disclaimer, a
// picture of measuring instruments that scrolls slowly upwards, and a button
// that shows what the system tells about the computer.
#include "SystemInfo.h"
#include "core/ProgramState.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace ravo {

inline const QString SysInfoUnavailable = QStringLiteral("此时系统信息不可用");

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(ProgramState& state, QWidget* parent = nullptr);

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QWidget* picScroll = nullptr; // the frame the picture scrolls in
    QWidget* Image3 = nullptr;    // the picture
    QTimer* Timer1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    // Where the picture starts, how far a tick moves it and where it stops,
    // in twips from the top of its frame.
    static constexpr int StartTop = 1300;
    static constexpr int StartLeft = -40;
    static constexpr int Step = 15;
    static constexpr int StopBelow = -7060;
    // The picture's top, in twips.
    int image3Top() const { return m_top; }

    // Shows the system information, or "此时系统信息不可用" when it cannot
    // be read.
    void StartSysInfo();
    void setSystemInfoSource(SystemInfoSource source) { m_source = std::move(source); }

    // One step of the scrolling picture.
    void Timer1_Timer();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createLayout();
    void placeImage();

    ProgramState& m_state;
    SystemInfoSource m_source = readSystemInfo;
    int m_top = StartTop;
};

} // namespace ravo
