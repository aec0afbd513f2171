#include "Prompter.h"

namespace ravo {

std::optional<QString> Prompter::saveFileName(const QString&, const QString&, const QStringList&)
{
    return std::nullopt;
}

std::optional<QString> Prompter::saveFileNameWithChoice(const QString& title, const QString& suggestedPath,
                                                        const QStringList& types, FileChoice* choice)
{
    if (choice)
        choice->chosen = 0;
    return saveFileName(title, suggestedPath, types);
}

void Prompter::error(const QString& text, const QString& title)
{
    message(text, title, Icon::Critical, Buttons::Ok);
}

void Prompter::plain(const QString& text, const QString& title)
{
    message(text, title, Icon::None, Buttons::Ok);
}

bool Prompter::confirm(const QString& text, const QString& title)
{
    return message(text, title, Icon::Question, Buttons::OkCancel) == Answer::Ok;
}

} // namespace ravo
