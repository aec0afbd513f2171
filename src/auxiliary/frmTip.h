#pragma once
// The tip of the day ("日积月累"), shown once after the main window when
// "Options"/"在启动时显示提示" is on.
//
// The tips come from TIPOFDAY.TXT in the application folder, one tip a line,
// empty lines included. The window shows one picked at random, and another
// random one (possibly the same) for every "下一条提示". Without the file it
// explains how to make one. The check box writes its state to the store at
// once; it takes effect at the next start.
#include "core/ProgramState.h"

#include <QDialog>
#include <QRandomGenerator>
#include <QStringList>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace ravo {

inline const QString TipFileName = QStringLiteral("TIPOFDAY.TXT");

// The tips of a tip file's contents: each line is a tip, an empty line an
// empty tip; line ends may be LF, CR LF or CR, and the end of the last line
// adds no tip of its own. UTF-8 (with or without a byte order mark); a file
// that is not UTF-8 is read as GB18030, the encoding Chinese Windows writes.
QStringList tipsOf(const QByteArray& contents);

class frmTip : public QDialog {
    Q_OBJECT
public:
    explicit frmTip(ProgramState& state, QWidget* parent = nullptr);

    // The text shown when the tip file is missing.
    static QString missingFileText();

    QLabel* lblTipText = nullptr;
    QCheckBox* chkLoadTipsAtStartup = nullptr;
    QPushButton* cmdNextTip = nullptr;
    QPushButton* cmdOK = nullptr;

    // The tip on display, 1-based; 0 before any.
    int CurrentTip = 0;
    const QStringList& tips() const { return m_tips; }

    // Reads the tips of the file and picks one; false when there is no
    // such file (or it cannot be read).
    bool LoadTips(const QString& sFile);
    // Shows tip CurrentTip, when there are tips.
    void DisplayCurrentTip();

    // With the tip setting off the window closes as soon as it is opened.
    int exec() override;

private:
    void createLayout();
    void pickTip();
    void startupToggled(bool on);

    ProgramState& m_state;
    QStringList m_tips;
    QRandomGenerator m_random;
    bool m_closeAtOnce = false;
};

} // namespace ravo
