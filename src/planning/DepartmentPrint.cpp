#include "DepartmentPrint.h"

#include "core/ProgramState.h"
#include "platform/PrintProgress.h"

#include <cmath>

namespace ravo {

namespace departmentprint {

QString groupHeading(const duelist::Group& group, bool continued)
{
    return QStringLiteral("使用部门：%1（共 %2 台%3）")
        .arg(group.heading())
        .arg(group.rows.size())
        .arg(continued ? QStringLiteral("，续") : QString());
}

QString totalText(qint64 instruments)
{
    return QStringLiteral("合计 %1 台").arg(instruments);
}

} // namespace departmentprint

namespace {

using namespace departmentprint;

struct Column {
    QString heading;
    int weight; // share of the table's width, in hundredths
    Qt::Alignment alignment;
};

// The printed columns: duelist::fields() and the days left.
const QVector<Column>& columns()
{
    static const QVector<Column> list{
        {QStringLiteral("计量器具编号"), 13, Qt::AlignLeft}, {QStringLiteral("计量器具名称"), 17, Qt::AlignLeft},
        {QStringLiteral("规格型号"), 13, Qt::AlignLeft},     {QStringLiteral("出厂编号"), 13, Qt::AlignLeft},
        {QStringLiteral("保管员"), 9, Qt::AlignHCenter},     {QStringLiteral("存放地点"), 14, Qt::AlignLeft},
        {QStringLiteral("有效日期"), 11, Qt::AlignHCenter},  {duelist::DaysHeading, 10, Qt::AlignRight},
    };
    return list;
}

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
const QColor GroupShade(0xF2, 0xF2, 0xF2);

// One line of the table: a group's heading or one of its instruments.
struct Line {
    int group;
    int row; // -1 for the heading
    bool continued = false;
};
using Page = QVector<Line>;

// Splits the groups into pages of at most `perPage` lines. A group starts
// with its heading, which never stands alone at the foot of a page; a group
// that goes on over a page starts the next page with its heading again.
QVector<Page> paginate(const QVector<duelist::Group>& groups, int perPage)
{
    QVector<Page> pages;
    Page page;
    const auto close = [&] {
        pages.append(page);
        page.clear();
    };
    for (int g = 0; g < groups.size(); ++g) {
        for (int r = 0; r < groups[g].rows.size(); ++r) {
            if (r == 0) {
                if (!page.isEmpty() && page.size() + 2 > perPage)
                    close();
                page.append({g, -1, false});
            } else if (page.isEmpty()) {
                page.append({g, -1, true});
            }
            page.append({g, r});
            if (page.size() >= perPage)
                close();
        }
    }
    if (!page.isEmpty())
        close();
    return pages;
}

QString daysText(const std::optional<int>& days)
{
    return days ? QString::number(*days) : QString();
}

class DepartmentPages {
public:
    DepartmentPages(LinePrinter& printer, const QVector<duelist::Group>& groups, const DepartmentPrintHeading& heading)
        : m_printer(printer), m_groups(groups), m_heading(heading)
    {
        m_printer.setScaleMode(LinePrinter::ScaleMode::Twips);
        m_printer.setFontName(SongTi);
        m_width = m_printer.scaleWidth();
        m_tableTop = (heading.organisation.trimmed().isEmpty() ? 0 : OrganisationHeight) + TitleHeight + InfoHeight;
        const double room = m_printer.scaleHeight() - m_tableTop - HeaderRowHeight - m_printer.footerHeight();
        m_pages = paginate(groups, std::max(2, int(std::floor(room / RowHeight))));
        double x = 0;
        for (const Column& c : columns()) {
            m_edges << x;
            x += m_width * c.weight / 100.0;
        }
        m_edges << m_width;
        m_total = duelist::instrumentCount(groups);
    }

    int pageCount() const { return int(m_pages.size()); }

    void printPage(int index)
    {
        if (index > 0)
            m_printer.newPage();
        printHeading();
        const Page& page = m_pages[index];
        const double body = m_tableTop + HeaderRowHeight;
        for (int i = 0; i < page.size(); ++i) {
            const Line& line = page[i];
            const duelist::Group& group = m_groups[line.group];
            const double top = body + i * RowHeight;
            if (line.row < 0) {
                m_printer.fillRect(0, top, m_width, RowHeight, GroupShade);
                setFont(BodyPoints, true);
                m_printer.printInBox(CellPadding, top, m_width - 2 * CellPadding, RowHeight,
                                     groupHeading(group, line.continued), Qt::AlignLeft);
                continue;
            }
            const duelist::Row& row = group.rows[line.row];
            setFont(BodyPoints, false);
            QStringList cells = row.cells;
            cells << daysText(row.daysLeft);
            for (int c = 0; c < cells.size() && c < columns().size(); ++c)
                m_printer.printInBox(m_edges[c] + CellPadding, top, m_edges[c + 1] - m_edges[c] - 2 * CellPadding,
                                     RowHeight, cells[c], columns()[c].alignment);
        }
        printRules(page);
        m_printer.printPageFooter(index + 1, pageCount());
    }

private:
    void setFont(double points, bool bold)
    {
        m_printer.setFontSize(points);
        m_printer.setFontBold(bold);
    }

