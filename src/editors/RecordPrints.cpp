#include "RecordPrints.h"

#include <QHash>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace ravo {

namespace recordprints {

QString countText(int rows)
{
    return QStringLiteral("共 %1 条记录").arg(rows);
}

} // namespace recordprints

using namespace recordprints;

namespace {

// Sizes in twips (20 a point).
constexpr double Pt = 20.0;
constexpr double Mm = 1440.0 / 25.4;

constexpr double FramePen = 0.8;
constexpr double RulePen = 0.3;
const QColor Shade(0xEE, 0xEE, 0xEE);

QString chopBlanks(QString s)
{
    while (!s.isEmpty() && s.back().isSpace())
        s.chop(1);
    return s;
}

// Lines of one cell: the label or value boxes of the sheet, the cells of a table.
void drawFrame(LinePrinter& p, double x, double y, double w, double h, double pen = FramePen)
{
    p.drawLine(x, y, x + w, y, pen);
    p.drawLine(x, y + h, x + w, y + h, pen);
    p.drawLine(x, y, x, y + h, pen);
    p.drawLine(x + w, y, x + w, y + h, pen);
}

void setFont(LinePrinter& p, double points, bool bold = false)
{
    p.setFontSize(points);
    p.setFontBold(bold);
}

// Prints lines from the top of a box, one under the other.
void printLines(LinePrinter& p, double x, double y, double width, double lineHeight, const QStringList& lines,
                qsizetype first = 0, qsizetype count = -1, Qt::Alignment alignment = Qt::AlignLeft)
{
    const qsizetype end = count < 0 ? lines.size() : std::min(lines.size(), first + count);
    for (qsizetype i = first; i < end; ++i)
        p.printInBox(x, y + (i - first) * lineHeight, width, lineHeight, lines.at(i), alignment);
}

} // namespace

QStringList wrapText(const LinePrinter& printer, const QString& text, double width)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    plain.replace(QLatin1Char('\t'), QStringLiteral("    "));
    auto tooWide = [&](const QString& line) { return printer.textWidth(chopBlanks(line)) > width; };
    // Widths of the pieces, with and without their trailing blanks; a line is
    // as wide as its pieces together.
    QHash<QString, QPair<double, double>> widths;
    auto widthOf = [&](const QString& piece) {
        auto it = widths.find(piece);
        if (it == widths.end())
            it = widths.insert(piece, {printer.textWidth(piece), printer.textWidth(chopBlanks(piece))});
        return *it;
    };

    QStringList out;
    for (const QString& paragraph : plain.split(QLatin1Char('\n'))) {
        // Pieces between the places where the Unicode rules let a line break
        // (no line starts with a closing mark, words stay whole).
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
        QString line;
        double lineWidth = 0;
        qsizetype start = 0;
        for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) {
            const QString piece = paragraph.mid(start, at - start);
            start = at;
            const auto [full, inked] = widthOf(piece);
            if (!line.isEmpty() && lineWidth + inked > width) {
                out << chopBlanks(line);
                line.clear();
                lineWidth = 0;
            }
            line += piece;
            lineWidth += full;
            // A piece wider than a line on its own is cut where it has to be.
            double inkedLine = lineWidth - full + inked;
            while (line.size() > 1 && inkedLine > width) {
                qsizetype lo = 1, hi = line.size() - 1;
                while (lo < hi) {
                    const qsizetype mid = (lo + hi + 1) / 2;
                    if (tooWide(line.left(mid)))
                        hi = mid - 1;
                    else
                        lo = mid;
                }
                if (lo > 1 && line.at(lo - 1).isHighSurrogate())
                    --lo;
                out << line.left(lo);
                line = line.mid(lo);
                lineWidth = printer.textWidth(line);
                inkedLine = printer.textWidth(chopBlanks(line));
            }
        }
        out << chopBlanks(line);
    }
    return out;
}

// ------------------------------------------------------------ confirmation sheet

