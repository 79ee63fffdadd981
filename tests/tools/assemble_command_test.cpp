#include "assemble_command.h"
#include "data/database.h"
#include "db_tool.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace talvora;

namespace {

struct Assembling : ::testing::Test {
    Assembling()
    {
        aliases.setDirectory(QStringLiteral("pacientdata"), dir.filePath(QStringLiteral("p")));
        aliases.setDirectory(QStringLiteral("Errors"), dir.filePath(QStringLiteral("e")));
        tools::initDatabases(aliases, false, tools::InitContent::StarterDepartment);
        QString out;
        QTextStream s(&out);
        tools::runStatement(aliases, QStringLiteral("pacientdata"),
                            QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdiaK) "
                                           "values (\"Лебедев П.А.\", \"Лебедев\", \"Павел\", \"Андреевич\", 1, "
                                           "\"01.03.2004\", \"15.03.2004\", \"Вертеброгенная люмбоишиалгия\")"),
                            {}, s);
    }
    int run(QStringList args, QString* errors = nullptr)
    {
        args << QStringLiteral("--alias") << QStringLiteral("pacientdata=") + aliases.directory(QStringLiteral("pacientdata"))
             << QStringLiteral("--alias") << QStringLiteral("Errors=") + aliases.directory(QStringLiteral("Errors"));
        QString out, err;
        QTextStream o(&out), e(&err);
        const int rc = tools::runAssembleCommand(args, o, e);
        e.flush();
        if (errors)
            *errors = err;
        return rc;
    }
    QTemporaryDir dir;
    data::AliasResolver aliases;
};

} // namespace

TEST_F(Assembling, TheStarterDischargeSummaryTakesThePatientsData)
{
    const QString file = dir.filePath(QStringLiteral("out.doc"));
    ASSERT_EQ(run({"--patient", "1", "--template", "9", "--out", file}), 0);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = word::plainText(word::readDocument(f.readAll()));
    EXPECT_TRUE(text.contains(QStringLiteral("Лебедев Павел Андреевич"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("14дн. ")));
    EXPECT_TRUE(text.contains(QStringLiteral("Вертеброгенная люмбоишиалгия")));
    EXPECT_TRUE(text.contains(QStringLiteral("НЕВРОЛОГИЧЕСКОЕ ОТДЕЛЕНИЕ"))); // the nested heading
    EXPECT_FALSE(text.contains(QStringLiteral("<!")));
}

TEST_F(Assembling, FailuresAreSaidAndGiveANonZeroStatus)
{
    QString err;
    EXPECT_EQ(run({"--patient", "7", "--template", "9", "--out", dir.filePath("x.doc")}, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("Нет пациента"))) << err.toStdString();
    EXPECT_EQ(run({"--patient", "1", "--template", "99", "--out", dir.filePath("x.doc")}, &err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("Нет шаблона")));
    EXPECT_EQ(run({"--patient", "1", "--out", dir.filePath("x.doc")}, &err), 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.doc")));
}
