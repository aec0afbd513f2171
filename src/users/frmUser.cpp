#include "frmUser.h"

#include "UserTexts.h"
#include "core/Accounts.h"
#include "core/PasswordHash.h"
#include "core/ServerAccounts.h"
#include "frmPassword.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ravo {

namespace {

const QString kNamePrompt = QStringLiteral("请输入一个新用户名：\n\n    用户名长度请不要超过10个汉字！");
const QString kNameTitle = QStringLiteral("用户名");
const QString kNameExists = QStringLiteral("此用户名已经存在！请另取一个新的用户名！");
const QString kNameBlank = QStringLiteral("用户名不能只由空格组成！请另取一个新的用户名！");
const QString kNameErrorTitle = QStringLiteral("用户名错误！");
const QString kCannotDelete = QStringLiteral("系统管理员是不能删除的！");
const QString kCannotDeleteTitle = QStringLiteral("不能删除！");
const QString kConfirmDeleteTitle = QStringLiteral("确认删除！");
const QString kServerNeedsPassword = QStringLiteral("数据库服务器上的用户必须有密码，没有添加用户。");
const QString kCannotDeleteSelf = QStringLiteral("不能删除正在使用的用户“%1”！请用其他系统管理员登录后再删除它。");
const QString kServerRefused = QStringLiteral("数据库服务器没有接受用户设置的修改，所有修改都没有保存：\n\n%1");
const QString kServerTitle = QStringLiteral("用户管理");
const QString kHashFailed =
    QStringLiteral("新用户的密码未能加密保存（系统内存不足或加密组件无法使用），没有添加用户。");

// The level shown for an account: 0 and 1 as they are, anything else as 2.
int shownLevel(qint16 level)
{
    return level == 0 || level == 1 ? level : 2;
}

} // namespace

frmUser::frmUser(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmUser"));
    setWindowTitle(QStringLiteral("用户管理"));
    createLayout();
    openList();
    // The typed passwords of accounts never made go with the window.
    connect(this, &QDialog::finished, this, [this] {
        if (onServer())
            for (UserAccount& a : m_state.UserEditList)
                a.Password.clear();
    });
}

