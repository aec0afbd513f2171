#pragma once
// The status labels stuck on instruments: the three colours of metrology
// practice — 合格 (green), 准用 (yellow), 停用 (red) — with the instrument's
// number, name, dates, calibrating body and a QR code of its number; and the
// sheets they are printed on, measured in millimetres.
#include "Ledger.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>
#include <optional>

class QDate;

namespace ravo {

class SettingsStore;

enum class LabelStatus { Passed, Limited, Stopped };

// "合格", "准用", "停用".
QString labelStatusWord(LabelStatus status);
// The label an instrument gets from its 状态 and 有效日期: 合格 and 测量标准
// green, 准用 and 限用 yellow, 禁用, 封存 and 报废 red; an instrument past its
// valid-until date is red whatever its status says; another or blank status
// counts as 合格 while it is valid.
LabelStatus labelStatusFor(const QString& status, const QString& validUntil, const QDate& today);

// What one label shows.
struct LabelData {
    QString number; // 计量器具编号
    QString name;   // 计量器具名称
    QString calibrated;
    QString validUntil;
    QString calibratingBody; // 检定单位
    LabelStatus status = LabelStatus::Passed;
};

// The text of the label's QR code: the number on the first line (what a
// scanner types into a search box), then the name and the valid-until date.
QString labelCodeText(const LabelData& label);

// Reads the labels of the instruments numbered `numbers`, in that order,
// from the in-use, sealed and scrapped ledgers (the first that holds the
// number). Numbers found in none are listed in *missing.
QVector<LabelData> readLabelData(Database& db, const QStringList& numbers, const QDate& today,
                                 QStringList* missing = nullptr);

// The instrument numbers of a table's rows (a result table), in the order of
// its rows, blank ones left out; nothing when the table has no number column.
std::optional<QStringList> instrumentNumbersOf(Database& db, const QString& table);

// A sheet of labels: `columns` × `rows` labels of labelSize on a page of
// pageSize, the first label `margins` (left, top) from the page's corner,
// `gaps` between neighbours. A label printer's roll is a sheet of one label.
struct LabelSheet {
    QString name;
    QSizeF pageSize{210, 297};
    int columns = 1;
    int rows = 1;
    QSizeF labelSize{40, 30};
    QPointF margins{0, 0};
    QSizeF gaps{0, 0};

    int labelsPerPage() const { return columns * rows; }
    // Where label i of a page (0-based, row by row) lies on the page, in mm.
    QRectF labelRect(int index) const;
    // Empty when the sheet can be printed; else why not (Chinese).
    QString problem() const;
    bool operator==(const LabelSheet&) const = default;
};

// The common sheets and label-printer sizes offered, in their order.
const QVector<LabelSheet>& presetLabelSheets();
// The name of the sheet the user defines.
inline const QString CustomLabelSheetName = QStringLiteral("自定义");

// The label settings, kept in the settings store (section "Labels"): the
// sheet last used (a preset by name, or the user's own) and where the next
// print starts.
struct LabelSettings {
    LabelSheet sheet;
    int startAt = 1; // 1-based label of the first page to start at
};
LabelSettings readLabelSettings(const SettingsStore& store);
void writeLabelSettings(SettingsStore& store, const LabelSettings& settings);

// Where each label goes: page and position on it, starting at label
// `startAt` (1-based) of the first page, then filling whole pages.
struct LabelPlace {
    int page = 0;
    int index = 0; // on the page, row by row
};
QVector<LabelPlace> placeLabels(const LabelSheet& sheet, int count, int startAt);

} // namespace ravo
