#pragma once
// "密码设置" on a ledger on a database server: the password is the server
// account's own (a login role's, kept by the server as a SCRAM hash), so the
// new one is set on the server, never in the settings. The running program
// keeps it in memory for reconnecting.
#include "core/ProgramState.h"

class QWidget;

namespace ravo {

// Asks for the new password twice (frmPassword) and sets it on the server
// for the signed-in account; an empty password is refused (the server would
// then let nobody sign in as the account). Told in Chinese either way.
void changeServerPassword(ProgramState& state, QWidget* parent);

} // namespace ravo
