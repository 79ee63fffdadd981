#include "archive_fixture.h"

#include "common/errors.h"
#include "data/data_module.h"
#include "service/database_archive.h"
#include "service/database_backup.h"

#include <QDate>
#include <QGuiApplication>
#include <QLocale>
#include <QProgressBar>
#include <QToolButton>

using namespace talvora;
using test::tableContents;

namespace {

const QString kArchiveQuestion = QStringLiteral("Для создания копии базы данных \r\n потребуется перезапуск программы. Продолжать ? ");
const QString kSaveHere = QStringLiteral("Сохранить архив в каталог программы ? ");
const QString kRestoreQuestion = QStringLiteral("Для восстановления базы из архива \r\n потребуется перезапуск программы. Продолжать ? ");
const QString kRestart = QStringLiteral("Для продолжения работы перезапустите программу!");

class ArchiveButtons : public test::ArchiveLayout {
protected:
    void SetUp() override
    {
        if (!haveArchiver())
            GTEST_SKIP() << "7-Zip is not installed";
    }

    QString todaysArchive() const { return service::archiveName(QDate::currentDate()); }

    // The database works as before: open, its lists read, the start window up.
    static void expectStillWorking(Workstation& ws)
    {
        EXPECT_TRUE(ws.dm->Pacents->isOpen());
        EXPECT_TRUE(ws.dm->Otd->active());
        EXPECT_TRUE(ws.dm->Pac_t->active());
        EXPECT_EQ(ws.dm->Otd->recordCount(), 2);
        EXPECT_TRUE(ws.form1->isVisible());
        EXPECT_EQ(ws.form1->departmentGrid()->model()->rowCount(), 2);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
};

} // namespace

TEST_F(ArchiveButtons, AnArchiveRestoredBringsBackEveryTableAndKeepsTheReplacedDatabase)
{
    const auto original = contents();
    {
        Workstation ws(aliases);
        ws.show();
        dialogs.yes().yes();
        ws.form1->archiveButton()->click();
        EXPECT_EQ(dialogs.problems(), "");
        EXPECT_EQ(dialogs.texts(), (QStringList{kArchiveQuestion, kSaveHere, kRestart}));
        EXPECT_FALSE(ws.form1->isVisible()); // the program ends
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(ws.form1->progressBar()->maximum(), 100);
    }
    EXPECT_EQ(workFiles(), QStringList{todaysArchive()});

    // A day's work after the archive: a patient deleted, one added, a template renamed.
    sql(QStringLiteral("delete from pacient where Pname = \"Петрова\""));
    sql(QStringLiteral("insert into pacient (Pname, Pname_f, Potd) values (\"Новиков\", \"Новиков\", 1)"));
    sql(QStringLiteral("update SHablon set ShName = \"Другое\" where ShId = 1"));
    const auto changed = contents();
    ASSERT_NE(changed, original);

    dialogs.clear();
    Workstation ws(aliases);
    ws.show();
    dialogs.yes().choose(QDir(workDir()).filePath(todaysArchive()));
    ws.form1->restoreButton()->click();
    EXPECT_EQ(dialogs.problems(), "");
    ASSERT_EQ(dialogs.texts(), (QStringList{kRestoreQuestion, QString(), kRestart}));
    EXPECT_EQ(dialogs.asked().at(1).file.filter, QStringLiteral("7z files (*.7z)"));
    EXPECT_EQ(dialogs.asked().at(1).file.directory, workDir() + u'/');
    EXPECT_FALSE(ws.form1->isVisible());

    EXPECT_EQ(test::changedTables(contents(), original), QStringList());
    // The database it replaced is kept beside the database folder.
    const QStringList kept = besideDatabase();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(kept.first().startsWith(QStringLiteral("Data-before-restore-")));
    EXPECT_EQ(test::changedTables(tableContents(QDir(workDir()).filePath(kept.first() + QStringLiteral("/database.sqlite"))), changed),
              QStringList());
    EXPECT_EQ(QDir(databaseDir()).entryList(QDir::Files), QStringList{QStringLiteral("database.sqlite")});
}

TEST_F(ArchiveButtons, AnArchiveFromAnotherFolderIsRestoredAndAKeptCopyStaysInTheWorkingFolder)
{
    const auto original = contents();
    const QString elsewhere = pack(QStringLiteral("prog/Data"), QStringLiteral("Base01.01.2024.7z"));
    sql(QStringLiteral("delete from pacient"));

    Workstation ws(aliases);
    ws.show();
    dialogs.yes().choose(elsewhere);
    ws.form1->restoreButton()->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(test::changedTables(contents(), original), QStringList());
    EXPECT_EQ(workFiles(), QStringList{QStringLiteral("Base01.01.2024.7z")});
}

TEST_F(ArchiveButtons, NoAndCancelChangeNothing)
{
    const auto original = contents();
    Workstation ws(aliases);
    ws.show();
    dialogs.no();
    ws.form1->archiveButton()->click();
    dialogs.no();
    ws.form1->restoreButton()->click();
    dialogs.yes().cancel();
    ws.form1->restoreButton()->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(dialogs.texts(), (QStringList{kArchiveQuestion, kRestoreQuestion, kRestoreQuestion, QString()}));
    expectStillWorking(ws);
    EXPECT_TRUE(workFiles().isEmpty());
    EXPECT_TRUE(besideDatabase().isEmpty());
    EXPECT_EQ(test::changedTables(contents(), original), QStringList());
}

TEST_F(ArchiveButtons, TheArchiveMovesOnlyAsAVerifiedCopyAndNeverOntoItself)
{
    const QDir work(workDir());
    QDir(root.path()).mkpath(QStringLiteral("usb"));
    const QString usb = root.filePath(QStringLiteral("usb"));
    // A stale archive of the same name at the target is replaced.
    test::writeFile(QDir(usb).filePath(todaysArchive()), "old");
    {
        Workstation ws(aliases);
        ws.show();
        dialogs.yes().no().choose(QDir(usb).filePath(QStringLiteral("ignored name.7z")));
        ws.form1->archiveButton()->click();
        EXPECT_EQ(dialogs.problems(), "");
        const AskedDialog& save = dialogs.asked().at(2);
        EXPECT_EQ(save.kind, DialogKind::SaveFile);
        EXPECT_EQ(save.file.fileName, QStringLiteral("base"));
        EXPECT_EQ(save.file.defaultSuffix, QStringLiteral("7z"));
        EXPECT_EQ(save.file.filter, QStringLiteral("7z files (*.7z)"));
        EXPECT_EQ(dialogs.texts().last(), kRestart);
    }
    EXPECT_TRUE(workFiles().isEmpty());
    EXPECT_EQ(QDir(usb).entryList(QDir::Files), QStringList{todaysArchive()});
    EXPECT_NO_THROW(service::testArchive(service::archiverProgram(), QDir(usb).filePath(todaysArchive())));

    // The working folder chosen as the target: the only archive stays.
    test::writeFile(QDir(databaseDir()).filePath(QStringLiteral("notes.txt")), "gone by the next archive");
    dialogs.clear();
    {
        Workstation ws(aliases);
        ws.show();
        dialogs.yes().no().choose(work.filePath(QStringLiteral("base.7z")));
        ws.form1->archiveButton()->click();
        EXPECT_EQ(dialogs.problems(), "");
        EXPECT_EQ(dialogs.texts().last(), kRestart);
    }
    EXPECT_EQ(workFiles(), QStringList{todaysArchive()});
    EXPECT_NO_THROW(service::testArchive(service::archiverProgram(), work.filePath(todaysArchive())));

    // The save dialog cancelled: the archive stays. A second archive of the
    // day replaces the first whole: a file gone from the folder is gone from it.
    QFile::remove(QDir(databaseDir()).filePath(QStringLiteral("notes.txt")));
    dialogs.clear();
    {
        Workstation ws(aliases);
        ws.show();
        dialogs.yes().no().cancel();
        ws.form1->archiveButton()->click();
        EXPECT_EQ(dialogs.problems(), "");
        EXPECT_EQ(dialogs.texts().last(), kRestart);
    }
    EXPECT_EQ(workFiles(), QStringList{todaysArchive()});
    service::RunArchiver({QStringLiteral("x"), QStringLiteral("-o") + usb + QStringLiteral("/out"), work.filePath(todaysArchive())},
                         workDir());
    EXPECT_EQ(QDir(usb + QStringLiteral("/out/Data")).entryList(QDir::Files), QStringList{QStringLiteral("database.sqlite")});
}

TEST_F(ArchiveButtons, AFailedCopyKeepsTheArchiveAndTheProgramWorking)
{
    Workstation ws(aliases);
    ws.show();
    dialogs.yes().no().choose(root.filePath(QStringLiteral("no such folder/base.7z")));
    ws.form1->archiveButton()->click();
    EXPECT_EQ(dialogs.problems(), "");
    ASSERT_EQ(dialogs.asked().size(), 4);
    const AskedDialog& shown = dialogs.asked().at(3);
    EXPECT_EQ(shown.kind, DialogKind::Error);
    EXPECT_TRUE(shown.text.contains(QStringLiteral("Архив остался в %1").arg(workDir()))) << shown.text.toStdString();
    EXPECT_FALSE(dialogs.texts().contains(kRestart));
    EXPECT_EQ(workFiles(), QStringList{todaysArchive()});
    expectStillWorking(ws);
}

TEST_F(ArchiveButtons, ABadOrForeignArchiveChangesNothingAndSaysWhy)
{
    const auto original = contents();
    const QByteArray databaseBytes = [&] {
        QFile f(databaseFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    // Not an archive at all.
    test::writeFile(root.filePath(QStringLiteral("garbage.7z")), "this is not a 7z archive");
    // The error database's folder: SQLite, but not the workstation's tables.
    const QString foreign = pack(QStringLiteral("errors"), QStringLiteral("foreign.7z"));
    // An archive of documents, no database in it.
    QDir(root.path()).mkpath(QStringLiteral("docs"));
    test::writeFile(root.filePath(QStringLiteral("docs/letter.txt")), "hello");
    const QString documents = pack(QStringLiteral("docs"), QStringLiteral("documents.7z"));
    // The workstation database with pages overwritten.
    QDir(root.path()).mkpath(QStringLiteral("broken/Data"));
    QByteArray damaged = databaseBytes;
    for (qsizetype i = 4096; i < 4096 * 3 && i < damaged.size(); ++i)
        damaged[i] = char(0x5a);
    test::writeFile(root.filePath(QStringLiteral("broken/Data/database.sqlite")), damaged);
    const QString broken = pack(QStringLiteral("broken/Data"), QStringLiteral("broken.7z"));

    const std::vector<std::pair<QString, QString>> cases = {
        {root.filePath(QStringLiteral("garbage.7z")), QStringLiteral("не удалось распаковать")},
        {foreign, QStringLiteral("Это не база данных рабочего места")},
        {documents, QStringLiteral("нет базы данных рабочего места")},
        {broken, QStringLiteral("не годится для восстановления")},
    };
    Workstation ws(aliases);
    ws.show();
    for (const auto& [archive, why] : cases) {
        SCOPED_TRACE(archive.toStdString());
        dialogs.clear();
        dialogs.yes().choose(archive);
        ws.form1->restoreButton()->click();
        EXPECT_EQ(dialogs.problems(), "");
        ASSERT_EQ(dialogs.asked().size(), 3);
        const AskedDialog& shown = dialogs.asked().at(2);
        EXPECT_EQ(shown.kind, DialogKind::Error);
        EXPECT_TRUE(shown.text.contains(why)) << shown.text.toStdString();
        EXPECT_TRUE(shown.text.contains(QStringLiteral("База данных не изменена."))) << shown.text.toStdString();
        expectStillWorking(ws);
        EXPECT_TRUE(workFiles().isEmpty());
        EXPECT_TRUE(besideDatabase().isEmpty());
    }
    QFile f(databaseFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), databaseBytes);
    EXPECT_EQ(test::changedTables(contents(), original), QStringList());
    // Nothing of the unpacking is left beside the database folder.
    EXPECT_EQ(QDir(workDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("Data")});
}

TEST_F(ArchiveButtons, AMissingArchiverIsToldAndTheDatabaseStaysOpen)
{
    const auto original = contents();
    const QString archive = pack(QStringLiteral("prog/Data"), QStringLiteral("Base01.01.2024.7z"));
    Workstation ws(aliases);
    ws.show();
    service::DatabaseArchive withoutArchiver(*ws.dm);
    withoutArchiver.program = root.filePath(QStringLiteral("bin/7zz"));
    ws.form1->archiveDatabase = [&] { withoutArchiver.Archive(); };
    ws.form1->restoreDatabase = [&] { withoutArchiver.Restore(); };

    dialogs.yes();
    ws.form1->archiveButton()->click();
    dialogs.yes().choose(archive);
    ws.form1->restoreButton()->click();
    EXPECT_EQ(dialogs.problems(), "");
    ASSERT_EQ(dialogs.asked().size(), 5);
    for (int i : {1, 4}) {
        EXPECT_EQ(dialogs.asked().at(i).kind, DialogKind::Error);
        EXPECT_TRUE(dialogs.asked().at(i).text.contains(QStringLiteral("Архиватор 7-Zip не найден")));
        EXPECT_TRUE(dialogs.asked().at(i).text.contains(withoutArchiver.program));
    }
    expectStillWorking(ws);
    EXPECT_TRUE(workFiles().isEmpty());
    EXPECT_EQ(test::changedTables(contents(), original), QStringList());
}

TEST_F(ArchiveButtons, AnArchiverThatFailsLeavesTheDatabaseOpenAsItWas)
{
    // An archiver that gives up half way, as 7-Zip does on a full disk.
    QDir(root.path()).mkpath(QStringLiteral("bin"));
    const QString failing = root.filePath(QStringLiteral("bin/7zz"));
    test::writeFile(failing, "#!/bin/sh\necho 'ERROR: There is not enough space on the disk'\nexit 2\n");
    QFile::setPermissions(failing, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    Workstation ws(aliases);
    ws.show();
    ws.dm->Otd->moveTo(1); // the second department
    const QVariant department = ws.dm->Otd->field(QStringLiteral("OID")).value();
    const bool listOpen = ws.dm->pac_q1->active();
    service::DatabaseArchive archive(*ws.dm);
    archive.program = failing;
    QList<bool> busy;
    archive.busy = [&](bool on) { busy << on; };
    ws.form1->archiveDatabase = [&] { archive.Archive(); };

    dialogs.yes();
    ws.form1->archiveButton()->click();
    EXPECT_EQ(dialogs.problems(), "");
    ASSERT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.asked().at(1).kind, DialogKind::Error);
    EXPECT_TRUE(dialogs.asked().at(1).text.contains(QStringLiteral("not enough space"))) << dialogs.asked().at(1).text.toStdString();
    EXPECT_EQ(busy, (QList<bool>{true, false}));
    expectStillWorking(ws);
    EXPECT_EQ(ws.dm->Otd->recNo(), 1);
    EXPECT_EQ(ws.dm->Otd->field(QStringLiteral("OID")).value(), department);
    EXPECT_EQ(ws.dm->pac_q1->active(), listOpen);
}

TEST(ArchiveName, BaseWithTheShortDateAndNoSeparatorOfPaths)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(service::archiveName(QDate(2008, 6, 23)), QStringLiteral("Base23.06.2008.7z"));
    // A short date written with slashes must not make folders of the name.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString name = service::archiveName(QDate(2008, 6, 23));
    QLocale::setDefault(before);
    EXPECT_TRUE(name.startsWith(QStringLiteral("Base")));
    EXPECT_TRUE(name.endsWith(QStringLiteral(".7z")));
    EXPECT_FALSE(name.contains(u'/'));
}
