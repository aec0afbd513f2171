#include "frmImport.h"

#include "core/ProgramState.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ravo {

using namespace exchange;

namespace {

const QString Title = QStringLiteral("导入");
const QString LeftOut = QStringLiteral("（不导入）");
constexpr int PreviewRows = 20;
// More refused rows than this are counted but not listed.
constexpr int ListedRefusals = 1000;
// Files this long are checked and written under a progress window.
constexpr int LongFile = 2000;

// A progress window for a long check or import; its cancel button stops the
// work.
class Progress {
public:
    Progress(QWidget* owner, const QString& label) : m_owner(owner), m_label(label) { }
    std::function<bool(int, int)> callback()
    {
        return [this](int done, int total) {
            // The window shows only for a long file; the file says how long
            // as the reading starts or, when it does not, the rows read so far.
            if (!m_window) {
                if (std::max(total, done) < LongFile)
                    return true;
                m_window = std::make_unique<QProgressDialog>(m_label, QStringLiteral("取消"), 0, total, m_owner);
                m_window->setWindowTitle(Title);
                m_window->setWindowModality(Qt::WindowModal);
                m_window->setMinimumDuration(300);
                m_window->setAutoReset(false);
            }
            m_window->setMaximum(total); // 0: a busy bar, the length unknown
            m_window->setValue(total > 0 ? done : 0);
            QCoreApplication::processEvents();
            return !m_window->wasCanceled();
        };
    }

private:
    QWidget* m_owner;
    QString m_label;
    std::unique_ptr<QProgressDialog> m_window;
};

QTableWidget* table(QWidget* parent, const QStringList& headers)
{
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QTableWidgetItem* item(const QString& text)
{
    return new QTableWidgetItem(text);
}

} // namespace

frmImport::frmImport(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("导入计量器具台帐"));
    resize(980, 720);

    auto* top = new QGridLayout;
    auto* fileLabel = new QLabel(QStringLiteral("文件："), this);
    txtFile = new QLineEdit(this);
    txtFile->setReadOnly(true);
    txtFile->setPlaceholderText(QStringLiteral("请选择 .xlsx、.xls 或 .csv 文件"));
    cmdBrowse = new QPushButton(QStringLiteral("浏览(&B)..."), this);
    auto* sheetLabel = new QLabel(QStringLiteral("工作表(&S)："), this);
    cboSheet = new QComboBox(this);
    cboSheet->setEnabled(false);
    sheetLabel->setBuddy(cboSheet);
    auto* tableLabel = new QLabel(QStringLiteral("导入到(&T)："), this);
    cboTable = new QComboBox(this);
    cboTable->addItems(importTables());
    cboTable->setCurrentText(tables::InUse);
    tableLabel->setBuddy(cboTable);
    top->addWidget(fileLabel, 0, 0);
    top->addWidget(txtFile, 0, 1, 1, 3);
    top->addWidget(cmdBrowse, 0, 4);
    top->addWidget(sheetLabel, 1, 0);
    top->addWidget(cboSheet, 1, 1);
    top->addWidget(tableLabel, 1, 2);
    top->addWidget(cboTable, 1, 3, 1, 2);
    top->setColumnStretch(1, 1);
    top->setColumnStretch(3, 1);

    auto* mappingBox = new QGroupBox(QStringLiteral("列的对应（可以改变每一列导入到哪里）"), this);
    grdMapping = table(mappingBox, {QStringLiteral("文件中的列"), QStringLiteral("导入到")});
    grdMapping->setSelectionMode(QAbstractItemView::NoSelection);
    (new QVBoxLayout(mappingBox))->addWidget(grdMapping);

    auto* previewBox = new QGroupBox(QStringLiteral("导入后的样子（前 %1 行）").arg(PreviewRows), this);
    grdPreview = table(previewBox, {});
    (new QVBoxLayout(previewBox))->addWidget(grdPreview);

    auto* upper = new QHBoxLayout;
    upper->addWidget(mappingBox, 2);
    upper->addWidget(previewBox, 5);

    lblSummary = new QLabel(this);
    lblSummary->setWordWrap(true);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));

    auto* refusedBox = new QGroupBox(QStringLiteral("不能导入的行"), this);
    grdRefused =
        table(refusedBox, {QStringLiteral("文件行号"), QStringLiteral("计量器具编号"), QStringLiteral("原因")});
    (new QVBoxLayout(refusedBox))->addWidget(grdRefused);

    optAllOrNothing = new QRadioButton(QStringLiteral("全部正确才导入：有不能导入的行时不导入任何行(&A)"), this);
    optSkipBad = new QRadioButton(QStringLiteral("只导入正确的行，不能导入的行及原因保存为报告(&G)"), this);
    optAllOrNothing->setChecked(true);

    cmdImport = new QPushButton(QStringLiteral("导入(&I)"), this);
    cmdImport->setEnabled(false);
    cmdImport->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cmdImport, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(upper, 3);
    layout->addWidget(lblSummary);
    layout->addWidget(refusedBox, 2);
    layout->addWidget(optAllOrNothing);
    layout->addWidget(optSkipBad);
    layout->addWidget(buttons);

    connect(cmdBrowse, &QPushButton::clicked, this, &frmImport::browse);
    connect(cboSheet, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_filling && i >= 0)
            loadSheet(i);
    });
    connect(cboTable, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            replan();
    });
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::runImport);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    showSummary(QStringLiteral("请选择要导入的文件。"), false);
}