void frmUser::createLayout()
{
    auto* prompt = new QLabel(QStringLiteral("请选择一个用户："), this);
    prompt->setObjectName(QStringLiteral("Label1"));
    lstUser = new QListWidget(this);
    lstUser->setObjectName(QStringLiteral("lstUser"));
    lstUser->setMinimumSize(200, 220);
    prompt->setBuddy(lstUser);
    connect(lstUser, &QListWidget::currentRowChanged, this, &frmUser::entrySelected);

    fraLevel = new QGroupBox(QStringLiteral("用户级别设置："), this);
    fraLevel->setObjectName(QStringLiteral("fraLevel"));
    opt0 = new QRadioButton(QStringLiteral("系统管理员"), fraLevel);
    opt0->setObjectName(QStringLiteral("opt0"));
    opt1 = new QRadioButton(QStringLiteral("计量管理员"), fraLevel);
    opt1->setObjectName(QStringLiteral("opt1"));
    opt2 = new QRadioButton(QStringLiteral("计量器具保管员"), fraLevel);
    opt2->setObjectName(QStringLiteral("opt2"));
    m_levels = new QButtonGroup(this);
    m_levels->addButton(opt0, 0);
    m_levels->addButton(opt1, 1);
    m_levels->addButton(opt2, 2);
    // Only a click by the user changes a level: selecting an account checks
    // its button by code, which must not rewrite a level such as 7 as 2.
    connect(m_levels, &QButtonGroup::idClicked, this, [this] { UserLevel(); });
    auto* levelLayout = new QVBoxLayout(fraLevel);
    levelLayout->addWidget(opt0);
    levelLayout->addWidget(opt1);
    levelLayout->addWidget(opt2);

    cmdNewUser = new QPushButton(QStringLiteral("新增用户(&N)"), this);
    cmdNewUser->setObjectName(QStringLiteral("cmdNewUser"));
    cmdDeleteUser = new QPushButton(QStringLiteral("删除用户(&D)"), this);
    cmdDeleteUser->setObjectName(QStringLiteral("cmdDeleteUser"));
    cmdClose = new QPushButton(OkButtonText, this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    cmdCanle = new QPushButton(CancelButtonText, this);
    cmdCanle->setObjectName(QStringLiteral("cmdCanle"));
    connect(cmdNewUser, &QPushButton::clicked, this, &frmUser::newUser);
    connect(cmdDeleteUser, &QPushButton::clicked, this, &frmUser::deleteUser);
    connect(cmdClose, &QPushButton::clicked, this, &frmUser::confirm);
    connect(cmdCanle, &QPushButton::clicked, this, &frmUser::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(prompt);
    left->addWidget(lstUser, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(fraLevel);
    right->addSpacing(8);
    right->addWidget(cmdNewUser);
    right->addWidget(cmdDeleteUser);
    right->addStretch(1);
    right->addWidget(cmdClose);
    right->addWidget(cmdCanle);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addSpacing(8);
    layout->addLayout(right);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool frmUser::onServer() const
{
    return m_state.LedgerDatabase.engine() == Engine::Postgres;
}

void frmUser::openList()
{
    // On a server the accounts are the server's roles of this ledger, read
    // afresh at every opening; the program never sees their passwords.
    if (onServer()) {
        const QVector<UserAccount> accounts = serverAccounts(m_state.LedgerDatabase);
        m_state.UserEditList = accounts;
        m_serverAccounts = accounts;
        UserCountTemp = qint16(accounts.size());
        UserLoad();
        selectEntry(0);
        return;
    }
    // The sign-in has made the store readable, so this reads what it holds.
    const AccountLoad load = loadAccountList(m_state.settings);
    findSignedIn(load.accounts);
    m_state.UserList = load.accounts;
    m_state.UserEditList = load.accounts;
    m_state.UserCount = qint16(load.accounts.size());
    UserCountTemp = m_state.UserCount;
    UserLoad();
    selectEntry(0);
}

// The signed-in account in the list just read: at its own place when that
// still holds the same name and password, else the first account that does.
void frmUser::findSignedIn(const QVector<UserAccount>& accounts)
{
    const int current = m_state.CurrentUser - 1;
    m_tracksSignedIn = current >= 0 && current < m_state.UserList.size();
    m_signedIn = -1;
    if (!m_tracksSignedIn)
        return;
    const UserAccount& me = m_state.UserList.at(current);
    const auto same = [&me](const UserAccount& a) { return a.Name == me.Name && a.Password == me.Password; };
    if (current < accounts.size() && same(accounts.at(current))) {
        m_signedIn = current;
        return;
    }
    for (int i = 0; i < accounts.size() && m_signedIn < 0; ++i)
        if (same(accounts.at(i)))
            m_signedIn = i;
    publishSignedIn();
}

void frmUser::publishSignedIn()
{
    if (!m_tracksSignedIn)
        return;
    m_state.CurrentUser = qint16(m_signedIn + 1);
    m_state.CurrentUserDeleted = m_signedIn < 0;
    // A renamed account signs the history with its new name from now on.
    if (m_signedIn >= 0 && m_signedIn < m_state.UserList.size())
        m_state.LedgerDatabase.setAccount(m_state.UserList.at(m_signedIn).Name);
}

void frmUser::UserLoad()
{
    const QSignalBlocker quiet(lstUser);
    lstUser->clear();
    m_rows.clear();
    for (int i = 0; i < UserCountTemp && i < m_state.UserEditList.size(); ++i) {
        const QString& name = m_state.UserEditList.at(i).Name;
        if (name.isEmpty())
            continue;
        lstUser->addItem(name);
        m_rows.append(i);
    }
}

int frmUser::accountAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : -1;
}

void frmUser::selectEntry(int row)
{
    {
        const QSignalBlocker quiet(lstUser);
        lstUser->setCurrentRow(row < lstUser->count() ? row : -1);
    }
    entrySelected();
}

void frmUser::entrySelected()
{
    const int account = accountAt(lstUser->currentRow());
    const QString name = account >= 0 ? m_state.UserEditList.at(account).Name : QString();
    cmdDeleteUser->setEnabled(!name.isEmpty());
    const bool levelsOpen = !name.isEmpty() && name != AdministratorName;
    for (QAbstractButton* b : m_levels->buttons())
        b->setEnabled(levelsOpen);
    if (account < 0) {
        m_levels->setExclusive(false);
        for (QAbstractButton* b : m_levels->buttons())
            b->setChecked(false);
        m_levels->setExclusive(true);
        return;
    }
    m_levels->button(shownLevel(m_state.UserEditList.at(account).Level))->setChecked(true);
}

void frmUser::UserLevel()
{
    const int account = accountAt(lstUser->currentRow());
    if (account < 0 || m_levels->checkedId() < 0)
        return;
    UserAccount& a = m_state.UserEditList[account];
    if (a.Name == AdministratorName)
        return;
    a.Level = qint16(m_levels->checkedId());
}

std::optional<QString> frmUser::askNewName()
{
    for (;;) {
        const std::optional<QString> answer = m_state.prompt.input(kNamePrompt, kNameTitle);
        if (!answer || answer->isEmpty())
            return std::nullopt;

        // The typed name is compared as it is: " 张三" is not "张三".
        bool exists = false;
        for (const UserAccount& a : m_state.UserEditList)
            exists = exists || a.Name == *answer;
        // On a server every role of the server takes its name.
        exists = exists || (onServer() && serverRoleExists(m_state.LedgerDatabase, answer->trimmed()));
        // A name of spaces only would become an empty name, which the list
        // cannot show.
        const bool blank = answer->trimmed().isEmpty();
        if (!exists && !blank)
            return answer;
        const Prompter::Answer again = m_state.prompt.message(exists ? kNameExists : kNameBlank, kNameErrorTitle,
                                                              Prompter::Icon::Critical, Prompter::Buttons::OkCancel);
        if (again != Prompter::Answer::Ok)
            return std::nullopt;
    }
}

void frmUser::newUser()
{
    const std::optional<QString> name = askNewName();
    if (!name)
        return;
    NewUserName = name->trimmed();

    {
        frmPassword dialog(m_state, this);
        dialog.exec();
    }
    if (!m_state.NewPassword) {
        selectEntry(0);
        return;
    }
    if (onServer()) {
        // The server hashes it when the account is made at OK; until then
        // it is held only by this window.
        const QString typed = *m_state.NewPassword;
        m_state.NewPassword.reset();
        if (typed.isEmpty()) {
            m_state.prompt.error(kServerNeedsPassword, kNameTitle);
            selectEntry(0);
            return;
        }
        m_newPassword = typed;
        UserAddDel(-1);
        return;
    }
    const std::optional<QString> stored = hashPassword(*m_state.NewPassword);
    m_state.NewPassword.reset();
    if (!stored) {
        m_state.prompt.error(kHashFailed, kNameTitle);
        selectEntry(0);
        return;
    }
    m_newPassword = *stored;
    UserAddDel(-1);
}

void frmUser::deleteUser()
{
    DeleteUserNumber = lstUser->currentRow();
    const int account = accountAt(DeleteUserNumber);
    if (account >= 0) {
        const QString name = m_state.UserEditList.at(account).Name;
        if (name == AdministratorName)
            m_state.prompt.error(kCannotDelete, kCannotDeleteTitle);
        else if (onServer() && name == m_state.LedgerDatabase.serverAddress().user)
            m_state.prompt.error(kCannotDeleteSelf.arg(name), kCannotDeleteTitle);
        else if (m_state.prompt.confirm(QStringLiteral("你确认要删除用户: ") + name + QStringLiteral(" 吗？"),
                                        kConfirmDeleteTitle))
            UserAddDel(0);
    }
    selectEntry(0);
}

void frmUser::UserAddDel(int what)
{
    if (what == -1) {
        UserAccount a;
        a.Name = NewUserName;
        a.Password = m_newPassword;
        a.Level = 2;
        a.History = 0;
        m_state.UserEditList.append(a);
        UserCountTemp = qint16(m_state.UserEditList.size());
        m_newPassword.clear();
        UserLoad();
        selectEntry(lstUser->count() - 1);
    } else if (what == 0) {
        const int account = accountAt(DeleteUserNumber);
        if (account < 0)
            return;
        // The accounts after it move up by one section.
        m_state.UserEditList.removeAt(account);
        if (account == m_signedIn)
            m_signedIn = -1;
        else if (account < m_signedIn)
            --m_signedIn;
        UserCountTemp = qint16(m_state.UserEditList.size());
        UserLoad();
    }
}

// Makes the server's accounts what the window shows, in one transaction:
// new accounts first, then levels, then deletions, so that the ledger never
// lacks a level-0 account in between. Empty on success, else the server's
// refusal; then nothing was changed.
QString frmUser::applyOnServer()
{
    Database& db = m_state.LedgerDatabase;
    const auto find = [](const QVector<UserAccount>& list, const QString& name) -> const UserAccount* {
        for (const UserAccount& a : list)
            if (a.Name == name)
                return &a;
        return nullptr;
    };
    Transaction tx(db);
    if (tx.error())
        return tx.error().text();
    for (const UserAccount& a : std::as_const(m_state.UserEditList))
        if (!find(m_serverAccounts, a.Name))
            if (const AccountChange c = createServerAccount(db, a.Name, a.Password, shownLevel(a.Level)); !c.ok())
                return c.refusal;
    for (const UserAccount& a : std::as_const(m_state.UserEditList))
        if (const UserAccount* was = find(m_serverAccounts, a.Name);
            was && shownLevel(was->Level) != shownLevel(a.Level))
            if (const AccountChange c = setServerAccountLevel(db, a.Name, shownLevel(a.Level)); !c.ok())
                return c.refusal;
    for (const UserAccount& was : std::as_const(m_serverAccounts))
        if (!find(m_state.UserEditList, was.Name))
            if (const AccountChange c = dropServerAccount(db, was.Name); !c.ok())
                return c.refusal;
    if (const DbError e = tx.commit())
        return e.text();
    return {};
}

void frmUser::confirm()
{
    if (onServer()) {
        const QString refusal = applyOnServer();
        if (!refusal.isEmpty()) {
            // The window stays open with the edits, to be mended or cancelled.
            m_state.prompt.error(kServerRefused.arg(refusal), kServerTitle);
            return;
        }
        m_state.UserEditList = serverAccounts(m_state.LedgerDatabase);
        m_serverAccounts = m_state.UserEditList;
        accept();
        return;
    }
    saveAccountList(m_state.settings, m_state.UserEditList);
    // What sign-in checked against is now the list just written.
    m_state.UserList = m_state.UserEditList;
    m_state.UserCount = qint16(m_state.UserList.size());
    publishSignedIn();
    accept();
}

} // namespace ravo
