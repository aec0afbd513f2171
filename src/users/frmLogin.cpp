#include "frmLogin.h"

#include "frmPassword.h"

#include "InstrumentDial.h"
#include "UserTexts.h"
#include "core/Accounts.h"
#include "core/PasswordHash.h"
#include "core/ServerAccounts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace ravo {

frmLogin::frmLogin(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("RAVO 登录"));
    createLayout();
    if (m_state.server)
        prepareServerSignIn();
    else
        loadAccounts();
}

void frmLogin::createLayout()
{
    m_picture = new InstrumentDial(this);

    cboName = new QComboBox(this);
    cboName->setObjectName(QStringLiteral("cboName"));
    // A name may be typed as well as picked. It must stay exactly as typed:
    // the combo box's completer would turn a typed "Ad" into a listed
    // "Admin", or a typed "admin" into "Admin", and sign in as that account.
    // Without a completer a typed name is only ever matched whole and with
    // its case, which leaves it unchanged.
    cboName->setEditable(true);
    cboName->setInsertPolicy(QComboBox::NoInsert);
    cboName->setCompleter(nullptr);
    cboName->setMinimumWidth(200);

    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    makePasswordBox(txtPassword);
    txtPassword->setToolTip(QStringLiteral("第一次登录无需密码!确定即可!"));

    m_nameLabel = new QLabel(QStringLiteral("用户名(&U):"), this);
    m_nameLabel->setObjectName(QStringLiteral("lblName"));
    m_nameLabel->setBuddy(cboName);
    m_passwordLabel = new QLabel(QStringLiteral("密码(&P):"), this);
    m_passwordLabel->setObjectName(QStringLiteral("lblPassword"));
    m_passwordLabel->setBuddy(txtPassword);

    cmdOK = new QPushButton(OkButtonText, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(CancelButtonText, this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Esc is QDialog's own: it calls reject(), as the cancel button does.
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::checkSignIn);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::reject);

    // The two fields sit level with the middle of the picture.
    auto* fields = new QGridLayout;
    fields->setRowStretch(0, 1);
    fields->addWidget(m_nameLabel, 1, 0);
    fields->addWidget(cboName, 1, 1);
    fields->addWidget(m_passwordLabel, 2, 0);
    fields->addWidget(txtPassword, 2, 1);
    fields->setRowStretch(3, 1);

    m_ledgerLabel = new QLabel(this);
    m_ledgerLabel->setObjectName(QStringLiteral("lblLedger"));
    m_ledgerLabel->hide();
    fields->addWidget(m_ledgerLabel, 3, 0, 1, 2);
    fields->setRowStretch(3, 0);
    fields->setRowStretch(4, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_picture);
    top->addSpacing(12);
    top->addLayout(fields, 1);

    cmdFile = new QPushButton(QStringLiteral("本机台帐文件(&F)"), this);
    cmdFile->setObjectName(QStringLiteral("cmdFile"));
    cmdFile->setToolTip(QStringLiteral("这一次不连接数据库服务器，打开本机台帐文件"));
    cmdFile->hide();
    connect(cmdFile, &QPushButton::clicked, this, [this] {
        Ok = false;
        UseFileInstead = true;
        QDialog::reject();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdFile);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmLogin::loadAccounts()
{
    const AccountLoad load = loadAccountList(m_state.settings);
    m_state.UserList = load.accounts;
    m_state.UserEditList = load.accounts;
    m_state.UserCount = qint16(load.accounts.size());

    cboName->clear();
    for (const UserAccount& account : load.accounts)
        cboName->addItem(account.Name);
}

void frmLogin::prepareServerSignIn()
{
    const ServerAddress& a = *m_state.server;
    setWindowTitle(QStringLiteral("RAVO 登录 — 数据库服务器"));
    m_ledgerLabel->setText(QStringLiteral("台帐：服务器 %1:%2 上的数据库 %3").arg(a.host).arg(a.port).arg(a.database));
    m_ledgerLabel->show();
    cmdFile->show();
    txtPassword->setToolTip(QStringLiteral("这个账户在数据库服务器上的密码"));
    cboName->clear();
    cboName->addItem(a.user);
}

void frmLogin::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    preselectLastAccount();
    txtPassword->setFocus();
}

void frmLogin::preselectLastAccount()
{
    if (m_state.server)
        return;
    cboName->setCurrentIndex(preselectIndex(m_state.settings, cboName->count()));
}

int frmLogin::matchingAccount(const QString& name, const QString& password) const
{
    for (int i = 0; i < m_state.UserList.size(); ++i) {
        const UserAccount& account = m_state.UserList.at(i);
        if (account.Name == name && passwordMatches(account.Password, password))
            return i + 1;
    }
    return 0;
}

void frmLogin::checkSignIn()
{
    if (m_state.server) {
        checkServerSignIn();
        return;
    }
    const QString password = txtPassword->text();
    const int account = matchingAccount(cboName->currentText(), password);
    if (account == 0) {
        m_state.prompt.error(QStringLiteral("密码错误，再试一次！"), QStringLiteral("登录"));
        txtPassword->setFocus();
        txtPassword->selectAll();
        return;
    }
    upgradeClearTextPassword(account, password);
    m_state.CurrentUser = qint16(account);
    m_state.LedgerDatabase.setAccount(m_state.UserList.at(account - 1).Name);
    Ok = true;
    accept();
}

void frmLogin::checkServerSignIn()
{
    auto again = [this](const QString& text) {
        m_state.prompt.error(text, QStringLiteral("登录"));
        txtPassword->setFocus();
        txtPassword->selectAll();
    };
    ServerAddress address = *m_state.server;
    address.user = cboName->currentText().trimmed();
    if (address.user.isEmpty()) {
        again(QStringLiteral("请输入用户名。"));
        return;
    }
    Database& db = m_state.LedgerDatabase;
    if (const DbError e = db.openServer(address, txtPassword->text())) {
        again(e.description);
        return;
    }
    const std::optional<int> level = signedInLevel(db);
    if (!level) {
        db.close();
        again(QStringLiteral("该账户不是本台帐的用户：数据库服务器上的账户“%1”不属于台帐“%2”的任何一级用户。\n"
                             "请系统管理员在“用户管理”中为你建立账户。")
                  .arg(address.user, address.database));
        return;
    }
    QVector<UserAccount> accounts = serverAccounts(db);
    int index = -1;
    for (int i = 0; i < accounts.size(); ++i)
        if (accounts.at(i).Name == address.user)
            index = i;
    if (index < 0) {
        // A member of a group role through another role: signed in all the
        // same, at the level the server gives it.
        accounts.append({address.user, QString(), qint16(*level), 0});
        index = int(accounts.size()) - 1;
    }
    accounts[index].Level = qint16(*level);
    m_state.server = address;
    m_state.UserList = accounts;
    m_state.UserEditList = accounts;
    m_state.UserCount = qint16(accounts.size());
    m_state.CurrentUser = qint16(index + 1);
    m_state.LedgerDatabase.setAccount(address.user);
    // An account given a temporary password sets its own before it works.
    if (!requireOwnServerPassword(m_state, this)) {
        db.close();
        m_state.CurrentUser = 0;
        again(QStringLiteral("账户“%1”的密码是临时密码，设置自己的新密码后才能使用台帐。").arg(address.user));
        return;
    }
    Ok = true;
    accept();
}

// A password still kept in clear text by an older version is replaced by its
// hash as soon as its owner has proved to know it. Should hashing fail, the
// old value stays and the next sign-in tries again.
void frmLogin::upgradeClearTextPassword(int account, const QString& password)
{
    if (!isClearTextPassword(m_state.UserList.at(account - 1).Password))
        return;
    const std::optional<QString> hash = hashPassword(password);
    if (!hash)
        return;
    m_state.UserList[account - 1].Password = *hash;
    if (account <= m_state.UserEditList.size())
        m_state.UserEditList[account - 1].Password = *hash;
    savePassword(m_state.settings, account, *hash);
}

void frmLogin::reject()
{
    // Esc and 取消 give up.
    UseFileInstead = false;
    Ok = false;
    QDialog::reject();
}

} // namespace ravo
