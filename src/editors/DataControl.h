#pragma once
// The data control of an editor window (Data1): a navigator bar with first,
// previous, caption, next and last buttons that owns the window's recordset
// and binds the window's fields to its columns.
//
// The bound fields show the values of the current row. What the user types
// stays in the fields until the cursor is about to move; then the edits are
// collected and written into the table. A write that is refused (a date that
// is not a date, a duplicate number) shows the reason, keeps the cursor where
// it is and leaves the typed text in the fields. The caption is the record
// counter, "记录:3/17".
#include "core/Recordset.h"

#include <QFrame>
#include <QVector>

class QLabel;
class QToolButton;

namespace ravo {

class Prompter;

class DataControl : public QFrame {
    Q_OBJECT
public:
    DataControl(Database& db, Prompter& prompt, QWidget* parent = nullptr);

    Recordset& recordset() { return m_rs; }
    const Recordset& recordset() const { return m_rs; }

    // "select * from T;" binds to table T; an empty text detaches.
    DbError setRecordSource(const QString& statement);
    QString recordSource() const { return m_rs.recordSource(); }
    // Reads the rows again, keeping the current row when it still exists.
    DbError refresh();

    // Binds a QLineEdit, QPlainTextEdit or QComboBox to a column.
    void bind(QWidget* field, const QString& column);
    QString boundColumn(const QWidget* field) const;
    // Lets go of every field; they keep what they show.
    void unbindAll() { m_bindings.clear(); }
    QList<QWidget*> boundFields() const;

    // The record counter: "记录:" + (position + 1) + "/" + count.
    QString caption() const;
    static QString counterText(int zeroBasedPosition, int recordCount);

    // Collects the edits of the bound fields and writes them into the
    // current row (or appends the new row). Shows nothing; on a refusal the
    // cursor and the fields' texts stay as they are.
    DbError writePending();
    // True when a bound field holds text that differs from the current row.
    bool fieldsEdited() const;
    // Shows the current row's values again, dropping what was typed.
    void reloadFields();
    // Rows of the table were written behind the control's back, among them
    // these columns of the current row: the fields of those columns show the
    // new values, and what was typed into the other fields stays as typed.
    void rowsChangedBehind(const QStringList& currentRowColumns);

    // Cursor moves that first write the pending edits. When the edits are
    // refused the reason is shown, the cursor stays and false is returned.
    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrevious();
    bool setAbsolutePosition(int position);
    bool moveToRowid(qint64 rowid);
    // Moves to the first row whose column equals the text (without regard
    // to case); *found tells whether there was one. The value is passed to
    // the engine as a value, never spliced into the statement.
    bool findFirst(const QString& column, const QString& text, bool* found = nullptr);
    // Starts a new row after writing the pending edits of the current one.
    bool addNew();

    // Shows a refused write the way the window shows it.
    void reportRefusal(const DbError& error);

    // Field text helpers shared by the editor windows.
    static QString fieldText(const QWidget* field);
    static void setFieldText(QWidget* field, const QString& text);

signals:
    // The cursor moved or the row's values were shown again.
    void repositioned();

private:
    struct Binding {
        QWidget* field;
        QString column;
        QString shown; // the text last put into the field from the row
    };

    void createLayout();
    void onRecordsetRepositioned();
    bool writeBeforeMove();
    static QString valueText(const QVariant& v);

    Recordset m_rs;
    Prompter& m_prompt;
    QVector<Binding> m_bindings;
    QLabel* m_caption = nullptr;
    QToolButton* m_first = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_last = nullptr;
};

} // namespace ravo
