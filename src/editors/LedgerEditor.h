#pragma once
// The common editor window. Every table that users edit record by record is
// edited in one of these: the window copies its table into a working table,
// binds its fields to the copy through Data1, and on OK writes what was
// added, changed or deleted in the copy into the table, after which the
// table holds the copy's rows; Cancel throws the copy away.
//
// What the base does for every editor: the working copy (made with
// drop-and-retry, dropped on close), the record counter and the locking of
// the fields of an empty table, positioning helpers for activation, find by
// instrument number, delete, save with the number check and the
// all-or-nothing commit, cancel, the focus colours and beep, the Enter walk,
// the button highlight under the mouse and the symbol toolbar.
//
// A window stands on it like this:
//   1. pass an EditorSpec (caption, table, working table, order, save
//      behaviour, toolbar) to the constructor;
//   2. in its own constructor, create its fields with addTextField(),
//      addMemoField(), addComboField() or bindField(), lay them out in body(),
//      and create its buttons with addCommandButton() (which wires the
//      standard operations and the highlight);
//   3. name its number field (setNumberField), its locked fields
//      (setLockedFields) and its Enter walk (setEnterOrder);
//   4. override the hooks it needs: onActivate() for positioning,
//      onReposition(), checkCurrentRow()/checkWorkingCopy() for its own
//      save checks, openStatement()/commitDeleteStatement()/
//      commitInsertStatement() for filtered record tables, afterSave().
// The opener then only runs exec(); load() makes the working copy first.
#include "DataControl.h"

#include "core/ProgramState.h"
#include "core/WorkingCopy.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <functional>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QToolBar;

namespace ravo {

class MemoEdit;

// What differs between the editor windows.
struct EditorSpec {
    QString caption;
    QString table;        // the ledger or record table edited
    QString workingTable; // its working copy, "MSys" + table as a rule
    QString order;        // columns of the working copy's order by
    // Data1's record source once the window closes (empty: detached).
    QString detachedRecordSource;
    bool commitInsertDirect = false; // the insert of the commit bypasses the scratch query
    bool closeOnSave = true;         // Save closes the window
    bool symbolToolbar = false;      // the window carries Toolbar1
    bool unlockWhenNotEmpty = false; // reposition enables the locked fields again
};

class LedgerEditor : public QDialog {
    Q_OBJECT
public:
    LedgerEditor(ProgramState& state, EditorSpec editorSpec, QWidget* parent = nullptr);
    ~LedgerEditor() override;

    // Makes the working copy and binds Data1 to it. On failure the engine's
    // description is shown and false returned.
    bool load();
    bool isLoaded() const { return m_loaded; }
    // Loads when needed, then runs the window modally.
    int exec() override;
    // The window became the active window: positions the cursor. Runs on
    // the first show and whenever a window opened from this one closes.
    void activate();

    const EditorSpec& editorSpec() const { return m_spec; }

    // The 22 characters of the symbol toolbar, in button order.
    static const QStringList& symbols();
    // The field that last passed validation; symbols go into it.
    QWidget* symbolTarget() const { return m_symbolTarget; }

    // The look of a field with and without the focus (COLORREF values).
    static constexpr quint32 FocusBackground = 0x000000;
    static constexpr quint32 FocusText = 0xFFFFFF;
    static constexpr quint32 FieldBackground = 0xC4ECD8;
    static constexpr quint32 FieldText = 0x000000;
    static constexpr quint32 HighlightColor = 0x00FF00;

    DataControl* Data1 = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QVector<QWidget*> Text1; // QLineEdit, or MemoEdit for long texts
    QVector<QComboBox*> Combo1;
    QVector<QLabel*> Label1;

