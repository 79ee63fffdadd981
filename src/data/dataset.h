#pragma once
// Datasets: the shared, navigable row sets that every window reads and
// writes through. A dataset has a current row, moves with before/after
// events, edits one row at a time in a buffer, and posts or cancels it.
// Memo and BLOB values are read from the database only when asked for.
//
// Events are plain callbacks set by the data module (one handler each, like
// the event properties of the windows); a "before" handler cancels the action
// by throwing talvora::SilentAbort. Signals tell bound widgets what changed.

#include "database.h"
#include "schema.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace talvora::data {

class Dataset;

enum class DatasetState { Inactive, Browse, Edit, Insert };

using DatasetEvent = std::function<void(Dataset&)>;

struct FieldInfo {
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0;
    bool required = false;
    QString table;      // origin table (canonical), empty for computed columns
    QString tableField; // origin field (canonical)
    int column = -1;    // column in the statement's result; -1 for looked-up fields
    int lazyIndex = -1; // >= 0: value read on request
    bool readOnly = false;

    // Looked-up field: the value of `resultField` in the row of `lookupDataset`
    // whose `lookupKeyField` equals this dataset's `keyField`.
    Dataset* lookupDataset = nullptr;
    QString keyField, lookupKeyField, resultField;
    bool isLookup() const { return lookupDataset != nullptr; }
};

// A read-only handle on one field of a dataset: reads the current row. What
// a const dataset hands out.
class ConstField {
public:
    ConstField(const Dataset* ds, int index) : ds_(ds), index_(index) {}

    const QString& name() const;
    FieldType type() const;
    int size() const;
    int index() const { return index_; }

    QVariant value() const;
    bool isNull() const;
    QString asString() const;
    int asInteger() const;
    double asFloat() const;
    bool asBoolean() const;
    QDate asDate() const;         // a null date reads as the empty date 30.12.1899
    QDateTime asDateTime() const; // likewise
    QByteArray asBytes() const;

private:
    const Dataset* ds_;
    int index_;
};

// A handle on one field of a dataset that reads and writes the current row.
class Field : public ConstField {
public:
    Field(Dataset* ds, int index) : ConstField(ds, index), target_(ds) {}

    // Writes need the dataset in edit or insert state. Texts are cut to the
    // field's width; a text given to a number or date field is converted, and
    // an empty text clears the field.
    void setValue(const QVariant& value);
    void setAsString(const QString& text);
    void clear();

private:
    Dataset* target_;
};

struct LocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false; // the field's text begins with the value
};

class Dataset : public QObject {
    Q_OBJECT

public:
    Dataset(QString name, Database& db, QObject* parent = nullptr);
    ~Dataset() override;

    const QString& name() const { return name_; }
    Database& database() const;

    // --- state
    bool active() const { return state_ != DatasetState::Inactive; }
    DatasetState state() const { return state_; }
    bool editing() const { return state_ == DatasetState::Edit || state_ == DatasetState::Insert; }
    void open();
    void close();
    void setActive(bool on) { on ? open() : close(); }
    // Reads the rows again and stays on the same row where it still exists.
    void refresh();

    // --- rows and moves
    int recordCount() const { return int(rows_.size()); }
    bool isEmpty() const { return rows_.empty() && state_ != DatasetState::Insert; }
    int recNo() const; // index of the current row; -1 when there is none
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);
    // Finds the first row whose fields (separated by ';') hold the values and
    // makes it current; false and no move when there is none.
    bool locate(const QString& fields, const QVariantList& values, LocateOptions options = {});
    bool locate(const QString& field, const QVariant& value, LocateOptions options = {})
    {
        return locate(field, QVariantList{value}, options);
    }
    // The value of `resultField` in the first row whose `keyField` equals `key`; no move.
    QVariant lookup(const QString& keyField, const QVariant& key, const QString& resultField) const;

    // --- editing
    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void remove();
    // Posts a changed row, cancels an unchanged one.
    void checkBrowseMode();
    bool modified() const { return modified_; }
    virtual bool canModify() const = 0;

    // --- fields
    int fieldCount() const { return int(fields_.size()); }
    const FieldInfo& fieldInfo(int index) const { return fields_.at(size_t(index)); }
    int fieldIndex(const QString& name) const; // -1 when absent; any letter case
    // Handles on a field: a const dataset's only read.
    Field field(const QString& name) { return Field(this, requireField(name)); } // throws when absent
    ConstField field(const QString& name) const { return ConstField(this, requireField(name)); }
    Field fieldAt(int index) { return Field(this, index); }
    ConstField fieldAt(int index) const { return ConstField(this, index); }
    std::optional<Field> findField(const QString& name);
    std::optional<ConstField> findField(const QString& name) const;
    QStringList fieldNames() const;

    // A value of any row without moving (grids). During an insert the row at
    // the insert position is the new row; displayRowCount() includes it.
    QVariant rowValue(int row, int field) const;
    int displayRowCount() const { return recordCount() + (state_ == DatasetState::Insert ? 1 : 0); }
    int currentDisplayRow() const;

    // Looked-up fields are declared before the dataset is opened.
    void addLookupField(const QString& name, const QString& keyField, Dataset* lookupDataset,
                        const QString& lookupKeyField, const QString& resultField);

    // Detail of a master: holds only the rows whose `detailField` equals the
    // master's current `masterField`, follows every move of the master, and
    // gives a new row that value.
    void setMasterLink(Dataset* master, const QString& masterField, const QString& detailField);
    Dataset* master() const { return master_; }

    // --- events
    DatasetEvent beforeOpen, afterOpen, beforeClose, afterClose;
    DatasetEvent beforeScroll, afterScroll;
    DatasetEvent beforeInsert, onNewRecord, afterInsert;
    DatasetEvent beforeEdit, afterEdit;
    DatasetEvent beforePost, afterPost;
    DatasetEvent beforeCancel, afterCancel;
    DatasetEvent beforeDelete, afterDelete;
    DatasetEvent beforeRefresh, afterRefresh;

    // Called by Database when it is destroyed before its datasets.
    void forgetDatabase() { db_ = nullptr; }

