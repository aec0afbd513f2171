#include "StatusLabel.h"

#include "SettingsStore.h"

#include <QDate>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>

namespace ravo {

QString labelStatusWord(LabelStatus status)
{
    switch (status) {
    case LabelStatus::Passed:
        return QStringLiteral("合格");
    case LabelStatus::Limited:
        return QStringLiteral("准用");
    case LabelStatus::Stopped:
        break;
    }
    return QStringLiteral("停用");
}

LabelStatus labelStatusFor(const QString& status, const QString& validUntil, const QDate& today)
{
    const QString s = status.trimmed();
    if (s == QStringLiteral("禁用") || s == QStringLiteral("封存") || s == QStringLiteral("报废"))
        return LabelStatus::Stopped;
    const QDate valid = QDate::fromString(validUntil.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (valid.isValid() && valid < today)
        return LabelStatus::Stopped;
    if (s == QStringLiteral("准用") || s == QStringLiteral("限用"))
        return LabelStatus::Limited;
    return LabelStatus::Passed;
}

QString labelCodeText(const LabelData& label)
{
    QStringList lines{label.number};
    if (!label.name.trimmed().isEmpty())
        lines << label.name.trimmed();
    if (!label.validUntil.trimmed().isEmpty())
        lines << QStringLiteral("有效期至 ") + label.validUntil.trimmed();
    return lines.join(QLatin1Char('\n'));
}

QVector<LabelData> readLabelData(Database& db, const QStringList& numbers, const QDate& today, QStringList* missing)
{
    QVector<LabelData> labels;
    if (missing)
        missing->clear();
    // One prepared lookup per ledger, asked number by number in the order
    // given: a label sheet follows the order of the list it was printed from.
    const QStringList ledgers{tables::InUse, tables::Sealed, tables::Scrapped};
    QVector<QSqlQuery> lookups;
    for (const QString& table : ledgers) {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT 计量器具编号, 计量器具名称, 检定日期, 有效日期, 检定单位, 状态 FROM %1 "
                                 "WHERE 计量器具编号 = ?")
                      .arg(quotedIdentifier(table)));
        lookups << q;
    }
    for (const QString& number : numbers) {
        bool found = false;
        for (QSqlQuery& q : lookups) {
            q.addBindValue(number);
            if (q.exec() && q.next()) {
                LabelData l;
                l.number = q.value(0).toString();
                l.name = q.value(1).toString();
                l.calibrated = q.value(2).toString();
                l.validUntil = q.value(3).toString();
                l.calibratingBody = q.value(4).toString();
                l.status = labelStatusFor(q.value(5).toString(), l.validUntil, today);
                labels << l;
                found = true;
            }
            q.finish();
            if (found)
                break;
        }
        if (!found && missing)
            *missing << number;
    }
    return labels;
}

std::optional<QStringList> instrumentNumbersOf(Database& db, const QString& table)
{
    if (!db.columns(table).contains(NumberColumn))
        return std::nullopt;
    QStringList numbers;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                    .arg(quotedIdentifier(NumberColumn), quotedIdentifier(table))))
        return std::nullopt;
    while (q.next())
        if (const QString n = q.value(0).toString(); !n.trimmed().isEmpty())
            numbers << n;
    return numbers;
}

QRectF LabelSheet::labelRect(int index) const
{
    const int row = columns > 0 ? index / columns : 0;
    const int column = columns > 0 ? index % columns : 0;
    return {margins.x() + column * (labelSize.width() + gaps.width()),
            margins.y() + row * (labelSize.height() + gaps.height()), labelSize.width(), labelSize.height()};
}

QString LabelSheet::problem() const
{
    if (columns < 1 || rows < 1 || columns > 20 || rows > 40)
        return QStringLiteral("每页标签的列数应为 1～20，行数应为 1～40。");
    if (labelSize.width() < 20 || labelSize.height() < 15)
        return QStringLiteral("标签至少要 20 × 15 毫米，才能放下状态、编号和二维码。");
    if (pageSize.width() < 20 || pageSize.height() < 15 || pageSize.width() > 500 || pageSize.height() > 500)
        return QStringLiteral("纸张的宽度和高度应在 20～500 毫米之间。");
    if (margins.x() < 0 || margins.y() < 0 || gaps.width() < 0 || gaps.height() < 0)
        return QStringLiteral("边距和间距不能是负数。");
    const QRectF last = labelRect(labelsPerPage() - 1);
    // A tenth of a millimetre of rounding in the sheet's own figures is let pass.
    if (last.right() > pageSize.width() + 0.1 || last.bottom() > pageSize.height() + 0.1)
        return QStringLiteral("%1 列 × %2 行标签（连同边距和间距）超出了 %3 × %4 毫米的纸张。")
            .arg(columns)
            .arg(rows)
            .arg(pageSize.width())
            .arg(pageSize.height());
    return {};
}

