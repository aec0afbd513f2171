-- The ledger on a PostgreSQL server: the same seven tables, columns and rules
-- as the ledger file, written for the server.
--  - Text compares without regard to case, as in the file, through the
--    case-insensitive ICU collation ravo_text; it is the Chinese collation
--    (zh-x-icu, pinyin order) at the strength that ignores case only.
--  - Dates are ISO text (yyyy-MM-dd) and times HH:mm:ss; each rule carries
--    the name of its column, so a refused value names the column it broke.
--  - The ledger tables carry no row address of their own: the working tables
--    the program makes from them get one (rowid).
CREATE COLLATION ravo_text (provider = icu, locale = 'zh-u-ks-level2', deterministic = false);

-- A real calendar date written yyyy-MM-dd (2003-02-30 is none).
CREATE FUNCTION ravo_is_date(v text) RETURNS boolean LANGUAGE plpgsql IMMUTABLE STRICT AS $$
BEGIN
    RETURN v COLLATE "C" ~ '^[0-9]{4}-[0-1][0-9]-[0-3][0-9]$' AND to_char(v::date, 'YYYY-MM-DD') = v;
EXCEPTION WHEN others THEN
    RETURN false;
END $$;

-- A time of day written HH:mm:ss.
CREATE FUNCTION ravo_is_time(v text) RETURNS boolean LANGUAGE plpgsql IMMUTABLE STRICT AS $$
BEGIN
    RETURN v COLLATE "C" ~ '^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]$' AND v::time < '24:00'::time;
EXCEPTION WHEN others THEN
    RETURN false;
END $$;

CREATE TABLE 计量器具待发放库 (
    计量器具类别 text COLLATE ravo_text,
    计量器具种别 text COLLATE ravo_text,
    计量器具名称 text COLLATE ravo_text,
    规格型号 text COLLATE ravo_text,
    准确度 text COLLATE ravo_text,
    准确度等级 text COLLATE ravo_text,
    测量范围 text COLLATE ravo_text,
    分度值 text COLLATE ravo_text,
    出厂日期 text COLLATE ravo_text CONSTRAINT "出厂日期" CHECK (出厂日期 IS NULL OR ravo_is_date(出厂日期)),
    制造厂家 text COLLATE ravo_text,
    配套设备 text COLLATE ravo_text,
    购买日期 text COLLATE ravo_text CONSTRAINT "购买日期" CHECK (购买日期 IS NULL OR ravo_is_date(购买日期)),
    购买价格 text COLLATE ravo_text,
    采购员 text COLLATE ravo_text,
    库存数量 integer
);

CREATE TABLE 计量器具在用库 (
    计量器具编号 text COLLATE ravo_text NOT NULL UNIQUE CONSTRAINT "计量器具编号" CHECK (trim(计量器具编号) <> ''),
    计量器具类别 text COLLATE ravo_text,
    计量器具种别 text COLLATE ravo_text,
    计量器具名称 text COLLATE ravo_text,
    规格型号 text COLLATE ravo_text,
    准确度 text COLLATE ravo_text,
    准确度等级 text COLLATE ravo_text,
    测量范围 text COLLATE ravo_text,
    分度值 text COLLATE ravo_text,
    管理类别 text COLLATE ravo_text,
    法制管理类别 text COLLATE ravo_text,
    制造厂家 text COLLATE ravo_text,
    出厂编号 text COLLATE ravo_text,
    出厂日期 text COLLATE ravo_text CONSTRAINT "出厂日期" CHECK (出厂日期 IS NULL OR ravo_is_date(出厂日期)),
    配套设备 text COLLATE ravo_text,
    状态 text COLLATE ravo_text,
    启用日期 text COLLATE ravo_text CONSTRAINT "启用日期" CHECK (启用日期 IS NULL OR ravo_is_date(启用日期)),
    检定日期 text COLLATE ravo_text CONSTRAINT "检定日期" CHECK (检定日期 IS NULL OR ravo_is_date(检定日期)),
    检定周期 text COLLATE ravo_text,
    有效日期 text COLLATE ravo_text CONSTRAINT "有效日期" CHECK (有效日期 IS NULL OR ravo_is_date(有效日期)),
    检定单位 text COLLATE ravo_text,
    使用部门 text COLLATE ravo_text,
    存放地点 text COLLATE ravo_text,
    保管员 text COLLATE ravo_text,
    联系电话 text COLLATE ravo_text,
    购买日期 text COLLATE ravo_text CONSTRAINT "购买日期" CHECK (购买日期 IS NULL OR ravo_is_date(购买日期)),
    采购员 text COLLATE ravo_text,
    购买价格 text COLLATE ravo_text,
    备注 text COLLATE ravo_text
);

