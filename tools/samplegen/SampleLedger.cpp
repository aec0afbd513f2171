#include "SampleLedger.h"

#include "core/Ledger.h"

#include <QStringList>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace ravo::sample {

namespace {

// A small generator of our own, so the ledger is the same on every machine
// and library version.
class Random {
public:
    explicit Random(quint32 seed) : m_state(seed ? seed : 1) { }
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % quint32(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    template <typename List> const auto& pick(const List& l) { return l.at(below(int(l.size()))); }

private:
    quint32 m_state;
};

const QStringList kDepartments = {"计量室",   "质检部",     "一车间",     "二车间", "三车间", "装配车间",
                                  "研发中心", "热处理车间", "理化实验室", "动力部", "设备部", "仓储部"};
const QStringList kPeople = {"王建国", "李秀英", "张伟", "刘洋", "陈静", "杨帆", "赵磊",   "黄丽", "周敏",
                             "吴强",   "徐娟",   "孙浩", "马超", "朱琳", "胡军", "郭晓燕", "何平", "林涛"};
const QStringList kMakers = {"上海量具刃具厂",   "哈尔滨量具刃具集团", "成都工具研究所", "桂林广陆数字测控",
                             "北京无线电仪器厂", "西安仪表厂",         "天津精密仪器厂", "青海量具厂",
                             "福禄克（中国）",   "安捷伦科技",         "梅特勒-托利多",  "横河电机"};
const QStringList kPlaces = {"计量室一号柜", "计量室二号柜", "车间工具室", "质检台",
                             "实验室恒温间", "装配线旁",     "仓库A区",    "仓库B区"};
const QStringList kCalibrators = {"本厂计量室", "市计量测试所", "省计量科学研究院", "国家计量院"};
const QStringList kStatuses = {"合格", "合格", "合格", "合格", "准用", "限用", "测量标准"};
const QStringList kReports = {"检定证书(小)", "检定证书(大)", "测试报告(大)", "检定结果通知书(小)",
                              "检定结果通知书(大)"};

// Names and model ranges by category, in the order of the classification.
struct NameSet {
    QStringList names;
    QStringList models;
    QStringList ranges;
};
const std::vector<NameSet> kNames = {
    {{"游标卡尺", "数显卡尺", "外径千分尺", "内径百分表", "量块", "塞尺", "万能角度尺", "刀口尺", "高度尺"},
     {"0-150mm", "0-200mm", "0-300mm", "0-25mm", "25-50mm", "50-75mm", "83块套"},
     {"0～150mm", "0～25mm", "0～300mm", "0～320°"}},
    {{"工作用玻璃液体温度计", "数字温度计", "温湿度计", "热电偶", "铂电阻温度计"},
     {"WNG-01", "TES-1310", "WS-1", "K型", "Pt100"},
     {"0～100℃", "-50～150℃", "0～1300℃", "10%～98%RH"}},
    {{"电子天平", "一般压力表", "精密压力表", "台秤", "扭矩扳手", "转速表", "砝码"},
     {"JA2003", "Y-100", "YB-150", "TGT-100", "NB-200", "DT-2234", "F1级 1mg～200g"},
     {"0～200g", "0～1.6MPa", "0～6MPa", "0～100kg", "20～200N·m"}},
    {{"数字多用表", "兆欧表", "接地电阻测试仪", "钳形电流表", "直流电阻箱"},
     {"FLUKE 17B", "ZC25-3", "ZC29B-2", "MS2108A", "ZX21"},
     {"0～1000V", "0～500MΩ", "0～1000Ω", "0～1000A"}},
    {{"照度计", "色差仪", "光泽度计"}, {"TES-1330A", "CR-10", "WGG60"}, {"0～20000lx", "ΔE 0～100"}},
    {{"示波器", "信号发生器", "频谱分析仪", "射频功率计"},
     {"DS1102E", "AFG3022", "N9320B", "NRP-Z21"},
     {"0～100MHz", "1μHz～25MHz", "9kHz～3GHz"}},
    {{"酸度计", "电导率仪", "分光光度计", "粘度计"},
     {"PHS-3C", "DDS-307", "722N", "NDJ-1"},
     {"0～14pH", "0～2×10⁵μS/cm", "340～1000nm"}},
    {{"声级计", "声校准器"}, {"AWA5688", "AWA6221A"}, {"28～133dB", "94dB/114dB"}},
    {{"辐射剂量率仪", "表面污染仪"}, {"FJ-347A", "CoMo-170"}, {"0.1μSv/h～10mSv/h"}},
    {{"秒表", "频率计数器", "时间间隔测量仪"}, {"PC396", "SS7201", "SR620"}, {"0～10h", "1Hz～2.4GHz"}},
};

QString iso(const QDate& d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

// The trailing Latin letter of a category or kind name ("长度L" → "L").
QString letter(const QString& name)
{
    for (int i = int(name.size()) - 1; i >= 0; --i)
        if (name.at(i).isLetter() && name.at(i).unicode() < 128)
            return name.at(i).toUpper();
    return QStringLiteral("X");
}

class Writer {
public:
    explicit Writer(sqlite3* db) : m_db(db) { }
    ~Writer() { sqlite3_finalize(m_st); }
    bool prepare(const QString& table, const QStringList& cols)
    {
        sqlite3_finalize(m_st);
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i)
            marks << QStringLiteral("?");
        const QByteArray sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(table, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                                   .toUtf8();
        return sqlite3_prepare_v2(m_db, sql.constData(), -1, &m_st, nullptr) == SQLITE_OK;
    }
    bool insert(const QVariantList& values)
    {
        sqlite3_reset(m_st);
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& v = values.at(i);
            if (v.isNull()) {
                sqlite3_bind_null(m_st, i + 1);
            } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
                sqlite3_bind_int64(m_st, i + 1, v.toLongLong());
            } else {
                const QByteArray t = v.toString().toUtf8();
                sqlite3_bind_text(m_st, i + 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            }
        }
        return sqlite3_step(m_st) == SQLITE_DONE;
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_st = nullptr;
};

struct Instrument {
    QVariantList values; // the 29 common columns
};

// Walks the instruments already written to the in-use ledger, in the order
// they were written, with the common columns of each as text. The records
// made for them are built from these, so that a large ledger is never held
// in memory.
bool forEachInUse(sqlite3* db, const QStringList& common, const std::function<bool(const QVariantList&)>& fn)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray sql =
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(common.join(QLatin1Char(',')), tables::InUse).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        return false;
    QVariantList values(common.size());
    bool ok = true;
    int step;
    while (ok && (step = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < int(common.size()); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            values[c] = text ? QVariant(QString::fromUtf8(text, sqlite3_column_bytes(st, c))) : QVariant();
        }
        ok = fn(values);
    }
    ok = ok && step == SQLITE_DONE;
    sqlite3_finalize(st);
    return ok;
}

} // namespace

QString fillSampleLedger(const QString& path, const SampleSize& size, const QDate& today, quint32 seed,
                         SampleCounts* counts)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("不能打开 %1").arg(path);
    }
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    Random rnd(seed);
    SampleCounts made;
    Writer w(db);
    const auto& classes = instrumentClasses();
    int serial = 0;

    auto makeInstrument = [&]() {
        const int c = rnd.below(int(classes.size()));
        const InstrumentClass& cls = classes.at(c);
        const QString kind = rnd.pick(cls.kinds);
        const NameSet& names = kNames.at(size_t(c));
        const QString number =
            QStringLiteral("%1-%2-%3").arg(letter(cls.name), letter(kind)).arg(++serial, 6, 10, QLatin1Char('0'));
        const QDate bought = today.addDays(-rnd.between(30, 3650));
        const QString cycle = rnd.below(4) == 0 ? QStringLiteral("6") : QStringLiteral("12");
        const int months = cycle.toInt();
        // Valid-until spread: about 3% overdue, 7% due within 30 days, the rest later.
        const int roll = rnd.below(100);
        int dueIn;
        if (roll < 3)
            dueIn = -rnd.between(1, 120);
        else if (roll < 10)
            dueIn = rnd.between(0, 30);
        else
            dueIn = rnd.between(31, months * 30);
        const QDate validUntil = today.addDays(dueIn);
        const QDate calibrated = validUntil.addDays(1).addMonths(-months);
        Instrument in;
        in.values = {number,
                     cls.name,
                     kind,
                     rnd.pick(names.names),
                     rnd.pick(names.models),
                     rnd.below(2) ? QStringLiteral("±0.02mm") : QStringLiteral("0.5%FS"),
                     rnd.pick(QStringList{"0级", "1级", "2级", "0.5级", "1.0级", "A级"}),
                     rnd.pick(names.ranges),
                     rnd.pick(QStringList{"0.01mm", "0.001mm", "0.1℃", "0.01MPa", "1mg", "0.1V"}),
                     rnd.pick(QStringList{"A", "B", "B", "C"}),
                     rnd.pick(QStringList{"强检", "送检", "自检", "抽检"}),
                     rnd.pick(kMakers),
                     QStringLiteral("%1").arg(rnd.between(100000, 999999)),
                     iso(bought.addDays(-rnd.between(30, 400))),
                     rnd.below(5) == 0 ? QStringLiteral("说明书、合格证、仪器箱") : QString(),
                     rnd.pick(kStatuses),
                     iso(bought.addDays(rnd.between(1, 30))),
                     iso(calibrated),
                     cycle,
                     iso(validUntil),
                     rnd.pick(kCalibrators),
                     rnd.pick(kDepartments),
                     rnd.pick(kPlaces),
                     rnd.pick(kPeople),
                     QStringLiteral("0571-8%1").arg(rnd.between(1000000, 9999999)),
                     iso(bought),
                     rnd.pick(kPeople),
                     QStringLiteral("%1.00").arg(rnd.between(80, 48000)),
                     rnd.below(8) == 0 ? QStringLiteral("使用前请先校零。\n轻拿轻放，用后擦净入盒。") : QString()};
        return in;
    };

    const QStringList common = commonColumns();
    QString failure;
    auto fail = [&](const QString& what) {
        if (failure.isEmpty())
            failure = what + QStringLiteral("：") + w.error();
    };

    if (!w.prepare(tables::InUse, common))
        fail(tables::InUse);
    for (int i = 0; i < size.inUse && failure.isEmpty(); ++i) {
        if (!w.insert(makeInstrument().values))
            fail(tables::InUse);
        ++made.inUse;
    }

    if (failure.isEmpty() && !w.prepare(tables::Sealed, common + QStringList{QStringLiteral("封存日期")}))
        fail(tables::Sealed);
    for (int i = 0; i < size.sealed() && failure.isEmpty(); ++i) {
        Instrument in = makeInstrument();
        in.values[15] = QStringLiteral("封存");
        if (!w.insert(in.values + QVariantList{iso(today.addDays(-rnd.between(1, 1500)))}))
            fail(tables::Sealed);
        ++made.sealed;
    }

    if (failure.isEmpty()
        && !w.prepare(tables::Scrapped, common + QStringList{QStringLiteral("报废日期"), QStringLiteral("报废原因")}))
        fail(tables::Scrapped);
    for (int i = 0; i < size.scrapped() && failure.isEmpty(); ++i) {
        Instrument in = makeInstrument();
        in.values[15] = QStringLiteral("报废");
        if (!w.insert(in.values
                      + QVariantList{iso(today.addDays(-rnd.between(1, 2500))),
                                     rnd.pick(QStringList{"示值超差，无法修复", "零部件损坏，修理费用过高", "型号淘汰",
                                                          "检定不合格"})}))
            fail(tables::Scrapped);
        ++made.scrapped;
    }

    const QStringList stockCols =
        QStringLiteral("计量器具类别,计量器具种别,计量器具名称,规格型号,准确度,准确度等级,"
                       "测量范围,分度值,出厂日期,制造厂家,配套设备,购买日期,购买价格,采购员,库存数量")
            .split(QLatin1Char(','));
    if (failure.isEmpty() && !w.prepare(tables::Stock, stockCols))
        fail(tables::Stock);
    for (int i = 0; i < size.stock() && failure.isEmpty(); ++i) {
        const QVariantList v = makeInstrument().values;
        --serial; // stock items carry no number
        if (!w.insert({v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[13], v[11], QStringLiteral("合格证、说明书"),
                       iso(today.addDays(-rnd.between(1, 200))), v[27], v[26], rnd.between(1, 12)}))
            fail(tables::Stock);
        ++made.stock;
    }

    const QStringList certCols =
        QStringLiteral("报告编号,报告类型,计量器具名称,计量器具编号,送检单位,制造厂家,规格型号,"
                       "出厂编号,结论,批准人,核验员,检定员,检定日期,有效日期,温度,湿度,检测数据,检定单位")
            .split(QLatin1Char(','));
    if (failure.isEmpty() && !w.prepare(tables::Confirmation, certCols))
        fail(tables::Confirmation);
    int report = 0;
    const auto confirm = [&](const QVariantList& in) {
        const int months = in[18].toInt();
        const QDate last = QDate::fromString(in[17].toString(), Qt::ISODate);
        for (int k = size.confirmationsPerInstrument - 1; k >= 0; --k) {
            const QDate on = last.addMonths(-months * k);
            if (!w.insert(
                    {QStringLiteral("JD%1-%2").arg(on.year()).arg(++report, 6, 10, QLatin1Char('0')),
                     rnd.pick(kReports), in[3], in[0], in[21], in[11], in[4], in[12], QStringLiteral("合格"),
                     rnd.pick(kPeople), rnd.pick(kPeople), rnd.pick(kPeople), iso(on),
                     iso(on.addMonths(months).addDays(-1)), QStringLiteral("%1").arg(rnd.between(18, 24)),
                     QStringLiteral("%1%").arg(rnd.between(40, 65)),
                     QStringLiteral("示值误差：+0.0%1\n回程误差：0.00%2").arg(rnd.between(0, 9)).arg(rnd.between(0, 9)),
                     in[20]})) {
                fail(tables::Confirmation);
                return false;
            }
            ++made.confirmations;
        }
        return true;
    };
    if (failure.isEmpty() && !forEachInUse(db, common, confirm))
        fail(tables::Confirmation);

    const QStringList repairCols =
        QStringLiteral("计量器具编号,计量器具类别,计量器具种别,计量器具名称,规格型号,修理日期,"
                       "修理人员,修理前状态,修理后状态,修理内容")
            .split(QLatin1Char(','));
    if (failure.isEmpty() && !w.prepare(tables::Repair, repairCols))
        fail(tables::Repair);
    int nth = 0;
    const auto repair = [&](const QVariantList& v) {
        if (nth++ % std::max(1, size.repairsEvery) != 0)
            return true;
        if (!w.insert({v[0], v[1], v[2], v[3], v[4], iso(today.addDays(-rnd.between(10, 1500))), rnd.pick(kPeople),
                       rnd.pick(QStringList{"示值超差", "指针卡滞", "显示不稳定", "外观损伤"}), QStringLiteral("合格"),
                       rnd.pick(QStringList{"清洗、调整示值", "更换测微螺杆", "更换电池并校准", "修复表壳"})})) {
            fail(tables::Repair);
            return false;
        }
        ++made.repairs;
        return true;
    };
    if (failure.isEmpty() && !forEachInUse(db, common, repair))
        fail(tables::Repair);

    if (failure.isEmpty()
        && !w.prepare(tables::Environment,
                      QStringLiteral("日期,时间,环境温度,环境湿度,大气压力").split(QLatin1Char(','))))
        fail(tables::Environment);
    for (int d = 365; d >= 1 && failure.isEmpty(); --d) {
        const QDate day = today.addDays(-d);
        if (day.dayOfWeek() > 5)
            continue;
        for (const char* at : {"08:30:00", "14:30:00"}) {
            if (!w.insert({iso(day), QString::fromLatin1(at),
                           QStringLiteral("%1.%2").arg(rnd.between(19, 22)).arg(rnd.below(10)),
                           QStringLiteral("%1").arg(rnd.between(40, 65)),
                           QStringLiteral("101.%1").arg(rnd.between(0, 9))}))
                fail(tables::Environment);
            ++made.readings;
        }
    }

    sqlite3_exec(db, failure.isEmpty() ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (counts)
        *counts = made;
    return failure;
}

} // namespace ravo::sample
