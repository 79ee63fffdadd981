#pragma once
// A dataset over one whole table, in key order or on a secondary index with a
// master link. Only the keys are read on opening; a row's values are read when
// it is first shown, and memo and BLOB values only when asked for.

#include "dataset.h"

namespace talvora::data {

class TableDataset : public Dataset {
    Q_OBJECT

public:
    TableDataset(QString name, Database& db, QString tableName, QObject* parent = nullptr);

    const TableDef& table() const;
    // Orders the rows by `indexField` (then key); with a master link the
    // rows are limited to the master's value.
    void setIndexField(const QString& field) { indexField_ = field; }

    bool canModify() const override { return true; }

protected:
    void readRows() override;
    void loadRow(Row& row) const override;
    QVariant loadLazy(const Row& row, const FieldInfo& f) const override;
    void storeRow(Row& row, const std::vector<bool>& changed, bool inserting) override;
    void deleteRow(const Row& row) override;
    void afterStore(qint64 key, bool inserted) override;
    bool checksRequired() const override { return true; }
    void releaseResources() override { rowReader_.reset(); }
    bool rowsKeyedBy(int field) const override { return fields_.at(size_t(field)).type == FieldType::AutoInc; }

private:
    void buildFields();
    std::vector<Row> readKeys();

    QString tableName_;
    QString indexField_;
    mutable std::unique_ptr<SqliteStatement> rowReader_;
    std::vector<int> lightColumns_; // field index per column of the row reader
};

} // namespace talvora::data
