// The names of the markers and the reasons why a marker is broken, checked
// against what the assembly does with the marker.

#include "templates/marker_names.h"

#include <QSet>

#include <gtest/gtest.h>

#include <ostream>

using namespace talvora::templates;

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

MarkerCatalog department()
{
    MarkerCatalog c;
    c.templateTypes = {{3, QStringLiteral("Лабораторные исследования")}, {7, QStringLiteral("Консультации")}};
    c.templates = {{1, QStringLiteral("Шапка выписки")}, {12345, QStringLiteral("Осмотр офтальмолога")}};
    return c;
}

TEST(MarkerNames, EveryFieldOfTheTableHasItsOwnNameAndNoOtherNumberHasOne)
{
    QSet<QString> names;
    for (const FieldEntry& f : fieldTable()) {
        const QString name = fieldName(f.number);
        EXPECT_FALSE(name.isEmpty()) << f.number;
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        names.insert(name);
        EXPECT_EQ(describeMarker(MarkerKind::Field, f.number, department()).name, name);
    }
    EXPECT_EQ(names.size(), 21);
    for (int n = 0; n <= 40; ++n)
        EXPECT_EQ(fieldName(n).isEmpty(), findField(n) == nullptr) << n;

    EXPECT_EQ(fieldName(1), "Фамилия");
    EXPECT_EQ(fieldName(6), "Дата поступления");
    EXPECT_EQ(fieldName(10), "Возраст на день поступления");
    EXPECT_EQ(fieldName(12), "Клинический диагноз");
    EXPECT_EQ(fieldName(29), "Все исследования пациента");
}

TEST(MarkerNames, TreatmentFormsTypesAndTemplates)
{
    const MarkerCatalog c = department();
    EXPECT_EQ(describeMarker(MarkerKind::Treatment, 1, c).name, "Лечение — одной строкой");
    EXPECT_EQ(describeMarker(MarkerKind::Treatment, 2, c).name, "Лечение — в столбик");
    // The assembly writes a drug a line for every number but 1.
    EXPECT_EQ(describeMarker(MarkerKind::Treatment, 5, c).name, "Лечение — в столбик");
    EXPECT_EQ(describeMarker(MarkerKind::Group, 7, c).name, "Исследования типа «Консультации»");
    EXPECT_EQ(describeMarker(MarkerKind::Template, 12345, c).name, "Шаблон «Осмотр офтальмолога»");

    EXPECT_EQ(markerToolTip(u"<!fld_12>", describeMarker(MarkerKind::Field, 12, c)),
              "<!fld_12> — клинический диагноз");
    EXPECT_EQ(markerToolTip(u"<!grp_3>", describeMarker(MarkerKind::Group, 3, c)),
              "<!grp_3> — исследования типа «Лабораторные исследования»");
}

TEST(MarkerNames, MarkersTheAssemblyLeavesOrRejectsAreErrorsWithAReason)
{
    MarkerCatalog c = department();
    const auto error = [&](MarkerKind kind, QStringView number) { return describeMarker(kind, number, c).error; };

    // Field numbers that stand for nothing stay in the document.
    for (int n : {0, 19, 25, 28, 30, 33})
        EXPECT_TRUE(error(MarkerKind::Field, QString::number(n)).contains(QStringLiteral("Поля с номером")))
            << n;
    // Past the reading rule.
    EXPECT_TRUE(error(MarkerKind::Field, u"123456789").contains(QStringLiteral("не больше 7")));
    EXPECT_TRUE(error(MarkerKind::Group, u"12345678").contains(QStringLiteral("не больше 7")));
    EXPECT_TRUE(error(MarkerKind::Template, u"123456").contains(QStringLiteral("не больше 5")));
    EXPECT_TRUE(error(MarkerKind::Field, u"00000012").contains(QStringLiteral("не больше 7")));
    // Beyond any integer: still only a reason, never a wrong number.
    EXPECT_FALSE(error(MarkerKind::Field, u"99999999999999999999").isEmpty());
    // No digits: the assembly stops with an error.
    EXPECT_TRUE(error(MarkerKind::Field, u"").contains(QStringLiteral("нет номера")));
    EXPECT_TRUE(error(MarkerKind::Treatment, u"x").contains(QStringLiteral("нет номера")));
    EXPECT_TRUE(error(MarkerKind::Field, u"1 2").contains(QStringLiteral("одни цифры (12)")));
    // A missing template, an unknown type, and a type deleted since.
    EXPECT_TRUE(error(MarkerKind::Template, u"5").contains(QStringLiteral("Шаблона с номером 5 нет")));
    EXPECT_TRUE(error(MarkerKind::Group, u"4").contains(QStringLiteral("Типа шаблона с номером 4")));
    EXPECT_TRUE(error(MarkerKind::Group, u"3").isEmpty());
    c.templateTypes.erase(c.templateTypes.begin());
    EXPECT_FALSE(error(MarkerKind::Group, u"3").isEmpty());

    const MarkerDescription bad = describeMarker(MarkerKind::Field, 19, c);
    EXPECT_TRUE(bad.name.isEmpty());
    EXPECT_TRUE(markerToolTip(u"<!fld_19>", bad).startsWith(QStringLiteral("<!fld_19> — ошибка. Поля с номером 19")));
}

// Positions, kinds and soundness of what findMarkers reports, as
// "start+length:k" with k "ok" or "err".
QString found(const QString& paragraph)
{
    QStringList out;
    for (const FoundMarker& m : findMarkers(paragraph, department()))
        out << QStringLiteral("%1+%2:%3").arg(m.start).arg(m.length).arg(m.description.ok() ? "ok" : "err");
    return out.join(u' ');
}

TEST(MarkerNames, FindingMarkersInAParagraph)
{
    EXPECT_EQ(found(QStringLiteral("Ф.И.О.: <!fld_1> <!fld_2><!fld_3>, тип <!grp_3>")),
              "8+8:ok 17+8:ok 25+8:ok 39+8:ok");
    // Letter case does not matter to the assembly's search.
    EXPECT_EQ(found(QStringLiteral("<!FLD_12> <!Shabl_1>")), "0+9:ok 10+10:ok");
    // Broken ones, whole: nine digits, no digits, another character inside,
    // a number that names nothing.
    EXPECT_EQ(found(QStringLiteral("<!fld_123456789> <!grp_> <!trt_1a> <!fld_19>")),
              "0+16:err 17+7:err 25+9:err 35+9:err");
    // Without a ">" within what the assembly reads: the prefix and the digits.
    EXPECT_EQ(found(QStringLiteral("<!fld_12 и дальше текст> <!shabl_")), "0+8:err 25+8:err");
    // The assembly reads "<!fld_<!fld_5>" as one marker (its ">" lies within
    // the 14 characters); without a ">" there the marker that follows is
    // shown on its own.
    EXPECT_EQ(found(QStringLiteral("<!fld_<!fld_5>")), "0+14:err");
    EXPECT_EQ(found(QStringLiteral("<!fld_<!fld_15>")), "0+6:err 6+9:ok");
    EXPECT_EQ(found(QStringLiteral("без меток, < ! fld_1 >")), "");
}

} // namespace