frmImport::~frmImport() = default;

void frmImport::browse()
{
    const QString start = m_path.isEmpty() ? QDir::homePath() : QFileInfo(m_path).absolutePath();
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择要导入的文件"), start,
                                                      QStringLiteral("电子表格 (*.xlsx *.xls *.csv)"));
    if (!path.isEmpty())
        openFile(path);
}

bool frmImport::openFile(const QString& path)
{
    QString error;
    const QStringList names = sheetNames(path, &error);
    if (names.isEmpty()) {
        m_state.prompt.error(error, Title);
        return false;
    }
    m_path = path;
    txtFile->setText(QDir::toNativeSeparators(path));
    m_filling = true;
    cboSheet->clear();
    cboSheet->addItems(names);
    cboSheet->setEnabled(names.size() > 1);
    m_filling = false;
    loadSheet(0);
    return bool(m_head);
}

void frmImport::setTable(const QString& table)
{
    cboTable->setCurrentText(table);
}

void frmImport::setTarget(int fileColumn, const QString& tableColumn)
{
    if (!m_plan || fileColumn < 0 || fileColumn >= m_plan->targets.size())
        return;
    m_plan->targets[fileColumn] = tableColumn;
    fillMapping();
    recheck();
}

void frmImport::loadSheet(int index)
{
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Only the top of the sheet is held, to find the header row; the checks
    // and the import read the file anew, a row at a time.
    m_head = readSpreadsheetHead(m_path, index, HeaderSearchRows, &error);
    m_sheetIndex = index;
    QApplication::restoreOverrideCursor();
    if (!m_head) {
        m_plan.reset();
        fillMapping();
        showSummary(error, false);
        m_state.prompt.error(error, Title);
        return;
    }
    replan();
}

void frmImport::replan()
{
    if (!m_head)
        return;
    const QString table = cboTable->currentText();
    QString error;
    m_plan = planImport(*m_head, table, m_state.LedgerDatabase.columns(table), &error);
    fillMapping();
    if (!m_plan) {
        grdPreview->setRowCount(0);
        grdPreview->setColumnCount(0);
        grdRefused->setRowCount(0);
        showSummary(error + QStringLiteral("\n请选择别的工作表或别的表。"), false);
        return;
    }
    recheck();
}

void frmImport::fillMapping()
{
    m_filling = true;
    grdMapping->setRowCount(0);
    if (m_plan) {
        grdMapping->setRowCount(int(m_plan->headers.size()));
        for (int c = 0; c < m_plan->headers.size(); ++c) {
            const QString header = m_plan->headers.at(c);
            grdMapping->setItem(c, 0, item(header.isEmpty() ? QStringLiteral("第%1列").arg(c + 1) : header));
            auto* target = new QComboBox(grdMapping);
            target->addItem(LeftOut);
            target->addItems(m_plan->tableColumns);
            const QString chosen = m_plan->targets.at(c);
            target->setCurrentText(chosen.isEmpty() ? LeftOut : chosen);
            connect(target, &QComboBox::currentTextChanged, this, [this, c](const QString& text) {
                if (m_filling || !m_plan)
                    return;
                m_plan->targets[c] = text == LeftOut ? QString() : text;
                recheck();
            });
            grdMapping->setCellWidget(c, 1, target);
        }
        grdMapping->resizeColumnToContents(0);
    }
    m_filling = false;
}

