#include "HistoryWindow.h"

#include "DatePicker.h"

#include "core/History.h"
#include "core/Prompter.h"
#include "exchange/Export.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

namespace ravo {

namespace {

const QString Title = QStringLiteral("变更履历");

// The widths of the grid's columns, in characters of the window's font.
constexpr int ColumnChars[] = {19, 12, 19, 14, 9, 13, 16, 16};

} // namespace

// ------------------------------------------------------------------ model

HistoryModel::HistoryModel(Database& db, QObject* parent) : QAbstractTableModel(parent), m_db(db)
{
}

void HistoryModel::setEntries(const QVector<HistoryEntry>& entries)
{
    beginResetModel();
    m_rows = entries;
    m_more = false;
    endResetModel();
}

bool HistoryModel::setFilter(const HistoryFilter& filter, DbError* error)
{
    DbError e;
    const QVector<HistoryEntry> first = readHistory(m_db, filter, 0, PageSize, &e);
    beginResetModel();
    m_filter = filter;
    m_rows = e ? QVector<HistoryEntry>() : first;
    m_more = !e && first.size() == PageSize;
    endResetModel();
    if (error)
        *error = e;
    return !e;
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(historyHeadings().size());
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const HistoryEntry& e = m_rows.at(index.row());
    switch (index.column()) {
    case 0:
        return e.time;
    case 1:
        return e.account;
    case 2:
        return e.table;
    case 3:
        return e.number;
    case 4:
        return e.event;
    case 5:
        return e.column;
    case 6:
        return e.before;
    case 7:
        return e.after;
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return historyHeadings().value(section);
    return section + 1;
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_more;
}

void HistoryModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || !m_more || m_rows.isEmpty())
        return;
    // The next page starts below the oldest row read: quick at any depth,
    // and rows written meanwhile neither repeat nor shift the pages.
    DbError e;
    const QVector<HistoryEntry> page = readHistory(m_db, m_filter, m_rows.last().id, PageSize, &e);
    m_more = !e && page.size() == PageSize;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size()) - 1);
    m_rows += page;
    endInsertRows();
}

// ----------------------------------------------------------------- window

QString HistoryWindow::anyEntry()
{
    return QStringLiteral("（全部）");
}

HistoryWindow::HistoryWindow(Database& db, Prompter& prompt, QWidget* parent)
    : QDialog(parent), m_db(db), m_prompt(prompt)
{
    setWindowTitle(Title);
    build();
    query();
}

HistoryWindow::HistoryWindow(Database& db, Prompter& prompt, const QString& number, QWidget* parent)
    : QDialog(parent), m_db(db), m_prompt(prompt), m_number(number)
{
    setWindowTitle(QStringLiteral("%1 — %2").arg(Title, number));
    build();
    const QVector<HistoryEntry> entries = instrumentHistory(db, number);
    m_model->setEntries(entries);
    showCount(entries.size());
}

