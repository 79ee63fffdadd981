// The boilerplate library on a real database, without a window: the list of
// a kind, creating a boilerplate (bounds, kind, name, cancel), saving and
// deleting one, the page's editor and its edited document tied to one
// boilerplate, a boilerplate without a document, and a save the table refuses.

#include "boilerplates_fixture.h"

#include "boilerplates/boilerplate_library.h"
#include "boilerplates/boilerplate_selection.h"
#include "common/errors.h"
#include "word/view/document_view.h"

#include <QSignalSpy>

#include <memory>

using namespace talvora;
using talvora::boilerplates::BoilerplateLibrary;
using talvora::boilerplates::NewBoilerplate;

namespace {

class Library : public test::BoilerplateData {
protected:
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        editor = std::make_unique<word::DocumentView>();
        editor->show(); // the settings page is open
        lib = std::make_unique<BoilerplateLibrary>(*dm, *editor);
        // Choosing the department lists its anamneses.
        ASSERT_TRUE(dm->Otd->locate("OID", department));
        // As the settings window lists them when shown.
        ASSERT_TRUE(lib->ListBoilerplates(1));
    }

    void TearDown() override
    {
        lib.reset();
        editor.reset();
    }

    QStringList listed() const
    {
        QStringList names;
        const data::QueryDataset& q = *dm->Fish_q;
        if (!q.active())
            return names;
        for (int row = 0; row < q.recordCount(); ++row)
            names << q.rowValue(row, q.fieldIndex("FName")).toString();
        names.sort();
        return names;
    }

    void moveTo(int fid) { ASSERT_TRUE(dm->Fish_q->locate("FID", fid)); }
    qint64 current() const { return dm->Fish_q->field("FID").value().toLongLong(); }

    // What the user types at the end of the editor's document.
    void typeIntoEditor(const QString& text)
    {
        editor->activate();
        word::WordSelection& s = editor->automation().selection();
        const int end = editor->textDocument().characterCount() - 1;
        s.setEnd(end);
        s.setStart(end);
        s.typeText(text);
    }

    QString editorText() const { return textOf(editor->saveToBlob()); }

    QVariant value(int fid, const QString& field)
    {
        return dbs.scalar(QStringLiteral("select %1 from Fish where FID = %2").arg(field).arg(fid));
    }
    QString storedText(int fid) { return textOf(value(fid, "Fres").toByteArray()); }

    NewBoilerplate fresh(const QString& name, const QString& lo, const QString& hi, int sex = 3,
                         const QString& text = QStringLiteral("Сознание ясное."))
    {
        NewBoilerplate b;
        b.name = name;
        b.minText = lo;
        b.maxText = hi;
        b.sex = sex;
        b.document = blobOf(text);
        b.text = text;
        return b;
    }

    int boilerplates() { return count("select count(*) from Fish"); }

    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<word::DocumentView> editor;
    std::unique_ptr<BoilerplateLibrary> lib;
};

// ---------------------------------------------------------------- the list

