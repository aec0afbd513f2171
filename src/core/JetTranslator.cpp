#include "core/JetTranslator.h"

#include "core/Dates.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <optional>
#include <sqlite3.h>

namespace ravo {

namespace {

// ---------------------------------------------------------------------------
// Tokens of a Jet statement. Every token carries the text it contributes to
// the SQLite statement, so a statement that needs no rewriting is the plain
// concatenation of its tokens and keeps its spacing and spelling.

enum class Kind {
    Space,      // blanks and line ends
    Word,       // keyword, name or number
    Identifier, // [name] or `name`
    Text,       // a text literal, already in SQLite form
    Symbol,     // operators and punctuation
};

struct Token {
    Kind kind = Kind::Symbol;
    QString text;  // what goes into the SQLite statement
    QString value; // Word: the word; Identifier: the bare name; Text: the content
    bool isDate = false;
};

// Blanks of every script: a Chinese input method types U+3000 between words.
// SQLite separates tokens by ASCII blanks only and would take the others for
// part of a name, so they reach it as plain spaces (asciiBlanks).
bool isSpace(QChar c)
{
    return c.isSpace();
}

QString asciiBlanks(QStringView blanks)
{
    QString out = blanks.toString();
    for (QChar& c : out) {
        if (c.unicode() >= 0x80)
            c = QLatin1Char(' ');
    }
    return out;
}

// Like SQLite: ASCII letters, digits, '_', '$' and every non-ASCII character
// (so Chinese table and column names need no quotes).
bool isWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_'
        || u == '$';
}

QString excerpt(const QString& s, qsizetype from)
{
    const QString rest = s.mid(from);
    return rest.size() > 40 ? rest.left(40) + QStringLiteral("…") : rest;
}

// The date of a #…# literal: the forms users type, and Jet's own m/d/yyyy.
std::optional<QDate> literalDate(const QString& text)
{
    if (auto d = parseUserDate(text))
        return d;
    static const QRegularExpression us(QStringLiteral(R"(^([0-9]{1,2})/([0-9]{1,2})/([0-9]{4})$)"));
    const auto m = us.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    if (!d.isValid())
        return std::nullopt;
    return d;
}

struct Lexed {
    QList<Token> tokens;
    QString error;
};

// Reads a literal or name enclosed in `quote … close`, where a doubled close
// character stands for one. Returns the position after the closing
// character, or -1 when it is missing.
qsizetype readEnclosed(const QString& s, qsizetype open, QChar close, bool doubledEscapes, QString* value)
{
    qsizetype j = open + 1;
    while (j < s.size()) {
        if (s[j] == close) {
            if (doubledEscapes && j + 1 < s.size() && s[j + 1] == close) {
                value->append(close);
                j += 2;
                continue;
            }
            return j + 1;
        }
        value->append(s[j]);
        ++j;
    }
    return -1;
}

Lexed lex(const QString& s, Engine engine)
{
    const bool server = engine == Engine::Postgres;
    Lexed out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        Token t;
        qsizetype next = i + 1;
        if (isSpace(c)) {
            while (next < n && isSpace(s[next]))
                ++next;
            t.kind = Kind::Space;
            t.text = asciiBlanks(QStringView(s).mid(i, next - i));
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            next = readEnclosed(s, i, c, true, &t.value);
            if (next < 0) {
                out.error = (c == QLatin1Char('"') ? QStringLiteral(u"语句中的文本缺少结尾的双引号：%1")
                                                   : QStringLiteral(u"语句中的文本缺少结尾的单引号：%1"))
                                .arg(excerpt(s, i));
                return out;
            }
            if (server && t.value.contains(QChar(0))) {
                out.error =
                    QStringLiteral(u"语句中的文本含有空字符（NUL），数据库服务器不能保存：%1").arg(excerpt(s, i));
                return out;
            }
            t.kind = Kind::Text;
            t.text = sqliteTextLiteral(t.value);
        } else if (c == QLatin1Char('#')) {
            const qsizetype close = s.indexOf(QLatin1Char('#'), i + 1);
            if (close < 0) {
                out.error = QStringLiteral(u"语句中的日期缺少结尾的“#”：%1").arg(excerpt(s, i));
                return out;
            }
            const QString content = s.mid(i + 1, close - i - 1);
            const auto iso = isoOfDateLiteral(content);
            if (!iso) {
                out.error = QStringLiteral(u"语句中的“#%1#”不是有效的日期或时间。").arg(content);
                return out;
            }
            next = close + 1;
            t.kind = Kind::Text;
            t.value = *iso;
            t.text = sqliteTextLiteral(*iso);
            t.isDate = true;
        } else if (c == QLatin1Char('[') || c == QLatin1Char('`')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('`');
            next = readEnclosed(s, i, close, c == QLatin1Char('`'), &t.value);
            if (next < 0) {
                out.error = QStringLiteral(u"语句中的名称缺少结尾的“%1”：%2").arg(close).arg(excerpt(s, i));
                return out;
            }
            t.kind = Kind::Identifier;
            t.text = server ? quotedName(t.value, engine) : s.mid(i, next - i);
        } else if (isWordChar(c)) {
            while (next < n && isWordChar(s[next]) && !isSpace(s[next]))
                ++next;
            t.kind = Kind::Word;
            t.text = s.mid(i, next - i);
            t.value = t.text;
        } else {
            static const QStringList pairs = {QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
                                              QStringLiteral("!="), QStringLiteral("=="), QStringLiteral("||")};
            const QString two = s.mid(i, 2);
            if (pairs.contains(two))
                next = i + 2;
            t.kind = Kind::Symbol;
            t.text = s.mid(i, next - i);
            t.value = t.text;
        }
        out.tokens.append(t);
        i = next;
    }
    return out;
}

