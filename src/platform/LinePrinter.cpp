#include "LinePrinter.h"

#include "PrintProgress.h"
#include "core/ProgramState.h"

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <cmath>

namespace ravo {

namespace {

// Where a CJK glyph's em box sits: its top lies this far above the baseline.
constexpr double EmAscent = 0.88;

// The page footer: its font size, and its band's height in twips.
constexpr double FooterPoints = 9;
constexpr double FooterTwips = FooterPoints * 2.4 * 20;

QString oneLine(QString text)
{
    // A printed line is one line: breaks and tabs inside a value print as spaces.
    for (QChar& c : text)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return text;
}

bool writesFile(const QPrinter& printer)
{
    return !printer.outputFileName().isEmpty();
}

QString outputName(const QPrinter& printer)
{
    return writesFile(printer) ? QDir::toNativeSeparators(printer.outputFileName()) : printer.printerName();
}

// "宋体" at a size, as the printouts use it. Shaping is left out where a
// script does not need it: shaped Latin digits come out of Noto CJK as
// glyph variants that a PDF reader cannot turn back into text, so numbers
// in a PDF printout could not be searched or copied.
QFont printFont(double points)
{
    installFontSubstitutes();
    QFont font(SongTi);
    font.setPointSizeF(points);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

} // namespace

QString pageFooterText(int page, int pages)
{
    return QStringLiteral("第 %1 页 共 %2 页").arg(page).arg(pages);
}

QString printDateText(const QDate& date)
{
    return QStringLiteral("打印日期：") + date.toString(QStringLiteral("yyyy-MM-dd"));
}

void installFontSubstitutes()
{
    static const bool done = [] {
        QFont::insertSubstitutions(SongTi,
                                   {QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                                    QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei")});
        return true;
    }();
    Q_UNUSED(done);
}

// ---------------------------------------------------------------- pages

bool PrintedPages::isEmpty() const
{
    for (const Page& p : m_pages)
        if (!p.isEmpty())
            return false;
    return true;
}

QStringList PrintedPages::texts(int page) const
{
    QStringList out;
    if (page < 0 || page >= m_pages.size())
        return out;
    for (const Item& item : m_pages[page])
        if (item.kind == Item::Kind::Text)
            out << item.text;
    return out;
}

PrintResult renderPages(const PrintedPages& pages, QPrinter& printer, const PrintProgress& progress)
{
    const bool preview = isPreviewPrinter(printer);
    const bool toFile = !preview && writesFile(printer);
    const PrintStage stage = preview ? PrintStage::Preview : toFile ? PrintStage::Output : PrintStage::OutputToPrinter;
    const int count = pages.pageCount();

    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::failed(
            QStringLiteral("不能开始打印：打印机不可用，或者不能写入“%1”。").arg(outputName(printer)));

    int currentFont = -1;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            if (toFile)
                QFile::remove(printer.outputFileName());
            return PrintResult::failed(QStringLiteral("打印机不能开始新的一页，打印已取消。"));
        }
        for (const PrintedPages::Item& item : pages.pages()[i]) {
            switch (item.kind) {
            case PrintedPages::Item::Kind::Text:
                if (item.font != currentFont) {
                    painter.setFont(pages.fonts()[item.font]);
                    currentFont = item.font;
                }
                painter.drawText(item.a, item.text);
                break;
            case PrintedPages::Item::Kind::Line:
                painter.setPen(QPen(Qt::black, item.penWidth, Qt::SolidLine, Qt::SquareCap));
                painter.drawLine(item.a, item.b);
                break;
            case PrintedPages::Item::Kind::Fill:
                painter.fillRect(QRectF(item.a, item.b), QColor::fromRgb(item.color));
                break;
            }
        }
        if (progress && !progress(stage, i + 1, count) && stage != PrintStage::OutputToPrinter) {
            painter.end();
            // What was written so far is no printout: leave no partial file.
            if (toFile)
                QFile::remove(printer.outputFileName());
            return {PrintOutcome::Cancelled, {}};
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        if (toFile)
            QFile::remove(printer.outputFileName());
        return PrintResult::failed(QStringLiteral("打印失败：不能把文档送到“%1”。").arg(outputName(printer)));
    }
    return {};
}

bool isPreviewPrinter(const QPrinter& printer)
{
    // While the preview draws, the printer paints into pictures, one a page.
    const QPaintEngine* engine = printer.paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

// ---------------------------------------------------------------- line printer

LinePrinter::LinePrinter(QPrinter& printer) : m_printer(printer)
{
    installFontSubstitutes();
    m_dpi = printer.resolution() > 0 ? printer.resolution() : 600;
    const QRectF area = printer.pageRect(QPrinter::DevicePixel);
    m_pageWidth = area.width();
    m_pageHeight = area.height();
    m_font = printFont(10);
    m_pages.m_pages.resize(1);
}

LinePrinter::~LinePrinter() = default;

void LinePrinter::setFontName(const QString& name)
{
    m_font.setFamily(name);
    m_metrics.reset();
    m_fontIndex = -1;
}

void LinePrinter::setFontSize(double points)
{
    if (points > 0)
        m_font.setPointSizeF(points);
    m_metrics.reset();
    m_fontIndex = -1;
}

void LinePrinter::setFontBold(bool bold)
{
    m_font.setBold(bold);
    m_metrics.reset();
    m_fontIndex = -1;
}

const QFontMetricsF& LinePrinter::metrics() const
{
    if (!m_metrics)
        m_metrics.emplace(m_font, &m_printer);
    return *m_metrics;
}

void LinePrinter::setLineSpacing(double factor)
{
    if (factor > 0)
        m_lineSpacing = factor;
}

double LinePrinter::toPixels(double v) const
{
    return m_scale == ScaleMode::Twips ? v * m_dpi / 1440.0 : v;
}

double LinePrinter::fromPixels(double px) const
{
    return m_scale == ScaleMode::Twips ? px * 1440.0 / m_dpi : px;
}

double LinePrinter::scaleWidth() const
{
    return fromPixels(m_pageWidth);
}

double LinePrinter::scaleHeight() const
{
    return fromPixels(m_pageHeight);
}

double LinePrinter::lineHeightPx() const
{
    return m_font.pointSizeF() * m_lineSpacing * m_dpi / 72.0;
}

double LinePrinter::textWidth(const QString& text) const
{
    return fromPixels(metrics().horizontalAdvance(oneLine(text)));
}

double LinePrinter::textHeight() const
{
    return fromPixels(lineHeightPx());
}

quint16 LinePrinter::fontIndex()
{
    if (m_fontIndex >= 0)
        return quint16(m_fontIndex);
    QVector<QFont>& fonts = m_pages.m_fonts;
    m_fontIndex = int(fonts.indexOf(m_font));
    if (m_fontIndex < 0) {
        fonts.append(m_font);
        m_fontIndex = int(fonts.size() - 1);
    }
    return quint16(m_fontIndex);
}

PrintedPages::Page& LinePrinter::currentPage()
{
    return m_pages.m_pages[m_page];
}

void LinePrinter::print(const QString& text, bool endLine)
{
    const double h = lineHeightPx();
    // A line that would run off the paper goes to the next page.
    if (m_y > 0 && m_y + h > m_pageHeight + 0.5)
        newPage();
    const QString line = oneLine(text);
    if (!line.isEmpty()) {
        const double em = m_font.pointSizeF() * m_dpi / 72.0;
        PrintedPages::Item item;
        item.kind = PrintedPages::Item::Kind::Text;
        item.font = fontIndex();
        item.a = QPointF(m_x, m_y + (h - em) / 2 + EmAscent * em);
        item.text = line;
        currentPage().append(item);
    }
    if (endLine) {
        m_x = 0;
        m_y += h;
    } else {
        m_x += metrics().horizontalAdvance(line);
    }
}

void LinePrinter::printInBox(double x, double y, double width, double height, const QString& text,
                             Qt::Alignment alignment)
{
    const QString line = oneLine(text);
    if (line.isEmpty())
        return;
    const QRectF box(toPixels(x), toPixels(y), toPixels(width), toPixels(height));
    const QFontMetricsF& fm = metrics();
    const QString shown = fm.elidedText(line, Qt::ElideRight, box.width());
    const double w = fm.horizontalAdvance(shown);
    double left = box.left();
    if (alignment & Qt::AlignHCenter)
        left = box.left() + (box.width() - w) / 2;
    else if (alignment & Qt::AlignRight)
        left = box.right() - w;
    const double em = m_font.pointSizeF() * m_dpi / 72.0;
    PrintedPages::Item item;
    item.kind = PrintedPages::Item::Kind::Text;
    item.font = fontIndex();
    item.a = QPointF(left, box.top() + (box.height() - em) / 2 + EmAscent * em);
    item.text = shown;
    currentPage().append(item);
}

void LinePrinter::drawLine(double x1, double y1, double x2, double y2, double penPoints)
{
    PrintedPages::Item item;
    item.kind = PrintedPages::Item::Kind::Line;
    item.penWidth = float(penPoints * m_dpi / 72.0);
    item.a = QPointF(toPixels(x1), toPixels(y1));
    item.b = QPointF(toPixels(x2), toPixels(y2));
    currentPage().append(item);
}

void LinePrinter::fillRect(double x, double y, double width, double height, const QColor& color)
{
    PrintedPages::Item item;
    item.kind = PrintedPages::Item::Kind::Fill;
    item.color = color.rgb();
    item.a = QPointF(toPixels(x), toPixels(y));
    item.b = QPointF(toPixels(x + width), toPixels(y + height));
    currentPage().append(item);
}

double LinePrinter::footerHeight() const
{
    return m_scale == ScaleMode::Twips ? FooterTwips : FooterTwips * m_dpi / 1440.0;
}

void LinePrinter::printPageFooter(int page, int pages)
{
    setFontSize(FooterPoints);
    setFontBold(false);
    const double band = footerHeight();
    printInBox(0, scaleHeight() - band, scaleWidth(), band, pageFooterText(page, pages), Qt::AlignHCenter);
}

QPointF LinePrinter::printableOffsetMm() const
{
    const QRectF paint = m_printer.pageLayout().paintRect(QPageLayout::Millimeter);
    return paint.topLeft();
}

void LinePrinter::newPage()
{
    ++m_page;
    if (m_page >= m_pages.m_pages.size())
        m_pages.m_pages.resize(m_page + 1);
    m_x = 0;
    m_y = 0;
}

PrintResult LinePrinter::endDoc(const PrintProgress& progress)
{
    const PrintResult result = renderPages(m_pages, m_printer, progress);
    killDoc();
    return result;
}

void LinePrinter::killDoc()
{
    m_pages = PrintedPages();
    m_fontIndex = -1;
    m_pages.m_pages.resize(1);
    m_page = 0;
    m_x = 0;
    m_y = 0;
}

// ---------------------------------------------------------------- printing with a preview

void preparePrinter(QPrinter& printer, bool landscape, const QMarginsF& marginsMm,
                    const std::optional<QSizeF>& pageSizeMm)
{
    printer.setResolution(600);
    if (pageSizeMm)
        printer.setPageSize(QPageSize(*pageSizeMm, QPageSize::Millimeter, {}, QPageSize::ExactMatch));
    else if (printer.outputFormat() == QPrinter::PdfFormat)
        printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    // A printer that cannot print that close to the edge keeps its own margins.
    printer.setPageMargins(marginsMm, QPageLayout::Millimeter);
}

namespace {

QString defaultPdfPath(const QString& documentName)
{
    QString name = documentName.trimmed();
    if (name.isEmpty())
        name = QStringLiteral("RAVO打印");
    for (QChar& c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

} // namespace

PrintPreviewSession::PrintPreviewSession(QWidget* parent, Prompter& prompt, const PrintRequest& request)
    : m_parent(parent), m_prompt(prompt), m_request(request)
{
}

void PrintPreviewSession::paint(QPrinter& printer)
{
    const bool preview = isPreviewPrinter(printer);
    if (m_request.landscapeOnly && printer.pageLayout().orientation() != QPageLayout::Landscape) {
        if (preview) {
            // The preview says why there is nothing to see.
            QPainter painter(&printer);
            painter.setFont(printFont(14));
            painter.drawText(QRectF(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size()),
                             Qt::AlignCenter | Qt::TextWordWrap, LandscapeOnlyMessage);
            return;
        }
        m_prompt.error(LandscapeOnlyMessage, AppTitle);
        m_result = {PrintOutcome::Refused, {}};
        return;
    }

    const QRectF area = printer.pageRect(QPrinter::DevicePixel);
    const QString key = QStringLiteral("%1x%2@%3").arg(area.width()).arg(area.height()).arg(printer.resolution());
    if (!m_laidOut || key != m_key) {
        m_laidOut = false;
        PrintProgressWindow progress(m_parent);
        LinePrinter lines(printer);
        const PrintResult laid =
            m_request.layout ? m_request.layout(lines, progress.callback()) : PrintResult{PrintOutcome::Empty, {}};
        if (!laid.ok()) {
            lines.killDoc();
            if (laid.outcome == PrintOutcome::Failed && !m_reported) {
                m_reported = true;
                m_prompt.plain(laid.error, AppTitle);
            }
            if (!preview)
                m_result = laid;
            return;
        }
        m_pages = lines.pages();
        m_key = key;
        m_laidOut = true;
    }

    PrintProgressWindow progress(m_parent);
    const PrintResult sent = renderPages(m_pages, printer, progress.callback());
    if (preview)
        return;
    m_result = sent;
    if (sent.outcome == PrintOutcome::Failed)
        m_prompt.plain(sent.error, AppTitle);
}

PrintResult printWithPreview(QWidget* parent, Prompter& prompt, const PrintRequest& request)
{
    installFontSubstitutes();
    QPrinter printer(QPrinter::HighResolution);
    if (QPrinterInfo::defaultPrinter().isNull()) {
        // No printer on this machine: the preview offers a PDF file.
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(defaultPdfPath(request.documentName));
    }
    printer.setDocName(request.documentName);
    preparePrinter(printer, request.landscapeOnly, request.marginsMm, request.pageSizeMm);

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印预览 - %1").arg(request.documentName));
    dialog.resize(1000, 720);
    // The progress of a long layout shows over the preview.
    PrintPreviewSession session(&dialog, prompt, request);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&session](QPrinter* p) { session.paint(*p); });
    dialog.exec();
    return session.result();
}

PrintResult printDirect(QPrinter& printer, Prompter& prompt, const PrintRequest& request, const PrintProgress& progress)
{
    if (request.landscapeOnly && printer.pageLayout().orientation() != QPageLayout::Landscape) {
        prompt.error(LandscapeOnlyMessage, AppTitle);
        return {PrintOutcome::Refused, {}};
    }
    LinePrinter lines(printer);
    PrintResult result = request.layout ? request.layout(lines, progress) : PrintResult{PrintOutcome::Empty, {}};
    if (result.ok())
        result = lines.endDoc(progress);
    else
        lines.killDoc();
    if (result.outcome == PrintOutcome::Failed)
        prompt.plain(result.error, AppTitle);
    return result;
}

} // namespace ravo