int printClassOf(const QString& reportType)
{
    static const QHash<QString, int> kinds{
        {QStringLiteral("检定证书(小)"), 1},       {QStringLiteral("检定证书(大)"), 2},
        {QStringLiteral("检定证书(正副本)"), 2},   {QStringLiteral("检定结果通知书(小)"), 3},
        {QStringLiteral("检定结果通知书(大)"), 4}, {QStringLiteral("检定结果通知书(正副本)"), 4},
        {QStringLiteral("测试报告(大)"), 5},       {QStringLiteral("测试结果通知书(正副本)"), 5},
    };
    return kinds.value(reportType.trimmed(), 0);
}

namespace {

namespace sheet {
constexpr double OrganisationPoints = 14;
constexpr double HeadingPoints = 22;
constexpr double BodyPoints = 10.5;
constexpr double SmallestDataPoints = 7;
constexpr double LineFactor = 1.45; // line height over font size
constexpr double PadX = 1.8 * Mm;
constexpr double PadY = 1.2 * Mm;
constexpr double LabelShare = 0.18; // of the table's width, per label column

double lineHeight(double points)
{
    return points * LineFactor * Pt;
}
} // namespace sheet

} // namespace

PrintResult layoutConfirmationSheet(LinePrinter& p, const ConfirmationSheet& s)
{
    using namespace sheet;
    p.setScaleMode(LinePrinter::ScaleMode::Twips);
    p.setFontName(SongTi);
    const double x0 = s.offsetMm.x() * Mm;
    const double width = p.scaleWidth();
    // The data box ends at the foot of the page, raised with the sheet but
    // never lowered past the paper's printable area.
    const double bottom = p.scaleHeight() + std::min(0.0, s.offsetMm.y() * Mm);
    double y = s.offsetMm.y() * Mm;

    const QString organisation = s.organisation.trimmed();
    if (!organisation.isEmpty()) {
        setFont(p, OrganisationPoints);
        p.printInBox(x0, y, width, OrganisationPoints * 2 * Pt, organisation, Qt::AlignHCenter);
        y += OrganisationPoints * 2 * Pt;
    }
    setFont(p, HeadingPoints, true);
    const QString heading = s.heading.trimmed().isEmpty() ? SheetFallbackHeading : s.heading.trimmed();
    p.printInBox(x0, y, width, HeadingPoints * 2 * Pt, heading, Qt::AlignHCenter);
    y += HeadingPoints * 2 * Pt;

    setFont(p, BodyPoints);
    const double lh = lineHeight(BodyPoints);
    p.printInBox(x0, y, width, lh * 1.4, s.reportNumber.label + QStringLiteral("：") + s.reportNumber.value,
                 Qt::AlignRight);
    y += lh * 1.6;

    // The fields: label and value boxes, two pairs to a row or one across.
    const double labelWidth = width * LabelShare;
    const double pairWidth = width / 2;
    for (const QVector<SheetField>& row : s.rows) {
        if (row.isEmpty())
            continue;
        const double valueWidth = (row.size() == 1 ? width : pairWidth) - labelWidth;
        QVector<QStringList> values;
        qsizetype lines = 1;
        for (const SheetField& f : row) {
            values << wrapText(p, f.value, valueWidth - 2 * PadX);
            lines = std::max(lines, values.last().size());
        }
        const double h = lines * lh + 2 * PadY;
        for (int i = 0; i < row.size(); ++i) {
            const double x = x0 + i * pairWidth;
            p.fillRect(x, y, labelWidth, h, Shade);
            drawFrame(p, x, y, labelWidth, h, RulePen);
            drawFrame(p, x + labelWidth, y, valueWidth, h, RulePen);
            p.printInBox(x + PadX, y, labelWidth - 2 * PadX, h, row[i].label, Qt::AlignHCenter);
            printLines(p, x + labelWidth + PadX, y + PadY, valueWidth - 2 * PadX, lh, values[i]);
        }
        y += h;
    }

    // The measured data in a box down to the foot of the page, set smaller
    // when it would not fit.
    const double dataLabelHeight = lh + 2 * PadY;
    p.fillRect(x0, y, width, dataLabelHeight, Shade);
    drawFrame(p, x0, y, width, dataLabelHeight, RulePen);
    p.printInBox(x0 + PadX, y, width - 2 * PadX, dataLabelHeight, s.data.label);
    y += dataLabelHeight;
    const double textWidth = width - 2 * PadX;
    double points = BodyPoints;
    QStringList lines;
    for (;;) {
        setFont(p, points);
        lines = wrapText(p, s.data.value.trimmed().isEmpty() ? QString() : s.data.value, textWidth);
        if (lines.size() * lineHeight(points) + 2 * PadY <= bottom - y || points <= SmallestDataPoints)
            break;
        points = std::max(SmallestDataPoints, points - 0.5);
    }
    const double dlh = lineHeight(points);
    drawFrame(p, x0, y, width, std::max(bottom - y, dataLabelHeight));
    qsizetype done = 0;
    double top = y + PadY;
    double room = bottom - top - PadY;
    while (done < lines.size()) {
        const qsizetype fit = std::max<qsizetype>(1, qsizetype(std::floor(room / dlh)));
        printLines(p, x0 + PadX, top, textWidth, dlh, lines, done, fit);
        done += fit;
        if (done >= lines.size())
            break;
        // What does not fit goes on over the next page.
        p.newPage();
        top = s.offsetMm.y() * Mm;
        setFont(p, BodyPoints);
        p.printInBox(x0, top, width, lh * 1.4, s.data.label + QStringLiteral("（续）"));
        top += lh * 1.6;
        setFont(p, points);
        room = bottom - top;
    }
    return {};
}