TEST_F(Library, TheListHoldsTheKindOfTheDepartmentWithBothBoundsGiven)
{
    addBoilerplate(2, "от 5 до 10", 5, 10, 3, "пять");
    addBoilerplate(2, "без нижней границы", QVariant(), 10, 3, "нет");
    addBoilerplate(2, "без верхней границы", 5, QVariant(), 3, "нет");
    addBoilerplate(2, "взрослые", 18, 60, 1, "взрослый");
    addBoilerplate(1, "анамнез", 0, 900, 3, "анамнез");
    addBoilerplate(2, "чужое отделение", 0, 900, 3, "кардио", department + 1);
    start();
    EXPECT_EQ(listed(), QStringList{"анамнез"});

    QSignalSpy selected(lib.get(), &BoilerplateLibrary::kindSelected);
    EXPECT_TRUE(lib->ListBoilerplates(2));
    EXPECT_EQ(listed(), (QStringList{"взрослые", "от 5 до 10"}));
    EXPECT_EQ(lib->CurrentKind(), 2);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 2);

    // Another department: the data module selects "Анамнезы" again, and the
    // list is that department's whole list of the kind.
    addBoilerplate(1, "кардио 18-60", 18, 60, 3, "кардио", department + 1);
    addBoilerplate(1, "кардио все", 0, 900, 3, "кардио", department + 1);
    ASSERT_TRUE(dm->Otd->locate("OID", department + 1));
    EXPECT_EQ(lib->CurrentKind(), 1);
    EXPECT_EQ(listed(), (QStringList{"кардио 18-60", "кардио все"}));
    // And back, with "Анамнезы" already chosen: still the whole list.
    addBoilerplate(1, "анамнез 18-44", 18, 44, 3, "анамнез взрослого");
    ASSERT_TRUE(dm->Otd->locate("OID", department));
    EXPECT_EQ(listed(), (QStringList{"анамнез", "анамнез 18-44"}));
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, TheEditorFollowsTheListAndTheSelectionForAPatientToo)
{
    const int a = addBoilerplate(1, "первый", 0, 900, 3, "текст первого");
    const int b = addBoilerplate(1, "второй", 18, 60, 3, "текст второго");
    start();
    QSignalSpy shown(lib.get(), &BoilerplateLibrary::boilerplateShown);
    moveTo(b);
    EXPECT_EQ(editorText(), "текст второго");
    EXPECT_EQ(lib->shownBoilerplate(), b);
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(textOf(shown.at(0).at(0).toByteArray()), "текст второго");

    boilerplates::SelectBoilerplates(*dm, 1, 70, 1);
    EXPECT_EQ(current(), a);
    EXPECT_EQ(editorText(), "текст первого");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, WhileThePageIsClosedItsEditorWaitsAndAsksOnlyWhenShownAgain)
{
    const int a = addBoilerplate(2, "первый", 0, 59, 3, "текст первого");
    const int b = addBoilerplate(2, "второй", 60, 900, 3, "текст второго");
    start();
    lib->ListBoilerplates(2);
    moveTo(a);
    typeIntoEditor(" правка");
    editor->close();
    editor->hide(); // the window is closed with the change unsaved

    // The patient texts select meanwhile: no question, the editor keeps the change.
    QSignalSpy shown(lib.get(), &BoilerplateLibrary::boilerplateShown);
    ASSERT_TRUE(boilerplates::SelectBoilerplates(*dm, 2, 70, 1));
    EXPECT_EQ(current(), b);
    EXPECT_TRUE(dialogs.asked().isEmpty());
    EXPECT_EQ(editorText(), "текст первого правка");
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(textOf(shown.at(0).at(0).toByteArray()), "текст второго");

    editor->show();
    dialogs.yes();
    lib->ShowSettings();
    EXPECT_EQ(dialogs.texts(), QStringList{BoilerplateLibrary::saveChangesQuestion("первый")});
    EXPECT_EQ(storedText(a), "текст первого правка");
    EXPECT_EQ(storedText(b), "текст второго");
    EXPECT_EQ(lib->shownBoilerplate(), a);
    EXPECT_EQ(dialogs.problems(), "");
}

// ---------------------------------------------------------------- a new boilerplate