void HistoryWindow::build()
{
    setObjectName(QStringLiteral("frmHistory"));
    auto* layout = new QVBoxLayout(this);

    if (isWholeLog()) {
        chkFrom = new QCheckBox(QStringLiteral("起始日期(&F)："), this);
        chkTo = new QCheckBox(QStringLiteral("终止日期(&T)："), this);
        dtpFrom = new DatePicker(this);
        dtpTo = new DatePicker(this);
        dtpFrom->setObjectName(QStringLiteral("dtpFrom"));
        dtpTo->setObjectName(QStringLiteral("dtpTo"));
        const QDate today = QDate::currentDate();
        dtpFrom->setDate(today.addMonths(-1));
        dtpTo->setDate(today);
        // An unticked date leaves the range open on its side.
        for (auto [check, picker] : {std::pair{chkFrom, dtpFrom}, std::pair{chkTo, dtpTo}}) {
            picker->setEnabled(false);
            connect(check, &QCheckBox::toggled, picker, &QWidget::setEnabled);
            connect(picker, &DatePicker::refused, this, [this](const QString& typed) {
                m_prompt.error(QStringLiteral("“%1”不是有效的日期，请按“2026-12-31”的形式输入。").arg(typed), Title);
            });
        }

        cboAccount = new QComboBox(this);
        cboAccount->setObjectName(QStringLiteral("cboAccount"));
        cboAccount->setEditable(true);
        cboAccount->addItem(anyEntry());
        cboAccount->addItems(historyAccounts(m_db));
        cboTable = new QComboBox(this);
        cboTable->setObjectName(QStringLiteral("cboTable"));
        cboTable->addItem(anyEntry());
        cboTable->addItems(exchange::ledgerTables());
        txtNumber = new QLineEdit(this);
        txtNumber->setObjectName(QStringLiteral("txtNumber"));
        txtNumber->setClearButtonEnabled(true);
        cmdQuery = new QPushButton(QStringLiteral("查询(&Q)"), this);
        cmdQuery->setObjectName(QStringLiteral("cmdQuery"));
        cmdQuery->setDefault(true);
        connect(cmdQuery, &QPushButton::clicked, this, &HistoryWindow::query);
        connect(txtNumber, &QLineEdit::returnPressed, this, &HistoryWindow::query);

        auto* account = new QLabel(QStringLiteral("账户(&A)："), this);
        account->setBuddy(cboAccount);
        auto* table = new QLabel(QStringLiteral("数据表(&B)："), this);
        table->setBuddy(cboTable);
        auto* number = new QLabel(QStringLiteral("计量器具编号(&N)："), this);
        number->setBuddy(txtNumber);

        auto* filters = new QGridLayout;
        filters->addWidget(chkFrom, 0, 0);
        filters->addWidget(dtpFrom, 0, 1);
        filters->addWidget(chkTo, 0, 2);
        filters->addWidget(dtpTo, 0, 3);
        filters->addWidget(account, 0, 4);
        filters->addWidget(cboAccount, 0, 5);
        filters->addWidget(table, 1, 0, Qt::AlignRight);
        filters->addWidget(cboTable, 1, 1);
        filters->addWidget(number, 1, 2, Qt::AlignRight);
        filters->addWidget(txtNumber, 1, 3);
        filters->addWidget(cmdQuery, 1, 5, Qt::AlignLeft);
        filters->setColumnStretch(1, 1);
        filters->setColumnStretch(3, 1);
        filters->setColumnStretch(5, 1);
        layout->addLayout(filters);
    } else {
        layout->addWidget(new QLabel(
            QStringLiteral("计量器具“%1”的变更履历，最新的在前（包括它改编号以前的记录）：").arg(m_number), this));
    }

    m_model = new HistoryModel(m_db, this);
    grdHistory = new QTableView(this);
    grdHistory->setObjectName(QStringLiteral("grdHistory"));
    grdHistory->setModel(m_model);
    grdHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdHistory->setAlternatingRowColors(true);
    grdHistory->verticalHeader()->setDefaultSectionSize(grdHistory->fontMetrics().height() + 6);
    grdHistory->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int charWidth = grdHistory->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < int(std::size(ColumnChars)); ++c)
        grdHistory->setColumnWidth(c, ColumnChars[c] * charWidth + 12);
    grdHistory->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(grdHistory, 1);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    cmdClose = new QPushButton(QStringLiteral("关闭(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblCount, 1);
    if (isWholeLog()) {
        cmdExport = new QPushButton(QStringLiteral("导出(&X)..."), this);
        cmdExport->setObjectName(QStringLiteral("cmdExport"));
        connect(cmdExport, &QPushButton::clicked, this, &HistoryWindow::chooseExportFile);
        bottom->addWidget(cmdExport);
    }
    bottom->addWidget(cmdClose);
    layout->addLayout(bottom);
    if (isWholeLog()) {
        // Left to right, top to bottom, each date after its tick.
        const QList<QWidget*> order{chkFrom,   dtpFrom,  chkTo,      dtpTo,     cboAccount, cboTable,
                                    txtNumber, cmdQuery, grdHistory, cmdExport, cmdClose};
        for (int i = 1; i < order.size(); ++i)
            setTabOrder(order[i - 1], order[i]);
    }
    resize(isWholeLog() ? 1060 : 960, 560);
}

void HistoryWindow::showCount(qint64 count)
{
    lblCount->setText(count < 0 ? QString() : QStringLiteral("共 %1 条").arg(count));
}

std::optional<HistoryFilter> HistoryWindow::filterShown()
{
    HistoryFilter f;
    if (!isWholeLog()) {
        f.number = m_number;
        return f;
    }
    for (auto [check, picker, name] : {std::tuple{chkFrom, dtpFrom, QStringLiteral("起始日期")},
                                       std::tuple{chkTo, dtpTo, QStringLiteral("终止日期")}}) {
        if (!check->isChecked())
            continue;
        if (!picker->commitTyped()) {
            m_prompt.error(
                QStringLiteral("%1“%2”不是有效的日期，请按“2026-12-31”的形式输入。").arg(name, picker->typedText()),
                Title);
            picker->setFocus();
            return std::nullopt;
        }
    }
    if (chkFrom->isChecked())
        f.from = dtpFrom->date();
    if (chkTo->isChecked())
        f.to = dtpTo->date();
    if (f.from.isValid() && f.to.isValid() && f.from > f.to) {
        m_prompt.error(
            QStringLiteral("起始日期（%1）晚于终止日期（%2），请重新选择。")
                .arg(f.from.toString(QStringLiteral("yyyy-MM-dd")), f.to.toString(QStringLiteral("yyyy-MM-dd"))),
            Title);
        dtpFrom->setFocus();
        return std::nullopt;
    }
    const QString account = cboAccount->currentText().trimmed();
    if (account != anyEntry())
        f.account = account;
    if (cboTable->currentIndex() > 0)
        f.table = cboTable->currentText();
    f.number = txtNumber->text().trimmed();
    return f;
}

void HistoryWindow::query()
{
    if (!isWholeLog())
        return;
    const std::optional<HistoryFilter> f = filterShown();
    if (!f)
        return;
    DbError e;
    if (!m_model->setFilter(*f, &e)) {
        showCount(-1);
        m_prompt.error(QStringLiteral("无法读取变更履历：%1").arg(e.text()), Title);
        return;
    }
    const qint64 count = countHistory(m_db, *f, &e);
    showCount(count);
    if (e)
        m_prompt.error(QStringLiteral("无法统计变更履历的条数：%1").arg(e.text()), Title);
    m_shown = *f;
    if (!keepsHistory(m_db))
        lblCount->setText(QStringLiteral("这个台帐还没有变更履历数据表（由较早版本的 RAVO 建立，尚未升级）。"));
}

void HistoryWindow::chooseExportFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString suggested =
        QDir(folder).filePath(Title + QLatin1Char(' ') + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                              + QStringLiteral(".xlsx"));
    const std::optional<QString> path =
        m_prompt.saveFileName(QStringLiteral("导出到文件"), suggested, exchange::exportFileTypes());
    if (!path || path->trimmed().isEmpty())
        return;
    exportTo(*path);
}

