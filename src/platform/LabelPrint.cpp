#include "LabelPrint.h"

#include "core/ProgramState.h"
#include "core/Prompter.h"
#include "core/SettingsStore.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <qrencode.h>

namespace ravo {

QrModules encodeQr(const QString& text)
{
    QrModules modules;
    const QByteArray utf8 = text.toUtf8();
    // Level M survives a scratch or a smudge on a label and keeps the code
    // small enough for its modules to stay large at the printed size.
    QRcode* code = QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M);
    if (!code)
        return modules;
    modules.size = code->width;
    modules.dark.resize(code->width * code->width);
    for (int i = 0; i < modules.dark.size(); ++i)
        modules.dark[i] = code->data[i] & 1;
    QRcode_free(code);
    return modules;
}

namespace {

constexpr double MmPerInch = 25.4;
constexpr double PointsPerMm = 72.0 / MmPerInch;

QColor statusColour(LabelStatus status)
{
    switch (status) {
    case LabelStatus::Passed:
        return QColor(0x3c, 0xb0, 0x4a);
    case LabelStatus::Limited:
        return QColor(0xf6, 0xc8, 0x1c);
    case LabelStatus::Stopped:
        break;
    }
    return QColor(0xe5, 0x39, 0x35);
}

// Draws label `r` (millimetres on the printer's positions) with the printer
// in device pixels.
class LabelPainter {
public:
    explicit LabelPainter(LinePrinter& lines) : m_lines(lines), m_scale(lines.resolution() / MmPerInch) { }

    void draw(const QRectF& r, const LabelData& label, LabelStatus status)
    {
        const QColor colour = statusColour(status);
        const double edge = std::min(0.8, r.height() * 0.03);
        const double pad = std::min(1.5, r.height() * 0.05);
        // A frame and a band in the label's colour; the band carries the word.
        fill(QRectF(r.left(), r.top(), r.width(), edge), colour);
        fill(QRectF(r.left(), r.bottom() - edge, r.width(), edge), colour);
        fill(QRectF(r.left(), r.top(), edge, r.height()), colour);
        fill(QRectF(r.right() - edge, r.top(), edge, r.height()), colour);
        const double band = r.height() * 0.26;
        fill(QRectF(r.left(), r.top(), r.width(), band), colour);
        m_lines.setFontBold(true);
        m_lines.setFontSize(band * 0.62 * PointsPerMm);
        text(QRectF(r.left(), r.top(), r.width(), band), labelStatusWord(status), Qt::AlignHCenter);

        const double top = r.top() + band + pad;
        const double height = r.bottom() - edge - pad - top;
        const double side = std::min(height, r.width() * 0.4);
        const QRectF code(r.right() - edge - pad - side, top + (height - side) / 2, side, side);
        drawCode(code, encodeQr(labelCodeText(label)));

        const double left = r.left() + edge + pad;
        const QRectF body(left, top, code.left() - pad - left, height);
        const QStringList rows{QStringLiteral("编号：") + label.number, QStringLiteral("名称：") + label.name,
                               QStringLiteral("检定：") + label.calibrated,
                               QStringLiteral("有效期至：") + label.validUntil,
                               QStringLiteral("单位：") + label.calibratingBody};
        const double row = body.height() / rows.size();
        // The widest usual line, "有效期至：2027-02-28", is about ten and a half
        // characters' width: the type is as large as the row and that line allow.
        const double fitting = std::min(row * 0.66, body.width() / 10.5) * PointsPerMm;
        m_lines.setFontSize(std::clamp(fitting, 4.0, 10.0));
        for (int i = 0; i < rows.size(); ++i) {
            m_lines.setFontBold(i == 0);
            text(QRectF(body.left(), body.top() + i * row, body.width(), row), rows.at(i), Qt::AlignLeft);
        }
    }

private:
    void fill(const QRectF& mm, const QColor& colour)
    {
        m_lines.fillRect(mm.left() * m_scale, mm.top() * m_scale, mm.width() * m_scale, mm.height() * m_scale, colour);
    }
    void text(const QRectF& mm, const QString& s, Qt::Alignment alignment)
    {
        m_lines.printInBox(mm.left() * m_scale, mm.top() * m_scale, mm.width() * m_scale, mm.height() * m_scale, s,
                           alignment);
    }
    // The code with a quiet zone of one module inside `box`; each row's runs
    // of dark modules are one rectangle, reaching a hair into the next row so
    // that no light seam shows between rows.
    void drawCode(const QRectF& box, const QrModules& code)
    {
        if (code.size == 0)
            return;
        const double module = box.width() / (code.size + 2);
        for (int y = 0; y < code.size; ++y)
            for (int x = 0; x < code.size;) {
                if (!code.at(x, y)) {
                    ++x;
                    continue;
                }
                int end = x;
                while (end < code.size && code.at(end, y))
                    ++end;
                fill(QRectF(box.left() + (x + 1) * module, box.top() + (y + 1) * module, (end - x) * module,
                            module * (y + 1 < code.size ? 1.02 : 1.0)),
                     Qt::black);
                x = end;
            }
    }

