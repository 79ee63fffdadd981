// The template designer in the workstation: markers put in by right-clicks
// on the patient and treatment windows and from the marker panel, templates
// shown, stored, deleted and test-assembled by their keys, and what bad
// input leaves behind.

#include "app/workstation.h"
#include "assembly_fixture.h"
#include "patient/patient_window.h"
#include "templates/designer_window.h"
#include "templates/marker_highlighter.h"
#include "templates/marker_panel.h"
#include "templates/template_designer.h"
#include "treatment/equal_doses_calculator.h"
#include "treatment/investigations_page.h"
#include "treatment/treatment_page.h"
#include "treatment/treatment_window.h"
#include "ui/db_grid.h"
#include "word/view/layout_formats.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace talvora;
using talvora::test::blobOf;
using templates::TemplateDesigner;

namespace {

class Designer : public test::AssemblyData {
protected:
    Designer()
    {
        laboratory = addType(1, QStringLiteral("Лабораторные исследования"));
        consultations = addType(1, QStringLiteral("Консультации"));
        // Names that begin one another: the list's row names its template by key.
        longName = addTemplate(1, consultations, QStringLiteral("Шапка выписки"), blobOf({QStringLiteral("ГКБ №1, неврология")}));
        shortName = addTemplate(1, consultations, QStringLiteral("Шапка"), blobOf({QStringLiteral("Ф.И.О.: *<!fld_1>* <!fld_2>")}));
        patient = addPatient();
    }

    void start()
    {
        ws = std::make_unique<Workstation>(dbs.aliases());
        ws->openPatientWindow();
        d = ws->form2.get();
        d->open();
    }

    const TForm2::Controls& c() const { return d->controls(); }
    TemplateDesigner& designer() const { return *d->designer(); }
    word::DocumentView& view() const { return *c().view; }

    // The designer's document, one paragraph a line, without the last line end.
    QString text() const { return word::plainText(word::documentFromBlob(view().saveToBlob())).chopped(1); }

    static void click(ui::DBGrid* grid, const QString& field, const QVariant& value)
    {
        ASSERT_TRUE(grid->dataset()->locate(field, value)) << value.toString().toStdString();
        emit grid->cellClicked(grid->dataset()->recNo(), 0);
    }

    void chooseTemplate(qint64 key)
    {
        click(c().templateTypes, QStringLiteral("ShTName"), QStringLiteral("Консультации"));
        click(c().templates, QStringLiteral("ShId"), key);
    }

    QVariant stored(const QString& statement) { return dbs.scalar(statement); }
    int templateCount() { return stored(QStringLiteral("select count(*) from SHablon")).toInt(); }
    QStringList errors() const
    {
        QStringList out;
        for (const AskedDialog& a : dialogs.asked())
            if (a.kind == DialogKind::Error)
                out << a.text;
        return out;
    }

