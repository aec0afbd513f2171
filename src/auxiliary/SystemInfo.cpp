#include "SystemInfo.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtGlobal>

namespace ravo {

namespace {

bool told(const QString& value)
{
    return !value.isEmpty() && value != QLatin1String("unknown");
}

} // namespace

std::optional<SystemInfo> readSystemInfo()
{
    const QString product = QSysInfo::prettyProductName();
    const QString kernel = QSysInfo::kernelType();
    if (!told(product) && !told(kernel))
        return std::nullopt;

    SystemInfo info;
    auto add = [&info](const QString& label, const QString& value) {
        if (told(value))
            info.append({label, value});
    };
    add(QStringLiteral("操作系统"), product);
    add(QStringLiteral("系统类型"), QSysInfo::productType());
    add(QStringLiteral("系统版本"), QSysInfo::productVersion());
    add(QStringLiteral("内核"), (kernel + QLatin1Char(' ') + QSysInfo::kernelVersion()).trimmed());
    add(QStringLiteral("处理器架构"), QSysInfo::currentCpuArchitecture());
    add(QStringLiteral("程序架构"), QSysInfo::buildAbi());
    add(QStringLiteral("计算机名"), QSysInfo::machineHostName());
    add(QStringLiteral("Qt 版本"), QString::fromLatin1(qVersion()));
    add(QStringLiteral("区域设置"), QLocale::system().name());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize s = screen->size();
        add(QStringLiteral("主屏幕"),
            QStringLiteral("%1 × %2 像素，%3 dpi")
                .arg(s.width())
                .arg(s.height())
                .arg(qRound(screen->logicalDotsPerInch())));
    }
    add(QStringLiteral("图形平台"), QGuiApplication::platformName());
    return info;
}

SystemInfoDialog::SystemInfoDialog(const SystemInfo& info, QWidget* parent) : QDialog(parent), m_info(info)
{
    setObjectName(QStringLiteral("frmSysInfo"));
    setWindowTitle(QStringLiteral("系统信息"));

    m_table = new QTableWidget(int(info.size()), 2, this);
    m_table->setObjectName(QStringLiteral("tblSysInfo"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("项目"), QStringLiteral("内容")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int i = 0; i < info.size(); ++i) {
        m_table->setItem(i, 0, new QTableWidgetItem(info.at(i).label));
        m_table->setItem(i, 1, new QTableWidgetItem(info.at(i).value));
    }
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Every row in sight, without a scroll bar.
    const int rows = m_table->verticalHeader()->defaultSectionSize() * m_table->rowCount();
    m_table->setMinimumSize(qMax(560, m_table->horizontalHeader()->length() + 8),
                            m_table->horizontalHeader()->sizeHint().height() + rows + 2 * m_table->frameWidth() + 2);

    auto* copy = new QPushButton(QStringLiteral("复制(&C)"), this);
    copy->setObjectName(QStringLiteral("cmdCopy"));
    copy->setToolTip(QStringLiteral("把以上信息复制到剪贴板，便于报告问题"));
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text()); });
    auto* ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
}

QString SystemInfoDialog::text() const
{
    QStringList lines;
    for (const SystemInfoItem& item : m_info)
        lines << item.label + QStringLiteral("：") + item.value;
    return lines.join(QLatin1Char('\n'));
}

} // namespace ravo
