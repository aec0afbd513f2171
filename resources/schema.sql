-- The installed ledger database: the seven tables of the ledger with their
-- columns in the order the program copies them. Text compares without regard
-- to case, dates are ISO text (yyyy-MM-dd) and times HH:mm:ss; anything else
-- is refused by the CHECKs. Rows are addressed by SQLite's rowid.
CREATE TABLE 计量器具待发放库 (
    计量器具类别 TEXT COLLATE NOCASE,
    计量器具种别 TEXT COLLATE NOCASE,
    计量器具名称 TEXT COLLATE NOCASE,
    规格型号 TEXT COLLATE NOCASE,
    准确度 TEXT COLLATE NOCASE,
    准确度等级 TEXT COLLATE NOCASE,
    测量范围 TEXT COLLATE NOCASE,
    分度值 TEXT COLLATE NOCASE,
    出厂日期 TEXT COLLATE NOCASE CHECK (出厂日期 IS NULL OR (出厂日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(出厂日期, '+0 days') IS 出厂日期)),
    制造厂家 TEXT COLLATE NOCASE,
    配套设备 TEXT COLLATE NOCASE,
    购买日期 TEXT COLLATE NOCASE CHECK (购买日期 IS NULL OR (购买日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(购买日期, '+0 days') IS 购买日期)),
    购买价格 TEXT COLLATE NOCASE,
    采购员 TEXT COLLATE NOCASE,
    库存数量 INTEGER CHECK (库存数量 IS NULL OR typeof(库存数量) = 'integer')
);

CREATE TABLE 计量器具在用库 (
    计量器具编号 TEXT COLLATE NOCASE NOT NULL UNIQUE CHECK (trim(计量器具编号) <> ''),
    计量器具类别 TEXT COLLATE NOCASE,
    计量器具种别 TEXT COLLATE NOCASE,
    计量器具名称 TEXT COLLATE NOCASE,
    规格型号 TEXT COLLATE NOCASE,
    准确度 TEXT COLLATE NOCASE,
    准确度等级 TEXT COLLATE NOCASE,
    测量范围 TEXT COLLATE NOCASE,
    分度值 TEXT COLLATE NOCASE,
    管理类别 TEXT COLLATE NOCASE,
    法制管理类别 TEXT COLLATE NOCASE,
    制造厂家 TEXT COLLATE NOCASE,
    出厂编号 TEXT COLLATE NOCASE,
    出厂日期 TEXT COLLATE NOCASE CHECK (出厂日期 IS NULL OR (出厂日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(出厂日期, '+0 days') IS 出厂日期)),
    配套设备 TEXT COLLATE NOCASE,
    状态 TEXT COLLATE NOCASE,
    启用日期 TEXT COLLATE NOCASE CHECK (启用日期 IS NULL OR (启用日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(启用日期, '+0 days') IS 启用日期)),
    检定日期 TEXT COLLATE NOCASE CHECK (检定日期 IS NULL OR (检定日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(检定日期, '+0 days') IS 检定日期)),
    检定周期 TEXT COLLATE NOCASE,
    有效日期 TEXT COLLATE NOCASE CHECK (有效日期 IS NULL OR (有效日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(有效日期, '+0 days') IS 有效日期)),
    检定单位 TEXT COLLATE NOCASE,
    使用部门 TEXT COLLATE NOCASE,
    存放地点 TEXT COLLATE NOCASE,
    保管员 TEXT COLLATE NOCASE,
    联系电话 TEXT COLLATE NOCASE,
    购买日期 TEXT COLLATE NOCASE CHECK (购买日期 IS NULL OR (购买日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(购买日期, '+0 days') IS 购买日期)),
    采购员 TEXT COLLATE NOCASE,
    购买价格 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE
);