    void setClock(std::function<QDate()> clock) { m_clock = std::move(clock); }
    QDate today() const;

public slots:
    void findByNumber();
    // Prints the history card of the instrument the window shows, as its
    // ledger holds it.
    void printHistoryCard();
    // The attachments of the instrument the window shows, as its ledger
    // holds it.
    void showAttachments();
    // The change history of the instrument the window shows, by the number
    // its ledger holds (a row not yet saved has none).
    void showChangeHistory();
    // What the window shows in the field of a column, trimmed; empty when no
    // field shows it.
    QString shownText(const QString& column) const;
    // False, after saying why, when the ledger has no attachment table yet.
    bool attachmentsAvailable() const;
    // The signed-in account's name; empty before sign-in.
    QString signedInName() const;
    void deleteCurrent();
    void save();
    void cancel();
    void insertSymbol(const QString& symbol);

protected:
    // Building the window.
    QWidget* body() const { return m_body; }
    QLineEdit* addTextField(int index, const QString& column);
    MemoEdit* addMemoField(int index, const QString& column, int maxLength);
    QComboBox* addComboField(int index, const QString& column, const QStringList& items = {});
    // Binds any field made by the window itself and gives it the common
    // behaviour (colours, Enter walk, symbol target).
    void bindField(QWidget* field, const QString& column);
    QLabel* addLabel(int index, const QString& text);
    // A command button that takes part in the highlight; when a slot is
    // given, a click runs it.
    QPushButton* addCommandButton(const QString& objectName, const QString& caption,
                                  void (LedgerEditor::*slot)() = nullptr);
    void excludeFromHighlight(QPushButton* button);
    // The field never becomes the symbol toolbar's target.
    void excludeFromSymbols(QWidget* field) { m_noSymbols.insert(field); }
    // Label and field pairs, perRow to a row, each label captioned with its
    // field's column (Label1(i) for fields[i]); a multi-line field takes a
    // row of its own across the grid. The tab order follows the list.
    QGridLayout* labelledFields(const QList<QWidget*>& fields, int perRow);
    // Lays the body out: the fields on the left, taking the spare width, and
    // the command buttons in a column on the right, from the top; a group of
    // further buttons, laid out by the window, stands a little below them.
    // The tab order runs along tabOrder (the fields) and on down the
    // buttons, the group's last. A layout of fields that do not grow in
    // height stays at the top; a box of fields takes the whole height.
    void layOutBody(QLayout* fields, const QList<QWidget*>& tabOrder, const QList<QPushButton*>& buttons,
                    QGroupBox* buttonGroup = nullptr);
    void layOutBody(QWidget* fields, const QList<QWidget*>& tabOrder, const QList<QPushButton*>& buttons,
                    QGroupBox* buttonGroup = nullptr);

    void setNumberField(QWidget* field) { m_numberField = field; }
    QWidget* numberField() const { return m_numberField; }
    void setLockedFields(const QList<QWidget*>& fields) { m_lockedFields = fields; }
    // Enables the locked fields again (Add does this).
    void unlockFields();
    // The Enter walk: Enter in order[i] moves to order[i + 1], in the last
    // one to afterLast (nothing when null). Without a call: Text1 in index
    // order, nothing after the last.
    void setEnterOrder(const QList<QWidget*>& order, QWidget* afterLast);

    ProgramState& state() const { return m_state; }
    Prompter& prompt() const { return m_state.prompt; }
    Database& db() const { return m_state.LedgerDatabase; }
    QString fieldText(int index) const;
    void setFieldText(int index, const QString& text);

    // Positioning helpers for onActivate().
    // Last row, then back to the last row whose number equals the text
    // exactly (case and spaces count); the first row when none does. An
    // empty number stays on the last row.
    void walkBackToNumber(const QString& number);
    // The first row whose number equals the text (without regard to case);
    // the cursor stays when none does.
    void moveToFirstNumber(const QString& number);

    // The rows of the working copy that were copied from the ledger's row
    // with this number (as the ledger holds it); none for a row added here.
    QList<qint64> workingRowsOf(const QString& ledgerNumber) const;

    // After a move took the row with this rowid out of the working copy:
    // reads the rows again and shows the row that followed it, or the last.
    void refreshAfterMove(qint64 movedRowid);

    // The buttons that act on the current instrument (a move to another
    // ledger, a write-off) ask first, naming it by its number field and its
    // name in Text1(1): "你确认要将编号为：“" + number + "”的“" + name +
    // questionEnding, question icon, OK and Cancel. A blank number is
    // refused before anything is asked; with writeFirst the typed edits go
    // into the working copy first (a refused edit stops it, nothing lost).
    bool confirmForCurrent(const QString& title, const QString& questionEnding, bool writeFirst);
    // Moves the current instrument to another ledger at once, after that
    // question. All or nothing: a refused move is explained and the row stays
    // where it was, in the ledger and in the working copy. True when it moved.
    bool moveCurrentInstrument(Move move, const QString& title, const QString& questionEnding);