PrintRequest confirmationSheetRequest(const ConfirmationSheet& sheet)
{
    PrintRequest request;
    request.documentName = (sheet.heading.trimmed().isEmpty() ? SheetFallbackHeading : sheet.heading.trimmed())
        + (sheet.reportNumber.value.trimmed().isEmpty() ? QString()
                                                        : QLatin1Char(' ') + sheet.reportNumber.value.trimmed());
    request.landscapeOnly = false;
    request.marginsMm = QMarginsF(15, 15, 15, 15);
    request.layout = [sheet](LinePrinter& printer, const PrintProgress&) {
        return layoutConfirmationSheet(printer, sheet);
    };
    return request;
}

// ------------------------------------------------------------ record table

namespace {

namespace table {
constexpr double OrganisationPoints = 12;
constexpr double TitlePoints = 18;
constexpr double InfoPoints = 9;
constexpr double BodyPoints = 9.5;
constexpr double LineFactor = 1.4;
constexpr double PadX = 1.2 * Mm;
constexpr double PadY = 0.9 * Mm;
constexpr double HeaderHeight = BodyPoints * 2.2 * Pt;
} // namespace table

// A row, or the part of a row, that stands on one page.
struct Slice {
    int row;
    qsizetype first;
    qsizetype count;
};

} // namespace