CREATE TABLE 计量器具封存库 (
    计量器具编号 TEXT COLLATE NOCASE NOT NULL UNIQUE CHECK (trim(计量器具编号) <> ''),
    计量器具类别 TEXT COLLATE NOCASE,
    计量器具种别 TEXT COLLATE NOCASE,
    计量器具名称 TEXT COLLATE NOCASE,
    规格型号 TEXT COLLATE NOCASE,
    准确度 TEXT COLLATE NOCASE,
    准确度等级 TEXT COLLATE NOCASE,
    测量范围 TEXT COLLATE NOCASE,
    分度值 TEXT COLLATE NOCASE,
    管理类别 TEXT COLLATE NOCASE,
    法制管理类别 TEXT COLLATE NOCASE,
    制造厂家 TEXT COLLATE NOCASE,
    出厂编号 TEXT COLLATE NOCASE,
    出厂日期 TEXT COLLATE NOCASE CHECK (出厂日期 IS NULL OR (出厂日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(出厂日期, '+0 days') IS 出厂日期)),
    配套设备 TEXT COLLATE NOCASE,
    状态 TEXT COLLATE NOCASE,
    启用日期 TEXT COLLATE NOCASE CHECK (启用日期 IS NULL OR (启用日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(启用日期, '+0 days') IS 启用日期)),
    检定日期 TEXT COLLATE NOCASE CHECK (检定日期 IS NULL OR (检定日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(检定日期, '+0 days') IS 检定日期)),
    检定周期 TEXT COLLATE NOCASE,
    有效日期 TEXT COLLATE NOCASE CHECK (有效日期 IS NULL OR (有效日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(有效日期, '+0 days') IS 有效日期)),
    检定单位 TEXT COLLATE NOCASE,
    使用部门 TEXT COLLATE NOCASE,
    存放地点 TEXT COLLATE NOCASE,
    保管员 TEXT COLLATE NOCASE,
    联系电话 TEXT COLLATE NOCASE,
    购买日期 TEXT COLLATE NOCASE CHECK (购买日期 IS NULL OR (购买日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(购买日期, '+0 days') IS 购买日期)),
    采购员 TEXT COLLATE NOCASE,
    购买价格 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE,
    封存日期 TEXT COLLATE NOCASE CHECK (封存日期 IS NULL OR (封存日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(封存日期, '+0 days') IS 封存日期))
);

CREATE TABLE 计量器具报废库 (
    计量器具编号 TEXT COLLATE NOCASE NOT NULL UNIQUE CHECK (trim(计量器具编号) <> ''),
    计量器具类别 TEXT COLLATE NOCASE,
    计量器具种别 TEXT COLLATE NOCASE,
    计量器具名称 TEXT COLLATE NOCASE,
    规格型号 TEXT COLLATE NOCASE,
    准确度 TEXT COLLATE NOCASE,
    准确度等级 TEXT COLLATE NOCASE,
    测量范围 TEXT COLLATE NOCASE,
    分度值 TEXT COLLATE NOCASE,
    管理类别 TEXT COLLATE NOCASE,
    法制管理类别 TEXT COLLATE NOCASE,
    制造厂家 TEXT COLLATE NOCASE,
    出厂编号 TEXT COLLATE NOCASE,
    出厂日期 TEXT COLLATE NOCASE CHECK (出厂日期 IS NULL OR (出厂日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(出厂日期, '+0 days') IS 出厂日期)),
    配套设备 TEXT COLLATE NOCASE,
    状态 TEXT COLLATE NOCASE,
    启用日期 TEXT COLLATE NOCASE CHECK (启用日期 IS NULL OR (启用日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(启用日期, '+0 days') IS 启用日期)),
    检定日期 TEXT COLLATE NOCASE CHECK (检定日期 IS NULL OR (检定日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(检定日期, '+0 days') IS 检定日期)),
    检定周期 TEXT COLLATE NOCASE,
    有效日期 TEXT COLLATE NOCASE CHECK (有效日期 IS NULL OR (有效日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(有效日期, '+0 days') IS 有效日期)),
    检定单位 TEXT COLLATE NOCASE,
    使用部门 TEXT COLLATE NOCASE,
    存放地点 TEXT COLLATE NOCASE,
    保管员 TEXT COLLATE NOCASE,
    联系电话 TEXT COLLATE NOCASE,
    购买日期 TEXT COLLATE NOCASE CHECK (购买日期 IS NULL OR (购买日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(购买日期, '+0 days') IS 购买日期)),
    采购员 TEXT COLLATE NOCASE,
    购买价格 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE,
    报废日期 TEXT COLLATE NOCASE CHECK (报废日期 IS NULL OR (报废日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(报废日期, '+0 days') IS 报废日期)),
    报废原因 TEXT COLLATE NOCASE
);

