#include "sql_dialect.h"

#include "common/errors.h"

#include <QDateTime>

#include <optional>

namespace talvora::data {

namespace {

enum class Tok { Ident, Number, String, Param, Punct };

struct Token {
    Tok type;
    QString text;       // identifier, number, punctuation, literal content or parameter name
    QChar quote;        // for String: '"' or '\''
    bool raw = false;   // emitted as is (already SQLite text)
    int begin = 0, end = 0; // span in the statement's text
};

[[noreturn]] void fail(const QString& statement, const QString& reason)
{
    QString shown = statement.simplified();
    throw Error(QStringLiteral("Ошибка в операторе SQL: %1.\nОператор: %2").arg(reason, shown));
}

bool isIdentStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

std::vector<Token> tokenize(const QString& s)
{
    std::vector<Token> out;
    const int n = int(s.size());
    int i = 0;
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (isIdentStart(c)) {
            int j = i + 1;
            while (j < n && isIdentChar(s[j]))
                ++j;
            out.push_back({Tok::Ident, s.mid(i, j - i), {}, false, i, j});
            i = j;
            continue;
        }
        if (c.isDigit()) {
            int j = i + 1;
            while (j < n && s[j].isDigit())
                ++j;
            if (j + 1 < n && s[j] == u'.' && s[j + 1].isDigit()) {
                j += 1;
                while (j < n && s[j].isDigit())
                    ++j;
            }
            // A number glued to a word ("0ORDER") is the number, then the word.
            out.push_back({Tok::Number, s.mid(i, j - i), {}, false, i, j});
            i = j;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            QString content;
            int j = i + 1;
            bool closed = false;
            while (j < n) {
                if (s[j] == c) {
                    if (j + 1 < n && s[j + 1] == c) { // doubled quote stands for one
                        content += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                content += s[j];
                ++j;
            }
            if (!closed)
                fail(s, QStringLiteral("кавычка не закрыта"));
            out.push_back({Tok::String, content, c, false, i, j + 1});
            i = j + 1;
            continue;
        }
        if (c == u':' && i + 1 < n && isIdentChar(s[i + 1])) {
            int j = i + 1;
            while (j < n && isIdentChar(s[j]))
                ++j;
            out.push_back({Tok::Param, s.mid(i + 1, j - i - 1), {}, false, i, j});
            i = j;
            continue;
        }
        const QString two = s.mid(i, 2);
        if (two == u"<=" || two == u">=" || two == u"<>" || two == u"!=" || two == u"||") {
            out.push_back({Tok::Punct, two, {}, false, i, i + 2});
            i += 2;
            continue;
        }
        static const QString singles = QStringLiteral("(),.*=<>+-/;");
        if (singles.contains(c)) {
            out.push_back({Tok::Punct, QString(c), {}, false, i, i + 1});
            ++i;
            continue;
        }
        fail(s, QStringLiteral("непонятный символ «%1»").arg(c));
    }
    // A trailing semicolon ends the statement; anything after it is refused.
    for (size_t k = 0; k < out.size(); ++k)
        if (out[k].type == Tok::Punct && out[k].text == u";") {
            if (k + 1 != out.size())
                fail(s, QStringLiteral("допускается только один оператор"));
            out.pop_back();
            break;
        }
    return out;
}

bool isWord(const Token& t, const char* word)
{
    return t.type == Tok::Ident && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}
bool isPunct(const Token& t, const char* p) { return t.type == Tok::Punct && t.text == QLatin1String(p); }

bool isReserved(const Token& t)
{
    static const char* words[] = {"where", "inner", "left", "right", "full", "outer", "cross",
                                  "join", "on", "order", "group", "having", "set", "values",
                                  "union", "limit", "using", "natural", "from", "select", "and",
                                  "or", "not", "as", "by", "into", "delete", "update", "insert"};
    for (const char* w : words)
        if (isWord(t, w))
            return true;
    return false;
}

bool isComparison(const Token& t)
{
    static const char* ops[] = {"=", "<", ">", "<=", ">=", "<>", "!="};
    for (const char* o : ops)
        if (isPunct(t, o))
            return true;
    return false;
}

struct TableRef {
    const TableDef* def = nullptr;
    QString alias; // the name the statement uses for it
};

class Translator {
public:
    Translator(const QString& text, const Schema& schema, TranslateOptions options)
        : text_(text), schema_(schema), options_(options), toks_(tokenize(text))
    {
    }

    TranslatedStatement run();

private:
    // Parsing helpers over toks_.
    size_t parseTableRef(size_t i);
    void collectTables();
    std::optional<std::pair<const FieldDef*, const TableRef*>> resolve(const QString& qualifier,
                                                                       const QString& name) const;
    // Column reference ending at token `last` (ident, or ident . ident).
    std::optional<std::pair<const FieldDef*, const TableRef*>> colRefEndingAt(long last) const;
    std::optional<std::pair<const FieldDef*, const TableRef*>> colRefStartingAt(size_t first) const;
    void markPartners();
    void handleInsert();
    void handleUpdate();
    void handleOrderBy();
    void handleSelectList(TranslatedStatement& out);
    void convertLiteral(size_t i, const FieldDef& f);
    void notePartner(size_t i, const FieldDef& f);
    void wrapSubstr(size_t from, size_t to, int size); // tokens [from, to)
    QString render(size_t begin = 0) const;
    size_t fromIndex_ = 0; // the FROM of a plain SELECT, 0 when there is none
    size_t matchingParen(size_t open) const;

    QString text_;
    const Schema& schema_;
    TranslateOptions options_;
    std::vector<Token> toks_;
    std::vector<TableRef> tables_;
    std::vector<size_t> tableTokens_; // indexes of tokens that name a table
    std::vector<StatementParam> params_;
    StatementKind kind_ = StatementKind::Select;
    // Tokens to emit before/after a token (substr wrapping, COLLATE).
    std::vector<QString> before_, after_;
};

size_t Translator::matchingParen(size_t open) const
{
    int depth = 0;
    for (size_t k = open; k < toks_.size(); ++k) {
        if (isPunct(toks_[k], "("))
            ++depth;
        else if (isPunct(toks_[k], ")") && --depth == 0)
            return k;
    }
    fail(text_, QStringLiteral("скобка не закрыта"));
}

size_t Translator::parseTableRef(size_t i)
{
    if (i >= toks_.size())
        fail(text_, QStringLiteral("не указана таблица"));
    Token& t = toks_[i];
    QString name;
    size_t next = i + 1;
    if (t.type == Tok::String && t.quote == u'"') {
        name = t.text;
    } else if (t.type == Tok::Ident && !isReserved(t)) {
        name = t.text;
        if (next + 1 < toks_.size() && isPunct(toks_[next], ".") && isWord(toks_[next + 1], "db")) {
            name += QStringLiteral(".db");
            toks_[next].type = Tok::Punct;
            toks_[next].text.clear();
            toks_[next + 1].type = Tok::Punct;
            toks_[next + 1].text.clear();
            next += 2;
        }
    } else {
        fail(text_, QStringLiteral("не указана таблица"));
    }
    const TableDef* def = schema_.table(name);
    if (!def)
        fail(text_, QStringLiteral("таблица «%1» не найдена").arg(name));
    t.type = Tok::Ident;
    t.text = def->name;
    t.raw = true;
    tableTokens_.push_back(i);
    TableRef ref{def, def->name};
    if (next < toks_.size() && isWord(toks_[next], "as"))
        ++next;
    if (next < toks_.size() && toks_[next].type == Tok::Ident && !isReserved(toks_[next])) {
        ref.alias = toks_[next].text;
        ++next;
    }
    tables_.push_back(ref);
    return next;
}

void Translator::collectTables()
{
    // FROM lists (with commas), JOIN, INTO, UPDATE, DELETE FROM.
    std::vector<int> fromDepth; // depths at which a FROM list is open
    int depth = 0;
    for (size_t i = 0; i < toks_.size();) {
        const Token& t = toks_[i];
        if (isPunct(t, "(")) {
            ++depth;
            ++i;
            continue;
        }
        if (isPunct(t, ")")) {
            while (!fromDepth.empty() && fromDepth.back() >= depth)
                fromDepth.pop_back();
            --depth;
            ++i;
            continue;
        }
        if (isWord(t, "from") || isWord(t, "join") || isWord(t, "into") ||
            (isWord(t, "update") && i == 0)) {
            if (isWord(t, "from"))
                fromDepth.push_back(depth);
            i = parseTableRef(i + 1);
            continue;
        }
        if (isPunct(t, ",") && !fromDepth.empty() && fromDepth.back() == depth) {
            i = parseTableRef(i + 1);
            continue;
        }
        if (isWord(t, "where") || isWord(t, "group") || isWord(t, "order") || isWord(t, "having") ||
            isWord(t, "union") || isWord(t, "limit") || isWord(t, "on")) {
            while (!fromDepth.empty() && fromDepth.back() >= depth)
                fromDepth.pop_back();
        }
        ++i;
    }
}

std::optional<std::pair<const FieldDef*, const TableRef*>>
Translator::resolve(const QString& qualifier, const QString& name) const
{
    for (const TableRef& r : tables_) {
        if (!qualifier.isEmpty() && r.alias.compare(qualifier, Qt::CaseInsensitive) != 0 &&
            r.def->name.compare(qualifier, Qt::CaseInsensitive) != 0)
            continue;
        if (const FieldDef* f = r.def->field(name))
            return std::make_pair(f, &r);
    }
    return std::nullopt;
}

std::optional<std::pair<const FieldDef*, const TableRef*>> Translator::colRefEndingAt(long last) const
{
    if (last < 0 || size_t(last) >= toks_.size() || toks_[size_t(last)].type != Tok::Ident ||
        toks_[size_t(last)].raw)
        return std::nullopt;
    QString qualifier;
    if (last >= 2 && isPunct(toks_[size_t(last - 1)], ".") && toks_[size_t(last - 2)].type == Tok::Ident)
        qualifier = toks_[size_t(last - 2)].text;
    return resolve(qualifier, toks_[size_t(last)].text);
}

std::optional<std::pair<const FieldDef*, const TableRef*>> Translator::colRefStartingAt(size_t first) const
{
    if (first >= toks_.size() || toks_[first].type != Tok::Ident)
        return std::nullopt;
    if (first + 2 < toks_.size() && isPunct(toks_[first + 1], ".") && toks_[first + 2].type == Tok::Ident)
        return resolve(toks_[first].text, toks_[first + 2].text);
    return resolve(QString(), toks_[first].text);
}


void Translator::convertLiteral(size_t i, const FieldDef& f)
{
    Token& t = toks_[i];
    if (t.type != Tok::String || !isDateType(f.type) || t.raw)
        return;
    if (t.text.trimmed().isEmpty()) {
        t.type = Tok::Ident;
        t.text = QStringLiteral("NULL");
        t.raw = true;
        return;
    }
    const QDateTime dt = parseDateLiteral(t.text);
    if (!dt.isValid())
        fail(text_, QStringLiteral("«%1» не является датой").arg(t.text));
    // A date-time written without a time is its midnight.
    t.text = f.type == FieldType::DateTime ? storedDateTime(dt) : storedDate(dt.date());
    t.raw = false; // still a string literal
}

void Translator::notePartner(size_t i, const FieldDef& f)
{
    const Token& t = toks_[i];
    if (t.type == Tok::Param) {
        for (StatementParam& p : params_)
            if (p.name.compare(t.text, Qt::CaseInsensitive) == 0 && p.partner == FieldType::Unknown)
                p.partner = f.type;
    } else if (t.type == Tok::String) {
        convertLiteral(i, f);
    }
}

void Translator::markPartners()
{
    for (size_t i = 0; i < toks_.size(); ++i) {
        if (!isComparison(toks_[i]))
            continue;
        if (i + 1 < toks_.size()) {
            if (auto left = colRefEndingAt(long(i) - 1))
                notePartner(i + 1, *left->first);
        }
        if (i >= 1) {
            if (auto right = colRefStartingAt(i + 1))
                notePartner(i - 1, *right->first);
        }
    }
}

void Translator::wrapSubstr(size_t from, size_t to, int size)
{
    if (from >= to)
        return;
    before_[from] = QStringLiteral("substr(") + before_[from];
    after_[to - 1] += QStringLiteral(", 1, %1)").arg(size);
}

void Translator::handleInsert()
{
    // INSERT INTO table [(columns)] VALUES (values)
    if (tables_.empty())
        fail(text_, QStringLiteral("не указана таблица"));
    const TableDef& table = *tables_.front().def;
    size_t i = tableTokens_.front() + 1;
    std::vector<const FieldDef*> cols;
    if (i < toks_.size() && isPunct(toks_[i], "(")) {
        const size_t close = matchingParen(i);
        for (size_t k = i + 1; k < close; ++k) {
            if (isPunct(toks_[k], ","))
                continue;
            if (toks_[k].type != Tok::Ident)
                fail(text_, QStringLiteral("неверный список полей"));
            const FieldDef* f = table.field(toks_[k].text);
            if (!f)
                fail(text_, QStringLiteral("поле «%1» не найдено в таблице %2").arg(toks_[k].text, table.name));
            cols.push_back(f);
        }
        i = close + 1;
    } else {
        for (const FieldDef& f : table.fields)
            cols.push_back(&f);
    }
    if (i >= toks_.size() || !isWord(toks_[i], "values")) {
        return; // INSERT ... SELECT: written as it stands
    }
    ++i;
    if (i >= toks_.size() || !isPunct(toks_[i], "("))
        fail(text_, QStringLiteral("после VALUES нужна скобка"));
    const size_t close = matchingParen(i);
    if (close + 1 != toks_.size())
        fail(text_, QStringLiteral("лишний текст после списка значений"));
    size_t start = i + 1;
    size_t col = 0;
    int depth = 0;
    for (size_t k = i + 1; k <= close; ++k) {
        if (isPunct(toks_[k], "("))
            ++depth;
        else if (isPunct(toks_[k], ")") && k != close)
            --depth;
        if ((isPunct(toks_[k], ",") && depth == 0) || k == close) {
            if (col >= cols.size())
                fail(text_, QStringLiteral("значений больше, чем полей"));
            const FieldDef& f = *cols[col];
            if (k - start == 1)
                notePartner(start, f);
            if (f.type == FieldType::String && f.size > 0)
                wrapSubstr(start, k, f.size);
            ++col;
            start = k + 1;
        }
    }
    if (col != cols.size())
        fail(text_, QStringLiteral("значений меньше, чем полей"));
}

void Translator::handleUpdate()
{
    size_t i = 0;
    while (i < toks_.size() && !isWord(toks_[i], "set"))
        ++i;
    if (i == toks_.size())
        fail(text_, QStringLiteral("нет SET"));
    ++i;
    int depth = 0;
    while (i < toks_.size()) {
        // column = expression
        auto target = colRefStartingAt(i);
        if (!target)
            fail(text_, QStringLiteral("поле «%1» не найдено").arg(toks_[i].text));
        size_t eq = i + 1;
        if (eq < toks_.size() && isPunct(toks_[eq], "."))
            eq += 2;
        if (eq >= toks_.size() || !isPunct(toks_[eq], "="))
            fail(text_, QStringLiteral("после имени поля нужен знак ="));
        size_t k = eq + 1;
        for (; k < toks_.size(); ++k) {
            if (isPunct(toks_[k], "("))
                ++depth;
            else if (isPunct(toks_[k], ")"))
                --depth;
            else if (depth == 0 && (isPunct(toks_[k], ",") || isWord(toks_[k], "where")))
                break;
        }
        const FieldDef& f = *target->first;
        if (f.type == FieldType::String && f.size > 0)
            wrapSubstr(eq + 1, k, f.size);
        if (k >= toks_.size() || isWord(toks_[k], "where"))
            break;
        i = k + 1;
    }
}

void Translator::handleOrderBy()
{
    int depth = 0;
    for (size_t i = 0; i + 1 < toks_.size(); ++i) {
        if (isPunct(toks_[i], "("))
            ++depth;
        else if (isPunct(toks_[i], ")"))
            --depth;
        if (!(isWord(toks_[i], "order") && isWord(toks_[i + 1], "by")))
            continue;
        const int d = depth;
        size_t k = i + 2;
        while (k < toks_.size()) {
            size_t end = k;
            int dd = d;
            for (; end < toks_.size(); ++end) {
                if (isPunct(toks_[end], "("))
                    ++dd;
                else if (isPunct(toks_[end], ")")) {
                    if (dd == d)
                        break;
                    --dd;
                } else if (dd == d && (isPunct(toks_[end], ",") || isWord(toks_[end], "limit")))
                    break;
            }
            // A term that is a bare column (optionally ASC/DESC) of a text type.
            size_t termEnd = end;
            if (termEnd > k && (isWord(toks_[termEnd - 1], "asc") || isWord(toks_[termEnd - 1], "desc")))
                --termEnd;
            const size_t len = termEnd - k;
            if (len == 1 || (len == 3 && isPunct(toks_[k + 1], "."))) {
                if (auto ref = colRefStartingAt(k); ref && isTextType(ref->first->type))
                    after_[termEnd - 1] += QStringLiteral(" COLLATE RU");
            }
            if (end >= toks_.size() || !isPunct(toks_[end], ","))
                break;
            k = end + 1;
        }
    }
}

void Translator::handleSelectList(TranslatedStatement& out)
{
    // SELECT [DISTINCT] items FROM ...
    size_t from = 0;
    int depth = 0;
    for (size_t i = 1; i < toks_.size(); ++i) {
        if (isPunct(toks_[i], "("))
            ++depth;
        else if (isPunct(toks_[i], ")"))
            --depth;
        else if (depth == 0 && isWord(toks_[i], "from")) {
            from = i;
            break;
        }
    }
    if (from == 0)
        return; // no FROM: a computed row
    bool plain = !isWord(toks_[1], "distinct") && !isWord(toks_[1], "all");
    for (const Token& t : toks_)
        if (isWord(t, "group") || isWord(t, "union") || isWord(t, "distinct") || isWord(t, "having"))
            plain = false;
    if (!plain)
        return;

    // Expand "*" when it stands alone over one table.
    if (from == 2 && isPunct(toks_[1], "*") && tables_.size() == 1) {
        std::vector<Token> items;
        for (const FieldDef& f : tables_.front().def->fields) {
            if (!items.empty())
                items.push_back({Tok::Punct, QStringLiteral(","), {}});
            items.push_back({Tok::Ident, f.name, {}});
        }
        toks_.erase(toks_.begin() + 1);
        toks_.insert(toks_.begin() + 1, items.begin(), items.end());
        const size_t grow = items.size() - 1;
        from += grow;
        for (size_t& t : tableTokens_)
            t += grow;
        before_.insert(before_.begin() + 1, grow, QString());
        after_.insert(after_.begin() + 1, grow, QString());
    }

    std::vector<ResultColumn> cols;
    size_t start = 1;
    depth = 0;
    for (size_t k = 1; k <= from; ++k) {
        if (k < from) {
            if (isPunct(toks_[k], "("))
                ++depth;
            else if (isPunct(toks_[k], ")"))
                --depth;
            if (!(depth == 0 && isPunct(toks_[k], ",")))
                continue;
        }
        ResultColumn rc;
        size_t end = k;
        // "expr AS name" or "expr name"
        if (end - start >= 2 && toks_[end - 1].type == Tok::Ident && isWord(toks_[end - 2], "as")) {
            rc.name = toks_[end - 1].text;
            end -= 2;
        }
        const size_t len = end - start;
        std::optional<std::pair<const FieldDef*, const TableRef*>> ref;
        if (len == 1 || (len == 3 && isPunct(toks_[start + 1], ".")))
            ref = colRefStartingAt(start);
        if (ref) {
            const FieldDef& f = *ref->first;
            if (rc.name.isEmpty())
                rc.name = toks_[end - 1].text;
            rc.table = ref->second->def->name;
            rc.field = f.name;
            rc.type = f.type;
            rc.size = f.size;
            if (isBlobType(f.type) || (f.type == FieldType::Memo && options_.lazyMemos)) {
                rc.lazy = true;
                // The row id of the table stands in for the value.
                for (size_t t = start; t < end; ++t) {
                    toks_[t].type = Tok::Punct;
                    toks_[t].text.clear();
                }
                toks_[start].type = Tok::Ident;
                toks_[start].text = ref->second->alias + QStringLiteral(".rowid");
                toks_[start].raw = true;
            }
        } else if (rc.name.isEmpty() && end > start && toks_[start].end > 0) {
            // A computed column is named by its text, as written.
            rc.name = text_.mid(toks_[start].begin, toks_[end - 1].end - toks_[start].begin).simplified();
        }
        cols.push_back(rc);
        start = k + 1;
    }
    // Repeated names: the second "Idate" becomes "Idate_1".
    for (size_t a = 0; a < cols.size(); ++a) {
        if (cols[a].name.isEmpty())
            continue;
        int n = 0;
        for (size_t b = 0; b < a; ++b)
            if (cols[b].name.compare(cols[a].name, Qt::CaseInsensitive) == 0)
                ++n;
        if (n > 0)
            cols[a].name += QStringLiteral("_%1").arg(n);
    }
    out.columns = std::move(cols);
    fromIndex_ = from;
}

QString Translator::render(size_t begin) const
{
    QString out;
    for (size_t i = begin; i < toks_.size(); ++i) {
        const Token& t = toks_[i];
        QString piece;
        switch (t.type) {
        case Tok::Ident:
        case Tok::Number:
            piece = t.text;
            break;
        case Tok::String: {
            QString c = t.text;
            c.replace(u'\'', QStringLiteral("''"));
            piece = u'\'' + c + u'\'';
            break;
        }
        case Tok::Param:
            piece = sqliteParamName(t.text);
            break;
        case Tok::Punct:
            piece = t.text;
            break;
        }
        piece = before_[i] + piece + after_[i];
        if (piece.isEmpty())
            continue;
        const bool glue = (t.type == Tok::Punct && t.text == u".") ||
                          (i > 0 && toks_[i - 1].type == Tok::Punct && toks_[i - 1].text == u"." &&
                           before_[i].isEmpty());
        if (!out.isEmpty() && !glue)
            out += u' ';
        out += piece;
    }
    return out;
}

TranslatedStatement Translator::run()
{
    if (toks_.empty())
        fail(text_, QStringLiteral("пустой оператор"));
    if (isWord(toks_[0], "select"))
        kind_ = StatementKind::Select;
    else if (isWord(toks_[0], "insert"))
        kind_ = StatementKind::Insert;
    else if (isWord(toks_[0], "update"))
        kind_ = StatementKind::Update;
    else if (isWord(toks_[0], "delete"))
        kind_ = StatementKind::Delete;
    else
        fail(text_, QStringLiteral("допускаются только SELECT, INSERT, UPDATE и DELETE"));

    before_.assign(toks_.size(), QString());
    after_.assign(toks_.size(), QString());
    collectTables();
    if (tables_.empty())
        fail(text_, QStringLiteral("не указана таблица"));

    for (const Token& t : toks_) {
        if (t.type != Tok::Param)
            continue;
        bool known = false;
        for (const StatementParam& p : params_)
            known = known || p.name.compare(t.text, Qt::CaseInsensitive) == 0;
        if (!known)
            params_.push_back({t.text, FieldType::Unknown});
    }

    TranslatedStatement out;
    out.original = text_;
    out.kind = kind_;
    if (kind_ == StatementKind::Insert)
        handleInsert();
    if (kind_ == StatementKind::Update)
        handleUpdate();
    markPartners();
    handleOrderBy();
    if (kind_ == StatementKind::Select) {
        handleSelectList(out);
        if (tables_.size() == 1)
            out.baseTable = tables_.front().def->name;
    } else {
        out.writeTable = tables_.front().def->name;
    }
    out.params = params_;
    out.sql = render();
    if (kind_ == StatementKind::Select && fromIndex_ > 0 && tables_.size() == 1) {
        bool plain = true;
        for (const ResultColumn& c : out.columns)
            plain = plain && !c.table.isEmpty();
        if (plain)
            out.keysSql = QStringLiteral("SELECT ") + tables_.front().alias + QStringLiteral(".rowid ") + render(fromIndex_);
    }
    for (size_t i = 0; i + 1 < toks_.size(); ++i)
        out.ordered = out.ordered || (isWord(toks_[i], "order") && isWord(toks_[i + 1], "by"));
    return out;
}

} // namespace

int TranslatedStatement::paramIndex(const QString& name) const
{
    for (size_t i = 0; i < params.size(); ++i)
        if (params[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString sqliteParamName(const QString& name) { return u':' + name.toLower(); }

TranslatedStatement translateStatement(const QString& text, const Schema& schema, TranslateOptions options)
{
    return Translator(text, schema, options).run();
}

} // namespace talvora::data
