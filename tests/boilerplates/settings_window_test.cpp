// The settings window and the creation dialog driven through their
// controls: the pages and names, a boilerplate created with odd bounds and
// cancelled, "Сохранить изменения" with letters in a bound, "Удалить
// шаблон", the kind chosen while the dialog is open, and the template type
// that is deleted only after the question.

#include "boilerplates_fixture.h"

#include "boilerplates/boilerplate_dialog.h"
#include "boilerplates/boilerplate_library.h"
#include "boilerplates/boilerplate_selection.h"
#include "boilerplates/settings_window.h"
#include "templates/template_operations.h"
#include "ui/db_controls.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"
#include "word/view/document_view.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace talvora;
using talvora::boilerplates::BoilerplateLibrary;

namespace {

class SettingsWindow : public test::BoilerplateData {
protected:
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        templateOps = std::make_unique<templates::TemplateOperations>(*dm);
        settings = std::make_unique<TForm5>(*dm);
        dialog = std::make_unique<TForm10>(*dm);
        // As the start-up code links them.
        dialog->attach(settings->library());
        settings->links.openCreationDialog = [this] { dialog->openForNewBoilerplate(); };
        settings->links.openWizard = [this] { ++wizardOpened; };
        ASSERT_TRUE(dm->Otd->locate("OID", department));
        settings->open();
    }

    void TearDown() override
    {
        dialog.reset();
        settings.reset();
    }

    const TForm5::Controls& c() const { return settings->controls(); }
    const TForm10::Controls& d() const { return dialog->controls(); }

    int addTemplateType(const QString& name)
    {
        data::Params p;
        p.set("n", name);
        dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (:n, %1)").arg(department), p);
        return lastKey("ShTID", "SHablonType");
    }

    void addTemplate(int type, const QString& name)
    {
        data::Params p;
        p.set("n", name);
        dbs.sql(QStringLiteral("insert into SHablon (ShType, ShOtd, ShName) values (%1, %2, :n)").arg(type).arg(department), p);
    }

    QStringList listed() const
    {
        QStringList names;
        const data::QueryDataset& q = *dm->Fish_q;
        for (int row = 0; q.active() && row < q.recordCount(); ++row)
            names << q.rowValue(row, q.fieldIndex("FName")).toString();
        names.sort();
        return names;
    }

    QVariant value(int fid, const QString& field)
    {
        return dbs.scalar(QStringLiteral("select %1 from Fish where FID = %2").arg(field).arg(fid));
    }

