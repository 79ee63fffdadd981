#pragma once
// Both databases of the program in a temporary directory, reached as the
// talvora-db tool reaches them, for the tests of the tool.

#include "db_tool.h"

#include "data/aliases.h"
#include "data/database.h"
#include "data/query_dataset.h"
#include "data/schema.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVariantMap>

#include <vector>

namespace talvora::tools::test {

inline const QString kPacientdata = QString::fromLatin1(data::kWorkstationAlias);
inline const QString kErrors = QString::fromLatin1(data::kErrorAlias);

struct ToolRun {
    int rc;
    QString out, err;
};

// Both databases in a temporary directory, reached as the tool reaches them.
class Databases {
public:
    Databases()
    {
        aliases_.setDirectory(kPacientdata, dir_.filePath(QStringLiteral("p")));
        aliases_.setDirectory(kErrors, dir_.filePath(QStringLiteral("e")));
    }

    ToolRun tool(QStringList args) const
    {
        args << QStringLiteral("--alias") << kPacientdata + u'=' + aliases_.directory(kPacientdata)
             << QStringLiteral("--alias") << kErrors + u'=' + aliases_.directory(kErrors);
        QString out, err;
        QTextStream o(&out), e(&err);
        const int rc = tools::runCommandLine(args, o, e);
        o.flush();
        e.flush();
        return {rc, out, err};
    }

    QString file(const QString& alias) const { return aliases_.databaseFile(alias); }
    QString directory(const QString& alias) const { return aliases_.directory(alias); }
    const data::AliasResolver& aliases() const { return aliases_; }

    // The rows of a SELECT through the program's engine, field name → value.
    std::vector<QVariantMap> rows(const QString& sql, const QString& alias = kPacientdata) const
    {
        const data::Schema& schema = alias == kErrors ? data::errorSchema() : data::workstationSchema();
        data::Database db(QStringLiteral("test"), alias, QStringLiteral("TEST"), schema, aliases_);
        db.open();
        data::QueryDataset q(QStringLiteral("q"), db);
        q.setSqlText(sql);
        q.open();
        std::vector<QVariantMap> out;
        for (int r = 0; r < q.recordCount(); ++r) {
            q.moveTo(r);
            QVariantMap row;
            for (int f = 0; f < q.fieldCount(); ++f)
                row.insert(q.fieldAt(f).name(), q.fieldAt(f).value());
            out.push_back(row);
        }
        return out;
    }

    int count(const QString& table, const QString& alias = kPacientdata) const
    {
        return rows(QStringLiteral("select count(*) as n from ") + table, alias).at(0).value(QStringLiteral("n")).toInt();
    }

private:
    QTemporaryDir dir_;
    data::AliasResolver aliases_;
};

} // namespace talvora::tools::test
