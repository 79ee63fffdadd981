// A doctor's whole road on the starter department, through the windows' own
// controls: the department, a new patient typed in, an ECG, two drugs, the
// default discharge summary edited and stored, shown again, exported,
// archived and restored.

#include "../service/archive/archive_fixture.h"

#include "app/start_window.h"
#include "app/workstation.h"
#include "common/program_state.h"
#include "data/aliases.h"
#include "data/database.h"
#include "data/query_dataset.h"
#include "data/schema.h"
#include "db_tool.h"
#include "patient/document_type_dialog.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "service/archiver.h"
#include "treatment/dose_calculator_window.h"
#include "treatment/drug_reference_panel.h"
#include "treatment/equal_doses_calculator.h"
#include "treatment/investigations_page.h"
#include "treatment/treatment_page.h"
#include "treatment/treatment_window.h"
#include "ui/db_grid.h"
#include "ui/scripted_dialogs.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/view/document_view.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace talvora;

namespace {

// ---------------------------------------------------------------- typing and clicking

// Types text as keys (QTest's own typing takes only Latin-1).
void typeText(QWidget* w, const QString& text)
{
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// A click on a row of a list: the move, then the grid's cell-click signal.
void click(ui::DBGrid* grid, const QString& field, const QVariant& value)
{
    ASSERT_TRUE(grid->dataset()->locate(field, value)) << value.toString().toStdString();
    emit grid->cellClicked(grid->dataset()->recNo(), 0);
}

QString plain(const QByteArray& blob) { return word::plainText(word::documentFromBlob(blob)); }

// What a document view shows, as plain text.
QString shown(const word::DocumentView& view)
{
    return view.document() ? word::plainText(*view.document()) : QStringLiteral("<no document>");
}

// The line of `text` that begins with `start`, without the spaces that end it
// (empty when there is none).
QString lineStarting(const QString& text, const QString& start)
{
    for (const QString& line : text.split(u'\n'))
        if (line.startsWith(start))
            return line.trimmed();
    return {};
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// ---------------------------------------------------------------- the department's folders

// The program's working folder "prog" with the workstation database in
// "prog/Data" (where archive and restore look for it), the error database
// beside, the starter department in it.
class Road : public ::testing::Test {
protected:
    Road()
    {
        programSwitches() = {};
        QDir(root.path()).mkpath(QStringLiteral("prog/Data"));
        QDir(root.path()).mkpath(QStringLiteral("export"));
        aliases.setDirectory(QStringLiteral("pacientdata"), root.filePath(QStringLiteral("prog/Data")));
        aliases.setDirectory(QStringLiteral("Errors"), root.filePath(QStringLiteral("errors")));
        tools::initDatabases(aliases, false, tools::InitContent::StarterDepartment);
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(root.filePath(QStringLiteral("prog")));
    }
    ~Road() override { QDir::setCurrent(previousDir_); }

    QString databaseFile() const { return root.filePath(QStringLiteral("prog/Data/database.sqlite")); }

    // One value read from the workstation database (a connection of its own, closed at once).
    QVariant stored(const QString& statement) const
    {
        data::Database db(QStringLiteral("road-check"), QStringLiteral("pacientdata"), QStringLiteral("CHK"),
                          data::workstationSchema(), aliases);
        db.open();
        data::QueryDataset q(QStringLiteral("check"), db);
        q.setSqlText(statement);
        q.open();
        return q.isEmpty() ? QVariant() : q.fieldAt(0).value();
    }

    // Start-up and "Пациент" with the starter department chosen in the start window.
    std::unique_ptr<Workstation> startProgram()
    {
        auto ws = std::make_unique<Workstation>(aliases);
        ws->show();
        click(ws->form1->departmentGrid(), QStringLiteral("Ootd"), QStringLiteral("Неврологическое отделение"));
        ws->form1->patientButton()->click();
        EXPECT_TRUE(ws->form3 && ws->form3->isVisible());
        return ws;
    }

    QTemporaryDir root;
    data::AliasResolver aliases;
    ScriptedDialogs dialogs;

private:
    QString previousDir_;
};

// ---------------------------------------------------------------- the steps of the road

// The birth date of a man who is 56 on admission today, typed as the card shows it.
QDate birthDateOf56() { return QDate::currentDate().addYears(-56).addDays(-40); }

void typeCard(Workstation& ws)
{
    TForm3& w = *ws.form3;
    const auto& c = w.controls();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    c.create->click();
    typeText(c.surname, QStringLiteral("Дорожкин"));
    typeText(c.firstName, QStringLiteral("Павел"));
    typeText(c.patronymic, QStringLiteral("Ильич"));
    c.male->click();
    const QDate birth = birthDateOf56();
    c.birthDay->setFocus();
    typeText(c.birthDay, birth.toString(QStringLiteral("dd")));
    typeText(c.birthMonth, birth.toString(QStringLiteral("MM")));
    c.birthYear->setFocus();
    typeText(c.birthYear, birth.toString(QStringLiteral("yyyy")));
    c.weight->setFocus(); // leaving the birth year fills the texts from the boilerplates
    QCoreApplication::processEvents();
    typeText(c.weight, QStringLiteral("80"));
    c.diagnosisClinical->clear();
    typeText(c.diagnosisClinical, QStringLiteral("Симптоматическая фокальная эпилепсия"));
    c.complaints->clear();
    typeText(c.complaints, QStringLiteral("Приступы потери сознания"));
    c.save->click();
}

// "Исследования": the ECG form with its conclusion written, stored as "ЭКГ".
void writeEcg(TForm6& w, ScriptedDialogs& dialogs)
{
    w.controls().pages->setCurrentWidget(w.controls().investigations);
    const auto& inv = w.controls().investigations->controls();
    click(inv.typeList, QStringLiteral("ShTName"), QStringLiteral("Инструментальные исследования"));
    click(inv.templateList, QStringLiteral("ShName"), QStringLiteral("ЭКГ"));
    QTextCursor blank = inv.editor->textDocument().find(QRegularExpression(QStringLiteral("Заключение: _+")));
    ASSERT_FALSE(blank.isNull()) << "the ECG form has no conclusion line";
    blank.insertText(QStringLiteral("Заключение: ритм синусовый, ЧСС 68 в минуту, ЭОС не отклонена."));
    dialogs.type(QStringLiteral("ЭКГ"));
    inv.addInvestigation->click();
}

void prescribe(TForm6& w, const QString& macrogroup, const QString& group, const QString& drug)
{
    const auto& page = w.controls().treatment->controls();
    const auto& ref = page.reference->controls();
    click(ref.macrogroups, QStringLiteral("TrTname"), macrogroup);
    click(ref.groups, QStringLiteral("TrTname"), group);
    click(ref.drugs, QStringLiteral("Tname_r"), drug);
    page.addToTreatment->click();
}

// "Лечение": clopidogrel as the reference gives it, carbamazepine 200 mg in
// the morning and 400 mg in the evening through the dose calculator.
void prescribeTwoDrugs(Workstation& ws)
{
    TForm6& w = *ws.form6;
    w.controls().pages->setCurrentWidget(w.controls().treatment);
    prescribe(w, QStringLiteral("Сосудистые средства"), QStringLiteral("Антиагреганты"), QStringLiteral("Клопидогрел"));
    prescribe(w, QStringLiteral("Противоэпилептические средства"), QStringLiteral("Производные карбоксамида"),
              QStringLiteral("Карбамазепин"));
    w.controls().treatment->controls().calculator->controls().unequalDoses->click();
    ASSERT_TRUE(ws.form8->isVisible());
    const auto& dose = ws.form8->controls();
    EXPECT_EQ(dose.weight->text(), QStringLiteral("80"));
    const char* doses[] = {"200", "0", "0", "400"};
    for (int i = 0; i < 4; ++i) {
        dose.intakeRows[i].dose->clear();
        QTest::keyClicks(dose.intakeRows[i].dose, doses[i]);
    }
    dose.calculateUnequal->click();
}

// Types at the end of the summary's line that begins with `line`, in the view's own editor.
void appendToLine(word::DocumentView& view, const QString& line, const QString& text)
{
    // The assembly lays the document out once it has finished: the editor takes it back in a queued call.
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.editorAttached(); }));
    QTextEdit* editor = view.textEdit();
    QTextCursor at = editor->document()->find(line);
    ASSERT_FALSE(at.isNull()) << line.toStdString();
    at.movePosition(QTextCursor::EndOfBlock);
    editor->setTextCursor(at);
    editor->setFocus();
    typeText(editor, text);
}