    static void type(QWidget* edit, const QString& text)
    {
        edit->setFocus();
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<templates::TemplateOperations> templateOps;
    std::unique_ptr<TForm5> settings;
    std::unique_ptr<TForm10> dialog;
    int wizardOpened = 0;
};

bool insideForeignWidget(const QWidget* w, const QWidget* top)
{
    for (const QWidget* p = w->parentWidget(); p && p != top; p = p->parentWidget())
        if (qobject_cast<const QAbstractItemView*>(p) || qobject_cast<const QTabBar*>(p) ||
            qobject_cast<const word::DocumentView*>(p))
            return true;
    return false;
}

void expectEveryControlNamed(const QWidget* window)
{
    int controls = 0;
    for (const QWidget* child : window->findChildren<QWidget*>()) {
        const bool control = qobject_cast<const QAbstractButton*>(child) || qobject_cast<const QLineEdit*>(child) ||
                             qobject_cast<const QAbstractItemView*>(child) ||
                             qobject_cast<const word::DocumentView*>(child);
        if (!control || insideForeignWidget(child, window))
            continue;
        ++controls;
        EXPECT_FALSE(child->accessibleName().isEmpty())
            << child->metaObject()->className() << " " << child->objectName().toStdString();
    }
    EXPECT_GT(controls, 10);
}

TEST_F(SettingsWindow, BothWindowsHaveTheirCaptionsAndEveryControlAName)
{
    start();
    EXPECT_EQ(settings->windowTitle(), "Настройки");
    EXPECT_EQ(settings->size(), QSize(738, 545));
    EXPECT_EQ(c().pages->currentWidget(), c().boilerplatePage);
    EXPECT_EQ(c().pages->tabText(0), "Отделение и типы документов");
    EXPECT_EQ(c().pages->tabText(1), "\"Рыбы\" для невростатуса и анамнеза");
    EXPECT_TRUE(c().kindChoices.at(0)->isChecked());
    QStringList kinds;
    for (const QRadioButton* b : c().kindChoices)
        kinds << b->text();
    EXPECT_EQ(kinds, (QStringList{"Анамнезы", "Невростатусы", "Соматич. статусы", "Рекомендации", "коментарии к лечению"}));
    EXPECT_EQ(c().wizard->toolTip(), "Мастер настройки при первом пуске");
    EXPECT_EQ(c().minLabel->buddy(), c().minAge);
    EXPECT_EQ(c().boilerplates->model()->headerData(0, Qt::Horizontal).toString(), "Название ");
    EXPECT_EQ(settings->errorReportButton()->toolTip(), "сообщить об ошибке в программе");
    expectEveryControlNamed(settings.get());

    c().wizard->click();
    EXPECT_EQ(wizardOpened, 1);

    c().create->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Создание шаблона");
    EXPECT_EQ(dialog->size(), QSize(606, 357));
    EXPECT_TRUE(d().male->isChecked());
    EXPECT_EQ(d().nameLabel->buddy(), d().name);
    expectEveryControlNamed(dialog.get());
    d().cancel->click();
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(SettingsWindow, ANewBoilerplateWithMinusThreeTakesTheWholeRangeAndTheKindChosenAtSaving)
{
    addBoilerplate(3, "соматика", 0, 900, 3, "соматика");
    start();
    c().kindChoices.at(1)->click(); // "Невростатусы"
    EXPECT_EQ(settings->library().CurrentKind(), 2);
    c().create->click();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dm->Fish_q->active());
    d().name->setText("Невростатус");
    d().minAge->setText("5");
    d().maxAge->setText("-3");
    d().female->click();
    // The kind is changed on the settings page while the dialog is open.
    c().kindChoices.at(2)->click();
    dialogs.no();
    d().save->click();
    EXPECT_EQ(dialogs.texts(), QStringList{BoilerplateLibrary::boundsQuestion()});
    EXPECT_FALSE(dialog->isVisible());
    const int fid = lastKey("FID", "Fish");
    EXPECT_EQ(value(fid, "Fname").toString(), "Невростатус");
    EXPECT_EQ(value(fid, "Fmin").toInt(), 0);
    EXPECT_EQ(value(fid, "Fmax").toInt(), 900);
    EXPECT_EQ(value(fid, "Fmale").toInt(), 2);
    EXPECT_EQ(value(fid, "FType").toInt(), 3);
    EXPECT_EQ(listed(), (QStringList{"Невростатус", "соматика"}));
    EXPECT_EQ(dm->Fish_q->field("FID").asInteger(), fid);

    // The next use keeps the sex chosen; the edits start empty.
    c().create->click();
    EXPECT_TRUE(d().female->isChecked());
    EXPECT_EQ(d().name->text(), "");
    d().minAge->setText("60");
    d().maxAge->setText("18");
    d().name->setText("пожилые");
    d().save->click();
    const int second = lastKey("FID", "Fish");
    EXPECT_EQ(value(second, "Fmin").toInt(), 18);
    EXPECT_EQ(value(second, "Fmax").toInt(), 60);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(SettingsWindow, CancelOrClosingTheDialogStoresNothingAndLeavesNoBegunRow)
{
    addBoilerplate(1, "анамнез", 0, 900, 3, "анамнез");
    start();
    const int before = count("select count(*) from Fish");
    c().create->click();
    d().name->setText("не нужен");
    d().cancel->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dm->Fish_t->state(), data::DatasetState::Browse);
    EXPECT_EQ(listed(), QStringList{"анамнез"});

    c().create->click();
    d().name->setText("тоже не нужен");
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dm->Fish_t->state(), data::DatasetState::Browse);
    EXPECT_FALSE(settings->library().creating());
    EXPECT_EQ(count("select count(*) from Fish"), before);
    EXPECT_EQ(listed(), QStringList{"анамнез"});
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(SettingsWindow, SaveKeepsABoundTypedAsLettersAndDeleteRemovesAtOnce)
{
    const int fid = addBoilerplate(1, "анамнез", 18, 44, 3, "анамнез");
    const int other = addBoilerplate(1, "второй", 0, 900, 3, "второй");
    start();
    ASSERT_TRUE(dm->Fish_q->locate("FID", fid));
    EXPECT_EQ(c().minAge->text(), "18");
    c().minAge->clear();
    type(c().minAge, "abc");
    c().maxAge->clear();
    type(c().maxAge, "70");
    c().sex->item(1)->click(); // "женский"
    c().save->click();
    EXPECT_EQ(value(fid, "Fmin").toInt(), 18);
    EXPECT_EQ(value(fid, "Fmax").toInt(), 70);
    EXPECT_EQ(value(fid, "Fmale").toInt(), 2);
    EXPECT_EQ(c().minAge->text(), "18");
    EXPECT_EQ(dm->Fish_q->field("FID").asInteger(), fid);

    c().remove->click();
    EXPECT_TRUE(dialogs.asked().isEmpty());
    EXPECT_EQ(listed(), QStringList{"второй"});
    EXPECT_EQ(dm->Fish_q->field("FID").asInteger(), other);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(SettingsWindow, MovingInTheListWithAnEditedDocumentAsksAndStoresItIntoItsOwnBoilerplate)
{
    const int a = addBoilerplate(1, "первый", 0, 900, 3, "текст первого");
    const int b = addBoilerplate(1, "второй", 0, 900, 3, "текст второго");
    start();
    ASSERT_EQ(dm->Fish_q->field("FID").asInteger(), a);
    word::DocumentView& editor = *c().editor;
    EXPECT_EQ(textOf(editor.saveToBlob()), "текст первого");
    c().activateWord->click();
    ASSERT_TRUE(editor.isActive());
    editor.automation().selection().setStart(0);
    editor.automation().selection().setEnd(0);
    editor.automation().selection().typeText("Правка. ");
    c().deactivateWord->click();

    dialogs.yes();
    c().boilerplates->setCurrentIndex(c().boilerplates->model()->index(1, 0));
    EXPECT_EQ(dm->Fish_q->field("FID").asInteger(), b);
    EXPECT_EQ(dialogs.texts(), QStringList{BoilerplateLibrary::saveChangesQuestion("первый")});
    EXPECT_EQ(textOf(value(a, "Fres").toByteArray()), "Правка. текст первого");
    EXPECT_EQ(value(a, "Fmem").toString(), "Правка. текст первого");
    EXPECT_EQ(textOf(value(b, "Fres").toByteArray()), "текст второго");
    EXPECT_EQ(textOf(editor.saveToBlob()), "текст второго");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(SettingsWindow, ShowingTheWindowListsTheChosenKindAgain)
{
    addBoilerplate(1, "анамнез", 0, 900, 3, "анамнез");
    addBoilerplate(2, "невростатус пожилых", 60, 900, 3, "невростатус");
    addBoilerplate(2, "невростатус молодых", 18, 59, 3, "невростатус");
    start();
    c().kindChoices.at(1)->click();
    settings->hide();
    // The patient texts select for a patient meanwhile.
    boilerplates::SelectBoilerplates(*dm, 2, 70, 1);
    EXPECT_EQ(listed(), QStringList{"невростатус пожилых"});
    settings->open();
    EXPECT_EQ(listed(), (QStringList{"невростатус молодых", "невростатус пожилых"}));
    EXPECT_TRUE(c().kindChoices.at(1)->isChecked());
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(SettingsWindow, DeletingATemplateTypeAsksFirst)
{
    const int type = addTemplateType("Консультации");
    addTemplate(type, "Осмотр офтальмолога");
    start();
    c().pages->setCurrentWidget(c().departmentPage);
    ASSERT_TRUE(dm->ShType->locate("ShTID", type));
    dialogs.no();
    c().templateTypeNavigator->button(ui::DBNavigator::Delete)->click();
    EXPECT_EQ(dialogs.texts(), QStringList{templates::TemplateOperations::deleteTypeQuestion()});
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablonType where ShTID = %1").arg(type)), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon where ShType = %1").arg(type)), 1);

    dialogs.yes();
    c().templateTypeNavigator->button(ui::DBNavigator::Delete)->click();
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablonType where ShTID = %1").arg(type)), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon where ShType = %1").arg(type)), 0);
    EXPECT_EQ(dialogs.problems(), "");
}

} // namespace
