#pragma once
// A workstation database holding the starter department (templates that
// name each other's keys in their markers, boilerplates, template and
// document types), the data module over it and scripted dialogs.

#include "common/program_state.h"
#include "data/data_module.h"
#include "data/query_dataset.h"
#include "service/department_import.h"
#include "starter_department.h"
#include "temp_databases.h"
#include "ui/scripted_dialogs.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QTextCursor>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace talvora::test {

class StarterDatabase : public ::testing::Test {
protected:
    StarterDatabase()
    {
        programSwitches() = {};
        starter = tools::addStarterDepartment(dbs.ppp().connection()).departmentKey;
    }

    void start() { dm = std::make_unique<data::TDM>(dbs.aliases()); }

    // Every row of a statement, each a list of its values.
    QList<QVariantList> rows(const QString& statement)
    {
        data::QueryDataset q(QStringLiteral("rows"), dbs.ppp());
        q.setSqlText(statement);
        q.open();
        QList<QVariantList> out;
        for (q.first(); !q.eof(); q.next()) {
            QVariantList row;
            for (int i = 0; i < q.fieldCount(); ++i)
                row << q.fieldAt(i).value();
            out << row;
        }
        return out;
    }

    int count(const QString& statement) { return dbs.scalar(statement).toInt(); }
    qint64 key(const QString& statement) { return dbs.scalar(statement).toLongLong(); }

    // How many boilerplates, template types and templates a department has.
    struct Holdings {
        int boilerplates = 0, types = 0, templates = 0;
        bool operator==(const Holdings&) const = default;
    };
    Holdings holdings(qint64 department)
    {
        return {count(QStringLiteral("select count(*) from Fish where Fotd = %1").arg(department)),
                count(QStringLiteral("select count(*) from SHablonType where ShTotd = %1").arg(department)),
                count(QStringLiteral("select count(*) from SHablon where ShOtd = %1").arg(department))};
    }

    QByteArray templateBlob(qint64 department, const QString& name)
    {
        data::QueryDataset q(QStringLiteral("template"), dbs.ppp());
        q.setSqlText(QStringLiteral("select ShRes from SHablon where ShOtd = :otd and ShName = :name"));
        q.setParam(QStringLiteral("otd"), department);
        q.setParam(QStringLiteral("name"), name);
        q.open();
        return q.isEmpty() ? QByteArray() : q.fieldAt(0).asBytes();
    }

    QString templateText(qint64 department, const QString& name)
    {
        return word::plainText(word::documentFromBlob(templateBlob(department, name)));
    }

    qint64 typeKey(qint64 department, const QString& name)
    {
        return key(QStringLiteral("select ShTID from SHablonType where ShTotd = %1 and ShTName = \"%2\"")
                       .arg(department)
                       .arg(name));
    }

    qint64 templateKey(qint64 department, const QString& name)
    {
        return key(QStringLiteral("select ShId from SHablon where ShOtd = %1 and ShName = \"%2\"").arg(department).arg(name));
    }

    // A department with its rows written straight into the database.
    qint64 addDepartment(const QString& name)
    {
        data::Params p;
        p.set(QStringLiteral("name"), name);
        return dbs.ppp().insertRow(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №2\", :name)"), p);
    }

    static service::NewWorkplace workplace(const QString& department)
    {
        return {QStringLiteral("ГКБ №7"), department,
                {QStringLiteral("Осмотр по дежурству"), QStringLiteral("Этапный эпикриз"),
                 QStringLiteral("Совместный осмотр"), QStringLiteral("Выписки")}};
    }

    TempDatabases dbs;
    ScriptedDialogs dialogs;
    qint64 starter = 0;
    std::unique_ptr<data::TDM> dm;
};

} // namespace talvora::test
