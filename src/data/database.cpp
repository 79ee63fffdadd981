#include "database.h"

#include "dataset.h"
#include "values.h"
#include "common/errors.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace talvora::data {

Database::Database(QString connectionName, QString alias, QString localName, const Schema& schema,
                   AliasResolver aliases)
    : connectionName_(std::move(connectionName)), alias_(std::move(alias)),
      localName_(std::move(localName)), schema_(schema), aliases_(std::move(aliases))
{
}

Database::~Database()
{
    for (Dataset* ds : datasets_)
        ds->forgetDatabase();
}

QString Database::directory() const { return aliases_.directory(alias_); }

void Database::open()
{
    if (conn_)
        return;
    const QString file = aliases_.databaseFile(alias_);
    if (!QFileInfo::exists(file))
        throw Error(QStringLiteral("База данных «%1» не найдена: нет файла %2.\n"
                                   "Создайте базу командой «talvora-db init» "
                                   "или укажите её каталог в %3.")
                        .arg(alias_, file, AliasResolver::configFile()));
    auto conn = std::make_unique<SqliteConnection>(file, false);
    // Every table must be there; a missing one is reported by name.
    for (const TableDef& t : schema_.tables()) {
        auto st = conn->prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"));
        st.bindText(1, t.name);
        if (!st.step())
            throw Error(QStringLiteral("В базе данных «%1» (%2) нет таблицы %3.\n"
                                       "Восстановите базу из архива или создайте новую командой «talvora-db init».")
                            .arg(alias_, file, t.fileName));
    }
    addMissingIndexes(*conn, file);
    conn_ = std::move(conn);
}

// A database made by an earlier version lacks the indexes added since; they
// are made when it is first opened (once, some seconds for a large one).
// They only make reading faster: a database that cannot take them now (kept
// busy by another program, say) is used without them.
void Database::addMissingIndexes(SqliteConnection& conn, const QString& file) const
{
    for (const TableDef& t : schema_.tables())
        for (const QString& statement : Schema::indexStatements(t, true)) {
            try {
                conn.exec(statement);
            } catch (const Error& e) {
                qWarning("Index not made in %s: %s", qPrintable(file), qPrintable(e.message()));
                return;
            }
        }
}

void Database::close()
{
    if (!conn_)
        return;
    for (Dataset* ds : std::vector<Dataset*>(datasets_))
        ds->close();
    columnReaders_.clear();
    conn_.reset();
}

SqliteConnection& Database::connection()
{
    if (!conn_)
        throw Error(QStringLiteral("Соединение %1 с базой данных «%2» закрыто").arg(connectionName_, alias_));
    return *conn_;
}

const TranslatedStatement& Database::translate(const QString& statement, TranslateOptions options)
{
    const QString key = (options.lazyMemos ? QStringLiteral("L") : QStringLiteral("E")) + statement;
    auto it = translations_.find(key);
    if (it != translations_.end())
        return *it;
    if (translations_.size() > 512)
        translations_.clear();
    return *translations_.insert(key, translateStatement(statement, schema_, options));
}

SqliteStatement Database::prepareBound(const TranslatedStatement& t, const Params& params)
{
    SqliteStatement st = [&] {
        try {
            return connection().prepare(t.sql);
        } catch (const Error& e) {
            throw Error(QStringLiteral("%1\nОператор: %2").arg(e.message(), t.original.simplified()));
        }
    }();
    for (const StatementParam& p : t.params) {
        if (!params.contains(p.name))
            throw Error(QStringLiteral("Не задано значение параметра «%1».\nОператор: %2")
                            .arg(p.name, t.original.simplified()));
        const int idx = st.parameterIndex(sqliteParamName(p.name));
        if (idx > 0)
            st.bind(idx, storageValue(params.value(p.name), p.partner));
    }
    return st;
}

int Database::execute(const QString& statement, const Params& params)
{
    const TranslatedStatement t = translate(statement); // copy: the cache may be cleared
    SqliteStatement st = prepareBound(t, params);
    try {
        if (t.kind == StatementKind::Select) {
            while (st.step()) {
            }
            return 0;
        }
        st.step();
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1\nОператор: %2").arg(e.message(), t.original.simplified()));
    }
    return connection().changes();
}

qint64 Database::insertRow(const QString& statement, const Params& params)
{
    const TranslatedStatement t = translate(statement);
    if (t.kind != StatementKind::Insert)
        throw Error(QStringLiteral("Ожидался оператор INSERT.\nОператор: %1").arg(t.original.simplified()));
    SqliteStatement st = prepareBound(t, params);
    try {
        st.step();
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1\nОператор: %2").arg(e.message(), t.original.simplified()));
    }
    if (connection().changes() != 1)
        throw Error(QStringLiteral("Оператор добавил не одну строку.\nОператор: %1").arg(t.original.simplified()));
    return connection().lastInsertRowId();
}

QVariant Database::readColumn(const QString& table, const QString& field, qint64 rowid, FieldType type)
{
    const QString key = table + u'.' + field;
    auto it = columnReaders_.find(key);
    if (it == columnReaders_.end())
        it = columnReaders_.insert(
            key, std::make_shared<SqliteStatement>(connection().prepare(
                     QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE rowid = ?1").arg(field, table))));
    SqliteStatement& st = **it;
    st.reset();
    st.bindInt64(1, rowid);
    QVariant v;
    if (st.step())
        v = valueFromStatement(st, 0, type);
    st.reset();
    return v;
}

void Database::attach(Dataset* ds)
{
    datasets_.push_back(ds);
}

void Database::detach(Dataset* ds)
{
    std::erase(datasets_, ds);
}

QVariant valueFromStatement(const SqliteStatement& st, int col, FieldType type)
{
    const int sqlType = st.columnType(col);
    if (sqlType == SQLITE_NULL)
        return {};
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::Smallint:
        return int(st.int64(col));
    case FieldType::Boolean:
        return st.int64(col) != 0;
    case FieldType::Currency:
    case FieldType::Float:
        return st.real(col);
    case FieldType::Date:
    case FieldType::DateTime: {
        if (sqlType != SQLITE_TEXT)
            return {};
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.handle(), col));
        QDate date;
        QTime time;
        if (!readStoredDateParts(QByteArrayView(p, st.bytes(col)), date, time))
            return {};
        return type == FieldType::Date ? QVariant(date) : QVariant(QDateTime(date, time));
    }
    case FieldType::String:
    case FieldType::Memo:
        return st.text(col);
    case FieldType::FmtMemo:
    case FieldType::Blob:
        return st.blob(col);
    case FieldType::Unknown:
        break;
    }
    switch (sqlType) {
    case SQLITE_INTEGER: return st.int64(col);
    case SQLITE_FLOAT: return st.real(col);
    case SQLITE_BLOB: return st.blob(col);
    default: return st.text(col);
    }
}

} // namespace talvora::data