// ---------------------------------------------------------------------------
// A statement as a list of tokens with the non-blank ones indexed.

class Statement {
public:
    explicit Statement(QList<Token> tokens) : m_tokens(std::move(tokens)) { reindex(); }

    void reindex()
    {
        m_sig.clear();
        m_depth.clear();
        int depth = 0;
        for (qsizetype i = 0; i < m_tokens.size(); ++i) {
            const Token& t = m_tokens[i];
            if (t.kind == Kind::Space || t.text.isEmpty())
                continue;
            if (isSymbol(t, ")"))
                --depth;
            m_sig.append(i);
            m_depth.append(depth);
            if (isSymbol(t, "("))
                ++depth;
        }
    }

    qsizetype count() const { return m_sig.size(); }
    // The k-th non-blank token; a blank Symbol past the end.
    const Token& at(qsizetype k) const
    {
        static const Token none;
        return k >= 0 && k < m_sig.size() ? m_tokens[m_sig[k]] : none;
    }
    Token& tokenAt(qsizetype k) { return m_tokens[m_sig[k]]; }
    // Removes what follows the k1-th non-blank token up to and including
    // the k2-th; reindex() afterwards.
    void clearAfter(qsizetype k1, qsizetype k2)
    {
        for (qsizetype i = m_sig[k1] + 1; i <= m_sig[k2]; ++i)
            m_tokens[i].text.clear();
    }
    int depthAt(qsizetype k) const { return m_depth[k]; }