    int laboratory = 0, consultations = 0, longName = 0, shortName = 0, patient = 0;
    std::unique_ptr<Workstation> ws;
    TForm2* d = nullptr;
};

void rightClick(QWidget* w)
{
    QTest::mouseClick(w, Qt::RightButton, {}, QPoint(3, 3));
}

QWidget* textArea(QPlainTextEdit* memo)
{
    return memo->viewport();
}

// ---------------------------------------------------------------- insertion sources

TEST_F(Designer, EveryRightClickSourceInsertsItsFieldTableMarkerOneAfterAnother)
{
    start();
    c().insertionMode->setChecked(true);
    ASSERT_TRUE(programSwitches().MarkerInsertion);
    const auto& p = ws->form3->controls();
    const std::vector<std::pair<QWidget*, int>> sources{
        {p.surname, 1},        {p.firstName, 2},         {p.patronymic, 3},
        {p.profession, 4},     {p.birthDay, 5},          {p.birthYear, 5},
        {p.admissionMonth, 6}, {p.dischargeYear, 7},     {p.history, 8},
        {p.ward, 9},           {p.age, 10},              {p.stay, 11},
        {textArea(p.diagnosisClinical), 12}, {textArea(p.diagnosisConcomitant), 13},
        {textArea(p.complaints), 14},        {textArea(p.anamnesis), 15},
        {textArea(p.somaticStatus), 16},     {textArea(p.neuroStatus), 17},
        {p.weight, 18},        {p.editAnamnesis, 15},    {p.filterMonth, 7},
        {p.anamnesisCaption, 15},
    };
    QString expected;
    for (const auto& [widget, number] : sources) {
        rightClick(widget);
        expected += QStringLiteral("<!fld_%1>").arg(number);
        ASSERT_EQ(text(), expected) << "after the source of field " << number;
    }

    // The investigations and treatment window.
    ws->form3->links.openTreatment();
    const auto& inv = ws->form6->controls().investigations->controls();
    ws->form6->controls().pages->setCurrentWidget(ws->form6->controls().investigations);
    click(inv.typeList, QStringLiteral("ShTName"), QStringLiteral("Лабораторные исследования"));
    rightClick(inv.typeList->viewport());
    inv.filterOff->click();
    rightClick(inv.investigationList->viewport());
    const auto& page = ws->form6->controls().treatment->controls();
    ws->form6->controls().pages->setCurrentWidget(ws->form6->controls().treatment);
    dialogs.yes().no();
    rightClick(page.scheme->viewport());
    rightClick(page.calculator);
    page.recommendationsChoice->click();
    rightClick(page.recommendations->viewport());
    page.courseChoice->click();
    rightClick(page.course->viewport());
    expected += QStringLiteral("<!grp_%1><!fld_29><!trt_1><!trt_2><!fld_31><!fld_32>").arg(laboratory);
    EXPECT_EQ(text(), expected);
    EXPECT_EQ(dialogs.texts(), (QStringList{TemplateDesigner::treatmentQuestion(), TemplateDesigner::treatmentQuestion()}));

    // The left button never inserts; with the mode off no button does, and
    // the control behaves as usual.
    QTest::mouseClick(p.surname, Qt::LeftButton);
    QTest::mouseClick(textArea(p.complaints), Qt::LeftButton);
    c().insertionMode->setChecked(false);
    rightClick(p.surname);
    rightClick(inv.typeList->viewport());
    rightClick(page.course->viewport());
    EXPECT_EQ(text(), expected);
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_TRUE(errors().isEmpty()) << errors().join(u'\n').toStdString();
}

TEST_F(Designer, ThePanelInsertsTheSameMarkersWithTheModeOnOrOff)
{
    start();
    QTreeWidget* list = c().markerPanel->list();
    const auto enter = [&](const QString& marker) {
        QTreeWidgetItem* item = c().markerPanel->itemOf(marker);
        ASSERT_NE(item, nullptr) << marker.toStdString();
        list->setCurrentItem(item);
        QTest::keyClick(list, Qt::Key_Return);
    };
    enter(QStringLiteral("<!fld_12>"));
    c().insertionMode->setChecked(true);
    enter(QStringLiteral("<!grp_%1>").arg(laboratory));
    enter(QStringLiteral("<!trt_2>"));
    enter(QStringLiteral("<!shabl_%1>").arg(shortName));
    c().insertionMode->setChecked(false);
    // The button inserts the key of the template selected, never the first
    // of similar name.
    chooseTemplate(shortName);
    c().insertTemplateMarker->click();
    EXPECT_EQ(text(), QStringLiteral("<!fld_12><!grp_%1><!trt_2><!shabl_%2><!shabl_%2>").arg(laboratory).arg(shortName));

    // Sound markers in the document are highlighted once the view shows
    // the document again after the insertions.
    QCoreApplication::processEvents();
    const QTextBlock block = view().textDocument().firstBlock();
    QStringList ranges;
    for (const auto& r : word::layerFormats(block, word::FormatLayer::Markers))
        ranges << QStringLiteral("%1+%2").arg(r.start).arg(r.length);
    EXPECT_EQ(ranges.size(), 5) << ranges.join(u' ').toStdString() << " in " << text().toStdString();
    EXPECT_EQ(d->highlighter()->toolTipAt(2), QStringLiteral("<!fld_12> — клинический диагноз"));
}

// ---------------------------------------------------------------- templates by key

TEST_F(Designer, ShowingAndDeletingGoByTheKeyOfTheSelectedRow)
{
    start();
    chooseTemplate(shortName);
    c().showTemplate->click();
    EXPECT_EQ(text(), QStringLiteral("Ф.И.О.: <!fld_1> <!fld_2>"));
    EXPECT_EQ(designer().shownTemplate(), shortName);

    // "режим просмотра": a click on a row shows its template.
    c().viewMode->setChecked(true);
    click(c().templates, QStringLiteral("ShId"), longName);
    EXPECT_EQ(text(), QStringLiteral("ГКБ №1, неврология"));

    chooseTemplate(shortName);
    dialogs.no();
    c().deleteTemplate->click();
    EXPECT_EQ(templateCount(), 2);
    dialogs.yes();
    c().deleteTemplate->click();
    EXPECT_EQ(dialogs.texts().last(), QStringLiteral("Удалить шаблон?"));
    EXPECT_EQ(stored(QStringLiteral("select ShName from SHablon where ShType = %1").arg(consultations)).toString(),
              QStringLiteral("Шапка выписки"));
    EXPECT_EQ(c().markerPanel->itemOf(QStringLiteral("<!shabl_%1>").arg(shortName)), nullptr);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Designer, UnsavedEditsAreNotReplacedWithoutAYes)
{
    start();
    c().viewMode->setChecked(true);
    chooseTemplate(shortName);
    QTextCursor end(&view().textDocument());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral(" <!fld_3>"));