CREATE TABLE 计量器具确认记录库 (
    报告编号 TEXT COLLATE NOCASE,
    报告类型 TEXT COLLATE NOCASE,
    计量器具名称 TEXT COLLATE NOCASE,
    计量器具编号 TEXT COLLATE NOCASE,
    送检单位 TEXT COLLATE NOCASE,
    制造厂家 TEXT COLLATE NOCASE,
    规格型号 TEXT COLLATE NOCASE,
    出厂编号 TEXT COLLATE NOCASE,
    结论 TEXT COLLATE NOCASE,
    批准人 TEXT COLLATE NOCASE,
    核验员 TEXT COLLATE NOCASE,
    检定员 TEXT COLLATE NOCASE,
    检定日期 TEXT COLLATE NOCASE CHECK (检定日期 IS NULL OR (检定日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(检定日期, '+0 days') IS 检定日期)),
    有效日期 TEXT COLLATE NOCASE CHECK (有效日期 IS NULL OR (有效日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(有效日期, '+0 days') IS 有效日期)),
    温度 TEXT COLLATE NOCASE,
    湿度 TEXT COLLATE NOCASE,
    检测数据 TEXT COLLATE NOCASE,
    检定单位 TEXT COLLATE NOCASE
);

CREATE TABLE 计量器具修理记录库 (
    计量器具编号 TEXT COLLATE NOCASE,
    计量器具类别 TEXT COLLATE NOCASE,
    计量器具种别 TEXT COLLATE NOCASE,
    计量器具名称 TEXT COLLATE NOCASE,
    规格型号 TEXT COLLATE NOCASE,
    修理日期 TEXT COLLATE NOCASE CHECK (修理日期 IS NULL OR (修理日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(修理日期, '+0 days') IS 修理日期)),
    修理人员 TEXT COLLATE NOCASE,
    修理前状态 TEXT COLLATE NOCASE,
    修理后状态 TEXT COLLATE NOCASE,
    修理内容 TEXT COLLATE NOCASE
);

CREATE TABLE 环境状况记录库 (
    ID INTEGER CHECK (ID IS NULL OR typeof(ID) = 'integer'),
    日期 TEXT COLLATE NOCASE CHECK (日期 IS NULL OR (日期 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]' AND date(日期, '+0 days') IS 日期)),
    时间 TEXT COLLATE NOCASE CHECK (时间 IS NULL OR (时间 GLOB '[0-2][0-9]:[0-5][0-9]:[0-5][0-9]' AND time(时间) IS 时间)),
    环境温度 TEXT COLLATE NOCASE,
    环境湿度 TEXT COLLATE NOCASE,
    大气压力 TEXT COLLATE NOCASE
);

-- A reading entered without an ID gets the next free one.
CREATE TRIGGER 环境状况记录库_ID AFTER INSERT ON 环境状况记录库
WHEN NEW.ID IS NULL
BEGIN
    UPDATE 环境状况记录库 SET ID = (SELECT coalesce(max(ID), 0) + 1 FROM 环境状况记录库)
    WHERE rowid = NEW.rowid;
END;

CREATE INDEX 计量器具确认记录库_编号 ON 计量器具确认记录库 (计量器具编号);

CREATE INDEX 计量器具修理记录库_编号 ON 计量器具修理记录库 (计量器具编号);

-- The scratch query: one row holding the text of the last statement run
-- through it.
CREATE TABLE MSysScratchQuery (
    SQL TEXT NOT NULL DEFAULT ''
);

INSERT INTO MSysScratchQuery (SQL) VALUES ('');
