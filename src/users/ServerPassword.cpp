#include "ServerPassword.h"

#include "frmPassword.h"

namespace ravo {

namespace {

const QString Title = QStringLiteral("设置密码");

// A text as an SQL string literal (the server takes no bound values in
// ALTER ROLE).
QString literal(QString text)
{
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

void changeServerPassword(ProgramState& state, QWidget* parent)
{
    if (state.CurrentUser < 1 || state.CurrentUser > state.UserList.size())
        return; // nobody has signed in
    frmPassword dialog(state, parent);
    dialog.exec();
    if (!state.NewPassword)
        return;
    const QString password = *state.NewPassword;
    if (password.isEmpty()) {
        state.prompt.error(QStringLiteral("数据库服务器上的账户必须有密码：没有密码就不能再登录。原密码仍然有效。"),
                           Title);
        return;
    }
    Database& db = state.LedgerDatabase;
    // The server hashes it (SCRAM) before keeping it; the statement is
    // neither kept in the scratch query nor anywhere else.
    if (const DbResult r = db.executeNative(QStringLiteral("ALTER ROLE CURRENT_USER PASSWORD ") + literal(password));
        !r.ok()) {
        state.prompt.error(QStringLiteral("新密码没有设置成功，原密码仍然有效。\n%1").arg(r.error.description), Title);
        return;
    }
    db.passwordChanged(password);
    state.prompt.message(QStringLiteral("密码已修改。下次登录时请使用新密码。"), Title, Prompter::Icon::Information);
}

} // namespace ravo