    dialogs.no();
    click(c().templates, QStringLiteral("ShId"), longName);
    EXPECT_EQ(text(), QStringLiteral("Ф.И.О.: <!fld_1> <!fld_2> <!fld_3>"));
    dialogs.no();
    c().assemble->click();
    EXPECT_EQ(text(), QStringLiteral("Ф.И.О.: <!fld_1> <!fld_2> <!fld_3>"));
    dialogs.no();
    c().newTemplate->click();
    EXPECT_EQ(dialogs.texts(), QStringList(3, TemplateDesigner::unsavedEditsQuestion()));

    // Assembled and cancelled, the edits are still unsaved: they still ask.
    dialogs.yes();
    c().assemble->click();
    EXPECT_EQ(text(), QStringLiteral("Ф.И.О.: Иванов Иван Иванович"));
    c().cancelAssembly->click();
    EXPECT_EQ(text(), QStringLiteral("Ф.И.О.: <!fld_1> <!fld_2> <!fld_3>"));
    EXPECT_TRUE(designer().hasUnsavedEdits());
    dialogs.yes();
    click(c().templates, QStringLiteral("ShId"), longName);
    EXPECT_EQ(text(), QStringLiteral("ГКБ №1, неврология"));
    EXPECT_FALSE(designer().hasUnsavedEdits());
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_TRUE(errors().isEmpty()) << errors().join(u'\n').toStdString();
}

// ---------------------------------------------------------------- store, assemble, cancel

