#include "dataset.h"

#include "common/errors.h"
#include "values.h"

#include <QLocale>

namespace talvora::data {

namespace {

constexpr int kMaxLoadedTableRows = 4096;

QString stateError(const QString& name)
{
    return QStringLiteral("Набор данных %1 не в режиме редактирования").arg(name);
}

bool sameValue(const QVariant& a, const QVariant& b, const LocateOptions& o)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString) {
        const QString sa = a.toString();
        const QString sb = b.toString();
        const Qt::CaseSensitivity cs = o.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return o.partialKey ? sa.startsWith(sb, cs) : sa.compare(sb, cs) == 0;
    }
    if (a.typeId() == QMetaType::QDate || b.typeId() == QMetaType::QDate)
        return a.toDate() == b.toDate();
    if (a.typeId() == QMetaType::QDateTime || b.typeId() == QMetaType::QDateTime)
        return a.toDateTime() == b.toDateTime();
    bool oka = false, okb = false;
    const double da = a.toDouble(&oka), db = b.toDouble(&okb);
    if (oka && okb)
        return da == db;
    return a == b;
}

// Brings a value to the form the field keeps.
QVariant normalised(const FieldInfo& f, const QVariant& in) { return fieldValue(in, f.type, f.size, f.name); }

} // namespace

// ---------------------------------------------------------------- Field

const QString& ConstField::name() const { return ds_->fieldInfo(index_).name; }
FieldType ConstField::type() const { return ds_->fieldInfo(index_).type; }
int ConstField::size() const { return ds_->fieldInfo(index_).size; }
QVariant ConstField::value() const { return ds_->currentValue(index_); }
bool ConstField::isNull() const { return value().isNull(); }

