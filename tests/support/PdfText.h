#pragma once
// Reading a printout back: a PDF printer set up as the program sets up its
// printers, and the pages of the PDF as text (pdftotext) or as words with
// their positions. Noto's CJK fonts share the glyphs of some characters with
// look-alike radicals, and pdftotext then reads the radical: the text is
// NFKC-normalised (Kangxi radicals) and the full-form radicals of the
// supplement block are mapped back, so that it reads as printed.
#include "platform/LinePrinter.h"

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>
#include <memory>

namespace ravo::test {

inline std::unique_ptr<QPrinter> pdfPrinter(const QString& path, bool landscape = true,
                                            const QMarginsF& marginsMm = QMarginsF(10, 7, 10, 7))
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    preparePrinter(*printer, landscape, marginsMm);
    return printer;
}

// Full-form radicals of the CJK Radicals Supplement and the characters they
// look like (NFKC leaves these alone).
inline QString unifyRadicals(QString text)
{
    static const char16_t pairs[][2] = {
        {u'⺠', u'民'}, {u'⺟', u'母'}, {u'⻄', u'西'}, {u'⻅', u'见'}, {u'⻆', u'角'}, {u'⻉', u'贝'},
        {u'⻋', u'车'}, {u'⻓', u'长'}, {u'⻔', u'门'}, {u'⻘', u'青'}, {u'⻚', u'页'}, {u'⻛', u'风'},
        {u'⻜', u'飞'}, {u'⻝', u'食'}, {u'⻢', u'马'}, {u'⻣', u'骨'}, {u'⻥', u'鱼'}, {u'⻦', u'鸟'},
        {u'⻩', u'黄'}, {u'⻬', u'齐'}, {u'⻮', u'齿'}, {u'⻰', u'龙'}, {u'⻳', u'龟'}, {u'⻨', u'麦'},
        {u'⻤', u'鬼'}, {u'⻧', u'卤'}, {u'⻪', u'黾'}, {u'⻭', u'齿'}, {u'⻯', u'龙'}, {u'⻲', u'龟'},
    };
    for (QChar& c : text)
        for (const auto& p : pairs)
            if (c.unicode() == p[0])
                c = QChar(p[1]);
    return text;
}

inline QString runPdfToText(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return unifyRadicals(QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC));
}

// The text of each page, laid out as on paper.
inline QStringList pdfPages(const QString& path)
{
    QStringList pages = runPdfToText({QStringLiteral("-layout"), path, QStringLiteral("-")}).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The lines of a page that hold text.
inline QStringList textLines(const QString& page)
{
    QStringList out;
    for (const QString& line : page.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            out << line;
    return out;
}

struct PdfWord {
    int page = 0;                                  // 0-based
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0; // points from the page's top-left
    QString text;
};

// Every word with its box.
inline QVector<PdfWord> pdfWords(const QString& path)
{
    const QString html = runPdfToText({QStringLiteral("-bbox"), path, QStringLiteral("-")});
    static const QRegularExpression token(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QVector<PdfWord> words;
    int page = -1;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        words.append({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                      m.captured(4).toDouble(), m.captured(5)});
    }
    return words;
}

inline const PdfWord* findWord(const QVector<PdfWord>& words, const QString& text, int page = -1)
{
    for (const PdfWord& w : words)
        if (w.text == text && (page < 0 || w.page == page))
            return &w;
    return nullptr;
}

} // namespace ravo::test
