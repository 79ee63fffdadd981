#pragma once
// A dataset over a local-SQL statement held line by line, with named
// parameters. Changes to its rows are either refused (read-only), held only
// in the dataset and never written (cached), or written to the statement's
// one table (live).

#include "dataset.h"
#include "params.h"

namespace talvora::data {

class QueryDataset : public Dataset {
    Q_OBJECT

public:
    enum class Mode { ReadOnly, Cached, Live };

    QueryDataset(QString name, Database& db, Mode mode = Mode::ReadOnly, QObject* parent = nullptr);

    Mode mode() const { return mode_; }

    // --- the statement, line by line (line numbers here count from 0)
    const QStringList& sql() const { return sql_; }
    QString sqlText() const { return sql_.join(QStringLiteral("\r\n")); }
    void setSql(const QStringList& lines);
    void setSqlText(const QString& text); // split at line breaks
    void setSqlLine(int line, const QString& text);
    QString sqlLine(int line) const;
    int sqlLineCount() const { return int(sql_.size()); }

    // --- parameters of the statement; values survive a change of statement
    bool hasParam(const QString& name) const;
    void setParam(const QString& name, const QVariant& value); // throws when the statement has none
    QVariant param(const QString& name) const;
    QStringList paramNames() const;

    // Runs the statement without opening: an INSERT, UPDATE or DELETE acts on
    // the database and returns the rows affected; a SELECT is only checked.
    int run();

    bool canModify() const override { return mode_ != Mode::ReadOnly; }

    // Memo texts are read with the rows instead of on request (for readers
    // that go through every row's texts).
    void setLazyMemos(bool lazy) { lazyMemos_ = lazy; }
    // Opening reads only the row ids; a row's values are read when it is
    // first touched (for large results of one table that are shown a row at
    // a time). Statements that do not qualify are read whole.
    void setRowsOnDemand(bool on) { rowsOnDemand_ = on; }

protected:
    void readRows() override;
    void loadRow(Row& row) const override;
    void releaseResources() override { rowReader_.reset(); }
    bool rowsKeyedBy(int field) const override;
    bool writesThrough() const override { return mode_ == Mode::Live; }
    void storeRow(Row& row, const std::vector<bool>& changed, bool inserting) override;
    void deleteRow(const Row& row) override;

private:
    void statementChanged();
    const TableDef* liveTable() const;

    Mode mode_;
    QStringList sql_;
    QStringList paramNames_;
    Params values_;
    QString baseTable_;
    QString keyTable_; // canonical name of the table whose key the rows carry; empty: none
    bool lazyMemos_ = true;
    bool rowsOnDemand_ = false;
    mutable std::unique_ptr<SqliteStatement> rowReader_;
    QString rowSql_; // reads one row by row id when rows come on demand
};

} // namespace talvora::data
