#pragma once
// Texts the editor windows share.
#include <QString>

namespace ravo::texts {

inline const QString BlankNumber = QStringLiteral("计量器具编号不能为空！");
inline const QString FindPrompt = QStringLiteral("请输入要查找的计量器具编号：");
inline const QString FindTitle = QStringLiteral("查找");

inline const QString FindCaption = QStringLiteral("查找(&F)");
inline const QString DeleteCaption = QStringLiteral("删除(&D)");
inline const QString OkCaption = QStringLiteral("确定(&O)");
inline const QString AddCaption = QStringLiteral("添加(&A)");
inline const QString CopyCaption = QStringLiteral("复制(&C)");
inline const QString PrintCaption = QStringLiteral("打印(&P)");
inline const QString SaveCaption = QStringLiteral("保存(&S)");
inline const QString CancelCaption = QStringLiteral("取消(&C)");

} // namespace ravo::texts
