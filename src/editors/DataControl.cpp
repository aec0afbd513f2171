#include "DataControl.h"

#include "MemoEdit.h"
#include "core/ProgramState.h"
#include "platform/TypedText.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

namespace ravo {

DataControl::DataControl(Database& db, Prompter& prompt, QWidget* parent)
    : QFrame(parent), m_rs(db, this), m_prompt(prompt)
{
    setObjectName(QStringLiteral("Data1"));
    createLayout();
    connect(&m_rs, &Recordset::repositioned, this, &DataControl::onRecordsetRepositioned);
    onRecordsetRepositioned();
}

void DataControl::createLayout()
{
    setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(false);
        return b;
    };
    m_first = button("moveFirst", QStringLiteral("|◀"), QStringLiteral("第一条记录"));
    m_previous = button("movePrevious", QStringLiteral("◀"), QStringLiteral("上一条记录"));
    m_next = button("moveNext", QStringLiteral("▶"), QStringLiteral("下一条记录"));
    m_last = button("moveLast", QStringLiteral("▶|"), QStringLiteral("最后一条记录"));
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setMinimumWidth(140);
    row->addWidget(m_first);
    row->addWidget(m_previous);
    row->addWidget(m_caption, 1);
    row->addWidget(m_next);
    row->addWidget(m_last);

    // The bar's own buttons stop at the ends instead of leaving the rows.
    connect(m_first, &QToolButton::clicked, this, [this] { moveFirst(); });
    connect(m_last, &QToolButton::clicked, this, [this] { moveLast(); });
    connect(m_next, &QToolButton::clicked, this, [this] {
        if (moveNext() && m_rs.isEOF())
            m_rs.moveLast();
    });
    connect(m_previous, &QToolButton::clicked, this, [this] {
        if (movePrevious() && m_rs.isBOF())
            m_rs.moveFirst();
    });
}

DbError DataControl::setRecordSource(const QString& statement)
{
    return m_rs.setRecordSource(statement);
}

DbError DataControl::refresh()
{
    if (!m_rs.isOpen())
        return {};
    return m_rs.refresh();
}

void DataControl::bind(QWidget* field, const QString& column)
{
    for (Binding& b : m_bindings) {
        if (b.field == field) {
            b.column = column;
            return;
        }
    }
    m_bindings.append({field, column, QString()});
    const int at = m_rs.fieldIndex(column);
    setFieldText(field, at >= 0 && m_rs.hasCurrent() ? valueText(m_rs.value(at)) : QString());
    m_bindings.last().shown = fieldText(field);
}

QString DataControl::boundColumn(const QWidget* field) const
{
    for (const Binding& b : m_bindings)
        if (b.field == field)
            return b.column;
    return {};
}

QList<QWidget*> DataControl::boundFields() const
{
    QList<QWidget*> out;
    for (const Binding& b : m_bindings)
        out << b.field;
    return out;
}

QString DataControl::counterText(int zeroBasedPosition, int recordCount)
{
    return QStringLiteral("记录:%1/%2").arg(zeroBasedPosition + 1).arg(recordCount);
}

QString DataControl::caption() const
{
    return m_caption->text();
}

QString DataControl::valueText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return {};
    return v.toString();
}

QString DataControl::fieldText(const QWidget* field)
{
    if (auto* e = qobject_cast<const QLineEdit*>(field))
        return e->text();
    if (auto* p = qobject_cast<const QPlainTextEdit*>(field))
        return typedText(p);
    if (auto* c = qobject_cast<const QComboBox*>(field))
        return c->currentText();
    return {};
}

void DataControl::setFieldText(QWidget* field, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(field)) {
        e->setText(text);
        e->setCursorPosition(0);
    } else if (auto* m = qobject_cast<MemoEdit*>(field)) {
        m->loadText(text);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(field)) {
        p->setPlainText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(field)) {
        if (c->isEditable())
            c->setEditText(text);
        else
            c->setCurrentIndex(c->findText(text));
    }
}

void DataControl::reloadFields()
{
    const bool current = m_rs.hasCurrent();
    for (Binding& b : m_bindings) {
        const int at = m_rs.fieldIndex(b.column);
        setFieldText(b.field, current && at >= 0 ? valueText(m_rs.value(at)) : QString());
        // Kept as the field reads it back, so that a value the field shows
        // slightly differently does not count as an edit.
        b.shown = fieldText(b.field);
    }
}

void DataControl::rowsChangedBehind(const QStringList& currentRowColumns)
{
    m_rs.forgetValues();
    if (!m_rs.hasCurrent() || m_rs.isAdding())
        return;
    for (Binding& b : m_bindings) {
        if (!currentRowColumns.contains(b.column, Qt::CaseInsensitive))
            continue;
        setFieldText(b.field, valueText(m_rs.value(m_rs.fieldIndex(b.column))));
        b.shown = fieldText(b.field);
    }
}

void DataControl::onRecordsetRepositioned()
{
    reloadFields();
    m_caption->setText(counterText(m_rs.absolutePosition(), m_rs.recordCount()));
    emit repositioned();
}

bool DataControl::fieldsEdited() const
{
    for (const Binding& b : m_bindings)
        if (fieldText(b.field) != b.shown)
            return true;
    return false;
}

DbError DataControl::writePending()
{
    if (!m_rs.isOpen())
        return {};
    const bool edited = fieldsEdited();
    if (!m_rs.hasCurrent()) {
        if (edited)
            return DbError::make(DbError::General,
                                 QStringLiteral("当前没有记录，输入的内容无处保存。请先按“添加”新建一条记录。"));
        return {};
    }
    if (m_rs.isAdding() && !edited) {
        // A new row that nobody filled in is dropped, not saved blank.
        m_rs.cancelUpdate();
        return {};
    }
    if (edited) {
        // Every bound field is handed over, so that an earlier refused
        // attempt leaves no stale value behind.
        for (const Binding& b : m_bindings)
            m_rs.setValue(b.column, fieldText(b.field));
    }
    if (!m_rs.isDirty())
        return {};
    return m_rs.update();
}

void DataControl::reportRefusal(const DbError& error)
{
    m_prompt.error(error.text(), AppTitle);
}

bool DataControl::writeBeforeMove()
{
    if (const DbError e = writePending()) {
        reportRefusal(e);
        return false;
    }
    return true;
}

bool DataControl::moveFirst()
{
    if (!writeBeforeMove())
        return false;
    m_rs.moveFirst();
    return true;
}

bool DataControl::moveLast()
{
    if (!writeBeforeMove())
        return false;
    m_rs.moveLast();
    return true;
}

bool DataControl::moveNext()
{
    if (!writeBeforeMove())
        return false;
    m_rs.moveNext();
    return true;
}

bool DataControl::movePrevious()
{
    if (!writeBeforeMove())
        return false;
    m_rs.movePrevious();
    return true;
}

bool DataControl::setAbsolutePosition(int position)
{
    if (!writeBeforeMove())
        return false;
    m_rs.setAbsolutePosition(position);
    return true;
}

bool DataControl::moveToRowid(qint64 rowid)
{
    if (!writeBeforeMove())
        return false;
    return m_rs.moveToRowid(rowid);
}

bool DataControl::findFirst(const QString& column, const QString& text, bool* found)
{
    if (found)
        *found = false;
    if (!writeBeforeMove())
        return false;
    const bool hit = m_rs.findFirst(column, text);
    if (found)
        *found = hit;
    return true;
}

bool DataControl::addNew()
{
    if (!m_rs.isOpen() || !writeBeforeMove())
        return false;
    m_rs.addNew();
    return true;
}

} // namespace ravo