CREATE TABLE 计量器具封存库 (
    计量器具编号 text COLLATE ravo_text NOT NULL UNIQUE CONSTRAINT "计量器具编号" CHECK (trim(计量器具编号) <> ''),
    计量器具类别 text COLLATE ravo_text,
    计量器具种别 text COLLATE ravo_text,
    计量器具名称 text COLLATE ravo_text,
    规格型号 text COLLATE ravo_text,
    准确度 text COLLATE ravo_text,
    准确度等级 text COLLATE ravo_text,
    测量范围 text COLLATE ravo_text,
    分度值 text COLLATE ravo_text,
    管理类别 text COLLATE ravo_text,
    法制管理类别 text COLLATE ravo_text,
    制造厂家 text COLLATE ravo_text,
    出厂编号 text COLLATE ravo_text,
    出厂日期 text COLLATE ravo_text CONSTRAINT "出厂日期" CHECK (出厂日期 IS NULL OR ravo_is_date(出厂日期)),
    配套设备 text COLLATE ravo_text,
    状态 text COLLATE ravo_text,
    启用日期 text COLLATE ravo_text CONSTRAINT "启用日期" CHECK (启用日期 IS NULL OR ravo_is_date(启用日期)),
    检定日期 text COLLATE ravo_text CONSTRAINT "检定日期" CHECK (检定日期 IS NULL OR ravo_is_date(检定日期)),
    检定周期 text COLLATE ravo_text,
    有效日期 text COLLATE ravo_text CONSTRAINT "有效日期" CHECK (有效日期 IS NULL OR ravo_is_date(有效日期)),
    检定单位 text COLLATE ravo_text,
    使用部门 text COLLATE ravo_text,
    存放地点 text COLLATE ravo_text,
    保管员 text COLLATE ravo_text,
    联系电话 text COLLATE ravo_text,
    购买日期 text COLLATE ravo_text CONSTRAINT "购买日期" CHECK (购买日期 IS NULL OR ravo_is_date(购买日期)),
    采购员 text COLLATE ravo_text,
    购买价格 text COLLATE ravo_text,
    备注 text COLLATE ravo_text,
    封存日期 text COLLATE ravo_text CONSTRAINT "封存日期" CHECK (封存日期 IS NULL OR ravo_is_date(封存日期))
);

CREATE TABLE 计量器具报废库 (
    计量器具编号 text COLLATE ravo_text NOT NULL UNIQUE CONSTRAINT "计量器具编号" CHECK (trim(计量器具编号) <> ''),
    计量器具类别 text COLLATE ravo_text,
    计量器具种别 text COLLATE ravo_text,
    计量器具名称 text COLLATE ravo_text,
    规格型号 text COLLATE ravo_text,
    准确度 text COLLATE ravo_text,
    准确度等级 text COLLATE ravo_text,
    测量范围 text COLLATE ravo_text,
    分度值 text COLLATE ravo_text,
    管理类别 text COLLATE ravo_text,
    法制管理类别 text COLLATE ravo_text,
    制造厂家 text COLLATE ravo_text,
    出厂编号 text COLLATE ravo_text,
    出厂日期 text COLLATE ravo_text CONSTRAINT "出厂日期" CHECK (出厂日期 IS NULL OR ravo_is_date(出厂日期)),
    配套设备 text COLLATE ravo_text,
    状态 text COLLATE ravo_text,
    启用日期 text COLLATE ravo_text CONSTRAINT "启用日期" CHECK (启用日期 IS NULL OR ravo_is_date(启用日期)),
    检定日期 text COLLATE ravo_text CONSTRAINT "检定日期" CHECK (检定日期 IS NULL OR ravo_is_date(检定日期)),
    检定周期 text COLLATE ravo_text,
    有效日期 text COLLATE ravo_text CONSTRAINT "有效日期" CHECK (有效日期 IS NULL OR ravo_is_date(有效日期)),
    检定单位 text COLLATE ravo_text,
    使用部门 text COLLATE ravo_text,
    存放地点 text COLLATE ravo_text,
    保管员 text COLLATE ravo_text,
    联系电话 text COLLATE ravo_text,
    购买日期 text COLLATE ravo_text CONSTRAINT "购买日期" CHECK (购买日期 IS NULL OR ravo_is_date(购买日期)),
    采购员 text COLLATE ravo_text,
    购买价格 text COLLATE ravo_text,
    备注 text COLLATE ravo_text,
    报废日期 text COLLATE ravo_text CONSTRAINT "报废日期" CHECK (报废日期 IS NULL OR ravo_is_date(报废日期)),
    报废原因 text COLLATE ravo_text
);

