#pragma once
// What the About box tells about the computer: read from QSysInfo and shown
// in a small dialog of its own.
#include <QDialog>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class QTableWidget;

namespace ravo {

struct SystemInfoItem {
    QString label;
    QString value;
};
using SystemInfo = QVector<SystemInfoItem>;

// The system's description, or nothing when the system does not tell
// (no product name and no kernel).
std::optional<SystemInfo> readSystemInfo();

// Where the About box gets the information from; tests hand in their own.
using SystemInfoSource = std::function<std::optional<SystemInfo>()>;

// The information as a table, with a button that copies it as text.
class SystemInfoDialog : public QDialog {
    Q_OBJECT
public:
    SystemInfoDialog(const SystemInfo& info, QWidget* parent = nullptr);

    // The information as lines of "label：value".
    QString text() const;
    QTableWidget* table() const { return m_table; }

private:
    SystemInfo m_info;
    QTableWidget* m_table = nullptr;
};

} // namespace ravo
