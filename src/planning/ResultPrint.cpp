#include "ResultPrint.h"

#include "core/ProgramState.h"
#include "platform/PrintProgress.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace ravo {

using namespace resultprint;

namespace {

// Page 1 holds the most: a blank line, the title, two blank lines, the header
// and up to 44 rows followed by a blank line and the count (a 45th row sends
// the count to page 2) — each a line of the body font but the title.
constexpr double FirstPageLines = 1 + 2 + 1 + (RowsPerPage - 1) + 2;

// Lines a little closer than usual when the paper is short, so that the 45
// rows and the header of page 1 always fit on it.
double fittingLineSpacing(const LinePrinter& printer)
{
    const double neededTwips = (FirstPageLines * BodyPoints + TitlePoints) * 20.0;
    const double available = printer.scaleMode() == LinePrinter::ScaleMode::Twips
        ? printer.scaleHeight()
        : printer.scaleHeight() * 1440.0 / printer.resolution();
    return std::clamp(available / neededTwips * 0.995, 0.9, 1.1);
}

QString cellText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

namespace printsource {

QString quoted(const QString& table)
{
    QString name = table;
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

DbError engineError(const QSqlQuery& query, const QString& statement)
{
    return DbError::fromSqlError(query.lastError(), statement);
}

DbError countRows(const QSqlDatabase& db, const QString& table, qint64* rows)
{
    *rows = 0;
    if (!db.isOpen())
        return DbError::make(DbError::General, QStringLiteral("台帐数据库没有打开。"));
    const QString statement = QStringLiteral("SELECT count(*) FROM ") + quoted(table);
    QSqlQuery q(db);
    if (!q.exec(statement) || !q.next())
        return engineError(q, statement);
    *rows = q.value(0).toLongLong();
    return {};
}

} // namespace printsource

PrintResult layoutQuery(LinePrinter& printer, const QSqlDatabase& db, const QString& table, const QString& title,
                        const PrintProgress& progress)
{
    const QString source = QStringLiteral("SELECT * FROM ") + printsource::quoted(table);
    qint64 rows = 0;
    if (const DbError e = printsource::countRows(db, table, &rows))
        return PrintResult::failed(e.text());
    if (rows == 0)
        return {PrintOutcome::Empty, {}};

    printer.setScaleMode(LinePrinter::ScaleMode::Twips);
    printer.setLineSpacing(fittingLineSpacing(printer));
    printer.print();
    printer.setFontName(SongTi);
    printer.setCurrentX(TitleX);
    printer.setFontSize(TitlePoints);
    printer.print(title);

    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(source)) {
        printer.killDoc();
        return PrintResult::failed(printsource::engineError(q, source).text());
    }

    printer.setFontSize(BodyPoints);
    printer.setScaleMode(LinePrinter::ScaleMode::Pixels);
    const int u = int(std::floor(printer.textWidth(QStringLiteral("宽")))) + 1;
    double edge[MaxColumns + 1];
    for (int i = 0; i <= MaxColumns; ++i)
        edge[i] = FirstEdge + i * 10 * u;

    const QSqlRecord record = q.record();
    const int columns = std::min(int(record.count()), MaxColumns);
    printer.print();
    printer.print();
    for (int i = 0; i < columns; ++i) {
        printer.setCurrentX(edge[i]);
        printer.print(record.fieldName(i), false);
    }
    printer.print();

    const int pagesAbout = int(rows / RowsPerPage) + 1;
    int onPage = 0;
    while (q.next()) {
        for (int i = 0; i < columns; ++i) {
            printer.setCurrentX(edge[i]);
            printer.print(cellText(q.value(i)), false);
        }
        printer.print();
        if (++onPage == RowsPerPage) {
            printer.newPage();
            printer.setCurrentY(0);
            onPage = 0;
            if (progress && !progress(PrintStage::Layout, printer.page() - 1, pagesAbout)) {
                printer.killDoc();
                return {PrintOutcome::Cancelled, {}};
            }
        }
    }
    if (q.lastError().isValid()) {
        printer.killDoc();
        return PrintResult::failed(printsource::engineError(q, source).text());
    }
    printer.print();
    printer.setCurrentX(edge[0]);
    printer.print(CountLabel + QString::number(rows));
    return {};
}

PrintRequest queryPrintRequest(const QSqlDatabase& db, const QString& table, const QString& title)
{
    PrintRequest request;
    request.documentName = title;
    request.landscapeOnly = true;
    request.layout = [db, table, title](LinePrinter& printer, const PrintProgress& progress) {
        return layoutQuery(printer, db, table, title, progress);
    };
    return request;
}

bool PrintQuery(ProgramState& state, const QString& table, const QString& defaultTitle, QWidget* parent,
                QPrinter* direct)
{
    const std::optional<QString> answer = state.prompt.input(TitlePrompt, TitleCaption, defaultTitle);
    const QString title = answer ? answer->trimmed() : QString();
    if (title.isEmpty())
        return false;

    const QSqlDatabase db = state.LedgerDatabase.connection();
    qint64 rows = 0;
    if (const DbError e = printsource::countRows(db, table, &rows)) {
        state.prompt.plain(e.text(), AppTitle);
        return false;
    }
    if (rows == 0) {
        state.prompt.error(EmptyMessage, EmptyCaption);
        return false;
    }

    const PrintRequest request = queryPrintRequest(db, table, title);
    if (direct) {
        PrintProgressWindow progress(parent);
        return printDirect(*direct, state.prompt, request, progress.callback()).ok();
    }
    return printWithPreview(parent, state.prompt, request).ok();
}

} // namespace ravo