TEST_F(Library, ANewBoilerplateTakesTheKindChosenWhenStoredWithItsBoundsInOrder)
{
    start();
    const int before = boilerplates();
    lib->ListBoilerplates(2);
    lib->BeginBoilerplate();
    EXPECT_TRUE(lib->creating());
    EXPECT_FALSE(dm->Fish_q->active());
    // The kind is changed while the dialog is open.
    lib->ListBoilerplates(3);
    QSignalSpy finished(lib.get(), &BoilerplateLibrary::creationFinished);
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh("Соматический статус пожилых", "60", "18", 2, "Кожа обычной окраски.")));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(lib->creating());
    ASSERT_EQ(boilerplates(), before + 1);
    const int fid = lastKey("FID", "Fish");
    EXPECT_EQ(value(fid, "FType").toInt(), 3);
    EXPECT_EQ(value(fid, "Fotd").toInt(), department);
    EXPECT_EQ(value(fid, "Fmin").toInt(), 18);
    EXPECT_EQ(value(fid, "Fmax").toInt(), 60);
    EXPECT_EQ(value(fid, "Fmale").toInt(), 2);
    EXPECT_EQ(value(fid, "Fmem").toString(), "Кожа обычной окраски.");
    EXPECT_EQ(storedText(fid), "Кожа обычной окраски.");
    // The list shows the kind, on the new boilerplate, in the editor.
    EXPECT_EQ(listed(), QStringList{"Соматический статус пожилых"});
    EXPECT_EQ(current(), fid);
    EXPECT_EQ(editorText(), "Кожа обычной окраски.");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, BoundsThatAreNoDigitsAskAndNoTakesTheWholeRangeYesLetsThemBeCorrected)
{
    start();
    lib->BeginBoilerplate();
    dialogs.no();
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh("минус", "5", "-3")));
    ASSERT_EQ(dialogs.texts(), QStringList{BoilerplateLibrary::boundsQuestion()});
    int fid = lastKey("FID", "Fish");
    EXPECT_EQ(value(fid, "Fmin").toInt(), 0);
    EXPECT_EQ(value(fid, "Fmax").toInt(), 900);

    const int before = boilerplates();
    lib->BeginBoilerplate();
    dialogs.yes();
    EXPECT_FALSE(lib->StoreNewBoilerplate(fresh("буквы", "5", "сорок")));
    EXPECT_EQ(boilerplates(), before);
    EXPECT_TRUE(lib->creating());
    EXPECT_EQ(dm->Fish_t->state(), data::DatasetState::Insert);
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh("буквы", "5", "40")));
    fid = lastKey("FID", "Fish");
    EXPECT_EQ(value(fid, "Fname").toString(), "буквы");
    EXPECT_EQ(value(fid, "Fmax").toInt(), 40);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, EmptyBoundsAreStoredEmptyAndNeverOffered)
{
    start();
    lib->BeginBoilerplate();
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh("без границ", "", "")));
    const int fid = lastKey("FID", "Fish");
    EXPECT_TRUE(value(fid, "Fmin").isNull());
    EXPECT_TRUE(value(fid, "Fmax").isNull());
    EXPECT_EQ(listed(), QStringList{});
    for (int age : {0, 30, 900})
        EXPECT_FALSE(boilerplates::SelectBoilerplates(*dm, 1, age, 1)) << age;
    // Only one bound typed, and as letters: no question, that bound stays empty.
    lib->BeginBoilerplate();
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh("одна граница", "abc", "")));
    EXPECT_TRUE(value(lastKey("FID", "Fish"), "Fmin").isNull());
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, ANameIsCutToItsColumnAndAnEmptyNameIsStored)
{
    start();
    lib->BeginBoilerplate();
    const QString longName = QString(150, u'Ж');
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh(longName, "18", "44")));
    EXPECT_EQ(value(lastKey("FID", "Fish"), "Fname").toString(), QString(100, u'Ж'));
    // Quotes and statement text stay text.
    lib->BeginBoilerplate();
    const QString odd = QStringLiteral("\"; delete from Fish; -- «кавычки»");
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh(odd, "18", "44")));
    EXPECT_EQ(value(lastKey("FID", "Fish"), "Fname").toString(), odd);
    lib->BeginBoilerplate();
    ASSERT_TRUE(lib->StoreNewBoilerplate(fresh("", "18", "44")));
    EXPECT_EQ(boilerplates(), 3);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, CancelLeavesNoRowAndReadsTheListAgain)
{
    addBoilerplate(1, "анамнез", 0, 900, 3, "анамнез");
    start();
    const int before = boilerplates();
    lib->BeginBoilerplate();
    lib->CancelNewBoilerplate();
    EXPECT_FALSE(lib->creating());
    EXPECT_EQ(dm->Fish_t->state(), data::DatasetState::Browse);
    EXPECT_EQ(listed(), QStringList{"анамнез"});
    // A row begun and never finished does not outlive the library either.
    lib->BeginBoilerplate();
    lib.reset();
    EXPECT_EQ(dm->Fish_t->state(), data::DatasetState::Browse);
    EXPECT_EQ(boilerplates(), before);
    EXPECT_EQ(dialogs.problems(), "");
}

