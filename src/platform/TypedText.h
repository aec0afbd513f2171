#pragma once
// The text of a multi-line box as the user typed it. QPlainTextEdit's
// toPlainText() turns each no-break space into a plain one, which changes a
// value that holds one (text pasted from a word processor often does); here
// only the box's own line breaks become '\n'.
#include <QPlainTextEdit>
#include <QTextDocument>

namespace ravo {

inline QString typedText(const QPlainTextEdit* box)
{
    QString text = box->document()->toRawText();
    for (QChar& c : text) {
        switch (c.unicode()) {
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xfdd0: // the beginning and end of a frame
        case 0xfdd1:
            c = QLatin1Char('\n');
            break;
        default:
            break;
        }
    }
    return text;
}

} // namespace ravo
