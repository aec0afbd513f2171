#include "HistoryCard.h"

#include "RecordPrints.h"
#include "core/Ledger.h"
#include "core/ProgramState.h"
#include "core/Prompter.h"

#include <QColor>
#include <functional>

namespace ravo {

namespace {

// Sizes in twips (20 a point).
constexpr double Pt = 20.0;
constexpr double Mm = 1440.0 / 25.4;
constexpr double TitlePoints = 18;
constexpr double InfoPoints = 9;
constexpr double HeadingPoints = 11;
constexpr double BodyPoints = 9;
constexpr double LineFactor = 1.4;
constexpr double PadX = 1.2 * Mm;
constexpr double PadY = 0.8 * Mm;
constexpr double RulePen = 0.3;
const QColor Shade(0xEE, 0xEE, 0xEE);

// Columns printed across the whole width of the identity table.
bool spansRow(const QString& column)
{
    return column == QStringLiteral("备注") || column == QStringLiteral("配套设备")
        || column == QStringLiteral("报废原因");
}

void setFont(LinePrinter& p, double points, bool bold = false)
{
    p.setFontSize(points);
    p.setFontBold(bold);
}

// One horizontal piece of a card: its height and how it is drawn at a
// given top.
struct Band {
    double height = 0;
    std::function<void(LinePrinter&, double)> draw;
    bool heading = false; // kept on the page of the band after it
    int table = -1;       // the record table a row belongs to; -1 for none
};

struct TableShape {
    QString heading;
    QStringList columns;
    QVector<double> edges; // column edges across the width
};

class CardLayout {
public:
    CardLayout(LinePrinter& p, const InstrumentStory& s, const QDate& printDate)
        : m_p(p), m_story(s), m_width(p.scaleWidth()), m_lh(BodyPoints * LineFactor * Pt)
    {
        title(printDate);
        heading(QStringLiteral("一、器具信息"));
        identity();
        records(QStringLiteral("二、履历事件（共 %1 条）").arg(s.events.size()), storyEventColumns(), {20, 10, 12, 58},
                s.events);
        records(QStringLiteral("三、检定/校准确认记录（共 %1 条）").arg(s.confirmations.size()),
                storyConfirmationColumns(), {14, 18, 16, 12, 14, 26}, s.confirmations);
        records(QStringLiteral("四、修理记录（共 %1 条）").arg(s.repairs.size()), storyRepairColumns(),
                {14, 13, 13, 13, 47}, s.repairs);
        records(QStringLiteral("五、附件（共 %1 个）").arg(s.attachments.size()), storyAttachmentColumns(),
                {34, 22, 10, 20, 14}, s.attachments);
    }

    // Bands to pages: a band that does not fit goes to the next page; a
    // heading never stays alone at the foot of a page; a record table
    // continued on a new page gets its heading and column heads again.
    QVector<QVector<std::pair<int, double>>> paginate(double room) const
    {
        QVector<QVector<std::pair<int, double>>> pages(1);
        double y = 0;
        for (int i = 0; i < m_bands.size(); ++i) {
            const Band& b = m_bands[i];
            double needed = b.height;
            if (b.heading && i + 1 < m_bands.size())
                needed += m_bands[i + 1].height;
            if (y > 0 && y + needed > room) {
                pages.append(QVector<std::pair<int, double>>());
                y = 0;
                if (b.table >= 0 && !b.heading) {
                    for (int r : m_tableHeads[b.table]) {
                        pages.last().append({r, y});
                        y += m_bands[r].height;
                    }
                }
            }
            pages.last().append({i, y});
            y += b.height;
        }
        return pages;
    }

