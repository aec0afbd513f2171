#include "DesktopPrompter.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace ravo {

Prompter::Answer DesktopPrompter::message(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("RAVO") : title);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        break;
    case Buttons::OkCancel:
        box.setDefaultButton(box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole));
        box.setEscapeButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
        break;
    case Buttons::YesNo:
        box.setDefaultButton(box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole));
        box.setEscapeButton(box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole));
        break;
    }
    box.exec();
    const QMessageBox::ButtonRole role = box.buttonRole(box.clickedButton());
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::OkCancel: return role == QMessageBox::AcceptRole ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo: return role == QMessageBox::YesRole ? Answer::Yes : Answer::No;
    }
    return Answer::Cancel;
}

std::optional<QString> DesktopPrompter::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    QInputDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(title);
    dlg.setLabelText(prompt);
    dlg.setTextValue(defaultText);
    dlg.setOkButtonText(QStringLiteral("确定"));
    dlg.setCancelButtonText(QStringLiteral("取消"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

void DesktopPrompter::beep()
{
    QApplication::beep();
}

} // namespace ravo
