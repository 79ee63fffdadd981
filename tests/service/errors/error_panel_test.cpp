// The error list on the start window, driven through its controls.

#include "app/start_window.h"
#include "app/workstation.h"
#include "data/data_module.h"
#include "errors_fixture.h"
#include "ftp_server.h"
#include "service/error_list_panel.h"
#include "ui/db_controls.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

using namespace talvora;
using namespace talvora::test;
using service::ErrorListPanel;

namespace {

class ErrorListWindow : public ErrorDatabases {
protected:
    void SetUp() override
    {
        ErrorDatabases::SetUp();
        addStandardReports();
        ws = std::make_unique<Workstation>(dbs.aliases());
        ws->form1->show();
        ws->form1->errorListButton()->click();
        panel = ws->form1->errorListArea()->findChild<ErrorListPanel*>();
        ASSERT_NE(panel, nullptr);
        panel->errorList().setWorkingDirectory(work.path());
        panel->errorList().setArchiver(archiver.function());
    }
    void TearDown() override
    {
        ws.reset();
        ErrorDatabases::TearDown();
    }
    const ErrorListPanel::Controls& c() const { return panel->controls(); }
    QStringList shown() { return sorted(column(*ws->dm->Err_q)); }

    QTemporaryDir work;
    RecordingArchiver archiver;
    std::unique_ptr<Workstation> ws;
    ErrorListPanel* panel = nullptr;
};

} // namespace

TEST_F(ErrorListWindow, TheListItsControlsAndTheirNames)
{
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(c().header->text(), QStringLiteral("Сообщения об ошибках "));
    EXPECT_EQ(c().showFilters->text(), QStringLiteral("показать фильтры"));
    EXPECT_EQ(c().send->toolTip(), QStringLiteral("Отправить сообщения об ошибках автору программы"));
    EXPECT_EQ(c().applyFilter->toolTip(), QStringLiteral("Включить !"));
    EXPECT_EQ(c().conjunction->title(), QStringLiteral("Условие пересечния"));
    EXPECT_TRUE(c().andChoice->isChecked());
    EXPECT_EQ(c().orChoice->text(), QStringLiteral("ИЛИ"));
    EXPECT_FALSE(c().filterBand->isVisible());
    EXPECT_EQ(c().navigator->dataset(), ws->dm->Err_q.get());
    for (auto b : {ui::DBNavigator::First, ui::DBNavigator::Prior, ui::DBNavigator::Next, ui::DBNavigator::Last,
                   ui::DBNavigator::Insert, ui::DBNavigator::Delete, ui::DBNavigator::Edit, ui::DBNavigator::Post,
                   ui::DBNavigator::Cancel, ui::DBNavigator::Refresh})
        EXPECT_FALSE(c().navigator->button(b)->isHidden());

    QStringList titles;
    for (int i = 0; i < c().grid->model()->columnCount(); ++i)
        titles << c().grid->model()->headerData(i, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{"Форма", "Статус", "Название", "Дата", "номер диска"}));
    EXPECT_EQ(c().grid->model()->rowCount(), 4);

    // Every control can be found by name; captions lead to their fields.
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractItemView*>(w->parentWidget()) ||
            (w->parentWidget() && qobject_cast<QAbstractItemView*>(w->parentWidget()->parentWidget())))
            continue; // the grid's own parts
        if (qobject_cast<QToolButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
            qobject_cast<ui::DBGrid*>(w) || qobject_cast<ui::DBMemo*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }
    for (QLabel* l : c().filterBand->findChildren<QLabel*>()) {
        if (l != c().message) {
            EXPECT_NE(l->buddy(), nullptr) << l->text().toStdString();
        }
    }
    EXPECT_EQ(c().form->accessibleName(), QStringLiteral("Форма:"));
    EXPECT_EQ(c().status->accessibleName(), QStringLiteral("Статус"));

    // The description follows the current row.
    ASSERT_TRUE(ws->dm->Err_q->locate(QStringLiteral("ErrName"), QStringLiteral("c")));
    EXPECT_EQ(c().description->toPlainText(), QStringLiteral("описание"));
}