    bool isKeyword(qsizetype k, const char* word) const
    {
        const Token& t = at(k);
        return t.kind == Kind::Word && t.value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isSymbolAt(qsizetype k, const char* sym) const { return isSymbol(at(k), sym); }
    bool isName(qsizetype k) const
    {
        const Token& t = at(k);
        return t.kind == Kind::Identifier || (t.kind == Kind::Word && !t.value.front().isDigit());
    }

    // The SQLite text of the non-blank tokens k1 … k2 - 1 and the blanks
    // between them.
    QString text(qsizetype k1, qsizetype k2) const
    {
        if (k1 >= k2 || k1 >= m_sig.size())
            return {};
        const qsizetype from = m_sig[k1];
        const qsizetype to = m_sig[std::min(k2, m_sig.size()) - 1];
        QString out;
        for (qsizetype i = from; i <= to; ++i)
            out += m_tokens[i].text;
        return out;
    }
    QString text(qsizetype k1) const { return text(k1, m_sig.size()); }

    static bool isSymbol(const Token& t, const char* sym)
    {
        return t.kind == Kind::Symbol && t.value == QLatin1String(sym);
    }

private:
    QList<Token> m_tokens;
    QList<qsizetype> m_sig;
    QList<int> m_depth;
};

// ---------------------------------------------------------------------------
// Rewrites of literals and words.

// Jet's LIKE pattern as an SQLite one: * and ? are the wildcards, [c] is the
// character c itself. A % or _ is an ordinary character in Jet, so it is
// escaped, and the pattern then gets an ESCAPE clause. Character lists such
// as [a-c] and the digit wildcard # have no SQLite LIKE equivalent and stay
// plain characters.
//
// The server's LIKE takes a backslash as its escape character by default, so
// there every literal %, _ and \ is escaped and no ESCAPE clause is needed.
QString likePattern(const QString& jet, bool mayEscape, Engine engine)
{
    const bool server = engine == Engine::Postgres;
    struct Item {
        QChar c;
        bool literal;
    };
    QList<Item> items;
    for (qsizetype i = 0; i < jet.size(); ++i) {
        const QChar c = jet[i];
        if (c == QLatin1Char('*'))
            items.append({QLatin1Char('%'), false});
        else if (c == QLatin1Char('?'))
            items.append({QLatin1Char('_'), false});
        else if (c == QLatin1Char('[') && i + 2 < jet.size() && jet[i + 2] == QLatin1Char(']')) {
            items.append({jet[i + 1], true});
            i += 2;
        } else
            items.append({c, true});
    }
    bool escape = server && mayEscape;
    if (mayEscape) {
        for (const Item& it : items)
            escape = escape || (it.literal && (it.c == QLatin1Char('%') || it.c == QLatin1Char('_')));
    }
    QString pattern;
    for (const Item& it : items) {
        if (escape && it.literal && (it.c == QLatin1Char('%') || it.c == QLatin1Char('_') || it.c == QLatin1Char('\\')))
            pattern += QLatin1Char('\\');
        pattern += it.c;
    }
    return sqliteTextLiteral(pattern) + (escape && !server ? QStringLiteral(" ESCAPE '\\'") : QString());
}

// On the server the text columns compare without regard to case through a
// collation that LIKE cannot use; the comparison is made in the "C"
// collation instead, with ILIKE ignoring the case of ASCII letters as
// SQLite's LIKE does.
void translateLikePatterns(Statement& st, Engine engine)
{
    const bool server = engine == Engine::Postgres;
    for (qsizetype k = 1; k < st.count(); ++k) {
        if (server && st.isKeyword(k, "like")) {
            const bool negated = st.isKeyword(k - 1, "not");
            if (negated)
                st.tokenAt(k - 1).text = QStringLiteral("COLLATE \"C\" NOT");
            st.tokenAt(k).text = negated ? QStringLiteral("ILIKE") : QStringLiteral("COLLATE \"C\" ILIKE");
        }
        const Token& t = st.at(k);
        if (t.kind != Kind::Text || t.isDate || !st.isKeyword(k - 1, "like"))
            continue;
        const bool hasEscape = st.isKeyword(k + 1, "escape");
        st.tokenAt(k).text = likePattern(t.value, !hasEscape, engine);
    }
}

// now, now(), date() and time() are the local clock in Jet; SQLite's date
// functions would answer in UTC, so the values go in as text.
void translateClockWords(Statement& st, const QDateTime& now)
{
    for (qsizetype k = 0; k < st.count(); ++k) {
        const Token& t = st.at(k);
        if (t.kind != Kind::Word || st.isSymbolAt(k - 1, ".") || st.isSymbolAt(k + 1, "."))
            continue;
        const bool emptyCall = st.isSymbolAt(k + 1, "(") && st.isSymbolAt(k + 2, ")");
        QString value;
        if (st.isKeyword(k, "now"))
            value = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        else if (emptyCall && st.isKeyword(k, "date"))
            value = formatShortDate(now.date());
        else if (emptyCall && st.isKeyword(k, "time"))
            value = now.time().toString(QLatin1String(StoredTimeFormat));
        else
            continue;
        Token& literal = st.tokenAt(k);
        literal.kind = Kind::Text;
        literal.value = value;
        literal.text = sqliteTextLiteral(value);
        if (emptyCall)
            st.clearAfter(k, k + 2); // the parentheses and the blanks around them
    }
    st.reindex();
}

// ---------------------------------------------------------------------------
// Names.

bool hasCapitalLetter(const QString& name)
{
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() >= 'A' && c.unicode() <= 'Z'; });
}