// The patient's documents as the export wrote them.
QStringList exported(const QString& folder) { return QDir(folder).entryList(QDir::Files, QDir::Name); }

// What LibreOffice reads from a Word file, as UTF-8 text; empty when it reads nothing.
QString readByLibreOffice(const QString& soffice, const QString& file, const QString& scratch)
{
    QProcess p;
    p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + scratch + QStringLiteral("/profile"),
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
                      QStringLiteral("--outdir"), scratch + QStringLiteral("/out"), file});
    if (!p.waitForFinished(180000))
        return {};
    const QStringList out = QDir(scratch + QStringLiteral("/out")).entryList(QDir::Files);
    if (out.size() != 1)
        return {};
    return QString::fromUtf8(fileBytes(scratch + QStringLiteral("/out/") + out.first()));
}

TEST_F(Road, ADischargeSummaryFromANewPatientToTheArchiveAndBack)
{
    const QString ecgConclusion = QStringLiteral("Заключение: ритм синусовый, ЧСС 68 в минуту, ЭОС не отклонена.");
    const QString editedLine = QStringLiteral(" Приступов за время лечения не было.");
    const QString exportFolder = root.filePath(QStringLiteral("export"));
    QByteArray storedDocument;
    QString storedText;
    {
        auto ws = startProgram();
        const auto& c = ws->form3->controls();

        // The card, typed; the texts fill from the man's boilerplates of 45–59.
        typeCard(*ws);
        EXPECT_TRUE(c.anamnesis->toPlainText().startsWith(QStringLiteral("Считает себя больным с ___")))
            << c.anamnesis->toPlainText().toStdString();
        EXPECT_TRUE(c.neuroStatus->toPlainText().contains(QStringLiteral("Сознание:")));
        EXPECT_EQ(stored(QStringLiteral("select count(*) from pacient")).toInt(), 1);
        EXPECT_EQ(stored(QStringLiteral("select Pname from pacient")).toString(), QStringLiteral("Дорожкин П.И."));
        EXPECT_EQ(stored(QStringLiteral("select Pves from pacient")).toInt(), 80);
        EXPECT_TRUE(stored(QStringLiteral("select PanM from pacient")).toString().startsWith(QStringLiteral("Считает себя больным")));

        // "Обследования и лечение".
        c.treatment->click();
        ASSERT_TRUE(ws->form6->isVisible());
        writeEcg(*ws->form6, dialogs);
        EXPECT_EQ(stored(QStringLiteral("select Iname from Issled")).toString(), QStringLiteral("ЭКГ"));
        prescribeTwoDrugs(*ws);
        EXPECT_EQ(stored(QStringLiteral("select Nrej from Nazn where Nname = \"Карбамазепин\"")).toString(),
                  QStringLiteral("утром: 200мг  по 1 таб.\r\nвечером: 400мг  по 1 таб.\r\n"));
        // 600 mg a day for 80 kg.
        EXPECT_EQ(stored(QStringLiteral("select NmgKgS from Nazn where Nname = \"Карбамазепин\"")).toString(),
                  QStringLiteral("7,5 мг\\кг\\cут"));
        const QString clopidogrel = stored(QStringLiteral("select Nrej from Nazn where Nname = \"Клопидогрел\"")).toString();

        // "Выписка " / "( по умолчанию )", a line edited, stored as "Выписка".
        c.discharge->click();
        EXPECT_EQ(c.tabs->currentWidget(), c.reportsTab);
        c.activateDocument->click();
        appendToLine(*c.view, QStringLiteral("Течение заболевания и эффект лечения:"), editedLine);
        c.storeDocument->click();
        ASSERT_TRUE(ws->form7->isVisible());
        click(ws->form7->typeGrid(), QStringLiteral("VTName"), QStringLiteral("Выписка"));
        ws->form7->okButton()->click();
        EXPECT_FALSE(ws->form7->isVisible());
        ASSERT_EQ(stored(QStringLiteral("select count(*) from Vipis")).toInt(), 1);
        EXPECT_EQ(stored(QStringLiteral("select VTName from VipisType, Vipis where VTid = Vtype")).toString(),
                  QStringLiteral("Выписка"));
        storedDocument = stored(QStringLiteral("select Vres from Vipis")).toByteArray();
        storedText = plain(storedDocument);

        // The stored summary, field by field.
        const QDate today = QDate::currentDate();
        const QString text = storedText;
        EXPECT_EQ(lineStarting(text, QStringLiteral("Ф.И.О.:")), QStringLiteral("Ф.И.О.: Дорожкин Павел Ильич")) << text.toStdString();
        EXPECT_EQ(lineStarting(text, QStringLiteral("Дата рождения:")),
                  QStringLiteral("Дата рождения: ") + birthDateOf56().toString(QStringLiteral("dd.MM.yyyy")));
        EXPECT_EQ(lineStarting(text, QStringLiteral("Возраст при поступлении:")), QStringLiteral("Возраст при поступлении: 56 лет"));
        EXPECT_TRUE(lineStarting(text, QStringLiteral("Находился(-ась) на стационарном лечении"))
                        .contains(QStringLiteral("с ") + today.toString(QStringLiteral("dd.MM.yyyy"))))
            << text.toStdString();
        EXPECT_EQ(lineStarting(text, QStringLiteral("Диагноз клинический (основной):")),
                  QStringLiteral("Диагноз клинический (основной): Симптоматическая фокальная эпилепсия"));
        EXPECT_EQ(lineStarting(text, QStringLiteral("Жалобы при поступлении:")),
                  QStringLiteral("Жалобы при поступлении: Приступы потери сознания"));
        EXPECT_TRUE(lineStarting(text, QStringLiteral("Анамнез:")).startsWith(QStringLiteral("Анамнез: Считает себя больным с ___")))
            << text.toStdString();
        EXPECT_EQ(lineStarting(text, QStringLiteral("Масса тела:")), QStringLiteral("Масса тела: 80 кг."));
        EXPECT_TRUE(text.contains(ecgConclusion)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Клопидогрел ") + clopidogrel.trimmed())) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Карбамазепин утром: 200мг  по 1 таб."))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("вечером: 400мг  по 1 таб."))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("(7,5 мг\\кг\\cут)"))) << text.toStdString();
        EXPECT_TRUE(lineStarting(text, QStringLiteral("Течение заболевания и эффект лечения:")).endsWith(editedLine))
            << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("<!"))) << text.toStdString();

        // Shown again from the patient's document list.
        c.view->clear();
        ASSERT_EQ(c.documentList->dataset()->recordCount(), 1);
        c.showDocument->click();
        EXPECT_EQ(shown(*c.view), storedText);

        // The department exported through the start window.
        dialogs.choose(exportFolder);
        ws->form1->exportButton()->click();
        EXPECT_EQ(dialogs.texts().last(), QStringLiteral("Выгружено документов: 1 из 1."));

        // The archive, into the working folder: the program ends.
        ASSERT_TRUE(QFile::exists(service::archiverProgram())) << "7-Zip is not installed";
        dialogs.yes().yes();
        ws->form1->archiveButton()->click();
        EXPECT_FALSE(ws->form1->isVisible());
        EXPECT_EQ(dialogs.problems(), "");
    }

    // The exported file is the stored Word document, byte for byte.
    const QStringList files = exported(exportFolder);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files.first(), QStringLiteral("Дорожкин П.И._%1_Выписка.doc").arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
    const QString exportedFile = QDir(exportFolder).filePath(files.first());
    EXPECT_EQ(fileBytes(exportedFile), word::docBytesOf(storedDocument));

    // The next day's mistake: the summary deleted from the list.
    const QStringList archives = QDir(root.filePath(QStringLiteral("prog"))).entryList({QStringLiteral("*.7z")}, QDir::Files);
    ASSERT_EQ(archives.size(), 1);
    const auto archived = test::tableContents(databaseFile());
    {
        auto ws = startProgram();
        const auto& c = ws->form3->controls();
        c.tabs->setCurrentWidget(c.reportsTab);
        ASSERT_EQ(c.documentList->dataset()->recordCount(), 1);
        dialogs.yes();
        c.deleteDocument->click();
        EXPECT_EQ(stored(QStringLiteral("select count(*) from Vipis")).toInt(), 0);

        // Restored from the archive: the program ends again.
        dialogs.yes().choose(root.filePath(QStringLiteral("prog/") + archives.first()));
        ws->form1->restoreButton()->click();
        EXPECT_FALSE(ws->form1->isVisible());
        EXPECT_EQ(dialogs.problems(), "");
    }

    // After the restart everything is back, every row of every table: the
    // patient, the ECG, the drugs, the summary.
    EXPECT_EQ(test::changedTables(test::tableContents(databaseFile()), archived), QStringList());
    {
        auto ws = startProgram();
        const auto& c = ws->form3->controls();
        EXPECT_EQ(c.surname->text(), QStringLiteral("Дорожкин"));
        EXPECT_EQ(c.weight->text(), QStringLiteral("80"));
        EXPECT_EQ(stored(QStringLiteral("select count(*) from Issled")).toInt(), 1);
        EXPECT_EQ(stored(QStringLiteral("select count(*) from Nazn")).toInt(), 2);
        c.tabs->setCurrentWidget(c.reportsTab);
        ASSERT_EQ(c.documentList->dataset()->recordCount(), 1);
        c.showDocument->click();
        EXPECT_EQ(shown(*c.view), storedText);
        EXPECT_EQ(stored(QStringLiteral("select Vres from Vipis")).toByteArray(), storedDocument);
        EXPECT_EQ(dialogs.problems(), "");
    }
    for (const AskedDialog& a : dialogs.asked())
        EXPECT_NE(a.kind, DialogKind::Error) << a.text.toStdString();

    // LibreOffice opens the exported summary and finds the patient in it.
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed: the exported file was not opened";
    QTemporaryDir scratch;
    const QString read = readByLibreOffice(soffice, exportedFile, scratch.path());
    EXPECT_TRUE(read.contains(QStringLiteral("Ф.И.О.: Дорожкин Павел Ильич"))) << read.toStdString();
    EXPECT_TRUE(read.contains(ecgConclusion)) << read.toStdString();
}

} // namespace
