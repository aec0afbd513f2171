#include "LedgerReport.h"

#include "ResultPrint.h"
#include "core/Ledger.h"
#include "core/ProgramState.h"
#include "platform/PrintProgress.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cmath>

namespace ravo {

namespace ledgerreport {

const QVector<Column>& columns()
{
    static const QVector<Column> list{
        {QStringLiteral("编号"), QStringLiteral("计量器具编号"), 12, Qt::AlignLeft},
        {QStringLiteral("名称"), QStringLiteral("计量器具名称"), 14, Qt::AlignLeft},
        {QStringLiteral("规格型号"), QStringLiteral("规格型号"), 12, Qt::AlignLeft},
        {QStringLiteral("测量范围"), QStringLiteral("测量范围"), 13, Qt::AlignLeft},
        {QStringLiteral("准确度等级"), QStringLiteral("准确度等级"), 9, Qt::AlignHCenter},
        {QStringLiteral("使用部门"), QStringLiteral("使用部门"), 12, Qt::AlignLeft},
        {QStringLiteral("状态"), QStringLiteral("状态"), 8, Qt::AlignHCenter},
        {QStringLiteral("检定日期"), QStringLiteral("检定日期"), 10, Qt::AlignHCenter},
        {QStringLiteral("有效日期"), QStringLiteral("有效日期"), 10, Qt::AlignHCenter},
    };
    return list;
}

QString totalText(qint64 instruments)
{
    return QStringLiteral("在用计量器具共 %1 台").arg(instruments);
}

} // namespace ledgerreport

namespace {

using namespace ledgerreport;

// Sizes in twips (20 a point).
constexpr double Pt = 20.0;
constexpr double Mm = 1440.0 / 25.4;

constexpr double OrganisationPoints = 12;
constexpr double TitlePoints = 18;
constexpr double InfoPoints = 9;
constexpr double BodyPoints = 10;

constexpr double OrganisationHeight = OrganisationPoints * 1.7 * Pt;
constexpr double TitleHeight = TitlePoints * 1.7 * Pt;
constexpr double InfoHeight = InfoPoints * 2.0 * Pt;
constexpr double HeaderRowHeight = BodyPoints * 2.0 * Pt;
constexpr double RowHeight = BodyPoints * 1.6 * Pt;
constexpr double CellPadding = 1.2 * Mm;

constexpr double FramePen = 0.8;
constexpr double RulePen = 0.3;
const QColor HeaderShade(0xE6, 0xE6, 0xE6);

// One page of the report as it is laid out: its heading and column header
// first, the rows as they come, the rules and the page number at its end.
class ReportPages {
public:
    ReportPages(LinePrinter& printer, const LedgerReportHeading& heading, qint64 instruments)
        : m_printer(printer), m_heading(heading), m_instruments(instruments)
    {
        m_printer.setScaleMode(LinePrinter::ScaleMode::Twips);
        m_printer.setFontName(SongTi);
        m_width = m_printer.scaleWidth();
        m_height = m_printer.scaleHeight();
        m_tableTop = (heading.organisation.trimmed().isEmpty() ? 0 : OrganisationHeight) + TitleHeight + InfoHeight;
        const double room = m_height - m_tableTop - HeaderRowHeight - m_printer.footerHeight();
        m_rowsPerPage = std::max(1, int(std::floor(room / RowHeight)));
        m_pages = std::max<qint64>(1, (instruments + m_rowsPerPage - 1) / m_rowsPerPage);
        double x = 0;
        for (const Column& c : columns()) {
            m_edges << x;
            x += m_width * c.weight / 100.0;
        }
        m_edges << m_width;
    }

    int rowsPerPage() const { return m_rowsPerPage; }
    int pages() const { return int(m_pages); }

    void addRow(const QStringList& cells)
    {
        if (m_rowsOnPage == 0)
            beginPage();
        const double top = m_tableTop + HeaderRowHeight + m_rowsOnPage * RowHeight;
        setFont(BodyPoints, false);
        for (int i = 0; i < cells.size() && i < columns().size(); ++i)
            m_printer.printInBox(m_edges[i] + CellPadding, top, m_edges[i + 1] - m_edges[i] - 2 * CellPadding,
                                 RowHeight, cells[i], columns()[i].alignment);
        if (++m_rowsOnPage == m_rowsPerPage)
            endPage();
    }

    // Closes the last page.
    void finish()
    {
        if (m_rowsOnPage > 0)
            endPage();
    }

    int pagesDone() const { return m_pageNumber; }

private:
    void setFont(double points, bool bold)
    {
        m_printer.setFontSize(points);
        m_printer.setFontBold(bold);
    }