PrintResult layoutRecordTable(LinePrinter& p, const RecordTable& t, const PrintProgress& progress)
{
    using namespace table;
    if (t.rows.isEmpty() || t.columns.isEmpty())
        return {PrintOutcome::Empty, {}};
    p.setScaleMode(LinePrinter::ScaleMode::Twips);
    p.setFontName(SongTi);
    const double width = p.scaleWidth();
    const double height = p.scaleHeight();

    QVector<double> edges{0};
    int weights = 0;
    for (const TableColumn& c : t.columns)
        weights += c.weight;
    for (const TableColumn& c : t.columns)
        edges << edges.last() + width * c.weight / std::max(1, weights);
    edges.last() = width;

    const bool hasOrganisation = !t.organisation.trimmed().isEmpty();
    const double tableTop =
        (hasOrganisation ? OrganisationPoints * 1.8 * Pt : 0) + TitlePoints * 1.8 * Pt + InfoPoints * 2.2 * Pt;
    const double bodyTop = tableTop + HeaderHeight;
    const double room = height - p.footerHeight() - bodyTop;
    const double lh = BodyPoints * LineFactor * Pt;

    // Every cell wrapped to its column.
    setFont(p, BodyPoints);
    QVector<QVector<QStringList>> cells;
    QVector<qsizetype> rowLines;
    for (const QStringList& row : t.rows) {
        QVector<QStringList> wrapped;
        qsizetype lines = 1;
        for (int c = 0; c < t.columns.size(); ++c) {
            wrapped << wrapText(p, row.value(c), edges[c + 1] - edges[c] - 2 * PadX);
            lines = std::max(lines, wrapped.last().size());
        }
        cells << wrapped;
        rowLines << lines;
    }

    // Rows to pages: a row that fits on a page is not split; one taller than
    // a page fills the pages it needs.
    const qsizetype pageLines = std::max<qsizetype>(1, qsizetype(std::floor((room - 2 * PadY) / lh)));
    QVector<QVector<Slice>> pages(1);
    double used = 0;
    for (int r = 0; r < t.rows.size(); ++r) {
        qsizetype first = 0;
        while (first < rowLines[r]) {
            const qsizetype left = rowLines[r] - first;
            if (left * lh + 2 * PadY <= room - used + 0.5) {
                pages.last().append({r, first, left});
                used += left * lh + 2 * PadY;
                break;
            }
            const qsizetype fit = qsizetype(std::floor((room - used - 2 * PadY) / lh));
            if (left > pageLines && fit >= 1) {
                pages.last().append({r, first, fit});
                first += fit;
            }
            pages.append(QVector<Slice>());
            used = 0;
        }
    }
    if (pages.last().isEmpty())
        pages.removeLast();

    for (int n = 0; n < pages.size(); ++n) {
        if (n > 0)
            p.newPage();
        double y = 0;
        if (hasOrganisation) {
            setFont(p, OrganisationPoints);
            p.printInBox(0, y, width, OrganisationPoints * 1.8 * Pt, t.organisation.trimmed(), Qt::AlignHCenter);
            y += OrganisationPoints * 1.8 * Pt;
        }
        setFont(p, TitlePoints, true);
        p.printInBox(0, y, width, TitlePoints * 1.8 * Pt, t.title, Qt::AlignHCenter);
        y += TitlePoints * 1.8 * Pt;
        setFont(p, InfoPoints);
        p.printInBox(0, y, width / 2, InfoPoints * 2.2 * Pt, t.subtitle);
        p.printInBox(width / 2, y, width / 2, InfoPoints * 2.2 * Pt,
                     printDateText(t.printDate) + QStringLiteral("    ") + countText(int(t.rows.size())),
                     Qt::AlignRight);

        p.fillRect(0, tableTop, width, HeaderHeight, Shade);
        setFont(p, BodyPoints, true);
        for (int c = 0; c < t.columns.size(); ++c)
            p.printInBox(edges[c] + PadX, tableTop, edges[c + 1] - edges[c] - 2 * PadX, HeaderHeight,
                         t.columns[c].heading, Qt::AlignHCenter);

        setFont(p, BodyPoints);
        y = bodyTop;
        for (const Slice& s : std::as_const(pages[n])) {
            for (int c = 0; c < t.columns.size(); ++c)
                printLines(p, edges[c] + PadX, y + PadY, edges[c + 1] - edges[c] - 2 * PadX, lh, cells[s.row][c],
                           s.first, s.count);
            y += s.count * lh + 2 * PadY;
            p.drawLine(0, y, width, y, RulePen);
        }
        for (int c = 1; c < edges.size() - 1; ++c)
            p.drawLine(edges[c], tableTop, edges[c], y, RulePen);
        p.drawLine(0, bodyTop, width, bodyTop, FramePen);
        drawFrame(p, 0, tableTop, width, y - tableTop);

        p.printPageFooter(n + 1, int(pages.size()));
        if (progress && !progress(PrintStage::Layout, n + 1, int(pages.size()))) {
            p.killDoc();
            return {PrintOutcome::Cancelled, {}};
        }
    }
    return {};
}

PrintRequest recordTableRequest(const RecordTable& table)
{
    PrintRequest request;
    request.documentName = table.title;
    request.landscapeOnly = true;
    request.layout = [table](LinePrinter& printer, const PrintProgress& progress) {
        return layoutRecordTable(printer, table, progress);
    };
    return request;
}

} // namespace ravo
