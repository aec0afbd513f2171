#pragma once
// The attachments of an instrument or of one of its records: the list (name,
// size, when and by whom), and adding (file dialog or files dropped onto
// the list), opening in the system's viewer, saving elsewhere and removing
// (asked first).
#include "core/Attachments.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace ravo {

class Prompter;

class AttachmentsWindow : public QDialog {
    Q_OBJECT
public:
    AttachmentsWindow(Database& db, Prompter& prompt, const AttachmentOwner& owner, const QString& account,
                      const QString& caption, QWidget* parent = nullptr);

    // Adds the files, one by one; each refusal is told and the rest go on.
    void addFiles(const QStringList& paths);

    QTreeWidget* lstFiles = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdSaveAs = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reload();
    void chooseFiles();
    void openCurrent();
    void saveCurrent();
    void removeCurrent();
    const Attachment* current() const;

    Database& m_db;
    Prompter& m_prompt;
    AttachmentOwner m_owner;
    QString m_account;
    QVector<Attachment> m_list;
};

} // namespace ravo
