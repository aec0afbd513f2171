#pragma once
// Drives a modal dialog from inside its own event loop, for the tests of the
// windows that open one.
#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace ravo::test {

// Runs `action` inside the next modal event loop; a dialog still open after
// five seconds is closed with -1 rather than hanging the test.
template <class Dialog> void whenModal(QObject* context, std::function<void(Dialog*)> action)
{
    QTimer::singleShot(0, context, [action] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QTimer::singleShot(5000, dialog, [dialog] { dialog->done(-1); });
        action(dialog);
    });
}

} // namespace ravo::test
