// The marker panel: what it lists from its catalog, and the marker a double
// click or Enter asks to insert.

#include "assembly_fixture.h"
#include "templates/marker_panel.h"

#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

using namespace talvora::templates;

namespace {

struct PanelTest : ::testing::Test {
    MarkerCatalog catalog{
        {{3, QStringLiteral("Лабораторные исследования")}, {7, QStringLiteral("Консультации")}},
        {{1, QStringLiteral("Шапка выписки")}, {9, QStringLiteral("Шапка")}, {14, QStringLiteral("Шапка")}},
    };
    int reads = 0;
    MarkerPanel panel{[this] {
        ++reads;
        return catalog;
    }};

    void SetUp() override { panel.reload(); }

    QStringList rows(const QString& caption) const
    {
        QStringList out;
        for (int g = 0; g < panel.list()->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* group = panel.list()->topLevelItem(g);
            if (group->text(0) != caption)
                continue;
            for (int i = 0; i < group->childCount(); ++i)
                out << group->child(i)->text(0);
        }
        return out;
    }

    // Shows the panel with the row of `marker` in view.
    QPoint pointOf(const QString& marker)
    {
        panel.resize(400, 900);
        panel.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
        QTreeWidgetItem* item = panel.itemOf(marker);
        EXPECT_NE(item, nullptr);
        panel.list()->scrollToItem(item);
        return panel.list()->visualItemRect(item).center();
    }
};

TEST_F(PanelTest, ListsEveryMarkerWithItsNameInGroups)
{
    EXPECT_EQ(reads, 1);
    MarkerPanel unread{[this] { return catalog; }};
    EXPECT_NE(unread.itemOf(QStringLiteral("<!fld_32>")), nullptr);
    EXPECT_NE(unread.itemOf(QStringLiteral("<!trt_1>")), nullptr);
    EXPECT_EQ(unread.itemOf(QStringLiteral("<!grp_3>")), nullptr);
    ASSERT_EQ(panel.list()->topLevelItemCount(), 4);
    const QStringList fields = rows(MarkerPanel::fieldsCaption());
    ASSERT_EQ(fields.size(), qsizetype(fieldTable().size()));
    EXPECT_EQ(fields.front(), "<!fld_1> — Фамилия");
    EXPECT_TRUE(fields.contains(QStringLiteral("<!fld_12> — Клинический диагноз")));
    EXPECT_TRUE(fields.contains(QStringLiteral("<!fld_10> — Возраст на день поступления")));
    EXPECT_EQ(rows(MarkerPanel::groupsCaption()),
              (QStringList{"<!grp_3> — Лабораторные исследования", "<!grp_7> — Консультации"}));
    EXPECT_EQ(rows(MarkerPanel::treatmentCaption()),
              (QStringList{"<!trt_1> — Лечение — одной строкой", "<!trt_2> — Лечение — в столбик"}));
    // Templates of one name stay apart by their keys.
    EXPECT_EQ(rows(MarkerPanel::templatesCaption()),
              (QStringList{"<!shabl_1> — Шапка выписки", "<!shabl_9> — Шапка", "<!shabl_14> — Шапка"}));

    EXPECT_FALSE(panel.list()->accessibleName().isEmpty());
    for (int g = 0; g < panel.list()->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = panel.list()->topLevelItem(g);
        EXPECT_EQ(group->data(0, Qt::AccessibleTextRole).toString(), group->text(0));
        for (int i = 0; i < group->childCount(); ++i)
            EXPECT_EQ(group->child(i)->data(0, Qt::AccessibleTextRole).toString(), group->child(i)->text(0));
    }
}

TEST_F(PanelTest, DoubleClickAndEnterAskForTheMarkerOfTheRow)
{
    QSignalSpy spy(&panel, &MarkerPanel::insertRequested);
    const auto doubleClick = [&](const QString& marker) {
        const QPoint at = pointOf(marker);
        QTest::mouseClick(panel.list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(panel.list()->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(QStringLiteral("<!fld_12>"));
    doubleClick(QStringLiteral("<!shabl_14>"));
    // A single click only selects.
    QTest::mouseClick(panel.list()->viewport(), Qt::LeftButton, {}, pointOf(QStringLiteral("<!grp_7>")));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), "<!fld_12>");
    EXPECT_EQ(spy.at(1).at(0).toString(), "<!shabl_14>");

    panel.list()->setFocus();
    panel.list()->setCurrentItem(panel.itemOf(QStringLiteral("<!trt_2>")));
    QTest::keyClick(panel.list(), Qt::Key_Return);
    QTest::keyClick(panel.list(), Qt::Key_Down); // the row of the templates' group
    QTest::keyClick(panel.list(), Qt::Key_Down);
    QTest::keyClick(panel.list(), Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(spy.count(), 4);
    EXPECT_EQ(spy.at(2).at(0).toString(), "<!trt_2>");
    EXPECT_EQ(spy.at(3).at(0).toString(), "<!shabl_1>");

    // A group's row asks for nothing.
    panel.list()->setCurrentItem(panel.list()->topLevelItem(0));
    QTest::keyClick(panel.list(), Qt::Key_Return);
    EXPECT_EQ(spy.count(), 4);
}

TEST_F(PanelTest, ReloadFollowsTheCatalogAndKeepsTheCurrentMarker)
{
    panel.list()->setCurrentItem(panel.itemOf(QStringLiteral("<!grp_7>")));
    catalog.templateTypes.erase(catalog.templateTypes.begin()); // type 3 deleted
    catalog.templates.push_back({20, QStringLiteral("Консультация кардиолога")});
    panel.reload();
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(panel.itemOf(QStringLiteral("<!grp_3>")), nullptr);
    ASSERT_NE(panel.itemOf(QStringLiteral("<!shabl_20>")), nullptr);
    EXPECT_EQ(panel.list()->currentItem(), panel.itemOf(QStringLiteral("<!grp_7>")));

    // A source that fails leaves the error to the caller's handler and the
    // list as it was.
    MarkerPanel failing{[]() -> MarkerCatalog { throw std::runtime_error("нет базы"); }};
    EXPECT_THROW(failing.reload(), std::runtime_error);
    EXPECT_NE(failing.itemOf(QStringLiteral("<!fld_1>")), nullptr);
}

using MarkerCatalogData = talvora::test::AssemblyData;

QStringList keysAndNames(const std::vector<NamedKey>& rows)
{
    QStringList out;
    for (const NamedKey& r : rows)
        out << QString::number(r.key) + u' ' + r.name;
    return out;
}

TEST_F(MarkerCatalogData, TheCurrentDepartmentsTypesAndTemplatesReadWithoutMovingAnyList)
{
    const int lab = addType(1, QStringLiteral("Лабораторные"));
    const int cardio = addType(2, QStringLiteral("Кардиология: ЭКГ"));
    const int consult = addType(1, QStringLiteral("Консультации \"узких\" специалистов"));
    const int heading = addTemplate(1, lab, QStringLiteral("Шапка"), {});
    const int other = addTemplate(2, cardio, QStringLiteral("ЭКГ"), {});
    const int same = addTemplate(1, consult, QStringLiteral("Шапка"), {});
    start();
    dm->ShType->open();
    ASSERT_TRUE(dm->ShType->locate(QStringLiteral("ShTID"), consult));

    const MarkerCatalog mine = readMarkerCatalog(*dm);
    EXPECT_EQ(keysAndNames(mine.templateTypes),
              (QStringList{QStringLiteral("%1 Лабораторные").arg(lab),
                           QStringLiteral("%1 Консультации \"узких\" специалистов").arg(consult)}));
    EXPECT_EQ(keysAndNames(mine.templates),
              (QStringList{QStringLiteral("%1 Шапка").arg(heading), QStringLiteral("%1 Шапка").arg(same)}));
    EXPECT_EQ(readMarkerCatalog(*dm, true).templates.size(), 3u);
    EXPECT_NE(readMarkerCatalog(*dm, true).findTemplate(other), nullptr);
    EXPECT_EQ(dm->ShType->field(QStringLiteral("ShTID")).asInteger(), consult);

    // A type deleted since: its group marker is broken from the next reading on.
    sql("delete from SHablonType where ShTID = :t", {{"t", lab}});
    const MarkerCatalog now = readMarkerCatalog(*dm);
    EXPECT_FALSE(describeMarker(MarkerKind::Group, lab, now).ok());
    EXPECT_TRUE(describeMarker(MarkerKind::Group, consult, now).ok());
    EXPECT_FALSE(describeMarker(MarkerKind::Group, cardio, now).ok()); // another department's
}

} // namespace
