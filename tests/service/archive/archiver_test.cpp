#include "common/errors.h"
#include "service/archiver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace talvora;
using service::relativePath;

TEST(RelativePath, ArchiveAndRestoreFormsOfTheWorkingFolderAndItsDataFolder)
{
    // The archive names the database folder from the folder above the
    // working directory; the restore from the working directory itself.
    EXPECT_EQ(QStringLiteral("../") + relativePath("/opt/prog", "/opt/prog/Data/"), "../prog/Data/");
    EXPECT_EQ(relativePath("/opt/prog/", "/opt/prog/Data/"), "Data/");
}

TEST(RelativePath, ClimbsOutOfTheBaseAndDownIntoTheTarget)
{
    EXPECT_EQ(relativePath("/home/doc/work/", "/srv/neuro/pacientdata/"), "../../../srv/neuro/pacientdata/");
    EXPECT_EQ(relativePath("/home/doc/work", "/home/doc/data/"), "data/");
    EXPECT_EQ(relativePath("/home/doc/work/", "/home/doc/data/"), "../data/");
    // The same folder: nothing to climb, nothing to descend.
    EXPECT_EQ(relativePath("/opt/prog/", "/opt/prog/"), "");
    // A target without a trailing separator keeps its last name as given.
    EXPECT_EQ(relativePath("/opt/prog/", "/opt/prog/Data"), "Data");
    // Names are compared whole and with case: "prog" is not "program" nor "Prog".
    EXPECT_EQ(relativePath("/opt/prog/", "/opt/program/Data/"), "../program/Data/");
    EXPECT_EQ(relativePath("/opt/prog/", "/opt/Prog/Data/"), "../Prog/Data/");
    // Doubled separators do not count as folders.
    EXPECT_EQ(relativePath("/opt//prog/", "/opt/prog//Data/"), "Data/");
    // From the root.
    EXPECT_EQ(relativePath("/", "/opt/prog/Data/"), "opt/prog/Data/");
}

TEST(Archiver, AMissingProgramIsAClearMessage)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("no-such-7z");
    try {
        service::RunArchiver(missing, {"a", "x.7z", "."}, dir.path());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Архиватор 7-Zip не найден"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(missing));
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("x.7z")));
}

TEST(Archiver, PacksAndReportsItsOwnFailure)
{
    if (!QFile::exists(service::archiverProgram()))
        GTEST_SKIP() << "7-Zip is not installed";
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("w");
    QDir(dir.path()).mkpath("Data");
    {
        QFile f(dir.filePath("Data/database.sqlite"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("content with spaces; and $(no shell)");
    }
    // A name with blanks and shell characters reaches the archiver as one argument.
    const QString name = QStringLiteral("Base 01.02.2024 $(x).7z");
    service::RunArchiver({"a", name, "../Data/"}, dir.filePath("w"));
    EXPECT_TRUE(QFile::exists(dir.filePath("w/" + name)));

    // Extracting an archive that is not one fails with the archiver's reason.
    {
        QFile bad(dir.filePath("w/bad.7z"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("not an archive at all");
    }
    try {
        service::RunArchiver({"x", "-y", "-oout", "bad.7z"}, dir.filePath("w"));
        FAIL() << "a broken archive was extracted";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Архиватор завершился с ошибкой"))) << e.message().toStdString();
    }
}
