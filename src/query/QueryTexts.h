#pragma once
// The captions and messages of the query wizard and the saved queries.
#include <QString>

namespace ravo::querytexts {

inline const QString Caption = QStringLiteral("查询向导");

inline const QString TabConditions = QStringLiteral("约束条件");
inline const QString TabFields = QStringLiteral("字段选择");
inline const QString TabOrder = QStringLiteral("排序方式");

inline const QString SavedLabel = QStringLiteral("选择常用查询：");
inline const QString QueryCaption = QStringLiteral("查询(&Q)");
inline const QString SaveCaption = QStringLiteral("保存设置(&S)");
inline const QString CancelCaption = QStringLiteral("取消(&C)");

inline const QString FieldLabel = QStringLiteral("查询字段：");
inline const QString MatterLabel = QStringLiteral("查询内容：");
inline const QString BlurCaption = QStringLiteral("使用模糊功能");
inline const QString HighCaption = QStringLiteral("高级查询");
inline const QString AndCaption = QStringLiteral("AND");
inline const QString OrCaption = QStringLiteral("OR");
inline const QString AddConditionCaption = QStringLiteral("加入条件(&A)");
inline const QString ClearCaption = QStringLiteral("清除(&D)");

inline const QString FieldsHint = QStringLiteral("请将需要检索并显示的字段选择到右边的列表框中：");
inline const QString UniqueFieldHint = QStringLiteral("注意：具有唯一性的\"编号\"或\"ID\"字段应选中！");

inline const QString OrderHint = QStringLiteral("请选择需要排序的字段以及方式：");
inline const QString OrderNumberHeading = QStringLiteral("序号");
inline const QString OrderFieldHeading = QStringLiteral("排序字段");
inline const QString OrderDirectionHeading = QStringLiteral("排序方式");
inline const QString OrderPriorityHint = QStringLiteral("注意：序号在前者，优先级别更高！");
inline const QString Ascending = QStringLiteral("升序");
inline const QString Descending = QStringLiteral("降序");

inline const QString NoConditionValue = QStringLiteral("你还没有设置条件值，请重新操作！");
inline const QString NoFieldChosen = QStringLiteral("请在“字段选择”中至少选择一个需要显示的字段！");
// %1 the field, %2 what was typed.
inline const QString NotANumber = QStringLiteral("“%1”的条件值必须是数字：“%2”不是数字，请重新输入！");
inline const QString CarriageReturnInValue =
    QStringLiteral("条件值中有回车符，高级查询的条件框不能保存它。请用简单查询查找这个值。");
inline const QString NotATime = QStringLiteral("“%1”不是有效的时间：“%2”。请按 10:05:00 的格式输入。");

inline const QString SaveNameTitle = QStringLiteral("设置保存名称！");
inline const QString SaveNamePrompt = QStringLiteral("请为当前查询设置一个名称！将其添加到查询列表中，方便以后使用！");

} // namespace ravo::querytexts
