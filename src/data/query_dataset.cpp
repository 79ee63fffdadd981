#include "query_dataset.h"

#include "common/errors.h"

#include <QRegularExpression>

#include <algorithm>

namespace talvora::data {

QueryDataset::QueryDataset(QString name, Database& db, Mode mode, QObject* parent)
    : Dataset(std::move(name), db, parent), mode_(mode)
{
}

void QueryDataset::setSql(const QStringList& lines)
{
    close();
    sql_ = lines;
    statementChanged();
}

void QueryDataset::setSqlText(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\n|\r"));
    setSql(text.split(breaks));
}

void QueryDataset::setSqlLine(int line, const QString& text)
{
    if (line < 0 || line >= sql_.size())
        throw Error(QStringLiteral("%1: в операторе нет строки %2").arg(name()).arg(line + 1));
    close();
    sql_[line] = text;
    statementChanged();
}

QString QueryDataset::sqlLine(int line) const
{
    return line >= 0 && line < sql_.size() ? sql_[line] : QString();
}

void QueryDataset::statementChanged()
{
    // Parameter names as the statement writes them; values are kept by name.
    paramNames_.clear();
    static const QRegularExpression param(QStringLiteral(R"(:([A-Za-z0-9_]+))"));
    // Parameters inside quoted literals are not parameters.
    QString bare;
    QChar quote;
    for (const QChar c : sqlText()) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            bare += u' ';
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            bare += u' ';
            continue;
        }
        bare += c;
    }
    auto it = param.globalMatch(bare);
    while (it.hasNext()) {
        const QString n = it.next().captured(1);
        bool known = false;
        for (const QString& p : paramNames_)
            known = known || p.compare(n, Qt::CaseInsensitive) == 0;
        if (!known)
            paramNames_ << n;
    }
}

