#include "archive_fixture.h"

#include "backup_command.h"
#include "data/data_module.h"
#include "service/database_backup.h"

#include <QToolButton>

using namespace talvora;

namespace {

class BackupCommand : public test::ArchiveLayout {
protected:
    void SetUp() override
    {
        if (!haveArchiver())
            GTEST_SKIP() << "7-Zip is not installed";
    }

    struct Run {
        int rc;
        QString out, err;
    };
    Run tool(const QString& command, const QString& archive)
    {
        QString out, err;
        QTextStream o(&out), e(&err);
        const int rc = tools::runBackupCommand(
            {command, archive, QStringLiteral("--alias"), QStringLiteral("pacientdata=") + databaseDir()}, o, e);
        o.flush();
        e.flush();
        return {rc, out, err};
    }
};

} // namespace

TEST_F(BackupCommand, ABackupTakenWhileTheProgramWritesHoldsTheCommittedStateAndRestoresIt)
{
    const auto committed = contents();
    const QString archive = root.filePath(QStringLiteral("nightly.7z"));
    test::writeFile(archive, "yesterday's broken upload"); // replaced by a whole new archive
    {
        // Another process is in the middle of a write.
        data::SqliteConnection writer(databaseFile(), false);
        writer.exec(QStringLiteral("BEGIN IMMEDIATE"));
        writer.exec(QStringLiteral("DELETE FROM Pacient"));
        const Run backup = tool(QStringLiteral("backup"), archive);
        ASSERT_EQ(backup.rc, 0) << backup.err.toStdString();
        EXPECT_TRUE(backup.out.contains(archive)) << backup.out.toStdString();
        writer.exec(QStringLiteral("COMMIT"));
    }
    EXPECT_NO_THROW(service::testArchive(service::archiverProgram(), archive));
    // Nothing of the copy is left beside the archive.
    EXPECT_EQ(QDir(root.path()).entryList({QStringLiteral(".talvora*")}, QDir::AllEntries | QDir::Hidden), QStringList());

    const auto afterDelete = contents();
    ASSERT_NE(test::changedTables(afterDelete, committed), QStringList());
    const Run restore = tool(QStringLiteral("restore"), archive);
    ASSERT_EQ(restore.rc, 0) << restore.err.toStdString();
    EXPECT_EQ(test::changedTables(contents(), committed), QStringList());
    ASSERT_EQ(besideDatabase().size(), 1);
    EXPECT_TRUE(restore.out.contains(besideDatabase().first())) << restore.out.toStdString();
    EXPECT_EQ(test::changedTables(test::tableContents(QDir(workDir()).filePath(besideDatabase().first() +
                                                                               QStringLiteral("/database.sqlite"))),
                                  afterDelete),
              QStringList());
}

TEST_F(BackupCommand, TheToolsArchiveIsRestoredByTheButton)
{
    const auto original = contents();
    const QString archive = root.filePath(QStringLiteral("tool.7z"));
    ASSERT_EQ(tool(QStringLiteral("backup"), archive).rc, 0);
    sql(QStringLiteral("delete from pacient"));
    {
        Workstation ws(aliases);
        ws.show();
        dialogs.yes().choose(archive);
        ws.form1->restoreButton()->click();
        EXPECT_EQ(dialogs.problems(), "");
        EXPECT_EQ(dialogs.texts().last(), QStringLiteral("Для продолжения работы перезапустите программу!"));
    }
    EXPECT_EQ(test::changedTables(contents(), original), QStringList());
}

TEST_F(BackupCommand, ARestoreRefusesAForeignArchiveAndLeavesALeftoverJournalWithTheOldDatabase)
{
    const auto original = contents();
    const QString foreign = pack(QStringLiteral("errors"), QStringLiteral("errors.7z"));
    const Run refused = tool(QStringLiteral("restore"), foreign);
    EXPECT_EQ(refused.rc, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Это не база данных рабочего места"))) << refused.err.toStdString();
    EXPECT_TRUE(besideDatabase().isEmpty());
    EXPECT_EQ(test::changedTables(contents(), original), QStringList());

    // A journal left by a crash belongs to the database it was written for:
    // beside the restored file it would be played back into it.
    const QString archive = root.filePath(QStringLiteral("good.7z"));
    ASSERT_EQ(tool(QStringLiteral("backup"), archive).rc, 0);
    sql(QStringLiteral("delete from pacient"));
    test::writeFile(databaseFile() + QStringLiteral("-journal"), QByteArray(512, '\0'));
    ASSERT_EQ(tool(QStringLiteral("restore"), archive).rc, 0);
    EXPECT_EQ(QDir(databaseDir()).entryList(QDir::Files), QStringList{QStringLiteral("database.sqlite")});
    ASSERT_EQ(besideDatabase().size(), 1);
    EXPECT_EQ(QDir(QDir(workDir()).filePath(besideDatabase().first())).entryList(QDir::Files),
              (QStringList{QStringLiteral("database.sqlite"), QStringLiteral("database.sqlite-journal")}));
    EXPECT_EQ(test::changedTables(contents(), original), QStringList());

    // Wrong use is told, not guessed.
    EXPECT_EQ(tool(QStringLiteral("backup"), QString()).rc, 1);
    const Run missing = tool(QStringLiteral("restore"), root.filePath(QStringLiteral("nowhere.7z")));
    EXPECT_EQ(missing.rc, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("Нет файла архива")));
}
