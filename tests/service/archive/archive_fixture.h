#pragma once
// The department's layout for the archive tests: a working folder "prog"
// with the workstation database in "prog/Data", the error database beside
// them, a starter department with a few patients, and scripted dialogs.

#include "app/start_window.h"
#include "app/workstation.h"
#include "common/program_state.h"
#include "data/aliases.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/sqlite_db.h"
#include "db_tool.h"
#include "service/archiver.h"
#include "ui/scripted_dialogs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace talvora::test {

// Every table of a database file: its row count and a digest of its rows
// (each row as text, BLOBs as hex, in key order).
inline QMap<QString, QString> tableContents(const QString& file)
{
    QMap<QString, QString> tables;
    data::SqliteConnection db(file, false);
    auto names = db.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"));
    while (names.step()) {
        const QString table = names.text(0);
        QStringList rows;
        auto st = db.prepare(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table));
        while (st.step()) {
            QStringList cells;
            for (int c = 0; c < st.columnCount(); ++c)
                cells << (st.isNull(c) ? QStringLiteral("<null>")
                                       : st.columnType(c) == 4 /* SQLITE_BLOB */ ? QString::fromLatin1(st.blob(c).toHex())
                                                                                  : st.text(c));
            rows << cells.join(u'|');
        }
        tables[table] = QStringLiteral("%1 rows %2").arg(rows.size()).arg(QString::fromLatin1(
            QCryptographicHash::hash(rows.join(u'\n').toUtf8(), QCryptographicHash::Sha1).toHex()));
    }
    return tables;
}

// The tables whose contents differ between two readings of tableContents.
inline QStringList changedTables(const QMap<QString, QString>& a, const QMap<QString, QString>& b)
{
    QStringList changed;
    for (auto it = a.begin(); it != a.end(); ++it)
        if (b.value(it.key()) != it.value())
            changed << it.key() + QStringLiteral(": ") + it.value() + QStringLiteral(" / ") + b.value(it.key());
    for (auto it = b.begin(); it != b.end(); ++it)
        if (!a.contains(it.key()))
            changed << it.key();
    return changed;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

class ArchiveLayout : public ::testing::Test {
protected:
    ArchiveLayout()
    {
        programSwitches() = {false, false};
        QDir(root.path()).mkpath(QStringLiteral("prog/Data"));
        aliases.setDirectory(QStringLiteral("pacientdata"), databaseDir());
        aliases.setDirectory(QStringLiteral("Errors"), root.filePath(QStringLiteral("errors")));
        tools::initDatabases(aliases, false, tools::InitContent::StarterDepartment);
        sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №12\", \"Кардиология\")"));
        for (const char* name : {"Иванов", "Петрова", "Сидоров"})
            sql(QStringLiteral("insert into pacient (Pname, Pname_f, Potd, PdP, Pmale) values (\"%1\", \"%1\", 1, \"01.02.2024\", 1)")
                    .arg(QString::fromUtf8(name)));
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(workDir());
    }
    ~ArchiveLayout() override { QDir::setCurrent(previousDir_); }

    QString workDir() const { return root.filePath(QStringLiteral("prog")); }
    QString databaseDir() const { return root.filePath(QStringLiteral("prog/Data")); }
    QString databaseFile() const { return databaseDir() + QStringLiteral("/database.sqlite"); }
    QMap<QString, QString> contents() const { return tableContents(databaseFile()); }

    int sql(const QString& statement)
    {
        data::Database db(QStringLiteral("setup"), QStringLiteral("pacientdata"), QStringLiteral("SET"),
                          data::workstationSchema(), aliases);
        db.open();
        return db.execute(statement, {});
    }

    // A 7z archive made of what `folder` (under root) holds, the folder included.
    QString pack(const QString& folder, const QString& name)
    {
        const QString archive = root.filePath(name);
        service::RunArchiver({QStringLiteral("a"), QStringLiteral("-t7z"), archive, folder + u'/'}, root.path());
        return archive;
    }

    // What the working folder holds besides the database folder and its safety copies.
    QStringList workFiles() const
    {
        QStringList names = QDir(workDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        names.removeIf([](const QString& n) { return n == u"Data" || n.startsWith(QStringLiteral("Data-before-restore-")); });
        return names;
    }
    // Folders left beside the database folder (safety copies).
    QStringList besideDatabase() const
    {
        return QDir(workDir()).entryList({QStringLiteral("Data-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    }

    static bool haveArchiver() { return QFile::exists(service::archiverProgram()); }

    QTemporaryDir root;
    data::AliasResolver aliases;
    ScriptedDialogs dialogs;

private:
    QString previousDir_;
};

} // namespace talvora::test