signals:
    void activeChanged(bool active);
    void stateChanged(talvora::data::DatasetState state);
    void dataReset();                      // rows read again; fields may differ
    void currentRowChanged(int displayRow);
    void rowChanged(int displayRow);       // values of one row changed
    void fieldValueChanged(int field);     // a value of the edit buffer changed
    void rowInserted(int displayRow);
    void rowRemoved(int displayRow);
    // Bound controls write what the user typed into the edit buffer now
    // (sent before a row is posted and before a move leaves it).
    void updateRecordRequested();

protected:
    struct Row {
        qint64 key = 0;                  // table row id (tables, live queries)
        std::vector<QVariant> values;    // empty while a table row is not loaded
        std::vector<qint64> lazyRefs;    // row id per lazy field
        quint64 lazyLoaded = 0;          // lazy fields whose value is in `values`
        bool kept = false;               // holds changes the table does not have: never unloaded
    };

    // Reads the rows (and, for queries, the fields).
    virtual void readRows() = 0;
    // Fills the values of a row that is not loaded yet (tables).
    virtual void loadRow(Row& row) const { (void)row; }
    // Reads one lazy value.
    virtual QVariant loadLazy(const Row& row, const FieldInfo& f) const;
    // Writes a posted row; may change `row` (new key). `inserting` for new rows.
    virtual void storeRow(Row& row, const std::vector<bool>& changed, bool inserting) = 0;
    virtual void deleteRow(const Row& row) = 0;
    // After a post: tables re-sort their rows.
    virtual void afterStore(qint64 key, bool inserted) { (void)key; (void)inserted; }
    // Whether required fields are checked on post (table datasets).
    virtual bool checksRequired() const { return false; }
    // Whether a posted row is written to the table (false: held in the dataset).
    virtual bool writesThrough() const { return true; }
    virtual void releaseResources() {}
    // Whether every row's key is the value of this field (the table's own
    // key), so that a row is found by its key without reading the row.
    virtual bool rowsKeyedBy(int field) const { (void)field; return false; }

    // Writes a row to a table: UPDATE of the changed fields or INSERT.
    void storeToTable(const TableDef& table, Row& row, const std::vector<bool>& changed, bool inserting);
    void deleteFromTable(const TableDef& table, qint64 key);

    const Row& rowAt(int index) const;
    QVariant cellValue(const Row& row, int field) const;
    void setRowsRead(std::vector<Row> rows);
    void masterChanged();
    void repositionAfterStore(int row);
    QVariant masterValue() const;
    bool hasMasterRow() const;

    std::vector<FieldInfo> fields_;
    std::vector<FieldInfo> lookupFields_;
    mutable std::vector<Row> rows_;
    Dataset* master_ = nullptr;
    QString masterField_, detailField_;

private:
    friend class ConstField;
    friend class Field;

    int requireField(const QString& name) const; // the index; throws when absent
    void checkActive() const;
    void checkBrowsable();
    void startNewRow(int position);
    void rereadRows(); // rows and fields, looked-up fields after the read ones
    void setState(DatasetState s);
    void fire(const DatasetEvent& e);
    void notifyDetails();
    void scrollTo(int row);
    QVariant currentValue(int field) const;
    void setCurrentValue(int field, const QVariant& value);
    void ensureLoaded(Row& row) const;
    QVariant lookupValue(const FieldInfo& f, const Row& row) const;

    QString name_;
    Database* db_;
    DatasetState state_ = DatasetState::Inactive;
    int cur_ = -1;
    bool bof_ = true, eof_ = true;
    bool modified_ = false;
    std::optional<Row> buffer_;
    std::vector<bool> changed_;
    int insertPos_ = 0;
    std::vector<Dataset*> details_;
    mutable int loadedRows_ = 0;
};

} // namespace talvora::data
