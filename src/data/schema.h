#pragma once
// The tables of the workstation database and of the error database: field
// names, types, widths, required marks, keys and secondary indexes.

#include <QString>
#include <QStringList>

#include <vector>

namespace talvora::data {

enum class FieldType {
    AutoInc,
    Integer,
    Smallint,
    String,
    Date,
    DateTime,
    Boolean,
    Currency,
    Memo,
    FmtMemo,
    Blob,
    Float,   // a computed column without a table type
    Unknown, // a computed column whose values decide
};

bool isTextType(FieldType t);
// Memo and BLOB columns: read from the table only when a value is asked for.
bool isHeavyType(FieldType t);
bool isBlobType(FieldType t);
bool isDateType(FieldType t);
QString fieldTypeName(FieldType t);

struct FieldDef {
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0; // String width in characters
    bool required = false;
};

struct IndexDef {
    QString name;
    QStringList fields;
    // Its text fields compared the Russian way, as the lists are ordered, so
    // that a list in that order is read from the index without sorting.
    bool russianOrder = false;
};

struct TableDef {
    QString name;     // the name used in statements and in SQLite, without extension
    QString fileName; // the table's file name, as the department knows it
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;

    const FieldDef* field(const QString& fieldName) const; // any letter case
    int fieldIndex(const QString& fieldName) const;         // -1 when absent
    const FieldDef& key() const;                            // the AutoInc field
};

class Schema {
public:
    explicit Schema(std::vector<TableDef> tables) : tables_(std::move(tables)) {}

    // Finds a table by name with or without its extension, in any letter case.
    const TableDef* table(const QString& name) const;
    const std::vector<TableDef>& tables() const { return tables_; }

    // The statements that create every table and index.
    QStringList createStatements() const;
    // The statements that make a table's indexes; with `ifNotExists` they
    // leave the ones a database already has.
    static QStringList indexStatements(const TableDef& table, bool ifNotExists);

private:
    std::vector<TableDef> tables_;
};

const Schema& workstationSchema(); // alias pacientdata
const Schema& errorSchema();       // alias Errors

// Strips a ".db" extension in any letter case.
QString stripTableExtension(const QString& name);

} // namespace talvora::data
