#pragma once
// A dialog kept between showings (the query wizard, the options dialog): its
// buttons only hide it, so that what the user chose is still there at the
// next showing; its close box unloads it (isUnloaded()), and the next
// showing makes it afresh. The owner keeps it in a QPointer:
//
//     QPointer<frmOptions> m_options;                     // the owner's member
//     execKept(m_options, state, this);                   // each showing
#include <QPointer>
#include <QWidget>

namespace ravo {

struct ProgramState;

// The kept dialog, made over parent when none is kept or the kept one was
// unloaded.
template <typename Dialog> Dialog& keptWindow(QPointer<Dialog>& kept, ProgramState& state, QWidget* parent)
{
    if (kept && kept->isUnloaded())
        delete kept.data();
    if (!kept)
        kept = new Dialog(state, parent);
    return *kept;
}

// Shows the kept dialog modally and throws it away when its close box was
// used. Returns the dialog's result.
template <typename Dialog> int execKept(QPointer<Dialog>& kept, ProgramState& state, QWidget* parent)
{
    const int result = keptWindow(kept, state, parent).exec();
    if (kept && kept->isUnloaded())
        delete kept.data();
    return result;
}

} // namespace ravo
