#include "frmConnection.h"

#include "exchange/ServerCopy.h"

#include "core/Accounts.h"

#include "UserTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ravo {

namespace {

const QString Title = QStringLiteral("数据库连接");

} // namespace

frmConnection::frmConnection(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmConnection"));
    setWindowTitle(Title);
    createLayout();
    showChoice(readLedgerChoice(m_state.settings));
}

void frmConnection::createLayout()
{
    lblCurrent = new QLabel(this);
    lblCurrent->setObjectName(QStringLiteral("lblCurrent"));
    lblCurrent->setWordWrap(true);
    // The ledger of this run, whatever the state of its connection.
    if (const std::optional<ServerAddress>& a = m_state.server)
        lblCurrent->setText(QStringLiteral("现在使用的台帐：服务器 %1@%2/%3").arg(a->user, a->host, a->database));
    else
        lblCurrent->setText(
            QStringLiteral("现在使用的台帐：本机台帐文件 %1").arg(QDir::toNativeSeparators(m_state.databasePath())));

    optFile = new QRadioButton(QStringLiteral("本机台帐文件(&F)"), this);
    optFile->setObjectName(QStringLiteral("optFile"));
    auto* fileNote = new QLabel(
        QStringLiteral("%1\n不需要设置，同一时间只能一人使用。").arg(QDir::toNativeSeparators(m_state.databasePath())),
        this);
    fileNote->setObjectName(QStringLiteral("lblFile"));
    fileNote->setIndent(20);
    fileNote->setWordWrap(true);

    optServer = new QRadioButton(QStringLiteral("PostgreSQL 服务器(&P)"), this);
    optServer->setObjectName(QStringLiteral("optServer"));
    txtHost = new QLineEdit(this);
    txtHost->setObjectName(QStringLiteral("txtHost"));
    txtPort = new QSpinBox(this);
    txtPort->setObjectName(QStringLiteral("txtPort"));
    txtPort->setRange(1, 65535);
    txtPort->setValue(5432);
    txtDatabase = new QLineEdit(this);
    txtDatabase->setObjectName(QStringLiteral("txtDatabase"));
    txtUser = new QLineEdit(this);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    auto* server = new QFormLayout;
    server->setContentsMargins(20, 0, 0, 0);
    server->addRow(QStringLiteral("服务器(&H):"), txtHost);
    server->addRow(QStringLiteral("端口(&R):"), txtPort);
    server->addRow(QStringLiteral("数据库(&B):"), txtDatabase);
    server->addRow(QStringLiteral("用户名(&U):"), txtUser);
    auto* serverNote = new QLabel(QStringLiteral("部门中多人同时使用同一台帐。密码在登录时输入，不会保存。"), this);
    serverNote->setIndent(20);
    serverNote->setWordWrap(true);

    auto* group = new QGroupBox(QStringLiteral("使用哪一个台帐"), this);
    auto* choices = new QVBoxLayout(group);
    choices->addWidget(optFile);
    choices->addWidget(fileNote);
    choices->addSpacing(8);
    choices->addWidget(optServer);
    choices->addLayout(server);
    choices->addWidget(serverNote);

    auto* applies = new QLabel(QStringLiteral("选择在下次启动程序时生效。"), this);
    applies->setObjectName(QStringLiteral("lblApplies"));

    cmdTest = new QPushButton(QStringLiteral("测试连接(&T)..."), this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdCopy = new QPushButton(QStringLiteral("复制本机台帐到服务器(&Y)..."), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdOK = new QPushButton(OkButtonText, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(CancelButtonText, this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdTest, &QPushButton::clicked, this, &frmConnection::testConnection);
    connect(cmdCopy, &QPushButton::clicked, this, &frmConnection::copyToServer);
    connect(cmdOK, &QPushButton::clicked, this, &frmConnection::save);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConnection::reject);
    connect(optServer, &QRadioButton::toggled, this, &frmConnection::enableServerFields);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTest);
    buttons->addWidget(cmdCopy);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCurrent);
    layout->addWidget(group);
    layout->addWidget(applies);
    layout->addLayout(buttons);
    setMinimumWidth(460);
}

void frmConnection::showChoice(const LedgerChoice& choice)
{
    // A remembered server fills the fields even while the file is chosen.
    if (const std::optional<ServerAddress> a = ServerAddress::parse(choice.serverText)) {
        txtHost->setText(a->host);
        txtPort->setValue(a->port);
        txtDatabase->setText(a->database);
        txtUser->setText(a->user);
    }
    optServer->setChecked(choice.server);
    optFile->setChecked(!choice.server);
    enableServerFields();
}

void frmConnection::enableServerFields()
{
    for (QWidget* w :
         {static_cast<QWidget*>(txtHost), static_cast<QWidget*>(txtPort), static_cast<QWidget*>(txtDatabase),
          static_cast<QWidget*>(txtUser), static_cast<QWidget*>(cmdTest), static_cast<QWidget*>(cmdCopy)})
        w->setEnabled(optServer->isChecked());
}

std::optional<LedgerChoice> frmConnection::choice(QString* why) const
{
    auto refuse = [why](const QString& reason) -> std::optional<LedgerChoice> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    ServerAddress a;
    a.host = txtHost->text().trimmed();
    a.port = txtPort->value();
    a.database = txtDatabase->text().trimmed();
    a.user = txtUser->text().trimmed();
    const bool anyServerPart = !a.host.isEmpty() || !a.database.isEmpty() || !a.user.isEmpty();
    LedgerChoice c;
    c.server = optServer->isChecked();
    if (!c.server && !anyServerPart)
        return c;
    // The connection text is read back as the start will read it, so that
    // what is kept always opens.
    QString problem;
    const std::optional<ServerAddress> parsed = ServerAddress::parse(a.toString(), &problem);
    if (!parsed) {
        if (!c.server)
            return c; // an unfinished server is not kept while the file is chosen
        return refuse(problem);
    }
    c.serverText = parsed->toString();
    return c;
}