    // Hooks.
    // Runs each time the working copy is about to be made: a window fixes
    // here what its open statement and its save depend on.
    virtual void beforeOpen() { }
    virtual void onActivate() { }
    virtual void onReposition() { }
    // Save's check of the current row; the default refuses a blank number
    // on any current row (new rows included).
    virtual bool checkCurrentRow();
    // Save's check of the whole working copy after the current row was
    // written; the default goes to the first row with a blank number.
    virtual bool checkWorkingCopy();
    virtual QString openStatement() const;
    // A window whose copy is the whole table in its order (the default open
    // statement) keeps the copy's books and commits only what changed; one
    // that names columns or filters its copy replaces what it copied.
    virtual bool tracksChanges() const { return true; }
    // The instrument whose rows alone a tracked copy holds; null: all rows.
    virtual QString trackedNumber() const { return {}; }
    // The commit of only what changed (for a window that tracks changes),
    // noting the rows colleagues changed meanwhile for the question that
    // follows a clash.
    DbError commitTrackedCopy();
    virtual QString commitDeleteStatement() const;
    virtual QString commitInsertStatement() const;
    virtual DbError commitWorkingCopy();
    // The commit that replaces every row the copy was made of (a window that
    // does not track changes); the history notes what it changes.
    DbError commitReplacedCopy();
    // Work that rides in the same transaction as the commit of the working
    // copy, after its rows are written (an issue from stock noting 发放).
    virtual DbError commitAlso() { return {}; }
    // After a successful save; the default closes the window unless the
    // window stays open after saving (closeOnSave).
    virtual void afterSave();

    // Shows the engine's description in a plain box with the application's title.
    void showEngineError(const DbError& error);
    // Refuses with the blank-number message and puts the focus on the field.
    void refuseBlankNumber();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void done(int result) override;

private:
    void createLayout();
    void createSymbolToolbar();
    void layOutBody(QLayout* fieldLayout, QWidget* fieldBox, const QList<QWidget*>& tabOrder,
                    const QList<QPushButton*>& buttons, QGroupBox* buttonGroup);
    void reposition();
    void closeWorkingCopy();
    // Values of the working copy that break their columns' rules (left by
    // another program): named when the window opens, and refused by Save,
    // which moves to the first of them.
    void reportRuleBreaches();
    // OK found rows that colleagues changed, moved or deleted since the
    // window read them: says which, by whom and when, and lets the user take
    // their versions (the window's edits to those rows are given up) or keep
    // the window's own (the next OK writes over theirs). The window stays
    // open either way.
    void resolveConflict(const DbError& error);
    bool checkRules();
    // The rows of the copy that Save must look at again: with a copy whose
    // rows all kept the rules when it was made, those written since (as an
    // SQL condition); else all (empty).
    QString rowsToCheck() const;
    // True when the table's rules refuse a blank value in the column.
    bool refusesBlank(const QString& column) const;
    QString breachText(const RuleBreach& breach) const;
    void paintField(QWidget* field, bool focused);
    void highlightButton(QPushButton* button);
    void restoreButtons();
    QList<QWidget*> enterOrder() const;
    bool walkOnEnter(QWidget* field);

    ProgramState& m_state;
    EditorSpec m_spec;
    QWidget* m_body = nullptr;
    QWidget* m_numberField = nullptr;
    QList<QWidget*> m_lockedFields;
    QList<QWidget*> m_enterOrder;
    QPointer<QWidget> m_enterAfterLast;
    bool m_customEnterOrder = false;
    QPointer<QWidget> m_symbolTarget;
    QPointer<QWidget> m_focusField; // the field painted dark
    QList<QPushButton*> m_buttons;
    QSet<QPushButton*> m_notHighlighted;
    QSet<QWidget*> m_noSymbols;
    std::function<QDate()> m_clock;
    bool m_loaded = false;
    bool m_shown = false;
    // The copy keeps its books (each row's ledger row and what was written
    // since): OK writes only the rows added, changed or deleted.
    bool m_tracked = false;
    // Every row of the copy kept the table's rules when it was made.
    bool m_keptRules = false;
    // The rows the last OK found changed by colleagues (a server ledger).
    QVector<RowConflict> m_conflicts;

protected:
    // Instruments deleted in the window whose attachments go with the next OK.
    QStringList m_attachmentsToDrop;
};

} // namespace ravo
