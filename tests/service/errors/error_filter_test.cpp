// The rules of the error list without data: the filter condition, the
// archive's name and the archiver's arguments.

#include "common/errors.h"
#include "service/error_list.h"

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::service;

namespace {

ErrorFilter filter(const char* form, const char* status, FilterConjunction c = FilterConjunction::And)
{
    return ErrorFilterFromFields(QString::fromUtf8(form), QString::fromUtf8(status), c);
}

} // namespace

TEST(ErrorFilterCondition, StatusFormAndTheirConjunction)
{
    EXPECT_EQ(filter("3", "2").condition, QStringLiteral(" ErrStatus =2  AND  ErrForm =3 "));
    EXPECT_EQ(filter("3", "2", FilterConjunction::Or).condition, QStringLiteral(" ErrStatus =2  OR  ErrForm =3 "));
    EXPECT_EQ(filter("", "3").condition, QStringLiteral(" ErrStatus =3 "));
    EXPECT_EQ(filter("11", "", FilterConjunction::Or).condition, QStringLiteral(" ErrForm =11 "));
    // Empty and 0 both mean "not this part"; leading zeros are read away.
    EXPECT_EQ(filter("0", "003").condition, QStringLiteral(" ErrStatus =3 "));
    EXPECT_EQ(filter("", "").condition, QString());
    EXPECT_TRUE(filter("", "").readable());
    EXPECT_EQ(filter("0", "0").condition, QString());
    EXPECT_EQ(filter("2147483647", "").condition, QStringLiteral(" ErrForm =2147483647 "));
}

TEST(ErrorFilterCondition, FieldsThatAreNotNumbers)
{
    EXPECT_EQ(filter("3a", "").message, QStringLiteral("Ошибка в поле форма"));
    EXPECT_EQ(filter("", "-1").message, QStringLiteral("Ошибка в поле статус"));
    EXPECT_EQ(filter(" 3", "1").message, QStringLiteral("Ошибка в поле форма"));
    EXPECT_EQ(filter("3", "1 OR 1=1").message, QStringLiteral("Ошибка в поле статус"));
    EXPECT_EQ(filter("３", "").message, QStringLiteral("Ошибка в поле форма")); // a full-width digit
    // Both wrong: the status field's message is the one shown.
    EXPECT_EQ(filter("x", "y").message, QStringLiteral("Ошибка в поле статус"));
    // A wrong field gives no condition at all.
    EXPECT_EQ(filter("x", "2").condition, QString());
}

TEST(ErrorFilterCondition, NumbersPastThirtyTwoBitsAreErrors)
{
    EXPECT_THROW(filter("2147483648", ""), Error);
    EXPECT_THROW(filter("", "99999999999999999999999"), Error);
}

TEST(ErrorFilterStatement, TheConditionFollowsTheSelectAndALastLineIsLeftForSorting)
{
    const QStringList lines = ErrorFilterStatement(QStringLiteral(" ErrStatus =3 "));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral(" SELECT  ErrID, ErrName, ErrMem, ErrDate, ErrForm, ErrProg, ErrVers, "
                                       "ErrOwner, ErrStatus FROM Errors  WHERE  ErrStatus =3 "));
    EXPECT_EQ(lines[1], QString());
}

TEST(ErrorArchive, NameAndArguments)
{
    EXPECT_EQ(ErrorArchiveName(QDate(2008, 6, 23), QStringLiteral("WD-WCAV12345")),
              QStringLiteral("Err_23.06.2008_WD-WCAV12345.7z"));
    // No serial: the name ends in "_" and the extension.
    EXPECT_EQ(ErrorArchiveName(QDate(2024, 1, 2), QString()), QStringLiteral("Err_02.01.2024_.7z"));
    // A serial with a separator cannot name another folder.
    EXPECT_EQ(ErrorArchiveName(QDate(2024, 1, 2), QStringLiteral("S/N 1\\2")), QStringLiteral("Err_02.01.2024_S_N_1_2.7z"));

    EXPECT_EQ(ErrorArchiveArguments(QStringLiteral("Err_.7z"), QStringLiteral("/opt/prog"), QStringLiteral("/opt/prog/Errors")),
              (QStringList{QStringLiteral("a"), QStringLiteral("Err_.7z"), QStringLiteral("../prog/Errors/")}));
    EXPECT_EQ(ErrorArchiveArguments(QStringLiteral("Err_.7z"), QStringLiteral("/home/u/work/"),
                                    QStringLiteral("/home/u/.local/share/talvora/Errors/")),
              (QStringList{QStringLiteral("a"), QStringLiteral("Err_.7z"),
                           QStringLiteral("../.local/share/talvora/Errors/")}));
    EXPECT_EQ(ErrorArchiveArguments(QStringLiteral("Err_.7z"), QStringLiteral("/tmp/a/work"), QStringLiteral("/tmp/b/Errors")),
              (QStringList{QStringLiteral("a"), QStringLiteral("Err_.7z"), QStringLiteral("../../b/Errors/")}));
}