// The server the fields name; nothing, after saying why, when they name none.
std::optional<ServerAddress> frmConnection::serverNamed() const
{
    QString why;
    const std::optional<LedgerChoice> c = choice(&why);
    if (!c) {
        m_state.prompt.error(why, Title);
        return std::nullopt;
    }
    return ServerAddress::parse(c->serverText);
}

void frmConnection::testConnection()
{
    const std::optional<ServerAddress> a = serverNamed();
    if (!a)
        return;
    const std::optional<QString> password =
        m_state.prompt.password(QStringLiteral("用户“%1”在数据库服务器上的密码：").arg(a->user), Title);
    if (!password)
        return;
    // A connection of its own, closed at once: the ledger the program has
    // open stays as it is.
    Database trial;
    if (const DbError e = trial.openServer(*a, *password)) {
        m_state.prompt.message(QStringLiteral("连接失败：%1").arg(e.description), Title, Prompter::Icon::Critical);
        return;
    }
    const bool ledger = trial.tableExists(tables::InUse);
    trial.close();
    m_state.prompt.message(ledger ? QStringLiteral("连接成功：服务器上的数据库“%1”是一个台帐。").arg(a->database)
                                  : QStringLiteral("连接成功，但服务器上的数据库“%1”中还没有台帐数据表。\n"
                                                   "可以先把本机台帐文件复制到这个数据库。")
                                        .arg(a->database),
                           Title, ledger ? Prompter::Icon::Information : Prompter::Icon::Warning);
}

void frmConnection::copyToServer()
{
    const std::optional<ServerAddress> a = serverNamed();
    if (!a)
        return;
    const QVector<UserAccount> accounts = loadAccountList(m_state.settings).accounts;
    if (!m_state.prompt.confirm(QStringLiteral("将把本机台帐文件“%1”中的全部数据和本机的 %2 个用户复制到服务器上的"
                                               "空数据库“%3”中，复制完后逐表核对。\n"
                                               "复制要由数据库的所有者（用户名“%4”）进行。继续吗？")
                                    .arg(QDir::toNativeSeparators(m_state.databasePath()))
                                    .arg(accounts.size())
                                    .arg(a->database, a->user),
                                Title))
        return;
    const std::optional<QString> password =
        m_state.prompt.password(QStringLiteral("用户“%1”在数据库服务器上的密码：").arg(a->user), Title);
    if (!password)
        return;
    Database server;
    if (const DbError e = server.openServer(*a, *password)) {
        m_state.prompt.error(QStringLiteral("连接失败：%1").arg(e.description), Title);
        return;
    }
    const exchange::AccountPasswordSource passwordOf = [this](const UserAccount& account) {
        return m_state.prompt.password(
            QStringLiteral("用户“%1”在服务器上的密码（不填则设一个临时密码，首次登录时由本人修改）：")
                .arg(account.Name),
            Title);
    };
    QProgressDialog progress(QStringLiteral("正在复制台帐到服务器…"), CancelButtonText, 0, 100, this);
    progress.setWindowTitle(Title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    const exchange::ServerCopyProgress shown = [&progress](const QString& step, qint64 done, qint64 total) {
        progress.setLabelText(step);
        progress.setValue(total > 0 ? int(done * 100 / total) : 0);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };
    const exchange::ServerCopyResult r =
        exchange::copyLedgerToServer(m_state.databasePath(), accounts, server, passwordOf, shown);
    progress.reset();
    server.close();
    if (!r.ok()) {
        m_state.prompt.error(r.problem, Title);
        return;
    }
    qint64 rows = 0;
    for (const exchange::CopiedTable& t : r.tables)
        rows += t.rows;
    QString text = QStringLiteral("已把 %1 个数据表共 %2 行和 %3 个用户复制到服务器上的数据库“%4”，逐表核对无误。")
                       .arg(r.tables.size())
                       .arg(rows)
                       .arg(r.accounts.size())
                       .arg(a->database);
    if (!r.temporaryPasswords.isEmpty()) {
        text += QStringLiteral("\n\n以下用户的临时密码（请转告本人，首次登录时须修改）：");
        for (const exchange::TemporaryPassword& t : r.temporaryPasswords)
            text += QStringLiteral("\n  %1：%2").arg(t.account, t.password);
    }
    m_state.prompt.message(text, Title, Prompter::Icon::Information);
}

void frmConnection::save()
{
    QString why;
    const std::optional<LedgerChoice> c = choice(&why);
    if (!c) {
        m_state.prompt.error(why, Title);
        return;
    }
    const LedgerChoice before = readLedgerChoice(m_state.settings);
    saveLedgerChoice(m_state.settings, *c);
    m_state.settings.sync();
    m_saved = true;
    const bool changes = before.server != c->server || (c->server && before.serverText != c->serverText);
    if (changes)
        m_state.prompt.message(c->server ? QStringLiteral("已选择数据库服务器上的台帐。下次启动程序时生效。")
                                         : QStringLiteral("已选择本机台帐文件。下次启动程序时生效。"),
                               Title, Prompter::Icon::Information);
    accept();
}

} // namespace ravo
