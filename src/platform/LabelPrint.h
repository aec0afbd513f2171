#pragma once
// Printing status labels: each label's coloured band with its status word,
// the instrument's number, name, dates and calibrating body, and a QR code of
// its number; a sheet of them per page, or one per page on a label printer.
#include "core/StatusLabel.h"
#include "platform/LinePrinter.h"

#include <QDialog>
#include <QVector>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace ravo {

class Prompter;
class SettingsStore;

// The modules of a QR code, row by row (true = dark); size 0 when the text
// cannot be encoded.
struct QrModules {
    int size = 0;
    QVector<bool> dark;
    bool at(int x, int y) const { return dark.at(y * size + x); }
};
QrModules encodeQr(const QString& text);

// How the labels of one print are chosen: the sheet, the label of the first
// page to start at, and the colour for all of them when the user chose one
// (else each instrument's own).
struct LabelPrintChoice {
    LabelSheet sheet;
    int startAt = 1;
    std::optional<LabelStatus> colour;
};

// The print request that lays the labels out.
PrintRequest labelPrintRequest(const QVector<LabelData>& labels, const LabelPrintChoice& choice);

// Asks for the sheet, the start and the colour (remembering them in the
// settings), then prints the labels through the print preview. Nothing is
// printed when the list is empty or the user cancels.
PrintResult printStatusLabels(QWidget* parent, Prompter& prompt, SettingsStore& settings,
                              const QVector<LabelData>& labels);

// The window that asks for the sheet, the start and the colour.
class LabelPrintDialog : public QDialog {
    Q_OBJECT
public:
    LabelPrintDialog(const LabelSettings& settings, int labelCount, Prompter& prompt, QWidget* parent = nullptr);
    LabelPrintChoice choice() const;

    QComboBox* cboSheet = nullptr;
    QSpinBox* spnStart = nullptr;
    QComboBox* cboColour = nullptr;
    QLabel* lblSummary = nullptr;

protected:
    void accept() override;

private:
    void showSheet();
    void updateSummary();
    LabelSheet currentSheet() const;

    Prompter& m_prompt;
    int m_count = 0;
    LabelSheet m_custom;
    QSpinBox* m_columns = nullptr;
    QSpinBox* m_rows = nullptr;
    QDoubleSpinBox* m_pageWidth = nullptr;
    QDoubleSpinBox* m_pageHeight = nullptr;
    QDoubleSpinBox* m_labelWidth = nullptr;
    QDoubleSpinBox* m_labelHeight = nullptr;
    QDoubleSpinBox* m_left = nullptr;
    QDoubleSpinBox* m_top = nullptr;
    QDoubleSpinBox* m_gapX = nullptr;
    QDoubleSpinBox* m_gapY = nullptr;
};

} // namespace ravo
