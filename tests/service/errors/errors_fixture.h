#pragma once
// Shared pieces of the error-list tests: databases with a known set of
// reports, a fixed disk serial, and stand-ins for the archiver and the
// upload that record what they were given.

#include "common/disk_serial.h"
#include "common/errors.h"
#include "data/query_dataset.h"
#include "service/error_list.h"
#include "temp_databases.h"
#include "ui/scripted_dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace talvora::test {

class FixedSerial : public DiskSerialSource {
public:
    QString serial() override { return QStringLiteral("WD-42"); }
};

class RecordingUploader : public service::ErrorReportUploader {
public:
    struct Log {
        QStringList files;
        QList<QByteArray> contents;
    };
    RecordingUploader(Log& log, bool fail) : log_(log), fail_(fail) {}
    QString host() const override { return QStringLiteral("errors.example"); }
    void upload(const QString& path) override
    {
        log_.files << path;
        QFile f(path);
        log_.contents << (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
        if (fail_)
            throw Error(QStringLiteral("connection refused"));
    }

private:
    Log& log_;
    bool fail_;
};

// The archiver's stand-in: writes a small file under the archive's name.
struct RecordingArchiver {
    QList<QStringList> calls;
    QStringList directories;
    bool fail = false;

    service::ErrorList::Archiver function()
    {
        return [this](const QStringList& arguments, const QString& directory) {
            calls << arguments;
            directories << directory;
            if (fail)
                throw Error(QStringLiteral("Архиватор завершился с ошибкой"));
            QFile f(QDir(directory).filePath(arguments.value(1)));
            if (f.open(QIODevice::WriteOnly))
                f.write("7z-archive");
        };
    }
};

// One report row for the workstation database.
struct Report {
    const char* name;
    int form;
    int status;
};

class ErrorDatabases : public ::testing::Test {
protected:
    void SetUp() override { setDiskSerialSource(&serial); }
    void TearDown() override { setDiskSerialSource(nullptr); }

    // Six reports: a (3,1) b (3,2) c (4,2) d (3,3) e (6,3) f (2,1) as (form, status).
    void addStandardReports()
    {
        for (const Report& r : {Report{"a", 3, 1}, Report{"b", 3, 2}, Report{"c", 4, 2}, Report{"d", 3, 3},
                                Report{"e", 6, 3}, Report{"f", 2, 1}})
            addReport(dbs.ppp(), r);
    }
    static void addReport(data::Database& db, const Report& r, const QString& memo = QStringLiteral("описание"))
    {
        data::Params p;
        p.set(QStringLiteral("n"), QString::fromUtf8(r.name));
        p.set(QStringLiteral("f"), r.form);
        p.set(QStringLiteral("s"), r.status);
        p.set(QStringLiteral("m"), memo);
        db.execute(QStringLiteral("insert into Errors (ErrName, ErrMem, ErrDate, ErrForm, ErrProg, ErrVers, ErrOwner, "
                                  "ErrStatus) values (:n, :m, \"05.03.2024\", :f, \"Talvora\", 230608, \"WD-42\", :s)"),
                   p);
    }

    // The values of one column in every row of a list, in the list's order.
    static QStringList column(data::Dataset& list, const char* field = "ErrName")
    {
        QStringList out;
        const int index = list.fieldIndex(QString::fromLatin1(field));
        for (int row = 0; row < list.recordCount(); ++row)
            out << list.rowValue(row, index).toString();
        return out;
    }
    static QStringList sorted(QStringList values)
    {
        values.sort();
        return values;
    }
    // The rows of a statement on the error database, one text a row.
    QStringList collected(const char* statement = "select ErrName from Errors order by ErrID")
    {
        data::QueryDataset q(QStringLiteral("collected"), dbs.eee());
        q.setSqlText(QString::fromUtf8(statement));
        q.open();
        return column(q, q.fieldNames().value(0).toLatin1().constData());
    }

    TempDatabases dbs;
    ScriptedDialogs dialogs;
    FixedSerial serial;
};

} // namespace talvora::test