TEST_F(Designer, ATemplateEditedStoredAssembledAndCancelledRoundTripsUnchanged)
{
    start();
    chooseTemplate(shortName);
    c().showTemplate->click();
    c().insertionMode->setChecked(true);
    word::WordSelection& s = view().automation().selection();
    s.setStart(view().textDocument().characterCount() - 1);
    s.setEnd(view().textDocument().characterCount() - 1);
    s.typeText(QStringLiteral(", диагноз: "));
    rightClick(textArea(ws->form3->controls().diagnosisClinical));
    ASSERT_EQ(text(), QStringLiteral("Ф.И.О.: <!fld_1> <!fld_2>, диагноз: <!fld_12>"));
    ASSERT_FALSE(word::layerFormats(view().textDocument().firstBlock(), word::FormatLayer::Markers).isEmpty());

    dialogs.type(QStringLiteral("Консультация невролога"));
    c().storeTemplate->click();
    const qint64 key = designer().shownTemplate();
    ASSERT_GT(key, shortName);
    const QByteArray blob = stored(QStringLiteral("select ShRes from SHablon where ShId = %1").arg(key)).toByteArray();
    EXPECT_EQ(blob, view().saveToBlob());
    EXPECT_EQ(stored(QStringLiteral("select ShName from SHablon where ShId = %1").arg(key)).toString(),
              QStringLiteral("Консультация невролога"));
    EXPECT_EQ(stored(QStringLiteral("select ShType from SHablon where ShId = %1").arg(key)).toInt(), consultations);
    EXPECT_EQ(stored(QStringLiteral("select ShOtd from SHablon where ShId = %1").arg(key)).toInt(), 1);
    EXPECT_EQ(designer().selectedTemplate(), key);
    EXPECT_FALSE(designer().hasUnsavedEdits());
    // The highlight is nowhere in what was stored.
    const word::Document storedDoc = word::documentFromBlob(blob);
    for (QTextBlock b = storedDoc.text().begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_EQ(it.fragment().charFormat().background().style(), Qt::NoBrush);
    EXPECT_EQ(word::dumpDocument(storedDoc), word::dumpDocument(word::documentFromBlob(blobOf(
                                                 {QStringLiteral("Ф.И.О.: *<!fld_1>* <!fld_2>, диагноз: <!fld_12>")}))));

    // The test assembly for the patient selected in the patient window, with its progress panel.
    c().assemble->click();
    EXPECT_EQ(text(), QStringLiteral("Ф.И.О.: Иванов Иван, диагноз: Ишемический инсульт"));
    EXPECT_FALSE(ws->form3->controls().progressPanel->isVisible());
    EXPECT_FALSE(c().progress->isVisible());
    c().cancelAssembly->click();
    EXPECT_EQ(view().saveToBlob(), blob);
    EXPECT_FALSE(designer().hasUnsavedEdits());

    // Stored again into the same template: the row is as it was.
    c().replaceTemplate->click();
    EXPECT_EQ(stored(QStringLiteral("select ShRes from SHablon where ShId = %1").arg(key)).toByteArray(), blob);
    EXPECT_EQ(templateCount(), 3);
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_TRUE(errors().isEmpty()) << errors().join(u'\n').toStdString();
}

TEST_F(Designer, ACancelledNameQuestionStoresTheTemplateAsTwoDots)
{
    start();
    chooseTemplate(longName);
    dialogs.cancel();
    c().storeTemplate->click();
    EXPECT_EQ(stored(QStringLiteral("select ShName from SHablon where ShId = %1").arg(designer().shownTemplate())).toString(),
              QStringLiteral(" .."));
    // A long name is cut to the column's 50 characters.
    dialogs.type(QString(60, u'Ш'));
    c().storeTemplate->click();
    EXPECT_EQ(stored(QStringLiteral("select ShName from SHablon where ShId = %1").arg(designer().shownTemplate())).toString(),
              QString(50, u'Ш'));
    EXPECT_EQ(dialogs.problems(), "");
}

// ---------------------------------------------------------------- bad input

TEST_F(Designer, AFailedStoreLeavesNoRowAndSaysWhy)
{
    const int broken = addTemplate(1, consultations, QStringLiteral("Пустой"), QByteArray("not a document"));
    start();

    // A template whose document cannot be read: the view is left empty, and
    // an empty view is neither stored nor assembled.
    chooseTemplate(broken); // the patient window, sharing the list, says so too
    dialogs.clear();
    c().showTemplate->click();
    ASSERT_EQ(errors(), QStringList{QStringLiteral("Invalid stream format")});
    EXPECT_TRUE(view().isEmpty());
    c().storeTemplate->click();
    c().assemble->click();
    ASSERT_EQ(errors().size(), 3);
    EXPECT_TRUE(errors()[1].contains(QStringLiteral("нет документа"))) << errors()[1].toStdString();
    EXPECT_TRUE(errors()[2].contains(QStringLiteral("нет документа"))) << errors()[2].toStdString();
    EXPECT_EQ(templateCount(), 3);

    // A name of blanks.
    c().newTemplate->click();
    dialogs.type(QStringLiteral("   "));
    c().storeTemplate->click();
    EXPECT_TRUE(errors().last().startsWith(QStringLiteral("Шаблон не сохранён"))) << errors().last().toStdString();

    // The type was deleted behind the list's back.
    click(c().templateTypes, QStringLiteral("ShTName"), QStringLiteral("Консультации"));
    sql("delete from SHablonType where ShTID = :t", {{"t", consultations}});
    dialogs.type(QStringLiteral("Консультация"));
    c().storeTemplate->click();
    EXPECT_EQ(errors().last(), QStringLiteral("Шаблон не сохранён: этого типа шаблона больше нет в базе"));
    EXPECT_EQ(templateCount(), 3);

    // Nothing was begun in the template table either: a store afterwards works.
    click(c().templateTypes, QStringLiteral("ShTName"), QStringLiteral("Лабораторные исследования"));
    dialogs.type(QStringLiteral("Анализ"));
    c().storeTemplate->click();
    EXPECT_EQ(templateCount(), 4);
    EXPECT_FALSE(ws->dm->Sh->editing());
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Designer, AHandTypedNineDigitMarkerIsFlaggedAndAssembledAsTheReadingRuleSays)
{
    start();
    QTextCursor c0(&view().textDocument());
    c0.insertText(QStringLiteral("№ <!fld_123456789> и <!fld_8>"));
    const auto marks = word::layerFormats(view().textDocument().firstBlock(), word::FormatLayer::Markers);
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(marks[0].format.underlineStyle(), QTextCharFormat::WaveUnderline); // broken
    EXPECT_NE(marks[1].format.underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_TRUE(d->highlighter()->toolTipAt(4).contains(QStringLiteral("ошибка")));

    const QString before = text();
    dialogs.yes(); // the document is a new, unsaved one
    c().assemble->click();
    const QString after = text();
    EXPECT_TRUE(after.contains(QStringLiteral("1234"))) << after.toStdString(); // never replaced by a field
    c().cancelAssembly->click();
    EXPECT_EQ(text(), before);
}

} // namespace