QString ConstField::asString() const
{
    const QVariant v = value();
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return displayDate(v.toDate());
    case QMetaType::QDateTime:
        return displayDateTime(v.toDateTime());
    case QMetaType::Double:
        return QLocale(QLocale::Russian).toString(v.toDouble(), 'g', 15);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

int ConstField::asInteger() const
{
    const QVariant v = value();
    if (v.isNull())
        return 0;
    bool ok = false;
    const int i = v.toInt(&ok);
    if (!ok)
        throw Error(QStringLiteral("«%1» не является целым числом").arg(v.toString()));
    return i;
}

double ConstField::asFloat() const
{
    const QVariant v = value();
    return v.isNull() ? 0.0 : v.toDouble();
}

bool ConstField::asBoolean() const
{
    const QVariant v = value();
    return !v.isNull() && v.toBool();
}

QDate ConstField::asDate() const { return dateOf(value()); }
QDateTime ConstField::asDateTime() const { return dateTimeOf(value()); }

QByteArray ConstField::asBytes() const
{
    const QVariant v = value();
    return v.isNull() ? QByteArray() : v.toByteArray();
}

void Field::setValue(const QVariant& value) { target_->setCurrentValue(index(), value); }
void Field::setAsString(const QString& text) { target_->setCurrentValue(index(), text); }
void Field::clear() { target_->setCurrentValue(index(), QVariant()); }

// ---------------------------------------------------------------- Dataset

Dataset::Dataset(QString name, Database& db, QObject* parent)
    : QObject(parent), name_(std::move(name)), db_(&db)
{
    setObjectName(name_);
    db_->attach(this);
}

Dataset::~Dataset()
{
    if (master_)
        std::erase(master_->details_, this);
    for (Dataset* d : details_)
        d->master_ = nullptr;
    if (db_)
        db_->detach(this);
}

Database& Dataset::database() const
{
    if (!db_)
        throw Error(QStringLiteral("Набор данных %1 потерял соединение").arg(name_));
    return *db_;
}

void Dataset::fire(const DatasetEvent& e)
{
    if (e)
        e(*this);
}

void Dataset::setState(DatasetState s)
{
    if (state_ == s)
        return;
    state_ = s;
    emit stateChanged(s);
}

void Dataset::checkActive() const
{
    if (!active())
        throw Error(QStringLiteral("Набор данных %1 закрыт").arg(name_));
}

void Dataset::checkBrowsable()
{
    checkActive();
    checkBrowseMode();
}

void Dataset::open()
{
    if (active())
        return;
    fire(beforeOpen);
    database().open();
    rereadRows(); // throws: the dataset stays closed
    cur_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    modified_ = false;
    setState(DatasetState::Browse);
    emit activeChanged(true);
    emit dataReset();
    emit currentRowChanged(cur_);
    notifyDetails();
    fire(afterOpen);
    if (!rows_.empty())
        fire(afterScroll);
}

void Dataset::close()
{
    if (!active())
        return;
    fire(beforeClose);
    buffer_.reset();
    modified_ = false;
    rows_.clear();
    rows_.shrink_to_fit();
    cur_ = -1;
    bof_ = eof_ = true;
    releaseResources();
    setState(DatasetState::Inactive);
    emit activeChanged(false);
    emit dataReset();
    notifyDetails();
    fire(afterClose);
}

void Dataset::refresh()
{
    checkBrowsable();
    fire(beforeRefresh);
    const qint64 key = cur_ >= 0 ? rows_[size_t(cur_)].key : 0;
    const int oldCur = cur_;
    int keyField = -1;
    QVariant keyValue;
    // Stay on the same row: by table key where there is one, else by position.
    for (int i = 0; i < fieldCount(); ++i)
        if (fields_[size_t(i)].type == FieldType::AutoInc) {
            keyField = i;
            break;
        }
    if (keyField >= 0 && cur_ >= 0)
        keyValue = cellValue(rows_[size_t(cur_)], keyField);
    rereadRows();
    int target = rows_.empty() ? -1 : std::clamp(oldCur, 0, int(rows_.size()) - 1);
    for (int i = 0; i < int(rows_.size()); ++i) {
        if ((keyField >= 0 && !keyValue.isNull() && cellValue(rows_[size_t(i)], keyField) == keyValue) ||
            (keyField < 0 && key != 0 && rows_[size_t(i)].key == key)) {
            target = i;
            break;
        }
    }
    cur_ = target;
    bof_ = cur_ <= 0;
    eof_ = rows_.empty();
    emit dataReset();
    emit currentRowChanged(cur_);
    notifyDetails();
    fire(afterRefresh);
}

void Dataset::setRowsRead(std::vector<Row> rows) { rows_ = std::move(rows); }

void Dataset::rereadRows()
{
    std::vector<Row> none;
    rows_.swap(none);
    loadedRows_ = 0;
    readRows();
    for (const FieldInfo& f : lookupFields_)
        fields_.push_back(f);
}

int Dataset::recNo() const
{
    if (state_ == DatasetState::Insert)
        return insertPos_;
    return cur_;
}

int Dataset::currentDisplayRow() const { return recNo(); }

void Dataset::scrollTo(int row)
{
    if (row == cur_ && state_ == DatasetState::Browse)
        return;
    fire(beforeScroll);
    cur_ = row;
    emit currentRowChanged(cur_);
    notifyDetails();
    fire(afterScroll);
}

void Dataset::first()
{
    checkBrowsable();
    if (!rows_.empty())
        scrollTo(0);
    bof_ = true;
    eof_ = rows_.empty();
}

void Dataset::last()
{
    checkBrowsable();
    if (!rows_.empty())
        scrollTo(int(rows_.size()) - 1);
    eof_ = true;
    bof_ = rows_.empty();
}

void Dataset::next()
{
    checkBrowsable();
    if (cur_ + 1 >= int(rows_.size())) {
        eof_ = true;
        return;
    }
    scrollTo(cur_ + 1);
    bof_ = false;
    eof_ = false;
}

void Dataset::prior()
{
    checkBrowsable();
    if (cur_ <= 0) {
        bof_ = true;
        return;
    }
    scrollTo(cur_ - 1);
    bof_ = false;
    eof_ = false;
}

void Dataset::moveTo(int row)
{
    checkBrowsable();
    if (row < 0 || row >= int(rows_.size()))
        throw Error(QStringLiteral("Строка %1 вне набора данных %2").arg(row + 1).arg(name_));
    scrollTo(row);
    bof_ = false;
    eof_ = false;
}

bool Dataset::locate(const QString& fields, const QVariantList& values, LocateOptions options)
{
    checkBrowsable();
    const QStringList names = fields.split(u';', Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw Error(QStringLiteral("Поиск в %1: число полей и значений не совпадает").arg(name_));
    std::vector<int> idx;
    for (const QString& n : names)
        idx.push_back(field(n.trimmed()).index());
    if (idx.size() == 1 && rowsKeyedBy(idx[0]) && !options.partialKey) {
        // A row looked for by its key: no row is read.
        const QVariant wanted = normalised(fields_[size_t(idx[0])], values[0]);
        bool ok = false;
        const qint64 key = wanted.toLongLong(&ok);
        if (!ok)
            return false;
        for (int r = 0; r < int(rows_.size()); ++r)
            if (rows_[size_t(r)].key == key) {
                scrollTo(r);
                bof_ = eof_ = false;
                return true;
            }
        return false;
    }
    for (int r = 0; r < int(rows_.size()); ++r) {
        bool all = true;
        for (size_t k = 0; k < idx.size() && all; ++k)
            all = sameValue(cellValue(rows_[size_t(r)], idx[k]), normalised(fields_[size_t(idx[k])], values[int(k)]), options);
        if (all) {
            scrollTo(r);
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}

QVariant Dataset::lookup(const QString& keyField, const QVariant& key, const QString& resultField) const
{
    if (!active())
        return {};
    const int k = fieldIndex(keyField);
    const int r = fieldIndex(resultField);
    if (k < 0 || r < 0 || key.isNull())
        return {};
    for (const Row& row : rows_)
        if (sameValue(cellValue(row, k), key, {}))
            return cellValue(row, r);
    return {};
}

// ---------------------------------------------------------------- editing

void Dataset::insert()
{
    checkBrowsable();
    startNewRow(cur_ < 0 ? 0 : cur_);
}

void Dataset::append()
{
    checkBrowsable();
    startNewRow(int(rows_.size()));
}

void Dataset::startNewRow(int position)
{
    if (!canModify())
        throw Error(QStringLiteral("Набор данных %1 только для чтения").arg(name_));
    fire(beforeInsert);
    fire(beforeScroll);
    Row row;
    row.values.assign(fields_.size() - lookupFields_.size(), QVariant());
    buffer_ = std::move(row);
    changed_.assign(fields_.size(), false);
    insertPos_ = position;
    modified_ = false;
    setState(DatasetState::Insert);
    emit rowInserted(insertPos_);
    emit currentRowChanged(insertPos_);
    if (master_ && !detailField_.isEmpty() && hasMasterRow())
        field(detailField_).setValue(masterValue());
    fire(onNewRecord);
    modified_ = false; // defaults alone do not make a row worth storing
    notifyDetails();
    fire(afterInsert);
    fire(afterScroll);
}

void Dataset::edit()
{
    checkActive();
    if (editing())
        return;
    if (rows_.empty()) {
        insert();
        return;
    }
    if (!canModify())
        throw Error(QStringLiteral("Набор данных %1 только для чтения").arg(name_));
    fire(beforeEdit);
    Row& row = rows_[size_t(cur_)];
    ensureLoaded(row);
    buffer_ = row;
    changed_.assign(fields_.size(), false);
    modified_ = false;
    setState(DatasetState::Edit);
    fire(afterEdit);
}

void Dataset::post()
{
    checkActive();
    if (!editing())
        return;
    emit updateRecordRequested();
    fire(beforePost);
    const bool inserting = state_ == DatasetState::Insert;
    if (checksRequired()) {
        for (int i = 0; i < fieldCount(); ++i) {
            const FieldInfo& f = fields_[size_t(i)];
            if (!f.required || f.type == FieldType::AutoInc || f.isLookup())
                continue;
            const QVariant v = currentValue(i);
            const bool empty = v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty()) ||
                               (v.typeId() == QMetaType::QByteArray && v.toByteArray().isEmpty());
            if (empty)
                throw Error(QStringLiteral("Поле «%1» должно быть заполнено").arg(f.name));
        }
    }
    Row row = *buffer_;
    // Lazy values not touched stay unread; touched ones are written.
    storeRow(row, changed_, inserting);
    row.kept = !writesThrough();
    buffer_.reset();
    modified_ = false;
    int display;
    if (inserting) {
        rows_.insert(rows_.begin() + insertPos_, std::move(row));
        cur_ = insertPos_;
        display = cur_;
    } else {
        rows_[size_t(cur_)] = std::move(row);
        display = cur_;
    }
    setState(DatasetState::Browse);
    const qint64 key = rows_[size_t(cur_)].key;
    afterStore(key, inserting);
    emit rowChanged(display);
    emit currentRowChanged(cur_);
    notifyDetails();
    fire(afterPost);
}

void Dataset::cancel()
{
    checkActive();
    if (!editing())
        return;
    fire(beforeCancel);
    const bool inserting = state_ == DatasetState::Insert;
    buffer_.reset();
    modified_ = false;
    setState(DatasetState::Browse);
    if (inserting) {
        emit rowRemoved(insertPos_);
        cur_ = rows_.empty() ? -1 : std::min(insertPos_, int(rows_.size()) - 1);
    } else {
        emit rowChanged(cur_);
    }
    emit currentRowChanged(cur_);
    notifyDetails();
    fire(afterCancel);
    if (inserting)
        fire(afterScroll);
}

void Dataset::remove()
{
    checkActive();
    if (state_ == DatasetState::Insert) {
        cancel();
        return;
    }
    if (state_ == DatasetState::Edit)
        cancel();
    if (rows_.empty())
        throw Error(QStringLiteral("Нет записи для удаления в наборе данных %1").arg(name_));
    if (!canModify())
        throw Error(QStringLiteral("Набор данных %1 только для чтения").arg(name_));
    fire(beforeDelete);
    fire(beforeScroll);
    deleteRow(rows_[size_t(cur_)]);
    const int removed = cur_;
    rows_.erase(rows_.begin() + cur_);
    if (cur_ >= int(rows_.size()))
        cur_ = int(rows_.size()) - 1;
    eof_ = rows_.empty() ? true : eof_;
    bof_ = rows_.empty() ? true : bof_;
    emit rowRemoved(removed);
    emit currentRowChanged(cur_);
    notifyDetails();
    fire(afterDelete);
    fire(afterScroll);
}

void Dataset::checkBrowseMode()
{
    checkActive();
    if (!editing())
        return;
    emit updateRecordRequested();
    if (modified_)
        post();
    else
        cancel();
}

// ---------------------------------------------------------------- fields

int Dataset::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

int Dataset::requireField(const QString& name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw Error(QStringLiteral("%1: поле «%2» не найдено").arg(name_, name));
    return i;
}

std::optional<Field> Dataset::findField(const QString& name)
{
    const int i = fieldIndex(name);
    if (i < 0)
        return std::nullopt;
    return Field(this, i);
}

std::optional<ConstField> Dataset::findField(const QString& name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        return std::nullopt;
    return ConstField(this, i);
}

QStringList Dataset::fieldNames() const
{
    QStringList out;
    for (const FieldInfo& f : fields_)
        out << f.name;
    return out;
}

void Dataset::addLookupField(const QString& name, const QString& keyField, Dataset* lookupDataset,
                             const QString& lookupKeyField, const QString& resultField)
{
    FieldInfo f;
    f.name = name;
    f.type = FieldType::String;
    f.readOnly = true;
    f.lookupDataset = lookupDataset;
    f.keyField = keyField;
    f.lookupKeyField = lookupKeyField;
    f.resultField = resultField;
    lookupFields_.push_back(f);
    if (active())
        fields_.push_back(f);
}

void Dataset::setMasterLink(Dataset* master, const QString& masterField, const QString& detailField)
{
    if (master_)
        std::erase(master_->details_, this);
    master_ = master;
    masterField_ = masterField;
    detailField_ = detailField;
    if (master_)
        master_->details_.push_back(this);
}

bool Dataset::hasMasterRow() const
{
    return master_ && master_->active() && master_->recNo() >= 0 && !master_->isEmpty();
}

QVariant Dataset::masterValue() const
{
    if (!hasMasterRow())
        return {};
    return master_->field(masterField_).value();
}

void Dataset::notifyDetails()
{
    for (Dataset* d : std::vector<Dataset*>(details_))
        d->masterChanged();
}

void Dataset::masterChanged()
{
    if (!active())
        return;
    if (editing())
        cancel();
    rereadRows();
    cur_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    emit dataReset();
    emit currentRowChanged(cur_);
    notifyDetails();
    if (!rows_.empty())
        fire(afterScroll);
}

const Dataset::Row& Dataset::rowAt(int index) const { return rows_.at(size_t(index)); }

void Dataset::ensureLoaded(Row& row) const
{
    if (!row.values.empty() || fields_.size() == lookupFields_.size())
        return;
    if (loadedRows_ >= kMaxLoadedTableRows) {
        // Keep memory bounded while a large table is walked.
        for (size_t i = 0; i < rows_.size(); ++i)
            if (int(i) != cur_ && &rows_[i] != &row && !rows_[i].kept) {
                rows_[i].values.clear();
                rows_[i].values.shrink_to_fit();
                rows_[i].lazyLoaded = 0;
            }
        loadedRows_ = 1;
    }
    loadRow(row);
    ++loadedRows_;
}

QVariant Dataset::loadLazy(const Row& row, const FieldInfo& f) const
{
    if (f.lazyIndex < 0 || size_t(f.lazyIndex) >= row.lazyRefs.size())
        return {};
    const qint64 ref = row.lazyRefs[size_t(f.lazyIndex)];
    if (ref == 0)
        return {};
    return database().readColumn(f.table, f.tableField, ref, f.type);
}

QVariant Dataset::lookupValue(const FieldInfo& f, const Row& row) const
{
    const int k = fieldIndex(f.keyField);
    if (k < 0 || !f.lookupDataset)
        return {};
    return f.lookupDataset->lookup(f.lookupKeyField, cellValue(row, k), f.resultField);
}

QVariant Dataset::cellValue(const Row& constRow, int field) const
{
    const FieldInfo& f = fields_.at(size_t(field));
    if (f.isLookup())
        return lookupValue(f, constRow);
    // The key of a row not read yet is its row id: finding a row by key
    // needs no row read.
    if (constRow.values.empty() && constRow.key != 0 && f.type == FieldType::AutoInc)
        return int(constRow.key);
    Row& row = const_cast<Row&>(constRow);
    ensureLoaded(row);
    if (size_t(field) >= row.values.size())
        return {};
    if (f.lazyIndex >= 0 && !(row.lazyLoaded & (quint64(1) << f.lazyIndex))) {
        QVariant v = loadLazy(row, f);
        // Memo texts are kept once read; document bytes are read each time.
        if (!isBlobType(f.type)) {
            row.values[size_t(field)] = v;
            row.lazyLoaded |= quint64(1) << f.lazyIndex;
        }
        return v;
    }
    return row.values[size_t(field)];
}

QVariant Dataset::currentValue(int field) const
{
    checkActive();
    if (field < 0 || field >= fieldCount())
        throw Error(QStringLiteral("%1: нет поля с номером %2").arg(name_).arg(field));
    if (editing() && buffer_)
        return cellValue(*buffer_, field);
    if (cur_ < 0)
        return {};
    return cellValue(rows_[size_t(cur_)], field);
}

QVariant Dataset::rowValue(int row, int field) const
{
    if (!active())
        return {};
    if (state_ == DatasetState::Insert) {
        if (row == insertPos_)
            return buffer_ ? cellValue(*buffer_, field) : QVariant();
        if (row > insertPos_)
            --row;
    } else if (state_ == DatasetState::Edit && row == cur_ && buffer_) {
        return cellValue(*buffer_, field);
    }
    if (row < 0 || row >= int(rows_.size()))
        return {};
    return cellValue(rows_[size_t(row)], field);
}

void Dataset::setCurrentValue(int field, const QVariant& value)
{
    checkActive();
    if (!editing() || !buffer_)
        throw Error(stateError(name_));
    const FieldInfo& f = fields_.at(size_t(field));
    if (f.isLookup() || f.type == FieldType::AutoInc || f.readOnly)
        throw Error(QStringLiteral("Поле «%1» нельзя изменять").arg(f.name));
    const QVariant v = normalised(f, value);
    buffer_->values[size_t(field)] = v;
    if (f.lazyIndex >= 0)
        buffer_->lazyLoaded |= quint64(1) << f.lazyIndex;
    changed_[size_t(field)] = true;
    modified_ = true;
    emit fieldValueChanged(field);
    emit rowChanged(recNo());
}

// ---------------------------------------------------------------- table writes

void Dataset::storeToTable(const TableDef& table, Row& row, const std::vector<bool>& changed, bool inserting)
{
    SqliteConnection& conn = database().connection();
    QStringList cols;
    std::vector<QVariant> vals;
    int keyField = -1;
    for (int i = 0; i < fieldCount(); ++i) {
        const FieldInfo& f = fields_[size_t(i)];
        if (f.isLookup() || f.table.compare(table.name, Qt::CaseInsensitive) != 0)
            continue;
        if (f.type == FieldType::AutoInc) {
            keyField = i;
            continue;
        }
        if (!changed[size_t(i)])
            continue;
        cols << f.tableField;
        vals.push_back(storageValue(row.values[size_t(i)], f.type));
    }
    SqliteTransaction tx(conn);
    if (inserting) {
        QString sql;
        if (cols.isEmpty()) {
            sql = QStringLiteral("INSERT INTO \"%1\" DEFAULT VALUES").arg(table.name);
        } else {
            QStringList quoted, marks;
            for (int i = 0; i < cols.size(); ++i) {
                quoted << u'"' + cols[i] + u'"';
                marks << QStringLiteral("?%1").arg(i + 1);
            }
            sql = QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                      .arg(table.name, quoted.join(u", "), marks.join(u", "));
        }
        SqliteStatement st = conn.prepare(sql);
        for (size_t i = 0; i < vals.size(); ++i)
            st.bind(int(i + 1), vals[i]);
        st.step();
        row.key = conn.lastInsertRowId();
        if (keyField >= 0)
            row.values[size_t(keyField)] = int(row.key);
        // Lazy values of the new row are read from the new table row.
        for (const FieldInfo& f : fields_)
            if (f.lazyIndex >= 0 && f.table.compare(table.name, Qt::CaseInsensitive) == 0) {
                if (row.lazyRefs.size() <= size_t(f.lazyIndex))
                    row.lazyRefs.resize(size_t(f.lazyIndex) + 1, 0);
                row.lazyRefs[size_t(f.lazyIndex)] = row.key;
            }
    } else if (!cols.isEmpty()) {
        if (row.key == 0)
            throw Error(QStringLiteral("Набор данных %1: у строки нет ключа таблицы %2").arg(name_, table.name));
        QStringList sets;
        for (int i = 0; i < cols.size(); ++i)
            sets << QStringLiteral("\"%1\" = ?%2").arg(cols[i]).arg(i + 1);
        SqliteStatement st = conn.prepare(QStringLiteral("UPDATE \"%1\" SET %2 WHERE rowid = ?%3")
                                              .arg(table.name, sets.join(u", "))
                                              .arg(cols.size() + 1));
        for (size_t i = 0; i < vals.size(); ++i)
            st.bind(int(i + 1), vals[i]);
        st.bindInt64(cols.size() + 1, row.key);
        st.step();
    }
    tx.commit();
}

void Dataset::deleteFromTable(const TableDef& table, qint64 key)
{
    SqliteConnection& conn = database().connection();
    SqliteTransaction tx(conn);
    SqliteStatement st = conn.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ?1").arg(table.name));
    st.bindInt64(1, key);
    st.step();
    tx.commit();
}

void Dataset::repositionAfterStore(int row)
{
    // The caller (post) tells the widgets and the details afterwards.
    cur_ = rows_.empty() ? -1 : std::clamp(row, 0, int(rows_.size()) - 1);
    bof_ = cur_ <= 0;
    eof_ = rows_.empty();
    emit dataReset();
}

} // namespace talvora::data