bool isKeywordWord(const QString& word)
{
    // A few words the server treats as keywords that SQLite takes for names.
    static const QSet<QString> serverWords = {QStringLiteral("TRUE"), QStringLiteral("FALSE"), QStringLiteral("ILIKE"),
                                              QStringLiteral("SIMILAR")};
    const QByteArray utf8 = word.toUtf8();
    return sqlite3_keyword_check(utf8.constData(), int(utf8.size())) != 0 || serverWords.contains(word.toUpper());
}

// The server folds bare names to lower case; names the program spells with
// capitals (MSys…, ID) keep their spelling between double quotes, as they
// were created. Function names, keywords and numbers stay as written.
void quoteServerNames(Statement& st)
{
    for (qsizetype k = 0; k < st.count(); ++k) {
        const Token& t = st.at(k);
        // A word before "(" is a function, unless it names the table of
        // INSERT INTO T (…), CREATE TABLE T (…) and the like.
        const bool call = st.isSymbolAt(k + 1, "(") && !st.isKeyword(k - 1, "into") && !st.isKeyword(k - 1, "table")
            && !st.isKeyword(k - 1, "update") && !st.isKeyword(k - 1, "join") && !st.isKeyword(k - 1, "exists");
        if (t.kind != Kind::Word || t.value.front().isDigit() || call || !hasCapitalLetter(t.value)
            || isKeywordWord(t.value))
            continue;
        st.tokenAt(k).text = quotedName(t.value, Engine::Postgres);
    }
}

// The index in `names` of `name`, compared without regard to case.
qsizetype indexOfName(const QStringList& names, const QString& name)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool sameName(const Token& a, const QString& b)
{
    return a.value.compare(b, Qt::CaseInsensitive) == 0;
}

// What may follow the table of a one-table select.
bool endsSingleTableSource(const Statement& st, qsizetype k)
{
    if (k >= st.count())
        return true;
    for (const char* word : {"where", "order", "group", "having", "limit"}) {
        if (st.isKeyword(k, word))
            return true;
    }
    return false;
}

