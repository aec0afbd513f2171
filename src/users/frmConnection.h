#pragma once
// 系统 → 数据库连接: which ledger the program works on. The ledger file of
// the ledger folder (本机台帐文件, the default: nothing to set up, one user at
// a time) or a ledger on a PostgreSQL server shared by the department
// (server, port, database, user; the password is asked at sign-in and never
// kept). "测试连接" asks for the password and tries the server at once.
// "确定" keeps the choice in the user's settings ("Database" section); it
// takes effect at the next start of the program, which the user is told.
#include "core/LedgerChoice.h"
#include "core/ProgramState.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace ravo {

class frmConnection : public QDialog {
    Q_OBJECT
public:
    explicit frmConnection(ProgramState& state, QWidget* parent = nullptr);

    // The choice as the fields stand; nothing (with the reason, Chinese, in
    // *why) when the server is chosen and a part is missing or wrong.
    std::optional<LedgerChoice> choice(QString* why = nullptr) const;
    // True once "确定" kept a choice.
    bool saved() const { return m_saved; }

    QRadioButton* optFile = nullptr;
    QRadioButton* optServer = nullptr;
    QLineEdit* txtHost = nullptr;
    QSpinBox* txtPort = nullptr;
    QLineEdit* txtDatabase = nullptr;
    QLineEdit* txtUser = nullptr;
    QPushButton* cmdTest = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* lblCurrent = nullptr;

    // "测试连接": asks for the password and connects; the outcome is told.
    std::optional<ServerAddress> serverNamed() const;
    void testConnection();
    // Copies the ledger file and its accounts into the empty server database.
    void copyToServer();
    // "确定": checks the fields, keeps the choice and says when it applies.
    void save();

private:
    void createLayout();
    void showChoice(const LedgerChoice& choice);
    void enableServerFields();

    ProgramState& m_state;
    bool m_saved = false;
};

} // namespace ravo