TEST_F(ErrorListWindow, FilteringThroughTheBand)
{
    c().showFilters->click();
    EXPECT_TRUE(c().filterBand->isVisible());
    c().form->setText(QStringLiteral("3"));
    c().status->setText(QStringLiteral("2"));
    c().applyFilter->click();
    EXPECT_EQ(shown(), (QStringList{"b"}));
    EXPECT_EQ(c().grid->model()->rowCount(), 1);

    c().orChoice->click();
    c().applyFilter->click();
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "d"}));

    c().status->setText(QStringLiteral("два"));
    c().applyFilter->click();
    EXPECT_EQ(c().message->text(), QStringLiteral("Ошибка в поле статус"));
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "d"}));

    // Too large a number: the general error box, the list unchanged.
    c().status->setText(QStringLiteral("99999999999"));
    c().applyFilter->click();
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "d"}));

    // A good filter clears the message.
    c().status->setText(QStringLiteral("3"));
    c().form->clear();
    c().applyFilter->click();
    EXPECT_EQ(c().message->text(), QString());
    EXPECT_EQ(shown(), (QStringList{"d", "e"}));

    c().showFilters->click();
    EXPECT_FALSE(c().filterBand->isVisible());
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "f"}));
}

TEST_F(ErrorListWindow, ATitleClickSortsAndCellsAreEditedInPlace)
{
    emit c().grid->horizontalHeader()->sectionClicked(0); // "Форма"
    EXPECT_EQ(column(*ws->dm->Err_q, "ErrForm"), (QStringList{"2", "3", "3", "4"}));
    emit c().grid->horizontalHeader()->sectionClicked(2); // "Название"
    EXPECT_EQ(column(*ws->dm->Err_q), (QStringList{"a", "b", "c", "f"}));

    // Status 3 typed into the grid: stored, and gone at the next reading.
    QAbstractItemModel* model = c().grid->model();
    ASSERT_TRUE(model->flags(model->index(1, 1)) & Qt::ItemIsEditable);
    ASSERT_TRUE(model->setData(model->index(1, 1), 3));
    ws->dm->Err_q->post();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrStatus from Errors where ErrName = \"b\"")).toInt(), 3);
    emit c().grid->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(column(*ws->dm->Err_q), (QStringList{"a", "c", "f"}));
}

TEST_F(ErrorListWindow, AFailedUploadKeepsTheProgramRunning)
{
    bool closed = false;
    const auto previous = ws->form1->closed;
    ws->form1->closed = [&] { closed = true; };
    service::FtpErrorReportUploader::Settings down;
    down.host = QStringLiteral("127.0.0.1");
    down.port = LocalFtpServer::unusedPort();
    panel->errorList().setUploader(std::make_unique<service::FtpErrorReportUploader>(down));

    c().send->click();

    ASSERT_EQ(dialogs.asked().size(), 1) << dialogs.texts().join(u'\n').toStdString();
    const QString name = service::ErrorArchiveName(QDate::currentDate(), QStringLiteral("WD-42"));
    EXPECT_EQ(dialogs.asked()[0].text, service::uploadFailureMessage(QStringLiteral("127.0.0.1"), name));
    EXPECT_FALSE(closed);
    EXPECT_TRUE(ws->form1->isVisible());
    EXPECT_TRUE(panel->isVisible());
    // The list is empty and usable: a new report can be added through it.
    EXPECT_EQ(c().grid->model()->rowCount(), 0);
    EXPECT_EQ(collected().size(), 6);
    c().navigator->press(ui::DBNavigator::Insert);
    ws->dm->Err_q->field(QStringLiteral("ErrName")).setValue(QStringLiteral("новое"));
    c().navigator->press(ui::DBNavigator::Post);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrStatus from Errors where ErrName = \"новое\"")).toInt(), 1);
    ws->form1->closed = previous;
}