    void printHeading()
    {
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
        m_printer.printInBox(m_width / 2, y, m_width / 2, InfoHeight, totalText(m_total), Qt::AlignRight);

        m_printer.fillRect(0, m_tableTop, m_width, HeaderRowHeight, HeaderShade);
        setFont(BodyPoints, true);
        for (int i = 0; i < columns().size(); ++i)
            m_printer.printInBox(m_edges[i] + CellPadding, m_tableTop, m_edges[i + 1] - m_edges[i] - 2 * CellPadding,
                                 HeaderRowHeight, columns()[i].heading, Qt::AlignHCenter);
    }

    // Row rules, column rules (not through a group heading) and the frame.
    void printRules(const Page& page)
    {
        const double body = m_tableTop + HeaderRowHeight;
        const double bottom = body + page.size() * RowHeight;
        for (int i = 1; i < page.size(); ++i)
            m_printer.drawLine(0, body + i * RowHeight, m_width, body + i * RowHeight, RulePen);
        for (int c = 1; c < m_edges.size() - 1; ++c) {
            m_printer.drawLine(m_edges[c], m_tableTop, m_edges[c], body, RulePen);
            // Down the instruments' lines, in runs between the headings.
            int i = 0;
            while (i < page.size()) {
                if (page[i].row < 0) {
                    ++i;
                    continue;
                }
                const int first = i;
                while (i < page.size() && page[i].row >= 0)
                    ++i;
                m_printer.drawLine(m_edges[c], body + first * RowHeight, m_edges[c], body + i * RowHeight, RulePen);
            }
        }
        m_printer.drawLine(0, m_tableTop, m_width, m_tableTop, FramePen);
        m_printer.drawLine(0, body, m_width, body, FramePen);
        m_printer.drawLine(0, bottom, m_width, bottom, FramePen);
        m_printer.drawLine(0, m_tableTop, 0, bottom, FramePen);
        m_printer.drawLine(m_width, m_tableTop, m_width, bottom, FramePen);
    }

    LinePrinter& m_printer;
    const QVector<duelist::Group>& m_groups;
    const DepartmentPrintHeading& m_heading;
    double m_width = 0;
    double m_tableTop = 0;
    QVector<double> m_edges;
    QVector<Page> m_pages;
    qint64 m_total = 0;
};

} // namespace

PrintResult layoutDepartmentList(LinePrinter& printer, const QVector<duelist::Group>& groups,
                                 const DepartmentPrintHeading& heading, const PrintProgress& progress)
{
    if (duelist::instrumentCount(groups) == 0)
        return {PrintOutcome::Empty, {}};
    DepartmentPages pages(printer, groups, heading);
    for (int p = 0; p < pages.pageCount(); ++p) {
        if (progress && !progress(PrintStage::Layout, p, pages.pageCount())) {
            printer.killDoc();
            return {PrintOutcome::Cancelled, {}};
        }
        pages.printPage(p);
    }
    return {};
}

PrintRequest departmentPrintRequest(const QVector<duelist::Group>& groups, const DepartmentPrintHeading& heading)
{
    PrintRequest request;
    request.documentName = heading.title.trimmed().isEmpty() ? QStringLiteral("按部门打印") : heading.title.trimmed();
    request.landscapeOnly = true;
    request.marginsMm = QMarginsF(12, 10, 12, 10);
    request.layout = [groups, heading](LinePrinter& printer, const PrintProgress& progress) {
        return layoutDepartmentList(printer, groups, heading, progress);
    };
    return request;
}

bool PrintByDepartment(ProgramState& state, const QString& table, const QString& title, const QDate& today,
                       QWidget* parent, QPrinter* direct)
{
    QVector<duelist::Group> groups;
    if (const DbError e = duelist::read(state.LedgerDatabase, table, std::nullopt, today, &groups)) {
        state.prompt.plain(e.text(), AppTitle);
        return false;
    }
    if (groups.isEmpty()) {
        state.prompt.error(EmptyMessage, EmptyCaption);
        return false;
    }
    const DepartmentPrintHeading heading{title, state.options.GroupName, today};
    const PrintRequest request = departmentPrintRequest(groups, heading);
    if (direct) {
        PrintProgressWindow progress(parent);
        return printDirect(*direct, state.prompt, request, progress.callback()).ok();
    }
    return printWithPreview(parent, state.prompt, request).ok();
}

} // namespace ravo