qint64 HistoryWindow::exportTo(const QString& path)
{
    // What the grid shows: the filter of the last query, not fields edited
    // since and not yet queried.
    const HistorySelect s = historyExportSelect(m_shown);
    const QString file = QDir::toNativeSeparators(path);
    if (!keepsHistory(m_db)) {
        m_prompt.error(QStringLiteral("这个台帐还没有变更履历，没有写入文件“%1”。").arg(file), Title);
        return -1;
    }
    QProgressDialog progress(QStringLiteral("正在导出变更履历，请稍候…"), QStringLiteral("取消"), 0, 0, this);
    progress.setWindowTitle(Title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const qint64 total = countHistory(m_db, m_shown);
    const exchange::ExportResult r = exchange::exportQuery(
        m_db, s.sql, s.binds, historyHeadings(), path, Title,
        [&](qint64 done, qint64 all) {
            progress.setMaximum(int(std::min<qint64>(all, INT_MAX)));
            progress.setValue(int(std::min<qint64>(done, INT_MAX)));
            return !progress.wasCanceled();
        },
        total);
    progress.reset();
    progress.close();
    if (r.cancelled) {
        m_prompt.plain(QStringLiteral("导出已取消，没有写入文件“%1”。").arg(file), Title);
        return -1;
    }
    if (!r.error.isEmpty()) {
        m_prompt.error(QStringLiteral("导出没有完成，没有写入文件“%1”。\n\n%2").arg(file, r.error), Title);
        return -1;
    }
    m_prompt.message(QStringLiteral("已导出 %1 条变更履历到“%2”。").arg(r.rows).arg(file), Title,
                     Prompter::Icon::Information);
    return r.rows;
}

} // namespace ravo