// ---------------------------------------------------------------- saving and deleting

TEST_F(Library, SavingKeepsABoundTypedAsLettersAndStoresTheRest)
{
    const int fid = addBoilerplate(1, "анамнез", 18, 44, 3, "анамнез");
    start();
    moveTo(fid);
    dm->Fish_q->edit();
    dm->Fish_q->field("FName").setValue("анамнез взрослого");
    dm->Fish_q->field("Fmale").setValue(2);
    lib->SaveBoilerplateChanges("восемнадцать", "59");
    EXPECT_EQ(value(fid, "Fmin").toInt(), 18);
    EXPECT_EQ(value(fid, "Fmax").toInt(), 59);
    EXPECT_EQ(value(fid, "Fname").toString(), "анамнез взрослого");
    EXPECT_EQ(value(fid, "Fmale").toInt(), 2);
    EXPECT_EQ(value(fid, "Fmem").toString(), "анамнез"); // no document edited: text and document stay
    EXPECT_EQ(storedText(fid), "анамнез");
    EXPECT_TRUE(dm->Fish_q->active());
    EXPECT_EQ(current(), fid);

    // 999999 is "not given"; reversed bounds are put in order.
    lib->SaveBoilerplateChanges("999999", "10");
    EXPECT_EQ(value(fid, "Fmin").toInt(), 10);
    EXPECT_EQ(value(fid, "Fmax").toInt(), 18);
    lib->SaveBoilerplateChanges("60", "18");
    EXPECT_EQ(value(fid, "Fmin").toInt(), 18);
    EXPECT_EQ(value(fid, "Fmax").toInt(), 60);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, TheEditedDocumentIsStoredIntoItsOwnBoilerplateOnly)
{
    const int a = addBoilerplate(1, "первый", 0, 900, 3, "текст первого");
    const int b = addBoilerplate(1, "второй", 0, 900, 3, "текст второго");
    start();
    moveTo(a);
    typeIntoEditor(" дополнено");
    editor->close(); // deactivation: the edited document of the first
    EXPECT_EQ(lib->editedBoilerplate(), a);
    EXPECT_EQ(textOf(lib->editedDocument()), "текст первого дополнено");

    // Leaving it asks; No drops the changes.
    dialogs.no();
    moveTo(b);
    EXPECT_EQ(dialogs.texts(), QStringList{BoilerplateLibrary::saveChangesQuestion("первый")});
    EXPECT_EQ(editorText(), "текст второго");
    lib->SaveBoilerplateChanges("0", "900");
    EXPECT_EQ(storedText(b), "текст второго");
    EXPECT_EQ(value(b, "Fmem").toString(), "текст второго");
    EXPECT_EQ(storedText(a), "текст первого");

    // Yes stores them into the first, and only there.
    moveTo(a);
    typeIntoEditor(" и ещё");
    dialogs.clear();
    dialogs.yes();
    moveTo(b);
    EXPECT_EQ(dialogs.texts(), QStringList{BoilerplateLibrary::saveChangesQuestion("первый")});
    EXPECT_EQ(storedText(a), "текст первого и ещё");
    EXPECT_EQ(value(a, "Fmem").toString(), "текст первого и ещё");
    EXPECT_EQ(storedText(b), "текст второго");
    EXPECT_EQ(editorText(), "текст второго");

    // Saving its own edits stores document and text together.
    typeIntoEditor(" новое");
    lib->SaveBoilerplateChanges("0", "900");
    EXPECT_EQ(storedText(b), "текст второго новое");
    EXPECT_EQ(value(b, "Fmem").toString(), "текст второго новое");
    EXPECT_FALSE(lib->hasUnsavedChanges());
    EXPECT_EQ(lib->editedDocument(), QByteArray());
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Library, ABoilerplateWithoutADocumentSaysSoLeavesTheEditorEmptyAndLosesNothing)
{
    const int a = addBoilerplate(1, "с документом", 0, 900, 3, "есть текст");
    const int bare = addBoilerplate(1, "пустой", 0, 900, 3, "");
    dbs.sql(QStringLiteral("update Fish set Fmem = \"текст без документа\" where FID = %1").arg(bare));
    start();
    moveTo(a);
    moveTo(bare);
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked().at(0).kind, DialogKind::Error);
    EXPECT_EQ(dialogs.asked().at(0).text, BoilerplateLibrary::noDocumentMessage("пустой"));
    EXPECT_EQ(editorText(), "");
    EXPECT_EQ(lib->shownBoilerplate(), bare);

    lib->SaveBoilerplateChanges("0", "900");
    EXPECT_TRUE(value(bare, "Fres").isNull());
    EXPECT_EQ(value(bare, "Fmem").toString(), "текст без документа");
    EXPECT_EQ(storedText(a), "есть текст");

    // The document written for it is stored with it.
    typeIntoEditor("новый документ");
    lib->SaveBoilerplateChanges("0", "900");
    EXPECT_EQ(storedText(bare), "новый документ");
    EXPECT_EQ(value(bare, "Fmem").toString(), "новый документ");
}