bool QueryDataset::hasParam(const QString& name) const
{
    for (const QString& p : paramNames_)
        if (p.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void QueryDataset::setParam(const QString& name, const QVariant& value)
{
    if (!hasParam(name))
        throw Error(QStringLiteral("%1: параметр «%2» не найден").arg(this->name(), name));
    values_.set(name, value);
}

QVariant QueryDataset::param(const QString& name) const { return values_.value(name); }
QStringList QueryDataset::paramNames() const { return paramNames_; }

int QueryDataset::run()
{
    Database& db = database();
    db.open();
    const TranslatedStatement t = db.translate(sqlText(), TranslateOptions{lazyMemos_});
    if (t.kind == StatementKind::Select) {
        // Checked (the statement and its parameters), not read: opening reads it.
        db.prepareBound(t, values_);
        return 0;
    }
    return db.execute(sqlText(), values_);
}

void QueryDataset::readRows()
{
    keyTable_.clear();
    Database& db = database();
    const TranslatedStatement t = db.translate(sqlText(), TranslateOptions{lazyMemos_});
    if (t.kind != StatementKind::Select)
        throw Error(QStringLiteral("%1: открыть можно только оператор SELECT.\nОператор: %2")
                        .arg(name(), t.original.simplified()));
    SqliteStatement st = db.prepareBound(t, values_);
    const int n = st.columnCount();
    fields_.clear();
    const Schema& schema = db.schema();
    int lazy = 0;
    for (int c = 0; c < n; ++c) {
        FieldInfo f;
        f.column = c;
        if (size_t(c) < t.columns.size()) {
            const ResultColumn& rc = t.columns[size_t(c)];
            f.name = rc.name;
            f.table = rc.table;
            f.tableField = rc.field;
            f.type = rc.type;
            f.size = rc.size;
            if (rc.lazy)
                f.lazyIndex = lazy++;
        }
        if (f.name.isEmpty())
            f.name = st.columnName(c);
        if (f.table.isEmpty()) {
            // Origin of a plain column reference that the translation did not see.
            if (const TableDef* td = schema.table(st.columnTable(c))) {
                if (const FieldDef* fd = td->field(st.columnOrigin(c))) {
                    f.table = td->name;
                    f.tableField = fd->name;
                    f.type = fd->type;
                    f.size = fd->size;
                }
            }
        }
        if (f.table.isEmpty())
            f.readOnly = true;
        fields_.push_back(f);
    }
    if (lazy > 64)
        throw Error(QStringLiteral("%1: слишком много полей memo и BLOB").arg(name()));
    // Repeated names get "_1", "_2" as the translation names them.
    for (size_t a = 0; a < fields_.size(); ++a) {
        int k = 0;
        for (size_t b = 0; b < a; ++b)
            if (fields_[b].name.compare(fields_[a].name, Qt::CaseInsensitive) == 0)
                ++k;
        if (k > 0)
            fields_[a].name += QStringLiteral("_%1").arg(k);
    }
    baseTable_ = t.baseTable;
    const TableDef* base = t.baseTable.isEmpty() ? nullptr : schema.table(t.baseTable);
    int keyColumn = -1;
    if (base)
        for (const FieldInfo& f : fields_)
            if (f.type == FieldType::AutoInc && f.table == base->name)
                keyColumn = f.column;
    const bool keyed = keyColumn >= 0 || (rowsOnDemand_ && base && !t.keysSql.isEmpty());

    std::vector<Row> rows;
    rowReader_.reset();
    rowSql_.clear();
    if (rowsOnDemand_ && base && !t.keysSql.isEmpty()) {
        // Only the row ids now; each row is read when it is first touched.
        QStringList cols;
        for (const FieldInfo& f : fields_)
            cols << (f.lazyIndex >= 0 ? QStringLiteral("rowid") : u'"' + f.tableField + u'"');
        rowSql_ = QStringLiteral("SELECT %1 FROM \"%2\" WHERE rowid = ?1").arg(cols.join(u", "), base->name);
        TranslatedStatement keys = t;
        keys.sql = t.keysSql;
        SqliteStatement ks = db.prepareBound(keys, values_);
        try {
            while (ks.step()) {
                Row r;
                r.key = ks.int64(0);
                rows.push_back(std::move(r));
            }
        } catch (const Error& e) {
            throw Error(QStringLiteral("%1\nОператор: %2").arg(e.message(), t.original.simplified()));
        }
        // Without an ORDER BY the rows come in key order, whatever index the
        // engine read the ids from.
        if (!t.ordered)
            std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
        keyTable_ = keyed ? base->name : QString();
        setRowsRead(std::move(rows));
        return;
    }
    try {
        while (st.step()) {
            Row r;
            r.values.resize(size_t(n));
            if (lazy > 0)
                r.lazyRefs.resize(size_t(lazy), 0);
            for (int c = 0; c < n; ++c) {
                const FieldInfo& f = fields_[size_t(c)];
                if (f.lazyIndex >= 0)
                    r.lazyRefs[size_t(f.lazyIndex)] = st.int64(c);
                else
                    r.values[size_t(c)] = valueFromStatement(st, c, f.type);
            }
            if (keyColumn >= 0)
                r.key = st.int64(keyColumn);
            rows.push_back(std::move(r));
        }
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1\nОператор: %2").arg(e.message(), t.original.simplified()));
    }
    keyTable_ = keyed ? base->name : QString();
    setRowsRead(std::move(rows));
}

bool QueryDataset::rowsKeyedBy(int field) const
{
    const FieldInfo& f = fields_.at(size_t(field));
    return !keyTable_.isEmpty() && f.type == FieldType::AutoInc && f.table == keyTable_;
}

void QueryDataset::loadRow(Row& row) const
{
    if (rowSql_.isEmpty())
        return;
    if (!rowReader_)
        rowReader_ = std::make_unique<SqliteStatement>(database().connection().prepare(rowSql_));
    SqliteStatement& st = *rowReader_;
    st.reset();
    st.bindInt64(1, row.key);
    const size_t n = fields_.size() - lookupFields_.size();
    row.values.assign(n, QVariant());
    int lazy = 0;
    for (const FieldInfo& f : fields_)
        lazy = std::max(lazy, f.lazyIndex + 1);
    row.lazyRefs.assign(size_t(lazy), row.key);
    if (st.step())
        for (size_t c = 0; c < n; ++c)
            if (fields_[c].lazyIndex < 0)
                row.values[c] = valueFromStatement(st, int(c), fields_[c].type);
    st.reset();
}

const TableDef* QueryDataset::liveTable() const
{
    if (mode_ != Mode::Live)
        return nullptr;
    const TableDef* t = baseTable_.isEmpty() ? nullptr : database().schema().table(baseTable_);
    if (!t)
        throw Error(QStringLiteral("%1: изменять можно только выборку из одной таблицы").arg(name()));
    bool hasKey = false;
    for (const FieldInfo& f : fields_)
        hasKey = hasKey || (f.type == FieldType::AutoInc && f.table == t->name);
    if (!hasKey)
        throw Error(QStringLiteral("%1: в выборке нет ключа таблицы %2").arg(name(), t->fileName));
    return t;
}

void QueryDataset::storeRow(Row& row, const std::vector<bool>& changed, bool inserting)
{
    if (const TableDef* t = liveTable())
        storeToTable(*t, row, changed, inserting);
    // Cached: the row is kept as edited and never written.
}

void QueryDataset::deleteRow(const Row& row)
{
    if (const TableDef* t = liveTable())
        deleteFromTable(*t, row.key);
}

} // namespace talvora::data