    LinePrinter& m_lines;
    double m_scale; // device pixels per millimetre
};

} // namespace

PrintRequest labelPrintRequest(const QVector<LabelData>& labels, const LabelPrintChoice& choice)
{
    PrintRequest request;
    request.documentName = QStringLiteral("计量器具状态标签");
    request.landscapeOnly = false;
    request.marginsMm = QMarginsF(0, 0, 0, 0);
    request.pageSizeMm = choice.sheet.pageSize;
    request.layout = [labels, choice](LinePrinter& lines, const PrintProgress& progress) -> PrintResult {
        if (labels.isEmpty())
            return {PrintOutcome::Empty, {}};
        lines.setScaleMode(LinePrinter::ScaleMode::Pixels);
        LabelPainter painter(lines);
        const QPointF offset = lines.printableOffsetMm();
        const QVector<LabelPlace> places = placeLabels(choice.sheet, int(labels.size()), choice.startAt);
        int page = 0;
        for (int i = 0; i < labels.size(); ++i) {
            for (; page < places.at(i).page; ++page)
                lines.newPage();
            const LabelData& label = labels.at(i);
            painter.draw(choice.sheet.labelRect(places.at(i).index).translated(-offset), label,
                         choice.colour.value_or(label.status));
            if (progress && !progress(PrintStage::Layout, i + 1, int(labels.size())))
                return {PrintOutcome::Cancelled, {}};
        }
        return {};
    };
    return request;
}

PrintResult printStatusLabels(QWidget* parent, Prompter& prompt, SettingsStore& settings,
                              const QVector<LabelData>& labels)
{
    if (labels.isEmpty()) {
        prompt.plain(QStringLiteral("没有可以打印标签的计量器具。"), AppTitle);
        return {PrintOutcome::Empty, {}};
    }
    LabelSettings kept = readLabelSettings(settings);
    LabelPrintDialog dialog(kept, int(labels.size()), prompt, parent);
    if (dialog.exec() != QDialog::Accepted)
        return {PrintOutcome::Cancelled, {}};
    const LabelPrintChoice choice = dialog.choice();
    kept.sheet = choice.sheet;
    kept.startAt = choice.startAt;
    writeLabelSettings(settings, kept);
    const PrintResult printed = printWithPreview(parent, prompt, labelPrintRequest(labels, choice));
    if (printed.ok()) {
        // The next print starts on the first label this one left free.
        const int perPage = choice.sheet.labelsPerPage();
        kept.startAt = (choice.startAt - 1 + int(labels.size())) % perPage + 1;
        writeLabelSettings(settings, kept);
    }
    return printed;
}

// ------------------------------------------------------------------ the dialog

LabelPrintDialog::LabelPrintDialog(const LabelSettings& settings, int labelCount, Prompter& prompt, QWidget* parent)
    : QDialog(parent), m_prompt(prompt), m_count(labelCount)
{
    setWindowTitle(QStringLiteral("打印标签"));
    auto* form = new QFormLayout;
    cboSheet = new QComboBox(this);
    for (const LabelSheet& sheet : presetLabelSheets())
        cboSheet->addItem(sheet.name);
    cboSheet->addItem(CustomLabelSheetName);
    auto* sheetLabel = new QLabel(QStringLiteral("标签纸(&P)："), this);
    sheetLabel->setBuddy(cboSheet);
    form->addRow(sheetLabel, cboSheet);

    auto* custom = new QGroupBox(QStringLiteral("标签纸的尺寸（毫米）"), this);
    auto* grid = new QGridLayout(custom);
    auto mm = [this](double max) {
        auto* s = new QDoubleSpinBox(this);
        s->setRange(0, max);
        s->setDecimals(2);
        s->setSingleStep(0.5);
        return s;
    };
    auto count = [this](int max) {
        auto* s = new QSpinBox(this);
        s->setRange(1, max);
        return s;
    };
    m_pageWidth = mm(500);
    m_pageHeight = mm(500);
    m_columns = count(20);
    m_rows = count(40);
    m_labelWidth = mm(500);
    m_labelHeight = mm(500);
    m_left = mm(200);
    m_top = mm(200);
    m_gapX = mm(100);
    m_gapY = mm(100);
    const QList<QPair<QString, QWidget*>> fields{
        {QStringLiteral("纸宽"), m_pageWidth},    {QStringLiteral("纸高"), m_pageHeight},
        {QStringLiteral("列数"), m_columns},      {QStringLiteral("行数"), m_rows},
        {QStringLiteral("标签宽"), m_labelWidth}, {QStringLiteral("标签高"), m_labelHeight},
        {QStringLiteral("左边距"), m_left},       {QStringLiteral("上边距"), m_top},
        {QStringLiteral("列间距"), m_gapX},       {QStringLiteral("行间距"), m_gapY}};
    for (int i = 0; i < fields.size(); ++i) {
        grid->addWidget(new QLabel(fields.at(i).first, custom), i / 2, (i % 2) * 2);
        grid->addWidget(fields.at(i).second, i / 2, (i % 2) * 2 + 1);
    }
    form->addRow(custom);

    spnStart = new QSpinBox(this);
    auto* startLabel = new QLabel(QStringLiteral("从第(&N)"), this);
    startLabel->setBuddy(spnStart);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(spnStart);
    startRow->addWidget(new QLabel(QStringLiteral("个标签开始（用过一部分的标签纸）"), this));
    startRow->addStretch();
    form->addRow(startLabel, startRow);

    cboColour = new QComboBox(this);
    cboColour->addItems({QStringLiteral("按器具的状态"), QStringLiteral("全部为 合格（绿色）"),
                         QStringLiteral("全部为 准用（黄色）"), QStringLiteral("全部为 停用（红色）")});
    auto* colourLabel = new QLabel(QStringLiteral("标签颜色(&C)："), this);
    colourLabel->setBuddy(cboColour);
    form->addRow(colourLabel, cboColour);

    lblSummary = new QLabel(this);
    form->addRow(lblSummary);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("预览(&V)..."), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    m_custom = settings.sheet;
    m_custom.name = CustomLabelSheetName;
    const int index = cboSheet->findText(settings.sheet.name);
    cboSheet->setCurrentIndex(index >= 0 ? index : 0);
    showSheet();
    spnStart->setValue(settings.startAt);
    connect(cboSheet, &QComboBox::currentIndexChanged, this, &LabelPrintDialog::showSheet);
    for (QSpinBox* s : {m_columns, m_rows, spnStart})
        connect(s, &QSpinBox::valueChanged, this, &LabelPrintDialog::updateSummary);
    updateSummary();
}

