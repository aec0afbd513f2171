#include "frmCertificate.h"
#include "core/Attachments.h"
#include "core/LedgerSchema.h"
#include "platform/AttachmentsWindow.h"

#include "EditorTexts.h"
#include "MemoEdit.h"
#include "RecordPrints.h"
#include "core/Dates.h"
#include "platform/PrintProgress.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

namespace ravo {

namespace {

const QString ReportType = QStringLiteral("报告类型");
const QString UpdateTitle = QStringLiteral("更新台帐");
const QString PeriodColumn = QStringLiteral("检定周期");

EditorSpec confirmationSpec()
{
    EditorSpec s;
    s.caption = QStringLiteral("计量器具确认记录编辑器");
    s.table = tables::Confirmation;
    s.workingTable = tables::working(tables::Confirmation);
    s.order = QStringLiteral("检定日期");
    s.detachedRecordSource = QStringLiteral("select * from ") + tables::Confirmation + QLatin1Char(';');
    s.commitInsertDirect = true;
    s.symbolToolbar = true;
    s.unlockWhenNotEmpty = true;
    return s;
}

// Text1 indexes by role.
enum Field {
    Body = 0,
    ReportNo,
    Submitter,
    Name,
    Number,
    Model,
    Maker,
    FactoryNo,
    Conclusion,
    Approver,
    Checker,
    Officer,
    CalibrationDate,
    ValidUntil,
    Data,
    Temperature,
    Humidity,
};

} // namespace

const QStringList& frmCertificate::recordColumns()
{
    static const QStringList cols =
        QStringLiteral(
            "报告编号,报告类型,计量器具名称,计量器具编号,送检单位,制造厂家,规格型号,出厂编号,结论,批准人,核验员,"
            "检定员,检定日期,有效日期,温度,湿度,检测数据,检定单位")
            .split(QLatin1Char(','));
    return cols;
}

const QStringList& frmCertificate::reportTypes()
{
    static const QStringList types = {
        QStringLiteral("检定证书(小)"),           QStringLiteral("检定证书(大)"),
        QStringLiteral("测试报告(大)"),           QStringLiteral("检定结果通知书(小)"),
        QStringLiteral("检定结果通知书(大)"),     QStringLiteral("检定证书(正副本)"),
        QStringLiteral("检定结果通知书(正副本)"), QStringLiteral("测试结果通知书(正副本)"),
    };
    return types;
}

const QStringList& frmCertificate::textColumns()
{
    static const QStringList cols =
        QStringLiteral(
            "检定单位,报告编号,送检单位,计量器具名称,计量器具编号,规格型号,制造厂家,出厂编号,结论,批准人,核验员,"
            "检定员,检定日期,有效日期,检测数据,温度,湿度")
            .split(QLatin1Char(','));
    return cols;
}

const QStringList& frmCertificate::textCaptions()
{
    static const QStringList captions =
        QStringLiteral(
            "检定单位,报告编号,送检单位,计量器具名称,计量器具编号,规格型号,制造厂家,出厂编号,结论,批准/室主任,核验员,"
            "检定/测试员,测试/检定日期,有效日期,检测数据/结果：,温 度,湿 度")
            .split(QLatin1Char(','));
    return captions;
}

frmCertificate::frmCertificate(ProgramState& state, QWidget* parent)
    : InstrumentRecordEditor(state, confirmationSpec(), recordColumns(), parent)
{
    cmdCopy = addCommandButton(QStringLiteral("cmdCopy"), texts::CopyCaption);
    connect(cmdCopy, &QPushButton::clicked, this, &frmCertificate::copyRecord);
    cmdUpdate = addCommandButton(QStringLiteral("cmdUpdate"), QStringLiteral("更新台帐(&U)"));
    cmdUpdate->setToolTip(QStringLiteral("用当前确认记录的检定日期、有效日期和结论更新在用台帐"));
    connect(cmdUpdate, &QPushButton::clicked, this, &frmCertificate::updateLedger);
    cmdFiles = addCommandButton(QStringLiteral("cmdFiles"), QStringLiteral("附件(&M)..."));
    cmdFiles->setToolTip(QStringLiteral("这条确认记录的附件，例如检定证书的扫描件"));
    connect(cmdFiles, &QPushButton::clicked, this, &frmCertificate::showRecordAttachments);
    createFields();
    createLayout();
    setNumberField(Text1[Number]);
    QList<QWidget*> locked = {Combo1[0]};
    for (int i = Body; i <= Data; ++i)
        locked << Text1[i];
    setLockedFields(locked);
    // Enter walks to the ambient conditions right after the conclusion and
    // ends in the data box, where it starts a new line.
    QList<QWidget*> walk = {Combo1[0]};
    for (int i = Body; i <= Conclusion; ++i)
        walk << Text1[i];
    walk << Text1[Temperature] << Text1[Humidity];
    for (int i = Approver; i <= ValidUntil; ++i)
        walk << Text1[i];
    setEnterOrder(walk, Text1[Data]);
}

void frmCertificate::createFields()
{
    addComboField(0, ReportType, reportTypes());
    const QStringList& cols = textColumns();
    for (int i = 0; i < cols.size(); ++i) {
        if (i == Data)
            addMemoField(i, cols.at(i), DataMaxLength)->setToolTip(QStringLiteral("请注意控制内容的行数!"));
        else
            addTextField(i, cols.at(i));
    }
}

void frmCertificate::createLayout()
{
    Frame1 = new QGroupBox(QStringLiteral("请输入以下内容："), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    // Label and field pairs, two to a row, in the order of the Enter walk;
    // the data box spans the width below them.
    const QStringList& captions = textCaptions();
    QList<QPair<QString, QWidget*>> pairs = {{ReportType, Combo1[0]}};
    for (int i : {Body, ReportNo, Submitter, Name, Number, Model, Maker, FactoryNo, Conclusion, Temperature, Humidity,
                  Approver, Checker, Officer, CalibrationDate, ValidUntil})
        pairs.append({captions.at(i), Text1[i]});
    for (int i = 0; i < pairs.size(); ++i) {
        auto* label = addLabel(i, pairs[i].first);
        label->setBuddy(pairs[i].second);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, i / 2, (i % 2) * 2);
        grid->addWidget(pairs[i].second, i / 2, (i % 2) * 2 + 1);
    }
    const int dataRow = int(pairs.size() + 1) / 2;
    auto* dataLabel = addLabel(int(pairs.size()), captions.at(Data));
    dataLabel->setBuddy(Text1[Data]);
    grid->addWidget(dataLabel, dataRow, 0, 1, 4);
    grid->addWidget(Text1[Data], dataRow + 1, 0, 1, 4);
    grid->setRowStretch(dataRow + 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    Text1[Data]->setMinimumHeight(110);

    QList<QWidget*> tabOrder;
    for (const auto& pair : std::as_const(pairs))
        tabOrder << pair.second;
    tabOrder << Text1[Data];
    layOutBody(Frame1, tabOrder,
               {cmdAdd, cmdCopy, cmdDelete, cmdFind, cmdPrint, cmdUpdate, cmdFiles, cmdOK, cmdCancle});
    resize(820, 600);
}

void frmCertificate::addRecord()
{
    if (!Data1->addNew())
        return;
    unlockFields();
    Combo1[0]->setEditText(reportTypes().first());
    setFieldText(Body, handedOver(QStringLiteral("检定单位")));
    setFieldText(Name, handedOver(QStringLiteral("计量器具名称")));
    setFieldText(Number, handedOver(NumberColumn));
    setFieldText(Model, handedOver(QStringLiteral("规格型号")));
    setFieldText(Maker, handedOver(QStringLiteral("制造厂家")));
    setFieldText(FactoryNo, handedOver(QStringLiteral("出厂编号")));
    setFieldText(Conclusion, QStringLiteral("合格"));
    setFieldText(CalibrationDate, formatShortDate(today()));
    setFieldText(ValidUntil, formatShortDate(proposedValidUntil(today())));
    Combo1[0]->setFocus(Qt::OtherFocusReason);
}

QDate frmCertificate::proposedValidUntil(const QDate& calibrated) const
{
    if (!state().options.ValidUntilByPeriod)
        return validUntilDefault(calibrated);
    const int months = calibrationPeriodMonths(calibrationPeriod(fieldText(Number).trimmed()));
    return validUntilAfterMonths(calibrated, months);
}

QString frmCertificate::calibrationPeriod(const QString& number) const
{
    if (number.isEmpty())
        return {};
    const QHash<QString, QString>& handed = state().TargetInstrument;
    if (handed.contains(PeriodColumn) && handed.value(NumberColumn).compare(number, Qt::CaseInsensitive) == 0)
        return handed.value(PeriodColumn);
    QSqlQuery q(db().connection());
    q.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
            .arg(quotedIdentifier(PeriodColumn), quotedIdentifier(tables::InUse), quotedIdentifier(NumberColumn)));
    q.addBindValue(number);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

CalibrationResult frmCertificate::currentResult() const
{
    const Recordset& rs = Data1->recordset();
    auto value = [&rs](const QString& column) {
        const QVariant v = rs.value(column);
        return v.isNull() ? QString() : v.toString();
    };
    return {value(NumberColumn), value(QStringLiteral("检定日期")), value(QStringLiteral("有效日期")),
            value(QStringLiteral("结论")), value(QStringLiteral("检定单位"))};
}

void frmCertificate::updateLedger()
{
    Recordset& rs = Data1->recordset();
    // The record as shown: what was typed goes into the working copy first,
    // checked like any edit (a date that is none stops here, nothing lost).
    if (rs.hasCurrent()) {
        if (const DbError e = Data1->writePending()) {
            Data1->reportRefusal(e);
            return;
        }
    }
    if (!rs.hasCurrent()) {
        prompt().message(QStringLiteral("没有可以用来更新台帐的确认记录！请先添加或选择一条记录。"), UpdateTitle,
                         Prompter::Icon::Information);
        return;
    }
    const CalibrationResult record = currentResult();
    LedgerUpdate planned;
    if (const DbError e = planCalibrationUpdate(db(), record, planned)) {
        prompt().error(e.text(), UpdateTitle);
        return;
    }
    if (planned.changes.isEmpty()) {
        prompt().message(
            QStringLiteral("在用台帐中编号为“%1”的计量器具已经与这条确认记录一致，不需要更新。").arg(planned.number),
            UpdateTitle, Prompter::Icon::Information);
        return;
    }
    QString question = QStringLiteral("将按这条确认记录更新在用台帐中编号为“%1”的计量器具：\n\n").arg(planned.number)
        + planned.lines().join(QLatin1Char('\n'));
    if (statusForConclusion(record.conclusion).isEmpty())
        question += QStringLiteral("\n\n结论不是“合格”或“准用”，状态不变。");
    question += QStringLiteral("\n\n台帐立即更新，取消本窗口也不会撤销。确定要更新吗？");
    if (!prompt().confirm(question, UpdateTitle))
        return;
    LedgerUpdate applied;
    if (const DbError e = applyCalibrationUpdate(db(), record, &applied)) {
        prompt().error(e.text(), UpdateTitle);
        return;
    }
    m_ledgerUpdates.append(applied);
    // The main window shows the new dates when it is next activated.
    state().RequeryOnActivate = true;
}

DbError frmCertificate::commitWorkingCopy()
{
    m_saveReport = {};
    const bool update = state().options.CertificateUpdatesLedger;
    return commitConfirmationRecords(
        db(), [this] { return LedgerEditor::commitWorkingCopy(); }, update, &m_saveReport);
}

void frmCertificate::afterSave()
{
    const CalibrationSaveReport& r = m_saveReport;
    m_ledgerUpdates += r.updated;
    if (r.candidates > 0) {
        QString text =
            QStringLiteral("已按确认记录更新了 %1 台在用计量器具的检定日期和有效日期。").arg(r.updated.size());
        if (!r.passedOver.isEmpty()) {
            constexpr int Shown = 10;
            QStringList lines = r.passedOver.mid(0, Shown);
            if (r.passedOver.size() > Shown)
                lines << QStringLiteral("……（还有 %1 条）").arg(r.passedOver.size() - Shown);
            text += QStringLiteral("\n\n以下记录没有更新台帐：\n") + lines.join(QLatin1Char('\n'));
        }
        prompt().message(text, UpdateTitle, Prompter::Icon::Information);
    }
    InstrumentRecordEditor::afterSave();
}

void frmCertificate::copyRecord()
{
    // Everything but the ambient conditions of the day.
    QStringList texts;
    for (int i = Body; i <= Data; ++i)
        texts << fieldText(i);
    const QString type = Combo1[0]->currentText();
    if (!Data1->addNew())
        return;
    unlockFields();
    for (int i = Body; i <= Data; ++i)
        setFieldText(i, texts.at(i));
    Combo1[0]->setEditText(type);
    Combo1[0]->lineEdit()->selectAll();
    Combo1[0]->setFocus(Qt::OtherFocusReason);
}

ConfirmationSheet frmCertificate::currentSheet() const
{
    const QStringList& captions = textCaptions();
    auto field = [&](int i) { return SheetField{captions.at(i), fieldText(i)}; };
    ConfirmationSheet sheet;
    sheet.organisation = state().options.GroupName;
    sheet.heading = Combo1[0]->currentText().trimmed();
    sheet.reportNumber = field(ReportNo);
    sheet.rows = {
        {field(Body)},
        {field(Submitter)},
        {field(Name), field(Number)},
        {field(Model), field(FactoryNo)},
        {field(Maker)},
        {field(CalibrationDate), field(ValidUntil)},
        {field(Temperature), field(Humidity)},
        {field(Conclusion), field(Officer)},
        {field(Approver), field(Checker)},
    };
    sheet.data = field(Data);
    if (const int kind = printClassOf(sheet.heading); kind > 0) {
        const Options& o = state().options;
        sheet.offsetMm = QPointF(o.PrintClassX[kind - 1], o.PrintClassY[kind - 1]);
    }
    return sheet;
}

void frmCertificate::printRecords()
{
    printSheet();
}

bool frmCertificate::printSheet(QPrinter* direct)
{
    if (!Data1->recordset().hasCurrent()) {
        prompt().message(recordprints::NoRecordMessage, AppTitle, Prompter::Icon::Information);
        return false;
    }
    const PrintRequest request = confirmationSheetRequest(currentSheet());
    if (direct) {
        PrintProgressWindow progress(this);
        return printDirect(*direct, prompt(), request, progress.callback()).ok();
    }
    return printWithPreview(this, prompt(), request).ok();
}

// The attachments of the record the window shows, as the ledger keeps it:
// a certificate scan belongs to one calibration, named by its 检定日期 and
// 报告编号, and follows the instrument's number.
void frmCertificate::showRecordAttachments()
{
    if (!attachmentsAvailable())
        return;
    const QString number = shownText(NumberColumn);
    const QString date = shownText(QStringLiteral("检定日期"));
    const QString report = shownText(QStringLiteral("报告编号"));
    QSqlQuery q(db().connection());
    q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ? AND coalesce(检定日期, '') = coalesce(?, '') "
                             "AND coalesce(报告编号, '') = coalesce(?, '')")
                  .arg(quotedIdentifier(tables::Confirmation), quotedIdentifier(NumberColumn)));
    for (const QString& v : {number, date, report})
        q.addBindValue(v);
    if (number.isEmpty() || !q.exec() || !q.next() || q.value(0).toInt() == 0) {
        prompt().plain(
            QStringLiteral("附件跟随台帐中的确认记录：请先“确定”保存这条记录（要有计量器具编号），再打开它的附件。"),
            AppTitle);
        return;
    }
    AttachmentsWindow w(db(), prompt(), {number, attachmentkind::Confirmation, recordKey(date, report)}, signedInName(),
                        QStringLiteral("“%1”%2的确认记录").arg(number, date.isEmpty() ? QString() : date), this);
    w.exec();
}

} // namespace ravo