    void beginPage()
    {
        if (m_pageNumber > 0)
            m_printer.newPage();
        ++m_pageNumber;
        double y = 0;
        if (!m_heading.organisation.trimmed().isEmpty()) {
            setFont(OrganisationPoints, false);
            m_printer.printInBox(0, y, m_width, OrganisationHeight, m_heading.organisation.trimmed(), Qt::AlignHCenter);
            y += OrganisationHeight;
        }
        setFont(TitlePoints, true);
        m_printer.printInBox(0, y, m_width, TitleHeight, m_heading.title, Qt::AlignHCenter);
        y += TitleHeight;
        setFont(InfoPoints, false);
        m_printer.printInBox(0, y, m_width / 2, InfoHeight, printDateText(m_heading.printDate), Qt::AlignLeft);
        m_printer.printInBox(m_width / 2, y, m_width / 2, InfoHeight, totalText(m_instruments), Qt::AlignRight);

        m_printer.fillRect(0, m_tableTop, m_width, HeaderRowHeight, HeaderShade);
        setFont(BodyPoints, true);
        for (int i = 0; i < columns().size(); ++i)
            m_printer.printInBox(m_edges[i] + CellPadding, m_tableTop, m_edges[i + 1] - m_edges[i] - 2 * CellPadding,
                                 HeaderRowHeight, columns()[i].heading, Qt::AlignHCenter);
    }

    void endPage()
    {
        const double headerBottom = m_tableTop + HeaderRowHeight;
        const double bottom = headerBottom + m_rowsOnPage * RowHeight;
        for (int r = 1; r < m_rowsOnPage; ++r)
            m_printer.drawLine(0, headerBottom + r * RowHeight, m_width, headerBottom + r * RowHeight, RulePen);
        for (int i = 1; i < m_edges.size() - 1; ++i)
            m_printer.drawLine(m_edges[i], m_tableTop, m_edges[i], bottom, RulePen);
        m_printer.drawLine(0, headerBottom, m_width, headerBottom, FramePen);
        m_printer.drawLine(0, m_tableTop, m_width, m_tableTop, FramePen);
        m_printer.drawLine(0, bottom, m_width, bottom, FramePen);
        m_printer.drawLine(0, m_tableTop, 0, bottom, FramePen);
        m_printer.drawLine(m_width, m_tableTop, m_width, bottom, FramePen);

        m_printer.printPageFooter(m_pageNumber, std::max(pages(), m_pageNumber));
        m_rowsOnPage = 0;
    }

    LinePrinter& m_printer;
    const LedgerReportHeading& m_heading;
    qint64 m_instruments;
    double m_width = 0;
    double m_height = 0;
    double m_tableTop = 0;
    int m_rowsPerPage = 1;
    qint64 m_pages = 1;
    QVector<double> m_edges;
    int m_pageNumber = 0;
    int m_rowsOnPage = 0;
};

QString reportStatement()
{
    QStringList fields;
    for (const Column& c : columns())
        fields << c.field;
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY 计量器具编号")
        .arg(fields.join(QStringLiteral(", ")), printsource::quoted(tables::InUse));
}

} // namespace

PrintResult layoutLedgerReport(LinePrinter& printer, const QSqlDatabase& db, const LedgerReportHeading& heading,
                               const PrintProgress& progress)
{
    qint64 instruments = 0;
    if (const DbError e = printsource::countRows(db, tables::InUse, &instruments))
        return PrintResult::failed(e.text());
    if (instruments == 0)
        return {PrintOutcome::Empty, {}};

    const QString statement = reportStatement();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(statement))
        return PrintResult::failed(printsource::engineError(q, statement).text());

    ReportPages pages(printer, heading, instruments);
    const int fields = int(columns().size());
    QStringList cells;
    while (q.next()) {
        cells.clear();
        for (int i = 0; i < fields; ++i)
            cells << (q.isNull(i) ? QString() : q.value(i).toString());
        const int before = pages.pagesDone();
        pages.addRow(cells);
        if (progress && pages.pagesDone() != before && !progress(PrintStage::Layout, before, pages.pages())) {
            printer.killDoc();
            return {PrintOutcome::Cancelled, {}};
        }
    }
    if (q.lastError().isValid()) {
        printer.killDoc();
        return PrintResult::failed(printsource::engineError(q, statement).text());
    }
    pages.finish();
    return {};
}

PrintRequest ledgerReportRequest(const QSqlDatabase& db, const LedgerReportHeading& heading)
{
    PrintRequest request;
    request.documentName = heading.title.trimmed().isEmpty() ? DefaultReportTitle : heading.title.trimmed();
    request.landscapeOnly = true;
    request.marginsMm = QMarginsF(12, 10, 12, 10);
    request.layout = [db, heading](LinePrinter& printer, const PrintProgress& progress) {
        return layoutLedgerReport(printer, db, heading, progress);
    };
    return request;
}

bool PrintLedgerReport(ProgramState& state, QWidget* parent, QPrinter* direct)
{
    const QSqlDatabase db = state.LedgerDatabase.connection();
    qint64 instruments = 0;
    if (const DbError e = printsource::countRows(db, tables::InUse, &instruments)) {
        state.prompt.plain(e.text(), AppTitle);
        return false;
    }
    if (instruments == 0) {
        state.prompt.error(EmptyMessage, EmptyCaption);
        return false;
    }
    const LedgerReportHeading heading{state.options.RepCaption, state.options.GroupName, QDate::currentDate()};
    const PrintRequest request = ledgerReportRequest(db, heading);
    if (direct) {
        PrintProgressWindow progress(parent);
        return printDirect(*direct, state.prompt, request, progress.callback()).ok();
    }
    return printWithPreview(parent, state.prompt, request).ok();
}

} // namespace ravo