void LabelPrintDialog::showSheet()
{
    const bool custom = cboSheet->currentText() == CustomLabelSheetName;
    const LabelSheet sheet = custom ? m_custom : presetLabelSheets().value(cboSheet->currentIndex());
    m_pageWidth->setValue(sheet.pageSize.width());
    m_pageHeight->setValue(sheet.pageSize.height());
    m_columns->setValue(sheet.columns);
    m_rows->setValue(sheet.rows);
    m_labelWidth->setValue(sheet.labelSize.width());
    m_labelHeight->setValue(sheet.labelSize.height());
    m_left->setValue(sheet.margins.x());
    m_top->setValue(sheet.margins.y());
    m_gapX->setValue(sheet.gaps.width());
    m_gapY->setValue(sheet.gaps.height());
    // A preset's figures are shown for reference; only the user's own sheet is typed.
    for (QAbstractSpinBox* s : std::initializer_list<QAbstractSpinBox*>{
             m_pageWidth, m_pageHeight, m_columns, m_rows, m_labelWidth, m_labelHeight, m_left, m_top, m_gapX, m_gapY})
        s->setEnabled(custom);
    updateSummary();
}

LabelSheet LabelPrintDialog::currentSheet() const
{
    if (cboSheet->currentText() != CustomLabelSheetName)
        return presetLabelSheets().value(cboSheet->currentIndex());
    LabelSheet sheet;
    sheet.name = CustomLabelSheetName;
    sheet.pageSize = {m_pageWidth->value(), m_pageHeight->value()};
    sheet.columns = m_columns->value();
    sheet.rows = m_rows->value();
    sheet.labelSize = {m_labelWidth->value(), m_labelHeight->value()};
    sheet.margins = {m_left->value(), m_top->value()};
    sheet.gaps = {m_gapX->value(), m_gapY->value()};
    return sheet;
}

void LabelPrintDialog::updateSummary()
{
    const int perPage = std::max(1, m_columns->value() * m_rows->value());
    spnStart->setRange(1, perPage);
    const int pages = (spnStart->value() - 1 + m_count + perPage - 1) / perPage;
    lblSummary->setText(QStringLiteral("共 %1 张标签，每页 %2 张，用 %3 页。").arg(m_count).arg(perPage).arg(pages));
}

LabelPrintChoice LabelPrintDialog::choice() const
{
    LabelPrintChoice c;
    c.sheet = currentSheet();
    c.startAt = spnStart->value();
    switch (cboColour->currentIndex()) {
    case 1:
        c.colour = LabelStatus::Passed;
        break;
    case 2:
        c.colour = LabelStatus::Limited;
        break;
    case 3:
        c.colour = LabelStatus::Stopped;
        break;
    default:
        break;
    }
    return c;
}

void LabelPrintDialog::accept()
{
    const LabelSheet sheet = currentSheet();
    if (const QString problem = sheet.problem(); !problem.isEmpty()) {
        m_prompt.error(problem, windowTitle());
        return;
    }
    if (sheet.name == CustomLabelSheetName)
        m_custom = sheet;
    QDialog::accept();
}

} // namespace ravo