CREATE TABLE 计量器具确认记录库 (
    报告编号 text COLLATE ravo_text,
    报告类型 text COLLATE ravo_text,
    计量器具名称 text COLLATE ravo_text,
    计量器具编号 text COLLATE ravo_text,
    送检单位 text COLLATE ravo_text,
    制造厂家 text COLLATE ravo_text,
    规格型号 text COLLATE ravo_text,
    出厂编号 text COLLATE ravo_text,
    结论 text COLLATE ravo_text,
    批准人 text COLLATE ravo_text,
    核验员 text COLLATE ravo_text,
    检定员 text COLLATE ravo_text,
    检定日期 text COLLATE ravo_text CONSTRAINT "检定日期" CHECK (检定日期 IS NULL OR ravo_is_date(检定日期)),
    有效日期 text COLLATE ravo_text CONSTRAINT "有效日期" CHECK (有效日期 IS NULL OR ravo_is_date(有效日期)),
    温度 text COLLATE ravo_text,
    湿度 text COLLATE ravo_text,
    检测数据 text COLLATE ravo_text,
    检定单位 text COLLATE ravo_text
);

CREATE TABLE 计量器具修理记录库 (
    计量器具编号 text COLLATE ravo_text,
    计量器具类别 text COLLATE ravo_text,
    计量器具种别 text COLLATE ravo_text,
    计量器具名称 text COLLATE ravo_text,
    规格型号 text COLLATE ravo_text,
    修理日期 text COLLATE ravo_text CONSTRAINT "修理日期" CHECK (修理日期 IS NULL OR ravo_is_date(修理日期)),
    修理人员 text COLLATE ravo_text,
    修理前状态 text COLLATE ravo_text,
    修理后状态 text COLLATE ravo_text,
    修理内容 text COLLATE ravo_text
);

CREATE TABLE 环境状况记录库 (
    "ID" integer,
    日期 text COLLATE ravo_text CONSTRAINT "日期" CHECK (日期 IS NULL OR ravo_is_date(日期)),
    时间 text COLLATE ravo_text CONSTRAINT "时间" CHECK (时间 IS NULL OR ravo_is_time(时间)),
    环境温度 text COLLATE ravo_text,
    环境湿度 text COLLATE ravo_text,
    大气压力 text COLLATE ravo_text
);


-- A reading entered without an ID gets the next free one.
CREATE FUNCTION 环境状况记录库_ID() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF NEW."ID" IS NULL THEN
        SELECT coalesce(max("ID"), 0) + 1 INTO NEW."ID" FROM 环境状况记录库;
    END IF;
    RETURN NEW;
END $$;

CREATE TRIGGER 环境状况记录库_ID BEFORE INSERT ON 环境状况记录库
FOR EACH ROW EXECUTE FUNCTION 环境状况记录库_ID();

CREATE INDEX 计量器具确认记录库_编号 ON 计量器具确认记录库 (计量器具编号);

CREATE INDEX 计量器具修理记录库_编号 ON 计量器具修理记录库 (计量器具编号);
