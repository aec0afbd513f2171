#pragma once
// The standard dialogs as the windows use them: a message box, an input box,
// the file-name question and the beep. Windows never open message boxes
// themselves; the program hands them the desktop prompter and tests hand in a
// scripted one.
#include <QString>
#include <QStringList>
#include <optional>

namespace ravo {

class Prompter {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    // ReloadKeepCancel: 重新读取 (Yes), 保留我的修改 (No), 取消 (Cancel) — the
    // question after colleagues changed rows an OK was to write.
    enum class Buttons { Ok, OkCancel, YesNo, ReloadKeepCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;
    virtual Answer message(const QString& text, const QString& title, Icon icon = Icon::None,
                           Buttons buttons = Buttons::Ok) = 0;
    // The typed text, or nothing when the user cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& defaultText = {}) = 0;
    // A password, typed without being shown; nothing when the user
    // cancelled. A prompter that cannot hide the typing asks as input() does.
    virtual std::optional<QString> password(const QString& prompt, const QString& title)
    {
        return input(prompt, title, {});
    }
    virtual void beep() = 0;
    // The file to save to, or nothing when the user cancelled. `types` are
    // the file types offered ("Excel 工作簿 (*.xlsx)"), the first one chosen
    // at first; a name typed without an extension gets the chosen type's.
    // A prompter that cannot ask answers as if cancelled.
    virtual std::optional<QString> saveFileName(const QString& title, const QString& suggestedPath,
                                                const QStringList& types);

    // A choice offered in the file question beside the file name: a label
    // and the choices; `chosen` is the one chosen at first, and afterwards
    // the user's.
    struct FileChoice {
        QString label;
        QStringList choices;
        int chosen = 0;
    };
    // As saveFileName(), with `choice` shown in the same dialog. A prompter
    // that cannot show it asks the plain question and leaves the first choice.
    virtual std::optional<QString> saveFileNameWithChoice(const QString& title, const QString& suggestedPath,
                                                          const QStringList& types, FileChoice* choice);

    // Shorthands for the program's usual boxes.
    void error(const QString& text, const QString& title);
    void plain(const QString& text, const QString& title);
    bool confirm(const QString& text, const QString& title);
};

} // namespace ravo
