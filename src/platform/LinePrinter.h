#pragma once
// The line printer: what the program's printouts ask of a printer — a font by
// name and size, a current position, a scale in twips or device pixels, text
// measurement, printing with or without ending the line, a new page, the end
// of the document and abandoning it.
//
// Positions are measured from the top-left corner of the page's printable
// area. Printing with the line ended moves to the left edge of the next line;
// without, the position stays on the line just after the text. A line that
// would run past the bottom of the page starts a new page first.
//
// Pages are laid out first and reach the printer only at endDoc(). Until then
// nothing is sent, so a document abandoned while it is laid out (killDoc(), a
// cancel, a failure) leaves no half-printed pages behind.
//
// printWithPreview() is how the program prints: a print preview in which the
// user chooses the printer, the paper and the orientation.
#include <QColor>
#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class QPainter;
class QPrinter;
class QWidget;

namespace ravo {

class Prompter;

// The font the printouts ask for.
inline const QString SongTi = QStringLiteral("宋体");
// Makes "宋体" stand for the first of SimSun, Noto Serif CJK SC, AR PL UMing CN
// and WenQuanYi Zen Hei that the machine has. Safe to call more than once.
void installFontSubstitutes();

// "第 n 页 共 m 页", the page number at the foot of the printouts.
QString pageFooterText(int page, int pages);
// "打印日期：yyyy-MM-dd", the print date in the printouts' headings.
QString printDateText(const QDate& date);

// The message of a layout that only fits landscape paper.
inline const QString LandscapeOnlyMessage = QStringLiteral("请将打印机的打印方向设置为横向！否则不能打印！");

enum class PrintStage {
    Layout,          // the pages are being laid out; a cancel abandons them
    Preview,         // the pages are drawn for the preview; a cancel shows fewer
    Output,          // the pages go to a file; a cancel removes the file
    OutputToPrinter, // the pages go to a printer; no longer cancellable
};

// Told how a print goes on: the stage, the pages done and the pages in all
// (an estimate while laying out). Answers false when the user cancelled.
using PrintProgress = std::function<bool(PrintStage stage, int done, int total)>;

enum class PrintOutcome {
    Done,      // printed (or, for a layout, laid out)
    Empty,     // nothing to print; nothing was sent
    Cancelled, // the user cancelled; nothing was sent
    Refused,   // the paper's orientation does not suit the layout
    Failed,    // see the error text; nothing was sent, or the output removed
};

struct PrintResult {
    PrintOutcome outcome = PrintOutcome::Done;
    QString error; // Chinese, for the user, when the outcome is Failed
    bool ok() const { return outcome == PrintOutcome::Done; }
    static PrintResult failed(const QString& error) { return {PrintOutcome::Failed, error}; }
};

// Laid-out pages, ready to be sent to a printer as often as needed (the
// preview shows them, the print sends them). Positions are device pixels of
// the printer they were laid out for, from the printable area's corner.
class PrintedPages {
public:
    struct Item {
        enum class Kind : quint8 { Text, Line, Fill };
        Kind kind = Kind::Text;
        quint16 font = 0;   // index into fonts(), for text
        float penWidth = 0; // device pixels, for lines
        QRgb color = 0;     // for fills
        QPointF a;          // text: baseline origin; line: start; fill: top-left
        QPointF b;          // line: end; fill: bottom-right
        QString text;
    };
    using Page = QVector<Item>;

    int pageCount() const { return int(m_pages.size()); }
    bool isEmpty() const; // no page holds anything
    const QVector<Page>& pages() const { return m_pages; }
    const QVector<QFont>& fonts() const { return m_fonts; }
    // The texts of one page in the order they were printed (for checks).
    QStringList texts(int page) const;

private:
    friend class LinePrinter;
    QVector<Page> m_pages;
    QVector<QFont> m_fonts;
};

// True while a print preview draws through the printer (its pages are only
// shown, nothing is printed).
bool isPreviewPrinter(const QPrinter& printer);

// Sends laid-out pages to a printer. For a file, a cancel through progress
// removes what was written; for a printer, the pages are not cancellable once
// they go (the printing system takes the document whole).
PrintResult renderPages(const PrintedPages& pages, QPrinter& printer, const PrintProgress& progress = {});

class LinePrinter {
public:
    enum class ScaleMode { Twips, Pixels };

    // Measures against the printer's page and resolution; sends nothing
    // until endDoc(). The font starts as "宋体" 10 points, the scale in twips.
    explicit LinePrinter(QPrinter& printer);
    ~LinePrinter();
    LinePrinter(const LinePrinter&) = delete;
    LinePrinter& operator=(const LinePrinter&) = delete;

    QString fontName() const { return m_font.family(); }
    void setFontName(const QString& name);
    double fontSize() const { return m_font.pointSizeF(); }
    void setFontSize(double points);
    bool fontBold() const { return m_font.bold(); }
    void setFontBold(bool bold);
    // The font as the printer will use it (after substitution).
    QFont font() const { return m_font; }

    // Height of a line as a multiple of the font size (1.1 unless set).
    double lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(double factor);

    ScaleMode scaleMode() const { return m_scale; }
    void setScaleMode(ScaleMode mode) { m_scale = mode; }
    // The printable area in the current scale.
    double scaleWidth() const;
    double scaleHeight() const;
    int resolution() const { return m_dpi; }

