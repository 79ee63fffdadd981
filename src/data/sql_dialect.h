#pragma once
// The local-SQL dialect of the department databases, translated to SQLite.
//
// Statements are kept exactly as the windows write them, quirks included:
// table names in double quotes or bare, with or without ".DB"; text and date
// literals in double quotes ("30.12.1899"); date-time literals in single
// quotes in the locale's form; a number glued to a keyword ("0ORDER BY");
// named parameters where one name used twice takes one value; CR LF anywhere.
// The translation also cuts text written to String(n) columns to n characters,
// sorts text columns with the Russian collation, and replaces memo and BLOB
// columns of a plain SELECT by the row id of their table so that their values
// are read only when asked for.

#include "schema.h"
#include "values.h" // date literals, storageValue

#include <QString>
#include <QVariant>

#include <vector>

namespace talvora::data {

enum class StatementKind { Select, Insert, Update, Delete };

struct StatementParam {
    QString name;                         // as first written, without the colon
    FieldType partner = FieldType::Unknown; // type of the column it is compared with or written to
};

struct ResultColumn {
    QString name;  // as the statement writes it; a repeated name gets "_1", "_2"
    QString table; // canonical table name when the column is a plain table column
    QString field; // canonical field name in that table
    FieldType type = FieldType::Unknown;
    int size = 0;
    bool lazy = false; // the SQL selects the table's row id instead of the value
};

struct TranslatedStatement {
    QString original;
    QString sql;
    StatementKind kind = StatementKind::Select;
    std::vector<StatementParam> params; // one entry per distinct name (any case)
    std::vector<ResultColumn> columns;  // SELECT only; empty when not determinable
    QString baseTable;                  // the only table of a SELECT, else empty
    // For a SELECT of plain columns of one table: the same statement giving
    // only the row ids, in the same order (rows can then be read on demand).
    QString keysSql;
    bool ordered = false; // the SELECT has an ORDER BY of its own
    QString writeTable;                 // the table an INSERT/UPDATE/DELETE writes

    int paramIndex(const QString& name) const; // -1 when absent
};

struct TranslateOptions {
    // Memo columns of a plain SELECT are read on request like BLOBs; off for
    // readers that go through every row's texts anyway.
    bool lazyMemos = true;
};

// Translates one statement; throws talvora::Error naming the statement when it
// cannot be translated faithfully.
TranslatedStatement translateStatement(const QString& text, const Schema& schema, TranslateOptions options = {});

// The SQLite name of a parameter as the translation writes it.
QString sqliteParamName(const QString& name);

} // namespace talvora::data