    const QVector<Band>& bands() const { return m_bands; }

private:
    void title(const QDate& printDate)
    {
        const double titleHeight = TitlePoints * 2 * Pt;
        const double info = InfoPoints * 2.4 * Pt;
        const QString left = QStringLiteral("计量器具编号：%1　　所在台帐：%2").arg(m_story.number, m_story.ledger);
        m_bands.append({titleHeight + info, [=, this](LinePrinter& p, double y) {
                            setFont(p, TitlePoints, true);
                            p.printInBox(0, y, m_width, titleHeight, HistoryCardTitle, Qt::AlignHCenter);
                            setFont(p, InfoPoints);
                            p.printInBox(0, y + titleHeight, m_width * 0.7, info, left);
                            p.printInBox(m_width * 0.7, y + titleHeight, m_width * 0.3, info, printDateText(printDate),
                                         Qt::AlignRight);
                        }});
    }

    int heading(const QString& text, int table = -1)
    {
        const double h = HeadingPoints * 2.2 * Pt;
        m_bands.append({h,
                        [=, this](LinePrinter& p, double y) {
                            setFont(p, HeadingPoints, true);
                            p.printInBox(0, y + HeadingPoints * 0.4 * Pt, m_width, HeadingPoints * 1.8 * Pt, text);
                        },
                        true, table});
        return int(m_bands.size()) - 1;
    }

    // A row of cells between edges, wrapped; shaded cells are labels.
    void cellsRow(const QVector<double>& edges, const QStringList& texts, const QVector<bool>& shaded, bool bold,
                  int table, bool heading = false)
    {
        setFont(m_p, BodyPoints, bold);
        QVector<QStringList> wrapped;
        qsizetype lines = 1;
        for (int c = 0; c < texts.size(); ++c) {
            wrapped << wrapText(m_p, texts[c], edges[c + 1] - edges[c] - 2 * PadX);
            lines = std::max(lines, wrapped.last().size());
        }
        // A cell taller than a page is cut short: the page holds what fits.
        const qsizetype most = std::max<qsizetype>(1, qsizetype((m_p.scaleHeight() * 0.7) / m_lh));
        lines = std::min(lines, most);
        const double h = lines * m_lh + 2 * PadY;
        const double lh = m_lh;
        m_bands.append({h,
                        [=](LinePrinter& p, double y) {
                            for (int c = 0; c < wrapped.size(); ++c)
                                if (shaded.value(c))
                                    p.fillRect(edges[c], y, edges[c + 1] - edges[c], h, Shade);
                            setFont(p, BodyPoints, bold);
                            for (int c = 0; c < wrapped.size(); ++c)
                                for (qsizetype l = 0; l < std::min(lines, wrapped[c].size()); ++l)
                                    p.printInBox(edges[c] + PadX, y + PadY + l * lh, edges[c + 1] - edges[c] - 2 * PadX,
                                                 lh, wrapped[c][l], heading ? Qt::AlignHCenter : Qt::AlignLeft);
                            for (double x : edges)
                                p.drawLine(x, y, x, y + h, RulePen);
                            p.drawLine(edges.first(), y, edges.last(), y, RulePen);
                            p.drawLine(edges.first(), y + h, edges.last(), y + h, RulePen);
                        },
                        false, table});
    }

    void identity()
    {
        const double label = m_width * 0.15;
        const double half = m_width / 2;
        const QVector<double> pair{0, label, half, half + label, m_width};
        const QVector<double> across{0, label, m_width};
        QVector<std::pair<QString, QString>> pending;
        auto flush = [&] {
            if (pending.isEmpty())
                return;
            QStringList texts;
            for (const auto& f : pending)
                texts << f.first << f.second;
            if (pending.size() == 1)
                texts << QString() << QString();
            cellsRow(pair, texts, {true, false, true, false}, false, -1);
            pending.clear();
        };
        for (const auto& f : m_story.fields) {
            if (spansRow(f.first)) {
                flush();
                cellsRow(across, {f.first, f.second}, {true, false}, false, -1);
                continue;
            }
            pending.append(f);
            if (pending.size() == 2)
                flush();
        }
        flush();
    }

