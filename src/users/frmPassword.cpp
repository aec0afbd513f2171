#include "frmPassword.h"

#include "UserTexts.h"
#include "core/Accounts.h"
#include "core/PasswordHash.h"
#include "core/ServerAccounts.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace ravo {

namespace {

const QString kWarningHead = QStringLiteral("警告：") + QString(32, QLatin1Char(' '));
const QString kWarningText = kWarningHead + QStringLiteral("如果不输入任何新密码而直接单击“确定”按钮，将取消密码！");

} // namespace

frmPassword::frmPassword(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("设置密码"));
    createLayout();
    // Whatever an earlier dialog left behind is no answer of this one.
    m_state.NewPassword.reset();
}

void frmPassword::createLayout()
{
    txtPassword1 = new QLineEdit(this);
    txtPassword1->setObjectName(QStringLiteral("txtPassword1"));
    makePasswordBox(txtPassword1);
    txtPassword2 = new QLineEdit(this);
    txtPassword2->setObjectName(QStringLiteral("txtPassword2"));
    makePasswordBox(txtPassword2);

    auto* label1 = new QLabel(QStringLiteral("请输入新密码："), this);
    label1->setObjectName(QStringLiteral("lblPassword1"));
    label1->setBuddy(txtPassword1);
    auto* label2 = new QLabel(QStringLiteral("确认新密码："), this);
    label2->setObjectName(QStringLiteral("lblPassword2"));
    label2->setBuddy(txtPassword2);

    // The spaces after "警告：" are meant to end the first line: the label is
    // made just wide enough for them, so the warning proper starts below.
    lblWarning = new QLabel(kWarningText, this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    lblWarning->setFixedWidth(QFontMetrics(lblWarning->font()).horizontalAdvance(kWarningHead) + 2);
    auto* warningIcon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    warningIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize, iconSize));

    cmdOk = new QPushButton(OkButtonText, this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    cmdCancle = new QPushButton(CancelButtonText, this);
    cmdCancle->setObjectName(QStringLiteral("cmdCancle"));
    connect(cmdOk, &QPushButton::clicked, this, &frmPassword::confirm);
    connect(cmdCancle, &QPushButton::clicked, this, &frmPassword::reject);

    auto* fields = new QGridLayout;
    fields->addWidget(label1, 0, 0);
    fields->addWidget(txtPassword1, 0, 1);
    fields->addWidget(label2, 1, 0);
    fields->addWidget(txtPassword2, 1, 1);
    fields->setColumnMinimumWidth(1, 180);
    fields->setRowStretch(2, 1);

    auto* warning = new QHBoxLayout;
    warning->addWidget(warningIcon, 0, Qt::AlignTop);
    warning->addWidget(lblWarning, 0, Qt::AlignTop);

    auto* top = new QHBoxLayout;
    top->addLayout(fields);
    top->addSpacing(16);
    top->addLayout(warning);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancle);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmPassword::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        txtPassword1->setFocus();
}

void frmPassword::confirm()
{
    if (txtPassword1->text() != txtPassword2->text()) {
        m_state.prompt.error(QStringLiteral("密码错误！请检查密码的一致性！"), QStringLiteral("密码错误！"));
        txtPassword2->setFocus();
        txtPassword2->selectAll();
        return;
    }
    m_state.NewPassword = txtPassword1->text();
    accept();
}

void frmPassword::reject()
{
    m_state.NewPassword.reset();
    QDialog::reject();
}

// On a server the password is the signed-in role's own: the server keeps
// it (as its hash), and the account's mark to change it at sign-in goes.
// The running program reconnects with the new one from then on.
void changeServerPassword(ProgramState& state, QWidget* parent)
{
    Database& db = state.LedgerDatabase;
    frmPassword dialog(state, parent);
    dialog.exec();
    if (!state.NewPassword)
        return;
    const QString typed = *state.NewPassword;
    state.NewPassword.reset();
    if (typed.isEmpty()) {
        state.prompt.error(QStringLiteral("数据库服务器上的账户必须有密码：没有密码就不能再登录。原密码仍然有效。"),
                           QStringLiteral("设置密码"));
        return;
    }
    const AccountChange c = setServerAccountPassword(db, db.serverAddress().user, typed);
    if (!c.ok()) {
        state.prompt.error(QStringLiteral("新密码没有保存，原密码仍然有效：\n\n%1").arg(c.refusal),
                           QStringLiteral("设置密码"));
        return;
    }
    db.passwordChanged(typed);
    state.prompt.message(QStringLiteral("密码已修改。下次登录时请使用新密码。"), QStringLiteral("设置密码"),
                         Prompter::Icon::Information);
}

bool requireOwnServerPassword(ProgramState& state, QWidget* parent)
{
    Database& db = state.LedgerDatabase;
    const QString title = QStringLiteral("设置密码");
    while (mustChangePassword(db)) {
        state.prompt.message(QStringLiteral("用户“%1”现在的密码是管理员设置的临时密码，请设置您自己的新密码。")
                                 .arg(db.serverAddress().user),
                             title, Prompter::Icon::Information);
        frmPassword dialog(state, parent);
        dialog.exec();
        if (!state.NewPassword)
            return false;
        const QString typed = *state.NewPassword;
        state.NewPassword.reset();
        if (typed.isEmpty()) {
            state.prompt.error(QStringLiteral("数据库服务器上的用户必须有密码，密码不能为空。"), title);
            continue;
        }
        if (const AccountChange c = setServerAccountPassword(db, db.serverAddress().user, typed); !c.ok()) {
            state.prompt.error(QStringLiteral("新密码没有保存：\n\n%1").arg(c.refusal), title);
            return false;
        }
        db.passwordChanged(typed);
    }
    return true;
}

void changePassword(ProgramState& state, QWidget* parent)
{
    if (state.LedgerDatabase.engine() == Engine::Postgres) {
        changeServerPassword(state, parent);
        return;
    }
    if (state.CurrentUserDeleted) {
        state.prompt.error(QStringLiteral("当前登录的用户已在用户管理中被删除，不能为它设置密码。\n"
                                          "请用其他用户重新登录后再设置密码。"),
                           QStringLiteral("设置密码"));
        return;
    }
    const int account = state.CurrentUser;
    if (account < 1 || account > state.UserList.size())
        return; // nobody has signed in

    frmPassword dialog(state, parent);
    dialog.exec();
    if (!state.NewPassword)
        return;

    const std::optional<QString> stored = hashPassword(*state.NewPassword);
    if (!stored) {
        state.prompt.error(QStringLiteral("新密码未能保存（系统内存不足或加密组件无法使用），原密码仍然有效。"),
                           QStringLiteral("设置密码"));
        return;
    }
    state.UserList[account - 1].Password = *stored;
    savePassword(state.settings, account, *stored);
}

} // namespace ravo
