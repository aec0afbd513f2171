#include "ScriptedPrompter.h"

namespace ravo::test {

Prompter::Answer ScriptedPrompter::message(const QString& text, const QString& title, Icon icon, Buttons buttons)
{
    Message m{text, title, icon, buttons,
              buttons == Buttons::YesNo                  ? Answer::Yes
                  : buttons == Buttons::ReloadKeepCancel ? Answer::Cancel
                                                         : Answer::Ok};
    if (!answers.isEmpty())
        m.answer = answers.dequeue();
    if (onMessage)
        onMessage(m);
    messages.append(m);
    return m.answer;
}

std::optional<QString> ScriptedPrompter::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    Input in{prompt, title, defaultText, std::nullopt};
    if (!inputs.isEmpty())
        in.answer = inputs.dequeue();
    inputsShown.append(in);
    return in.answer;
}

std::optional<QString> ScriptedPrompter::saveFileName(const QString& title, const QString& suggestedPath,
                                                      const QStringList& types)
{
    FileQuestion q{title, suggestedPath, types, std::nullopt, {}};
    if (!fileNames.isEmpty())
        q.answer = fileNames.dequeue();
    fileQuestions.append(q);
    return q.answer;
}

std::optional<QString> ScriptedPrompter::saveFileNameWithChoice(const QString& title, const QString& suggestedPath,
                                                                const QStringList& types, FileChoice* choice)
{
    FileQuestion q{title, suggestedPath, types, std::nullopt, choice ? *choice : FileChoice()};
    if (!fileNames.isEmpty())
        q.answer = fileNames.dequeue();
    if (choice && !fileChoices.isEmpty())
        choice->chosen = fileChoices.dequeue();
    if (choice)
        q.choice.chosen = choice->chosen;
    fileQuestions.append(q);
    return q.answer;
}

void ScriptedPrompter::clear()
{
    answers.clear();
    inputs.clear();
    fileChoices.clear();
    messages.clear();
    inputsShown.clear();
    fileNames.clear();
    fileQuestions.clear();
    beeps = 0;
}

} // namespace ravo::test
