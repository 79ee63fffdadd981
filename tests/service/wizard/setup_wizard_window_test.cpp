// The wizard window in the workstation: its two pages, opened from the
// settings window, creating and importing through its buttons.

#include "wizard_fixture.h"

#include "app/workstation.h"
#include "boilerplates/settings_window.h"
#include "service/setup_wizard.h"
#include "ui/db_grid.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>

namespace talvora::test {
namespace {

class WizardWindow : public StarterDatabase {
protected:
    WizardWindow()
    {
        ws = std::make_unique<Workstation>(dbs.aliases());
        ws->form5->open();
        ws->form5->controls().wizard->click();
        w = ws->form11.get();
    }

    const TForm11::Controls& c() const { return w->controls(); }

    QLabel* label(const QString& text) const
    {
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->text() == text)
                return l;
        return nullptr;
    }

    std::unique_ptr<Workstation> ws;
    TForm11* w = nullptr;
};

TEST_F(WizardWindow, NamingPageFirstWithTheProposedNamesAndEveryControlNamed)
{
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Мастер первичной настройки");
    EXPECT_EQ(c().pages->currentWidget(), c().namingPage);
    EXPECT_EQ(c().hospital->text(), "ГКБ №");
    EXPECT_EQ(c().department->text(), "Отделение ");
    QStringList types, results;
    for (QLineEdit* e : c().documentTypes)
        types << e->text();
    for (QLineEdit* e : c().resultTypes)
        results << e->text();
    EXPECT_EQ(types, (QStringList{"Осмотр по дежурству", "Этапный эпикриз", "Совместный осмотр", "Выписки"}));
    EXPECT_EQ(results, (QStringList{"Лабораторные", "Инструментальные", "Выписки"}));

    // Captions tie to what they name.
    const std::pair<const char*, QWidget*> buddies[] = {
        {"Название больницы и отделения", c().hospital},
        {"Типы шаблонов служебных документов", c().documentTypes.front()},
        {"Типы результирующих документов", c().resultTypes.front()},
        {"Создать  рабочее место", c().create},
        {"Выберите источник импорта", c().sources},
    };
    for (const auto& [text, buddy] : buddies) {
        QLabel* l = label(QString::fromUtf8(text));
        ASSERT_TRUE(l) << text;
        EXPECT_EQ(l->buddy(), buddy) << text;
    }
    EXPECT_EQ(c().create->text(), "Создать  !");
    EXPECT_EQ(c().startImport->text(), "Начать импорт!");
    EXPECT_TRUE(label("Импорт настроек") && label("Импорт настроек")->font().bold());
    EXPECT_TRUE(label("Импортировать в "));
    EXPECT_TRUE(c().target->font().bold());
    EXPECT_EQ(c().sources->model()->headerData(0, Qt::Horizontal).toString(), "Больница");
    EXPECT_EQ(c().sources->model()->headerData(1, Qt::Horizontal).toString(), "Отделение");
    EXPECT_FALSE(c().progressPanel->isVisibleTo(w));

    for (QWidget* child : w->findChildren<QWidget*>()) {
        if (!child->inherits("QLineEdit") && !child->inherits("QAbstractButton") && !child->inherits("QAbstractItemView") &&
            !child->inherits("QProgressBar"))
            continue;
        if (child->parentWidget() && child->parentWidget()->inherits("QAbstractItemView"))
            continue; // the grid's own parts
        EXPECT_FALSE(child->accessibleName().isEmpty())
            << child->metaObject()->className() << " " << child->objectName().toStdString();
    }
}

TEST_F(WizardWindow, CreateThenImportFromTheChosenDepartmentAndBackToTheNamingPage)
{
    c().hospital->setText("ГКБ №7");
    c().department->setText("Неврология-2");
    c().documentTypes[1]->setText("Переводной эпикриз");
    c().resultTypes[0]->setText("не сохраняется");
    dialogs.yes();
    c().create->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(c().pages->currentWidget(), c().importPage);
    EXPECT_EQ(c().target->text(), "ГКБ №7 Неврология-2");
    const qint64 target = w->wizard().newDepartmentKey();
    EXPECT_EQ(rows(QStringLiteral("select VTName from VipisType where VTOtd = %1 order by VTid").arg(target)),
              (QList<QVariantList>{{"Осмотр по дежурству"}, {"Переводной эпикриз"}, {"Совместный осмотр"}, {"Выписки"}}));
    EXPECT_EQ(count("select count(*) from VipisType where VTName = \"не сохраняется\""), 0);

    // The grid's current row is the department cursor.
    ASSERT_TRUE(ws->dm->Otd->locate(QStringLiteral("OID"), target));
    EXPECT_EQ(c().sources->currentIndex().row(), ws->dm->Otd->recNo());
    ASSERT_TRUE(ws->dm->Otd->locate(QStringLiteral("OID"), starter));
    c().startImport->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(holdings(target), (Holdings{21, 4, 9}));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(c().pages->currentWidget(), c().namingPage);
    EXPECT_FALSE(c().progressPanel->isVisibleTo(w));
    EXPECT_EQ(c().copying->text(), "Исправляются метки в Шаблонах");
    EXPECT_EQ(c().percent->text(), "100");
    EXPECT_EQ(c().progressBar->value(), 9);
    // The names typed stay for the next opening.
    ws->form5->controls().wizard->click();
    EXPECT_EQ(c().department->text(), "Неврология-2");
}

TEST_F(WizardWindow, CancelOpensTheBoilerplatePageOfTheSettingsAndClosesTheWizard)
{
    ws->form5->controls().pages->setCurrentWidget(ws->form5->controls().departmentPage);
    dialogs.cancel();
    c().create->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(ws->form5->isVisible());
    EXPECT_EQ(ws->form5->controls().pages->currentWidget(), ws->form5->controls().boilerplatePage);
    EXPECT_EQ(c().pages->currentWidget(), c().namingPage);
    EXPECT_EQ(count("select count(*) from Otdelen"), 2);
}

TEST_F(WizardWindow, ThePageInFrontStaysBetweenOpeningsAndAFailedImportKeepsIt)
{
    dialogs.yes();
    c().create->click();
    w->close();
    ws->form5->controls().wizard->click();
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(c().pages->currentWidget(), c().importPage);

    dbs.ppp().connection().exec(QStringLiteral(
        "create trigger refuse_types before insert on SHablonType begin select raise(abort, 'типы не приняты'); end"));
    ASSERT_TRUE(ws->dm->Otd->locate(QStringLiteral("OID"), starter));
    c().startImport->click();
    ASSERT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.asked().at(1).kind, DialogKind::Error);
    EXPECT_TRUE(dialogs.asked().at(1).text.contains("типы не приняты"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(c().pages->currentWidget(), c().importPage);
    EXPECT_FALSE(c().progressPanel->isVisibleTo(w));
    EXPECT_EQ(holdings(w->wizard().newDepartmentKey()), Holdings{});
}

} // namespace
} // namespace talvora::test
