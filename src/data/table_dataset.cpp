#include "table_dataset.h"

#include "common/errors.h"

#include <algorithm>

namespace talvora::data {

TableDataset::TableDataset(QString name, Database& db, QString tableName, QObject* parent)
    : Dataset(std::move(name), db, parent), tableName_(std::move(tableName))
{
}

const TableDef& TableDataset::table() const
{
    const TableDef* t = database().schema().table(tableName_);
    if (!t)
        throw Error(QStringLiteral("Таблица %1 не найдена в базе данных «%2»").arg(tableName_, database().alias()));
    return *t;
}

void TableDataset::buildFields()
{
    const TableDef& t = table();
    fields_.clear();
    lightColumns_.clear();
    int lazy = 0;
    for (size_t i = 0; i < t.fields.size(); ++i) {
        const FieldDef& d = t.fields[i];
        FieldInfo f;
        f.name = d.name;
        f.type = d.type;
        f.size = d.size;
        f.required = d.required;
        f.table = t.name;
        f.tableField = d.name;
        f.column = int(i);
        if (isHeavyType(d.type))
            f.lazyIndex = lazy++;
        else
            lightColumns_.push_back(int(i));
        fields_.push_back(f);
    }
}

std::vector<Dataset::Row> TableDataset::readKeys()
{
    const TableDef& t = table();
    const QString key = t.key().name;
    QString sql = QStringLiteral("SELECT rowid FROM \"%1\"").arg(t.name);
    const bool linked = master() != nullptr && !detailField_.isEmpty();
    if (linked) {
        if (!hasMasterRow() || masterValue().isNull())
            return {};
        sql += QStringLiteral(" WHERE \"%1\" = ?1").arg(detailField_);
    }
    // In key order: the engine may then take the ids from its narrowest index
    // instead of walking the table's long rows, and they are sorted here.
    // Linked rows share the index field's value, so key order is index order.
    const bool byIndex = !indexField_.isEmpty() && !linked;
    if (byIndex)
        sql += QStringLiteral(" ORDER BY \"%1\", \"%2\"").arg(indexField_, key);
    SqliteStatement st = database().connection().prepare(sql);
    if (linked) {
        const FieldDef* df = t.field(detailField_);
        st.bind(1, storageValue(masterValue(), df ? df->type : FieldType::Unknown));
    }
    std::vector<Row> rows;
    while (st.step()) {
        Row r;
        r.key = st.int64(0);
        rows.push_back(std::move(r));
    }
    if (!byIndex)
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
    return rows;
}

void TableDataset::readRows()
{
    buildFields();
    rowReader_.reset();
    try {
        setRowsRead(readKeys());
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1: не удалось открыть таблицу %2: %3").arg(name(), table().fileName, e.message()));
    }
}

void TableDataset::loadRow(Row& row) const
{
    const TableDef& t = table();
    if (!rowReader_) {
        QStringList cols;
        for (int c : lightColumns_)
            cols << u'"' + t.fields[size_t(c)].name + u'"';
        rowReader_ = std::make_unique<SqliteStatement>(database().connection().prepare(
            QStringLiteral("SELECT %1 FROM \"%2\" WHERE rowid = ?1").arg(cols.join(u", "), t.name)));
    }
    SqliteStatement& st = *rowReader_;
    st.reset();
    st.bindInt64(1, row.key);
    row.values.assign(t.fields.size(), QVariant());
    if (st.step()) {
        for (size_t i = 0; i < lightColumns_.size(); ++i) {
            const int f = lightColumns_[i];
            row.values[size_t(f)] = valueFromStatement(st, int(i), t.fields[size_t(f)].type);
        }
    }
    st.reset();
}

QVariant TableDataset::loadLazy(const Row& row, const FieldInfo& f) const
{
    return database().readColumn(f.table, f.tableField, row.key, f.type);
}

void TableDataset::storeRow(Row& row, const std::vector<bool>& changed, bool inserting)
{
    storeToTable(table(), row, changed, inserting);
}

void TableDataset::deleteRow(const Row& row)
{
    deleteFromTable(table(), row.key);
}

void TableDataset::afterStore(qint64 key, bool inserted)
{
    // The stored row goes to its place in key (or index) order, and its values
    // are read back as the table holds them.
    std::vector<Row> rows = readKeys();
    int at = -1;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].key == key) {
            at = int(i);
            break;
        }
    (void)inserted;
    setRowsRead(std::move(rows));
    repositionAfterStore(at < 0 ? 0 : at);
}

} // namespace talvora::data