    void records(const QString& title, const QStringList& columns, const QVector<int>& weights,
                 const QVector<QStringList>& rows)
    {
        const int table = int(m_tableHeads.size());
        QVector<double> edges{0};
        int total = 0;
        for (int w : weights)
            total += w;
        for (int w : weights)
            edges << edges.last() + m_width * w / total;
        edges.last() = m_width;
        const int head = heading(title, table);
        cellsRow(edges, columns, QVector<bool>(columns.size(), true), true, table, true);
        m_tableHeads.append({head, int(m_bands.size()) - 1});
        if (rows.isEmpty()) {
            cellsRow({0, m_width}, {QStringLiteral("（无）")}, {false}, false, table);
            return;
        }
        for (const QStringList& r : rows)
            cellsRow(edges, r, QVector<bool>(columns.size(), false), false, table);
    }

    LinePrinter& m_p;
    const InstrumentStory& m_story;
    double m_width;
    double m_lh;
    QVector<Band> m_bands;
    QVector<QVector<int>> m_tableHeads; // per table: its heading band and column-head band
};

} // namespace

PrintResult layoutHistoryCards(LinePrinter& p, const QVector<InstrumentStory>& cards, const QDate& printDate,
                               const PrintProgress& progress)
{
    if (cards.isEmpty())
        return {PrintOutcome::Empty, {}};
    p.setScaleMode(LinePrinter::ScaleMode::Twips);
    p.setFontName(SongTi);
    const double room = p.scaleHeight() - p.footerHeight() - 2 * Mm;
    bool first = true;
    for (int c = 0; c < cards.size(); ++c) {
        const CardLayout card(p, cards[c], printDate);
        const auto pages = card.paginate(room);
        for (int n = 0; n < pages.size(); ++n) {
            if (!first)
                p.newPage();
            first = false;
            for (const auto& [band, y] : pages[n])
                card.bands()[band].draw(p, y);
            p.printPageFooter(n + 1, int(pages.size()));
            const double footer = p.footerHeight();
            p.printInBox(0, p.scaleHeight() - footer, p.scaleWidth(), footer,
                         QStringLiteral("计量器具编号：") + cards[c].number);
        }
        if (progress && !progress(PrintStage::Layout, c + 1, int(cards.size()))) {
            p.killDoc();
            return {PrintOutcome::Cancelled, {}};
        }
    }
    return {};
}

PrintRequest historyCardRequest(const QVector<InstrumentStory>& cards, const QDate& printDate)
{
    PrintRequest request;
    request.documentName =
        cards.size() == 1 ? HistoryCardTitle + QStringLiteral("-") + cards.first().number : HistoryCardTitle;
    request.landscapeOnly = false;
    request.marginsMm = QMarginsF(15, 12, 15, 10);
    request.layout = [cards, printDate](LinePrinter& p, const PrintProgress& progress) {
        return layoutHistoryCards(p, cards, printDate, progress);
    };
    return request;
}

void printHistoryCards(QWidget* parent, Prompter& prompt, Database& db, const QStringList& numbers)
{
    QVector<InstrumentStory> cards;
    QStringList missing;
    for (const QString& n : numbers) {
        if (std::optional<InstrumentStory> s = readInstrumentStory(db, n))
            cards << *s;
        else
            missing << n;
    }
    if (cards.isEmpty()) {
        prompt.plain(QStringLiteral("在用、封存和报废台帐中都没有这台器具，请先“确定”保存后再打印履历卡。"), AppTitle);
        return;
    }
    if (!missing.isEmpty()
        && !prompt.confirm(QStringLiteral("有 %1 个编号不在在用、封存或报废台帐中（%2%3），不打印它们的履历卡。\n"
                                          "打印其余 %4 台器具的履历卡吗？")
                               .arg(missing.size())
                               .arg(QStringList(missing.mid(0, 5)).join(QStringLiteral("、")),
                                    missing.size() > 5 ? QStringLiteral("……") : QString())
                               .arg(cards.size()),
                           AppTitle))
        return;
    printWithPreview(parent, prompt, historyCardRequest(cards, QDate::currentDate()));
}

} // namespace ravo
