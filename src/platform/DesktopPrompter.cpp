#include "DesktopPrompter.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>

namespace ravo {

Prompter::Answer DesktopPrompter::message(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("RAVO") : title);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
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
    case Buttons::ReloadKeepCancel:
        box.addButton(QStringLiteral("重新读取(&R)"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("保留我的修改(&K)"), QMessageBox::NoRole);
        box.setDefaultButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
        box.setEscapeButton(box.defaultButton());
        break;
    }
    box.exec();
    const QMessageBox::ButtonRole role = box.buttonRole(box.clickedButton());
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return role == QMessageBox::AcceptRole ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo:
        return role == QMessageBox::YesRole ? Answer::Yes : Answer::No;
    case Buttons::ReloadKeepCancel:
        return role == QMessageBox::YesRole ? Answer::Yes : role == QMessageBox::NoRole ? Answer::No : Answer::Cancel;
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

std::optional<QString> DesktopPrompter::password(const QString& prompt, const QString& title)
{
    QInputDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(title);
    dlg.setLabelText(prompt);
    dlg.setTextEchoMode(QLineEdit::Password);
    dlg.setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    dlg.setOkButtonText(QStringLiteral("确定"));
    dlg.setCancelButtonText(QStringLiteral("取消"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

namespace {

// "xlsx" from "Excel 工作簿 (*.xlsx)"; empty when the type names no extension.
QString extensionOf(const QString& type)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    return pattern.match(type).captured(1);
}

} // namespace

std::optional<QString> DesktopPrompter::saveFileName(const QString& title, const QString& suggestedPath,
                                                     const QStringList& types)
{
    return saveFileNameWithChoice(title, suggestedPath, types, nullptr);
}

std::optional<QString> DesktopPrompter::saveFileNameWithChoice(const QString& title, const QString& suggestedPath,
                                                               const QStringList& types, FileChoice* choice)
{
    QFileDialog dlg(QApplication::activeWindow(), title);
    QComboBox* choices = nullptr;
    if (choice && !choice->choices.isEmpty()) {
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout())) {
            auto* label = new QLabel(choice->label, &dlg);
            choices = new QComboBox(&dlg);
            choices->setObjectName(QStringLiteral("cboFileChoice"));
            choices->addItems(choice->choices);
            choices->setCurrentIndex(std::clamp(choice->chosen, 0, int(choice->choices.size()) - 1));
            label->setBuddy(choices);
            const int row = grid->rowCount();
            grid->addWidget(label, row, 0);
            grid->addWidget(choices, row, 1);
        }
    }
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters(types);
    if (!types.isEmpty()) {
        dlg.selectNameFilter(types.first());
        dlg.setDefaultSuffix(extensionOf(types.first()));
    }
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& type) {
        dlg.setDefaultSuffix(extensionOf(type));
        // The suggested name follows the chosen type, as long as it has one.
        const QStringList chosen = dlg.selectedFiles();
        const QString ext = extensionOf(type);
        if (!chosen.isEmpty() && !ext.isEmpty()) {
            const QFileInfo file(chosen.first());
            if (!file.suffix().isEmpty() && !file.isDir())
                dlg.selectFile(file.completeBaseName() + QLatin1Char('.') + ext);
        }
    });
    // The folder opens in the list; the name alone stands in the name box.
    const QFileInfo suggested(suggestedPath);
    if (suggested.absoluteDir().exists())
        dlg.setDirectory(suggested.absolutePath());
    dlg.selectFile(suggested.fileName());
    dlg.setLabelText(QFileDialog::Accept, QStringLiteral("保存(&S)"));
    dlg.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    if (choice)
        choice->chosen = choices ? choices->currentIndex() : 0;
    return dlg.selectedFiles().first();
}

void DesktopPrompter::beep()
{
    QApplication::beep();
}

} // namespace ravo