TEST_F(Library, ASaveTheTableRefusesTwiceIsReportedAndTheListReadAgain)
{
    const int fid = addBoilerplate(1, "анамнез", 0, 900, 3, "анамнез");
    start();
    moveTo(fid);
    dbs.ppp().connection().exec(
        "create trigger refuse before update on Fish begin select raise(abort, 'таблица занята'); end");
    try {
        lib->SaveBoilerplateChanges("5", "900");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("таблица занята")) << e.message().toStdString();
    }
    EXPECT_TRUE(dm->Fish_q->active());
    EXPECT_EQ(current(), fid);
    EXPECT_EQ(dm->Fish_t->state(), data::DatasetState::Browse);
    EXPECT_EQ(value(fid, "Fmin").toInt(), 0);

    dbs.ppp().connection().exec("drop trigger refuse");
    lib->SaveBoilerplateChanges("5", "900");
    EXPECT_EQ(value(fid, "Fmin").toInt(), 5);
}

TEST_F(Library, DeletingRemovesTheCurrentBoilerplateAtOnce)
{
    const int a = addBoilerplate(1, "первый", 0, 900, 3, "текст первого");
    const int b = addBoilerplate(1, "второй", 0, 900, 3, "текст второго");
    start();
    moveTo(a);
    typeIntoEditor(" правка");
    lib->DeleteBoilerplate();
    EXPECT_TRUE(dialogs.asked().isEmpty());
    EXPECT_EQ(count(QStringLiteral("select count(*) from Fish where FID = %1").arg(a)), 0);
    EXPECT_EQ(listed(), QStringList{"второй"});
    EXPECT_EQ(current(), b);
    EXPECT_EQ(editorText(), "текст второго");

    lib->DeleteBoilerplate();
    EXPECT_EQ(listed(), QStringList{});
    EXPECT_EQ(editorText(), "");
    lib->DeleteBoilerplate(); // nothing left: nothing happens
    lib->SaveBoilerplateChanges("1", "2");
    EXPECT_EQ(dialogs.problems(), "");
}

} // namespace