const QVector<LabelSheet>& presetLabelSheets()
{
    static const QVector<LabelSheet> sheets = {
        {QStringLiteral("A4 不干胶 3 × 8（70 × 37 毫米）"), {210, 297}, 3, 8, {70, 37}, {0, 0.5}, {0, 0}},
        {QStringLiteral("A4 不干胶 4 × 10（52.5 × 29.7 毫米）"), {210, 297}, 4, 10, {52.5, 29.7}, {0, 0}, {0, 0}},
        {QStringLiteral("A4 不干胶 2 × 7（99.1 × 38.1 毫米）"),
         {210, 297},
         2,
         7,
         {99.1, 38.1},
         {4.65, 15.15},
         {2.5, 0}},
        {QStringLiteral("标签打印机 40 × 30 毫米"), {40, 30}, 1, 1, {40, 30}, {0, 0}, {0, 0}},
        {QStringLiteral("标签打印机 50 × 30 毫米"), {50, 30}, 1, 1, {50, 30}, {0, 0}, {0, 0}},
        {QStringLiteral("标签打印机 60 × 40 毫米"), {60, 40}, 1, 1, {60, 40}, {0, 0}, {0, 0}},
    };
    return sheets;
}

namespace {

const QString kApp = SettingsStore::MainApp;
const QString kSection = QStringLiteral("Labels");

double readMm(const SettingsStore& store, const QString& key, double fallback)
{
    const std::optional<float> v = store.readSingle(kApp, kSection, key);
    return v && std::isfinite(*v) ? double(*v) : fallback;
}

} // namespace

LabelSettings readLabelSettings(const SettingsStore& store)
{
    LabelSettings s;
    s.sheet = presetLabelSheets().first();
    const QString name = store.read(kApp, kSection, QStringLiteral("Sheet"));
    if (name == CustomLabelSheetName) {
        LabelSheet own = s.sheet;
        own.name = CustomLabelSheetName;
        own.pageSize = {readMm(store, QStringLiteral("PageWidth"), 210),
                        readMm(store, QStringLiteral("PageHeight"), 297)};
        own.columns = store.readInt16(kApp, kSection, QStringLiteral("Columns")).value_or(own.columns);
        own.rows = store.readInt16(kApp, kSection, QStringLiteral("Rows")).value_or(own.rows);
        own.labelSize = {readMm(store, QStringLiteral("LabelWidth"), own.labelSize.width()),
                         readMm(store, QStringLiteral("LabelHeight"), own.labelSize.height())};
        own.margins = {readMm(store, QStringLiteral("Left"), 0), readMm(store, QStringLiteral("Top"), 0)};
        own.gaps = {readMm(store, QStringLiteral("GapX"), 0), readMm(store, QStringLiteral("GapY"), 0)};
        // A hand-edited sheet that cannot be printed falls back to the first preset.
        if (own.problem().isEmpty())
            s.sheet = own;
    } else {
        for (const LabelSheet& preset : presetLabelSheets())
            if (preset.name == name)
                s.sheet = preset;
    }
    const int start = store.readInt16(kApp, kSection, QStringLiteral("StartAt")).value_or(1);
    s.startAt = start >= 1 && start <= s.sheet.labelsPerPage() ? start : 1;
    return s;
}

void writeLabelSettings(SettingsStore& store, const LabelSettings& settings)
{
    const LabelSheet& sheet = settings.sheet;
    store.save(kApp, kSection, QStringLiteral("Sheet"), sheet.name);
    if (sheet.name == CustomLabelSheetName) {
        store.saveSingle(kApp, kSection, QStringLiteral("PageWidth"), float(sheet.pageSize.width()));
        store.saveSingle(kApp, kSection, QStringLiteral("PageHeight"), float(sheet.pageSize.height()));
        store.saveInt(kApp, kSection, QStringLiteral("Columns"), sheet.columns);
        store.saveInt(kApp, kSection, QStringLiteral("Rows"), sheet.rows);
        store.saveSingle(kApp, kSection, QStringLiteral("LabelWidth"), float(sheet.labelSize.width()));
        store.saveSingle(kApp, kSection, QStringLiteral("LabelHeight"), float(sheet.labelSize.height()));
        store.saveSingle(kApp, kSection, QStringLiteral("Left"), float(sheet.margins.x()));
        store.saveSingle(kApp, kSection, QStringLiteral("Top"), float(sheet.margins.y()));
        store.saveSingle(kApp, kSection, QStringLiteral("GapX"), float(sheet.gaps.width()));
        store.saveSingle(kApp, kSection, QStringLiteral("GapY"), float(sheet.gaps.height()));
    }
    store.saveInt(kApp, kSection, QStringLiteral("StartAt"), settings.startAt);
}

QVector<LabelPlace> placeLabels(const LabelSheet& sheet, int count, int startAt)
{
    QVector<LabelPlace> places;
    const int perPage = std::max(1, sheet.labelsPerPage());
    int slot = std::clamp(startAt, 1, perPage) - 1;
    for (int i = 0; i < count; ++i, ++slot)
        places.push_back({slot / perPage, slot % perPage});
    return places;
}

} // namespace ravo