void frmImport::recheck()
{
    if (!m_head || !m_plan)
        return;
    const QVector<QPair<int, QString>> mapped = m_plan->mappedColumns();
    grdPreview->setRowCount(0);
    grdRefused->setRowCount(0);
    if (const QString problem = planProblem(*m_plan); !problem.isEmpty()) {
        grdPreview->setColumnCount(0);
        showSummary(problem, false);
        return;
    }

    Importer importer(m_state.LedgerDatabase, m_path, m_sheetIndex, *m_plan);
    {
        Progress progress(this, QStringLiteral("正在检查文件中的数据…"));
        m_checked = importer.check(progress.callback());
    }
    if (m_checked.result == ImportOutcome::Result::Cancelled) {
        showSummary(QStringLiteral("检查已取消。"), false);
        return;
    }
    if (m_checked.result == ImportOutcome::Result::Failed) {
        showSummary(m_checked.error, false);
        m_state.prompt.error(m_checked.error, Title);
        return;
    }

    QStringList headers = {QStringLiteral("行号")};
    for (const auto& [source, column] : mapped)
        headers << column;
    grdPreview->setColumnCount(int(headers.size()));
    grdPreview->setHorizontalHeaderLabels(headers);
    const auto preview = importer.preview(PreviewRows);
    grdPreview->setRowCount(int(preview.size()));
    for (int r = 0; r < preview.size(); ++r) {
        grdPreview->setItem(r, 0, item(QString::number(preview.at(r).fileRow)));
        for (int c = 0; c < preview.at(r).values.size(); ++c)
            grdPreview->setItem(r, c + 1, item(preview.at(r).values.at(c).toString()));
    }
    grdPreview->resizeColumnsToContents();

    const auto& refusals = m_checked.refusals;
    const int listed = std::min(int(refusals.size()), ListedRefusals);
    grdRefused->setRowCount(listed);
    for (int r = 0; r < listed; ++r) {
        grdRefused->setItem(r, 0, item(QString::number(refusals.at(r).fileRow)));
        grdRefused->setItem(r, 1, item(refusals.at(r).number));
        grdRefused->setItem(r, 2, item(refusals.at(r).reason));
    }
    grdRefused->resizeColumnToContents(0);
    grdRefused->resizeColumnToContents(1);

    QString text = QStringLiteral("标题行是第 %1 行。将导入 %2 行，不能导入 %3 行。")
                       .arg(m_plan->headerRow + 1)
                       .arg(m_checked.accepted)
                       .arg(refusals.size());
    if (refusals.size() > listed)
        text += QStringLiteral("（下面列出前 %1 行）").arg(listed);
    showSummary(text, m_checked.accepted > 0);
}

void frmImport::showSummary(const QString& text, bool canImport)
{
    lblSummary->setText(text);
    cmdImport->setEnabled(canImport);
}

void frmImport::runImport()
{
    if (!m_head || !m_plan)
        return;
    if (const QString problem = planProblem(*m_plan); !problem.isEmpty()) {
        m_state.prompt.error(problem, Title);
        return;
    }
    ImportOptions options;
    options.skipBad = optSkipBad->isChecked();
    const int refused = int(m_checked.refusals.size());
    if (refused > 0 && !options.skipBad) {
        m_state.prompt.error(QStringLiteral("有 %1 行不能导入（原因见列表），没有导入任何数据。\n\n"
                                            "请改正文件后重新导入，或者选择“只导入正确的行”。")
                                 .arg(refused),
                             Title);
        return;
    }
    if (refused > 0) {
        const QString suggested = QFileInfo(m_path).absolutePath() + QLatin1Char('/')
            + QFileInfo(m_path).completeBaseName() + QStringLiteral("_不能导入的行.xlsx");
        QString report = QFileDialog::getSaveFileName(this, QStringLiteral("保存不能导入的行"), suggested,
                                                      QStringLiteral("Excel 工作簿 (*.xlsx)"));
        if (report.isEmpty())
            return;
        if (QFileInfo(report).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) != 0)
            report += QStringLiteral(".xlsx");
        options.reportPath = report;
    }

    Importer importer(m_state.LedgerDatabase, m_path, m_sheetIndex, *m_plan);
    ImportOutcome outcome;
    {
        Progress progress(this, QStringLiteral("正在导入到《%1》…").arg(m_plan->table));
        options.progress = progress.callback();
        outcome = importer.run(options);
    }
    switch (outcome.result) {
    case ImportOutcome::Result::Done: {
        m_state.RequeryOnActivate = true;
        QString text = QStringLiteral("已向《%1》导入 %2 行。").arg(m_plan->table).arg(outcome.accepted);
        if (!outcome.refusals.isEmpty())
            text += QStringLiteral("\n不能导入的 %1 行及原因已保存到：\n%2")
                        .arg(outcome.refusals.size())
                        .arg(QDir::toNativeSeparators(options.reportPath));
        m_state.prompt.message(text, Title, Prompter::Icon::Information);
        accept();
        return;
    }
    case ImportOutcome::Result::Cancelled:
        m_state.prompt.message(QStringLiteral("导入已取消，台帐没有改变。"), Title, Prompter::Icon::Information);
        return;
    case ImportOutcome::Result::Refused:
        // The ledger changed since the check (another number taken meanwhile).
        m_checked = outcome;
        recheck();
        m_state.prompt.error(QStringLiteral("有 %1 行不能导入，没有导入任何数据。").arg(outcome.refusals.size()),
                             Title);
        return;
    case ImportOutcome::Result::Failed:
        m_state.prompt.error(outcome.error, Title);
        return;
    }
}

} // namespace ravo
