#pragma once
// A prompter for tests: it shows nothing, records every message box the
// program asked for and answers from queues the test fills beforehand.
//
//   ScriptedPrompter prompt;
//   prompt.answers << Prompter::Answer::Cancel;   // the next question is cancelled
//   prompt.inputs << QString("张三") << std::nullopt;
//   prompt.fileNames << dir.filePath("台帐.xlsx");  // the next file question
//   prompt.fileChoices << 1;                       // … and its second choice
//   ... run the window ...
//   QCOMPARE(prompt.messages.size(), 1);
//   QCOMPARE(prompt.messages[0].text, QString("…"));
//
// An empty answer queue answers with the box's first button (Ok, or Yes for a
// yes/no box); an empty input or file-name queue cancels the question.
#include "core/Prompter.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace ravo::test {

class ScriptedPrompter : public Prompter {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer answer = Answer::Ok; // what the prompter answered
    };
    struct FileQuestion {
        QString title;
        QString suggestedPath;
        QStringList types;
        std::optional<QString> answer;
        FileChoice choice; // as offered, `chosen` as answered; no choices for a plain question
    };
    struct Input {
        QString prompt;
        QString title;
        QString defaultText;
        std::optional<QString> answer;
    };

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override;
    std::optional<QString> saveFileName(const QString& title, const QString& suggestedPath,
                                        const QStringList& types) override;
    std::optional<QString> saveFileNameWithChoice(const QString& title, const QString& suggestedPath,
                                                  const QStringList& types, FileChoice* choice) override;
    void beep() override { ++beeps; }

    // Forgets what was recorded and what was still queued.
    void clear();

    QQueue<Answer> answers;
    QQueue<std::optional<QString>> inputs;
    QQueue<std::optional<QString>> fileNames;
    QQueue<int> fileChoices; // the choice made in the next file question with one; empty: left as offered

    QList<Message> messages;
    QList<Input> inputsShown;
    QList<FileQuestion> fileQuestions;
    int beeps = 0;

    // Called while a message box would be open, before it is answered: a test
    // can look at the windows as the user would see them at that moment.
    std::function<void(const Message&)> onMessage;
};

} // namespace ravo::test