bool isGeneratedColumn(const QString& definition)
{
    static const QRegularExpression re(QStringLiteral(R"((^|\s)(generated\s+always|as\s*\())"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(definition).hasMatch();
}

// ---------------------------------------------------------------------------
// The statement forms that need more than their literals translated.

struct Rewrite {
    bool handled = false;
    QStringList statements;
    QString error;
};

// One item of a select list: *, S.*, col or S.col.
struct SelectItem {
    QString text; // as written (translated)
    bool all = false;
    QString column; // the column a plain item names
};

// The items of the select list before `into`; empty when an item is more
// than *, S.*, a column or S.column of the table `source`, in which case
// `plain` is false and only the texts are given.
QList<SelectItem> selectItems(const Statement& st, qsizetype into, const QString& source, bool* plain)
{
    QList<SelectItem> items;
    *plain = true;
    qsizetype k = 1;
    while (k < into) {
        qsizetype end = k;
        while (end < into && !st.isSymbolAt(end, ","))
            ++end;
        const qsizetype length = end - k;
        SelectItem item;
        item.text = st.text(k, end).trimmed();
        const bool qualified = length == 3 && st.isName(k) && sameName(st.at(k), source) && st.isSymbolAt(k + 1, ".");
        if (length == 1 && st.isSymbolAt(k, "*"))
            item.all = true;
        else if (qualified && st.isSymbolAt(k + 2, "*"))
            item.all = true;
        else if (length == 1 && st.isName(k))
            item.column = st.at(k).value;
        else if (qualified && st.isName(k + 2))
            item.column = st.at(k + 2).value;
        else
            *plain = false;
        items.append(item);
        k = end + 1;
        if (end < into && k >= into)
            *plain = false; // a trailing comma
    }
    return items;
}

// select … into on the server. The new table gets the row address rowid in
// the order of the select; a working copy of a ledger table (MSys + its
// name) is made LIKE that table so that it keeps its types, collations and
// rules; working tables are temporary tables of the session.
Rewrite rewriteSelectIntoServer(const Statement& st, const SchemaCatalogue& catalogue, qsizetype into)
{
    Rewrite r;
    r.handled = true;
    const Token& targetToken = st.at(into + 1);
    const QString target = targetToken.text;
    const bool temporary = targetToken.value.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive);
    const QString create = temporary ? QStringLiteral("CREATE TEMP TABLE ") : QStringLiteral("CREATE TABLE ");
    // The address is numbered as the rows arrive, in the order of the
    // select; it is added while the table is still empty.
    const QString addRowid =
        QStringLiteral("ALTER TABLE %1 ADD COLUMN rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
            .arg(target);
    auto createAndFill = [&](const QString& select) {
        return QStringList{create + target + QStringLiteral(" AS ") + select + QStringLiteral(" WITH NO DATA"),
                           addRowid, QStringLiteral("INSERT INTO %1 %2").arg(target, select)};
    };
    const QString fromPart = st.text(into + 2).trimmed();

    const qsizetype sourceAt = into + 3;
    const bool oneTable = st.isName(sourceAt) && endsSingleTableSource(st, sourceAt + 1);
    const QString source = oneTable ? st.at(sourceAt).value : QString();
    const QStringList sourceColumns = oneTable ? catalogue.columns(source) : QStringList();
    if (sourceColumns.isEmpty()) {
        r.statements = createAndFill(st.text(0, into).trimmed() + QLatin1Char(' ') + fromPart);
        return r;
    }

    // * and S.* name the columns, leaving out a rowid the source carries.
    bool plain = false;
    const QList<SelectItem> items = selectItems(st, into, source, &plain);
    QStringList allColumns;
    for (const QString& c : sourceColumns)
        allColumns += quotedName(c, Engine::Postgres);
    QStringList written;
    QStringList chosen;
    for (const SelectItem& item : items) {
        written += item.all ? allColumns.join(QLatin1Char(',')) : item.text;
        if (item.all)
            chosen += sourceColumns;
        else
            chosen += item.column;
    }
    const QString select = st.at(0).text + QLatin1Char(' ') + written.join(QLatin1Char(',')) + QLatin1Char(' ');

    // A working copy: the chosen columns in the table's own order, none twice.
    bool inOrder = plain && targetToken.value.compare(QStringLiteral("MSys") + source, Qt::CaseInsensitive) == 0;
    QList<qsizetype> positions;
    for (const QString& c : std::as_const(chosen)) {
        const qsizetype at = indexOfName(sourceColumns, c);
        inOrder = inOrder && at >= 0 && (positions.isEmpty() || at > positions.last());
        positions.append(at);
    }
    if (!inOrder) {
        r.statements = createAndFill(select + fromPart);
        return r;
    }
    r.statements = {create + target + QStringLiteral(" (LIKE ") + st.at(sourceAt).text
                    + QStringLiteral(" INCLUDING DEFAULTS INCLUDING CONSTRAINTS INCLUDING INDEXES)")};
    QStringList names;
    for (qsizetype c = 0; c < sourceColumns.size(); ++c) {
        if (positions.contains(c))
            names += quotedName(sourceColumns[c], Engine::Postgres);
        else
            r.statements += QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                                .arg(target, quotedName(sourceColumns[c], Engine::Postgres));
    }
    // The table's own address and its rows' versions are not copied: the
    // copy numbers its rows anew, and the editor's books keep the versions.
    r.statements += QStringLiteral("ALTER TABLE %1 DROP COLUMN IF EXISTS rowid, DROP COLUMN IF EXISTS ravo_version, "
                                   "DROP COLUMN IF EXISTS ravo_changed_by, DROP COLUMN IF EXISTS ravo_changed_at")
                        .arg(target);
    r.statements += addRowid;
    r.statements +=
        QStringLiteral("INSERT INTO %1 (%2) %3%4").arg(target, names.join(QLatin1Char(',')), select, fromPart);
    return r;
}

Rewrite rewriteSelectInto(const Statement& st, const SchemaCatalogue& catalogue)
{
    Rewrite r;
    qsizetype into = -1;
    qsizetype from = -1;
    for (qsizetype k = 1; k < st.count(); ++k) {
        if (st.depthAt(k) != 0)
            continue;
        if (into < 0 && st.isKeyword(k, "into"))
            into = k;
        if (from < 0 && st.isKeyword(k, "from"))
            from = k;
    }
    if (into < 0 || (from >= 0 && from < into))
        return r; // an ordinary select
    r.handled = true;
    if (!st.isName(into + 1) || !st.isKeyword(into + 2, "from")) {
        r.error = QStringLiteral(u"“select … into”语句中新表的名称不对：%1").arg(st.text(into));
        return r;
    }
    const QString target = st.at(into + 1).text;
    const QString selectPart = st.text(0, into).trimmed();
    const QString fromPart = st.text(into + 2).trimmed();
    const QString createAs = QStringLiteral("CREATE TABLE %1 AS %2 %3").arg(target, selectPart, fromPart);
    if (catalogue.engine() == Engine::Postgres)
        return rewriteSelectIntoServer(st, catalogue, into);

    // Anything but plain columns of one known table: the result only shows.
    const qsizetype sourceAt = into + 3;
    if (!st.isName(sourceAt) || !endsSingleTableSource(st, sourceAt + 1)) {
        r.statements = {createAs};
        return r;
    }
    const QString source = st.at(sourceAt).value;
    // Only an editor's working copy (MSys + its table's name) keeps the
    // table's own rules; a search result, the due list or the plan only
    // shows rows, and a plain copy of them is made fastest.
    if (target.compare(QStringLiteral("MSys") + source, Qt::CaseInsensitive) != 0) {
        r.statements = {createAs};
        return r;
    }
    const QStringList sourceColumns = catalogue.columns(source);
    const QList<ColumnDefinition> definitions = columnDefinitions(catalogue.createSql(source));
    if (sourceColumns.isEmpty() || definitions.isEmpty()) {
        r.statements = {createAs};
        return r;
    }

    QStringList chosen;
    bool plain = true;
    qsizetype k = 1;
    while (plain && k < into) {
        // One item: *, S.*, col or S.col, then a comma or the end.
        qsizetype end = k;
        while (end < into && !st.isSymbolAt(end, ","))
            ++end;
        const qsizetype length = end - k;
        if (length == 1 && st.isSymbolAt(k, "*")) {
            chosen += sourceColumns;
        } else if (length == 3 && st.isName(k) && sameName(st.at(k), source) && st.isSymbolAt(k + 1, ".")
                   && st.isSymbolAt(k + 2, "*")) {
            chosen += sourceColumns;
        } else if (length == 1 && st.isName(k)) {
            chosen += st.at(k).value;
        } else if (length == 3 && st.isName(k) && sameName(st.at(k), source) && st.isSymbolAt(k + 1, ".")
                   && st.isName(k + 2)) {
            chosen += st.at(k + 2).value;
        } else {
            plain = false;
        }
        k = end + 1;
        if (end < into && k >= into)
            plain = false; // a trailing comma
    }

    QStringList names;
    QStringList columnDefs;
    for (qsizetype c = 0; plain && c < chosen.size(); ++c) {
        qsizetype d = 0;
        while (d < definitions.size() && definitions[d].name.compare(chosen[c], Qt::CaseInsensitive) != 0)
            ++d;
        if (d == definitions.size() || indexOfName(names, definitions[d].name) >= 0
            || isGeneratedColumn(definitions[d].definition)) {
            plain = false;
            break;
        }
        names += definitions[d].name;
        columnDefs += definitions[d].definition;
    }
    if (!plain || names.isEmpty()) {
        r.statements = {createAs};
        return r;
    }
    QStringList quoted;
    for (const QString& name : names)
        quoted += quotedName(name);
    r.statements = {
        QStringLiteral("CREATE TABLE %1 (%2)").arg(target, columnDefs.join(QStringLiteral(", "))),
        QStringLiteral("INSERT INTO %1 (%2) %3 %4").arg(target, quoted.join(QLatin1Char(',')), selectPart, fromPart),
    };
    return r;
}

Rewrite rewriteDelete(const Statement& st)
{
    Rewrite r;
    qsizetype from = -1;
    if (st.isSymbolAt(1, "*") && st.isKeyword(2, "from"))
        from = 2;
    else if (st.isName(1) && st.isSymbolAt(2, ".") && st.isSymbolAt(3, "*") && st.isKeyword(4, "from"))
        from = 4;
    if (from < 0)
        return r;
    r.handled = true;
    r.statements = {(QStringLiteral("DELETE FROM ") + st.text(from + 1).trimmed()).trimmed()};
    return r;
}

Rewrite rewriteInsertSelectAll(const Statement& st, const SchemaCatalogue& catalogue)
{
    Rewrite r;
    if (!st.isKeyword(1, "into") || !st.isName(2) || !st.isKeyword(3, "select"))
        return r;
    qsizetype from = -1;
    QString qualifier;
    if (st.isSymbolAt(4, "*") && st.isKeyword(5, "from")) {
        from = 5;
    } else if (st.isName(4) && st.isSymbolAt(5, ".") && st.isSymbolAt(6, "*") && st.isKeyword(7, "from")) {
        from = 7;
        qualifier = st.at(4).value;
    }
    if (from < 0 || !st.isName(from + 1) || !endsSingleTableSource(st, from + 2))
        return r;
    const Token& sourceToken = st.at(from + 1);
    if (!qualifier.isEmpty() && !sameName(sourceToken, qualifier))
        return r;
    const Token& targetToken = st.at(2);
    const QStringList targetColumns = catalogue.columns(targetToken.value);
    const QStringList sourceColumns = catalogue.columns(sourceToken.value);
    if (targetColumns.isEmpty() || sourceColumns.isEmpty())
        return r; // the engine names the missing table
    r.handled = true;
    QStringList shared;
    for (const QString& column : sourceColumns) {
        if (indexOfName(targetColumns, column) >= 0)
            shared += quotedName(column, catalogue.engine());
    }
    if (shared.isEmpty()) {
        r.error = QStringLiteral(u"表“%1”与“%2”没有同名的列，无法复制。").arg(targetToken.value, sourceToken.value);
        return r;
    }
    const QString list = shared.join(QLatin1Char(','));
    QString rest = st.text(from + 2);
    if (!rest.isEmpty())
        rest.prepend(QLatin1Char(' '));
    r.statements = {
        QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3%4").arg(targetToken.text, list, sourceToken.text, rest)};
    return r;
}

} // namespace

// A date at midnight is the date alone, as it compares equal to the stored
// date in the old engine.
std::optional<QString> isoOfDateLiteral(const QString& content)
{
    static const QRegularExpression blanks(QStringLiteral(R"(\s+)"));
    const QStringList parts = content.trimmed().split(blanks, Qt::SkipEmptyParts);
    if (parts.size() == 1) {
        if (parts[0].contains(QLatin1Char(':'))) {
            const auto t = parseUserTime(parts[0]);
            if (!t)
                return std::nullopt;
            return t->toString(QLatin1String(StoredTimeFormat));
        }
        const auto d = literalDate(parts[0]);
        if (!d)
            return std::nullopt;
        return formatShortDate(*d);
    }
    if (parts.size() == 2) {
        const auto d = literalDate(parts[0]);
        const auto t = parseUserTime(parts[1]);
        if (!d || !t)
            return std::nullopt;
        if (*t == QTime(0, 0))
            return formatShortDate(*d);
        return formatShortDate(*d) + QLatin1Char(' ') + t->toString(QLatin1String(StoredTimeFormat));
    }
    return std::nullopt;
}

QString quotedName(const QString& name, Engine engine)
{
    bool plain = !name.isEmpty() && !name.front().isDigit();
    for (const QChar c : name)
        plain = plain && isWordChar(c);
    if (plain) {
        const QByteArray utf8 = name.toUtf8();
        plain = sqlite3_keyword_check(utf8.constData(), int(utf8.size())) == 0;
    }
    if (plain && engine == Engine::Postgres)
        plain = !hasCapitalLetter(name) && !isKeywordWord(name);
    if (plain)
        return name;
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString sqliteTextLiteral(const QString& text)
{
    // SQLite reads a statement only up to a NUL character, so a value with a
    // NUL inside (pasted into a field, say) is written as its UTF-8 bytes in
    // a blob literal read back as text. One literal, however many NULs: a
    // chain of pieces joined by || would grow an expression tree deeper
    // than SQLite accepts once a value holds some hundreds of them.
    if (text.contains(QChar(0)))
        return QStringLiteral("cast(x'%1' as text)").arg(QString::fromLatin1(text.toUtf8().toHex()));
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QList<ColumnDefinition> columnDefinitions(const QString& createSql)
{
    // Split the text between the outer parentheses at its top-level commas,
    // leaving out comments and whatever follows the closing parenthesis
    // (WITHOUT ROWID, STRICT).
    const QString& s = createSql;
    const qsizetype n = s.size();
    QStringList pieces;
    QString piece;
    int depth = 0;
    bool closed = false;
    for (qsizetype i = 0; i < n && !closed; ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            QString inner;
            const qsizetype next = readEnclosed(s, i, close, c != QLatin1Char('['), &inner);
            if (next < 0)
                return {};
            if (depth > 0)
                piece += s.mid(i, next - i);
            i = next - 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
            const qsizetype eol = s.indexOf(QLatin1Char('\n'), i);
            i = eol < 0 ? n : eol;
            piece += QLatin1Char(' ');
        } else if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 1;
            piece += QLatin1Char(' ');
        } else if (c == QLatin1Char('(')) {
            if (depth > 0)
                piece += c;
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
            if (depth == 0) {
                pieces += piece;
                closed = true;
            } else {
                piece += c;
            }
        } else if (c == QLatin1Char(',') && depth == 1) {
            pieces += piece;
            piece.clear();
        } else if (depth > 0) {
            piece += c;
        }
    }
    if (!closed)
        return {};

    static const QSet<QString> tableConstraints = {QStringLiteral("constraint"), QStringLiteral("primary"),
                                                   QStringLiteral("unique"), QStringLiteral("check"),
                                                   QStringLiteral("foreign")};
    QList<ColumnDefinition> out;
    for (const QString& raw : std::as_const(pieces)) {
        const QString def = raw.trimmed();
        if (def.isEmpty())
            return {};
        QString name;
        const QChar first = def.front();
        if (first == QLatin1Char('"') || first == QLatin1Char('`') || first == QLatin1Char('[')
            || first == QLatin1Char('\'')) {
            const QChar close = first == QLatin1Char('[') ? QLatin1Char(']') : first;
            if (readEnclosed(def, 0, close, first != QLatin1Char('['), &name) < 0)
                return {};
        } else {
            qsizetype end = 0;
            while (end < def.size() && isWordChar(def[end]))
                ++end;
            name = def.left(end);
            if (tableConstraints.contains(name.toLower()))
                continue;
        }
        if (name.isEmpty())
            return {};
        out.append({name, def});
    }
    return out;
}

Translation translateJet(const QString& jet, const SchemaCatalogue& catalogue, const QDateTime& now)
{
    Translation result;
    const Engine engine = catalogue.engine();
    Lexed lexed = lex(jet, engine);
    if (!lexed.error.isEmpty()) {
        result.error = lexed.error;
        return result;
    }

    // One statement, its closing semicolon optional.
    QList<Token>& tokens = lexed.tokens;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (!Statement::isSymbol(tokens[i], ";"))
            continue;
        for (qsizetype j = i + 1; j < tokens.size(); ++j) {
            if (tokens[j].kind != Kind::Space) {
                QString rest;
                for (qsizetype r = j; r < tokens.size(); ++r)
                    rest += tokens[r].text;
                result.error = QStringLiteral(u"语句在分号之后还有其他内容：%1").arg(rest.trimmed());
                return result;
            }
        }
        tokens.resize(i);
        break;
    }

    Statement st(tokens);
    if (st.count() == 0) {
        result.error = QStringLiteral(u"没有要执行的语句。");
        return result;
    }
    translateLikePatterns(st, engine);
    translateClockWords(st, now);
    if (engine == Engine::Postgres)
        quoteServerNames(st);

    Rewrite r;
    if (st.isKeyword(0, "select"))
        r = rewriteSelectInto(st, catalogue);
    else if (st.isKeyword(0, "delete"))
        r = rewriteDelete(st);
    else if (st.isKeyword(0, "insert"))
        r = rewriteInsertSelectAll(st, catalogue);

    if (!r.error.isEmpty())
        result.error = r.error;
    else if (r.handled)
        result.statements = r.statements;
    else
        result.statements = {st.text(0).trimmed()};
    return result;
}

} // namespace ravo
