#include "service/document_export.h"

#include <gtest/gtest.h>

using namespace talvora::service;

namespace {

const QDate kDay(2008, 6, 23);

int utf8Bytes(const QString& s) { return int(s.toUtf8().size()); }

} // namespace

TEST(ExportFileNames, PatientDateTypeAndCopies)
{
    EXPECT_EQ(ExportFileName("Иванов И.И.", kDay, "Выписки"), "Иванов И.И._23.06.2008_Выписки.doc");
    EXPECT_EQ(ExportFileName("Иванов И.И.", kDay, "Выписки", 2), "Иванов И.И._23.06.2008_Выписки (2).doc");
    EXPECT_EQ(ExportFileName("Иванов И.И.", kDay, "Выписки", 13), "Иванов И.И._23.06.2008_Выписки (13).doc");
    // A document stored without a type, and one whose date was never set.
    EXPECT_EQ(ExportFileName("Иванов И.И.", kDay, ""), "Иванов И.И._23.06.2008_Без типа.doc");
    EXPECT_EQ(ExportFileName("Иванов И.И.", kDay, "  "), "Иванов И.И._23.06.2008_Без типа.doc");
    EXPECT_EQ(ExportFileName("Иванов И.И.", QDate(), "Выписки"), "Иванов И.И._30.12.1899_Выписки.doc");
}

TEST(ExportFileNames, HostileTextCannotLeaveTheFolder)
{
    const struct {
        QString patient, type, expected;
    } cases[] = {
        {"../x", "Выписки", "__x_23.06.2008_Выписки.doc"},
        {"a/b", "Выписки", "a_b_23.06.2008_Выписки.doc"},
        {"Петров", "../../etc/passwd", "Петров_23.06.2008_._._etc_passwd.doc"},
        {"c:d", "Выписки", "c_d_23.06.2008_Выписки.doc"},
        {"Иванов\r\nИ.\tИ.", "Вып\x01иски", "Иванов__И._И._23.06.2008_Вып_иски.doc"},
        {"a\\b*c?d\"e<f>g|h", "Выписки", "a_b_c_d_e_f_g_h_23.06.2008_Выписки.doc"},
        {"...Скрытый", "Выписки", "_Скрытый_23.06.2008_Выписки.doc"},
        {"Иванов И..И.", "Эпикриз...", "Иванов И.И._23.06.2008_Эпикриз.doc"},
    };
    for (const auto& c : cases) {
        const QString name = ExportFileName(c.patient, kDay, c.type);
        SCOPED_TRACE(c.patient.toStdString() + " / " + c.type.toStdString());
        EXPECT_FALSE(name.contains('/'));
        EXPECT_FALSE(name.contains(".."));
        EXPECT_FALSE(name.startsWith('.'));
        EXPECT_EQ(name, c.expected);
    }
}

TEST(ExportFileNames, LongNamesAreCutKeepingCopyAndExtension)
{
    const QString patient(300, QChar(u'Ж')); // two bytes each in UTF-8
    const QString first = ExportFileName(patient, kDay, "Выписки");
    EXPECT_LE(utf8Bytes(first), kMaxFileNameBytes);
    EXPECT_GE(utf8Bytes(first), kMaxFileNameBytes - 1);
    EXPECT_TRUE(first.endsWith("ЖЖ.doc"));
    const QString copy = ExportFileName(patient, kDay, "Выписки", 1234);
    EXPECT_LE(utf8Bytes(copy), kMaxFileNameBytes);
    EXPECT_TRUE(copy.endsWith("Ж (1234).doc"));
    // Different copies of one long name stay different.
    EXPECT_NE(ExportFileName(patient, kDay, "Выписки", 2), ExportFileName(patient, kDay, "Выписки", 3));

    // Characters outside the basic plane are never split in half, and a cut
    // that ends on a dot leaves no ".." before the extension.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100);
    const QString cut = ExportFileName(emoji, kDay, "x");
    EXPECT_TRUE(cut.isValidUtf16());
    EXPECT_LE(utf8Bytes(cut), kMaxFileNameBytes);
    const QString dots = QString(250, u'a') + QStringLiteral(". . . . .");
    const QString dotted = ExportFileName(dots, kDay, "x");
    EXPECT_FALSE(dotted.contains(".."));
    EXPECT_FALSE(dotted.contains(". .doc"));
    EXPECT_LE(utf8Bytes(dotted), kMaxFileNameBytes);
}

TEST(ExportFileNames, SummaryCountsAndNamesTheFailures)
{
    ExportResult r;
    r.documents = 3;
    r.written = 3;
    EXPECT_EQ(ExportSummary(r), "Выгружено документов: 3 из 3.");
    r.documents = 30;
    r.written = 5;
    for (int i = 0; i < 25; ++i)
        r.failed.append({QStringLiteral("Д%1.doc").arg(i), "пусто"});
    const QString text = ExportSummary(r);
    EXPECT_TRUE(text.startsWith("Выгружено документов: 5 из 30.\nНе удалось выгрузить (25):\nД0.doc — пусто\n"));
    EXPECT_TRUE(text.contains("Д19.doc — пусто"));
    EXPECT_FALSE(text.contains("Д20.doc"));
    EXPECT_TRUE(text.endsWith("… и ещё 5"));
}