    double currentX() const { return fromPixels(m_x); }
    void setCurrentX(double x) { m_x = toPixels(x); }
    double currentY() const { return fromPixels(m_y); }
    void setCurrentY(double y) { m_y = toPixels(y); }

    // Measurements in the current scale and font.
    double textWidth(const QString& text) const;
    double textHeight() const;

    // Prints text at the current position. Ending the line moves to the left
    // edge of the next line; otherwise the position moves past the text.
    // print() alone prints a blank line.
    void print(const QString& text = {}, bool endLine = true);
    // Text fitted into a box: cut short with "…" when too wide, aligned
    // (Qt::AlignLeft, AlignHCenter, AlignRight) and centred vertically.
    void printInBox(double x, double y, double width, double height, const QString& text,
                    Qt::Alignment alignment = Qt::AlignLeft);
    // Lines and fills in the current scale; pen width in points.
    void drawLine(double x1, double y1, double x2, double y2, double penPoints = 0.5);
    void fillRect(double x, double y, double width, double height, const QColor& color);

    // The band at the foot of the page that holds the page number, 9 points
    // high and a little more (in the current scale); a layout keeps its
    // rows above it.
    double footerHeight() const;
    // "第 n 页 共 m 页" centred in that band, in 9 points, not bold; the font
    // stays so.
    void printPageFooter(int page, int pages);

    // Starts a new page at its top-left corner.
    void newPage();
    int page() const { return m_page + 1; } // 1-based current page
    int pageCount() const { return m_pages.pageCount(); }

    // Sends the pages to the printer and forgets them.
    PrintResult endDoc(const PrintProgress& progress = {});
    // Abandons the document: nothing reaches the printer.
    void killDoc();
    // The pages laid out so far.
    const PrintedPages& pages() const { return m_pages; }
    // How far the printable area lies from the paper's top-left corner, in
    // millimetres: the paper's own measures are this much off the positions
    // of this printer.
    QPointF printableOffsetMm() const;

private:
    double toPixels(double v) const;
    double fromPixels(double px) const;
    double lineHeightPx() const;
    const QFontMetricsF& metrics() const;
    quint16 fontIndex();
    PrintedPages::Page& currentPage();

    QPrinter& m_printer;
    int m_dpi = 600;
    double m_pageWidth = 0; // printable area, device pixels
    double m_pageHeight = 0;
    QFont m_font;
    mutable std::optional<QFontMetricsF> m_metrics; // of m_font on the printer
    int m_fontIndex = -1;                           // of m_font in the pages' fonts
    double m_lineSpacing = 1.1;
    ScaleMode m_scale = ScaleMode::Twips;
    double m_x = 0; // device pixels
    double m_y = 0;
    int m_page = 0;
    PrintedPages m_pages;
};

// What printWithPreview() prints.
struct PrintRequest {
    // Names the print job and the PDF file offered when there is no printer.
    QString documentName;
    bool landscapeOnly = true;
    QMarginsF marginsMm{10, 7, 10, 7};
    // Paper of its own (a label printer's label); the printer's paper when none.
    std::optional<QSizeF> pageSizeMm;
    // Lays the document out on the printer's page. Called again when the
    // user changes the paper or the orientation.
    std::function<PrintResult(LinePrinter&, const PrintProgress&)> layout;
};

// One print through the preview: it lays the request out when the preview
// asks for pages (again when the paper or orientation changed), shows the
// pages, and sends them when the user prints. On portrait paper a
// landscape-only layout shows LandscapeOnlyMessage in the preview and refuses
// to print with it.
class PrintPreviewSession {
public:
    PrintPreviewSession(QWidget* parent, Prompter& prompt, const PrintRequest& request);
    // Answers the preview's request for pages, or the print.
    void paint(QPrinter& printer);
    // How the print ended; Cancelled until something was printed or refused.
    PrintResult result() const { return m_result; }

private:
    QWidget* m_parent;
    Prompter& m_prompt;
    PrintRequest m_request;
    PrintedPages m_pages;
    QString m_key; // the page the pages were laid out for
    bool m_laidOut = false;
    bool m_reported = false;
    PrintResult m_result{PrintOutcome::Cancelled, {}};
};

// Opens the print preview on the default printer (or, with no printer, on a
// PDF file) in landscape; the user may choose another printer, paper or
// orientation there and prints from it. A landscape-only layout refuses
// portrait with LandscapeOnlyMessage. Failures are reported through prompt.
// Long prints show their progress with a cancel button. Returns Done when the
// document was printed.
PrintResult printWithPreview(QWidget* parent, Prompter& prompt, const PrintRequest& request);

// Lays the request out on the printer and sends it, without any dialog but
// the progress window: for a printer the caller has set up. A landscape-only
// layout on portrait paper is refused (and reported through prompt).
PrintResult printDirect(QPrinter& printer, Prompter& prompt, const PrintRequest& request,
                        const PrintProgress& progress);

// Sets a printer up as the program's printouts expect: 600 dpi, landscape
// when asked, the given margins where the printer allows them; the paper
// of the given size when one is given (labels), else A4 for a PDF file.
void preparePrinter(QPrinter& printer, bool landscape, const QMarginsF& marginsMm,
                    const std::optional<QSizeF>& pageSizeMm = std::nullopt);

} // namespace ravo
