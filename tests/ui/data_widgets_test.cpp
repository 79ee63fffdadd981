#include "data/query_dataset.h"
#include "data/table_dataset.h"
#include "temp_databases.h"
#include "ui/db_controls.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"
#include "ui/scripted_dialogs.h"

#include <QHeaderView>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::data;
using namespace talvora::ui;

namespace {

class Widgets : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"Неврология", "Кардиология", "Хирургия"})
            dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ\", \"%1\")").arg(QString::fromUtf8(name)));
        otd = std::make_unique<TableDataset>(QStringLiteral("Otd"), dbs.ppp(), QStringLiteral("Otdelen.DB"));
        otd->open();
    }

    test::TempDatabases dbs;
    std::unique_ptr<TableDataset> otd;
};

} // namespace

TEST_F(Widgets, GridKeepsItsRowInStepAndTellsClicksFromKeys)
{
    DBGrid grid;
    grid.bind(otd.get(), {{QStringLiteral("Oboln"), QStringLiteral("Больница")}, {QStringLiteral("Ootd"), QStringLiteral("Отделение")}});
    grid.resize(400, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    EXPECT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Отделение"));
    EXPECT_EQ(grid.model()->index(1, 1).data().toString(), QStringLiteral("Кардиология"));

    otd->moveTo(2);
    EXPECT_EQ(grid.currentIndex().row(), 2);

    QSignalSpy clicks(&grid, &DBGrid::cellClicked);
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(otd->recNo(), 1);
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.model()->index(0, 0)).center());
    EXPECT_EQ(otd->recNo(), 0);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.first().at(0).toInt(), 0);

    QSignalSpy titles(&grid, &DBGrid::titleClicked);
    QTest::mouseClick(grid.horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid.horizontalHeader()->sectionViewportPosition(1) + 5, 5));
    ASSERT_EQ(titles.count(), 1);
    EXPECT_EQ(titles.first().at(1).toString(), QStringLiteral("Ootd"));

    // The row being inserted shows as a row of its own.
    otd->append();
    EXPECT_EQ(grid.model()->rowCount(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 3);
    otd->cancel();
    EXPECT_EQ(grid.model()->rowCount(), 3);
}

TEST_F(Widgets, EditShowsTheRowAndWritesWhatTheUserTyped)
{
    DBEdit edit;
    edit.bind(otd.get(), QStringLiteral("Ootd"));
    edit.show();
    EXPECT_EQ(edit.text(), QStringLiteral("Неврология"));
    otd->next();
    EXPECT_EQ(edit.text(), QStringLiteral("Кардиология"));
    EXPECT_EQ(otd->state(), DatasetState::Browse); // showing a row is not a change

    edit.setFocus();
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("Terapia"));
    EXPECT_EQ(otd->state(), DatasetState::Edit);
    otd->post(); // what was typed goes in even without leaving the control
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Ootd from Otdelen where OID = 2")).toString(), QStringLiteral("Terapia"));

    // A value the field cannot take is refused when it is written.
    DBEdit number;
    number.bind(otd.get(), QStringLiteral("OID"));
    EXPECT_EQ(number.text(), QStringLiteral("2"));
}

TEST_F(Widgets, MemoRadioGroupAndCheckBoxWriteTheirFields)
{
    dbs.sql(QStringLiteral("insert into pacient (Pname, Potd, PdP, Pmale, PdiaS, PdiaK) values (\"А\", 1, \"01.01.2020\", 1, 0, \"строка\")"));
    QueryDataset pac(QStringLiteral("Pac_q"), dbs.ppp(), QueryDataset::Mode::Cached);
    pac.setSqlText(QStringLiteral("select PID, Pmale, PdiaS, PdiaK from pacient"));
    pac.open();

    DBMemo memo;
    memo.bind(&pac, QStringLiteral("PdiaK"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("строка"));
    EXPECT_EQ(pac.state(), DatasetState::Browse);
    memo.setPlainText(QStringLiteral("первая\nвторая"));
    EXPECT_EQ(pac.state(), DatasetState::Edit);
    pac.post();
    EXPECT_EQ(pac.field(QStringLiteral("PdiaK")).asString(), QStringLiteral("первая\r\nвторая"));

    DBRadioGroup sex(QStringLiteral("Пол"));
    sex.setItems({{QStringLiteral("мужской "), 1}, {QStringLiteral("женский"), 2}});
    sex.bind(&pac, QStringLiteral("Pmale"));
    EXPECT_EQ(sex.selectedIndex(), 0);
    sex.item(1)->click();
    EXPECT_EQ(pac.field(QStringLiteral("Pmale")).asInteger(), 2);

    DBCheckBox check(QStringLiteral("флаг"));
    check.bind(&pac, QStringLiteral("PdiaS"));
    EXPECT_FALSE(check.isChecked());
    check.click();
    EXPECT_TRUE(pac.field(QStringLiteral("PdiaS")).asBoolean());
    pac.cancel();
    EXPECT_EQ(sex.selectedIndex(), 0);
    EXPECT_FALSE(check.isChecked());
}

TEST_F(Widgets, NavigatorEnablesItsButtonsByStateAndAsksBeforeDeleting)
{
    ScriptedDialogs dialogs;
    DBNavigator nav;
    nav.bind(otd.get());
    EXPECT_FALSE(nav.button(DBNavigator::First)->isEnabled());
    EXPECT_TRUE(nav.button(DBNavigator::Next)->isEnabled());
    EXPECT_FALSE(nav.button(DBNavigator::Post)->isEnabled());
    nav.press(DBNavigator::Last);
    EXPECT_FALSE(nav.button(DBNavigator::Next)->isEnabled());
    nav.press(DBNavigator::Insert);
    EXPECT_TRUE(nav.button(DBNavigator::Post)->isEnabled());
    EXPECT_FALSE(nav.button(DBNavigator::Insert)->isEnabled());
    nav.press(DBNavigator::Cancel);

    nav.setConfirmDelete(true);
    dialogs.no();
    nav.press(DBNavigator::Delete);
    EXPECT_EQ(otd->recordCount(), 3);
    dialogs.yes();
    nav.press(DBNavigator::Delete);
    EXPECT_EQ(otd->recordCount(), 2);
    EXPECT_EQ(dialogs.asked().size(), 2);

    DBNavigator some;
    some.bind(otd.get(), DBNavigator::Prior | DBNavigator::Next);
    EXPECT_TRUE(some.button(DBNavigator::Insert)->isHidden());
}
