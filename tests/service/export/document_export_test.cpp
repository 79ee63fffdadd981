#include "app/start_window.h"
#include "app/workstation.h"
#include "common/errors.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "export_command.h"
#include "patient/patient_filters.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "service/document_export.h"
#include "temp_databases.h"
#include "ui/scripted_dialogs.h"
#include "word/document.h"
#include "word/document_io.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace talvora;
using service::DocumentExport;

namespace {

QByteArray blobOf(const QString& text)
{
    word::Document doc;
    QTextCursor(&doc.text()).insertText(text);
    return word::blobFromDocument(doc);
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class Export : public ::testing::Test {
protected:
    Export()
    {
        programSwitches() = {};
        dbs.sql("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")");
        dbs.sql("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Кардиология\")");
        dbs.sql("insert into VipisType (VTName, VTOtd) values (\"Выписки\", 1)");
        dbs.sql("insert into VipisType (VTName, VTOtd) values (\"Этапный эпикриз\", 1)");
        folder = QDir(base.path()).filePath("out");
        QDir().mkpath(folder);
    }

    int addPatient(int department, const QString& name, int history = 0, const QString& discharge = "30.12.1899")
    {
        data::Params p;
        p.set("n", name);
        dbs.sql(QStringLiteral("insert into pacient (Pname, Pname_f, Potd, PdP, PdV, Phist, Pmale) "
                               "values (:n, :n, %1, \"01.02.2024\", \"%2\", %3, 1)")
                    .arg(department)
                    .arg(discharge)
                    .arg(history),
                p);
        return dbs.scalar("select max(PID) from pacient").toInt();
    }

    // A stored document; its body is what the export must write.
    QByteArray addDocument(int patient, int type, const QDate& date, const QString& text)
    {
        const QByteArray blob = blobOf(text);
        addRawDocument(patient, type, date, blob);
        return word::docBytesOf(blob);
    }
    void addRawDocument(int patient, int type, const QDate& date, const QVariant& body)
    {
        data::Params p;
        p.set("p", patient);
        p.set("t", type);
        p.set("d", QDateTime(date, QTime(10, 30)));
        p.set("r", body);
        dbs.sql("insert into Vipis (Vpac, Vtype, Vdate, Vres) values (:p, :t, :d, :r)", p);
    }

    // The data module with the patient list of department 1, as the patient window keeps it.
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        reg = std::make_unique<patient::PatientRegister>(*dm);
        QObject::connect(reg.get(), &patient::PatientRegister::cardLoaded, [this] { ++cardLoads; });
        reg->RefreshPatientList();
    }

    QStringList written() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); }
    QString path(const QString& name) const { return QDir(folder).filePath(name); }

    test::TempDatabases dbs;
    ScriptedDialogs dialogs;
    QTemporaryDir base;
    QString folder;
    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<patient::PatientRegister> reg;
    int cardLoads = 0;
};

} // namespace

TEST_F(Export, WritesEveryListedDocumentAsItsStoredWordFile)
{
    const int ivanov = addPatient(1, "Иванов И.И.");
    const int petrov = addPatient(1, "Петров П.П.");
    addPatient(2, "Кардиов К.К."); // another department
    const QByteArray a = addDocument(ivanov, 1, QDate(2008, 6, 23), "Выписка Иванова");
    const QByteArray b = addDocument(ivanov, 2, QDate(2008, 6, 20), "Эпикриз Иванова");
    const QByteArray c = addDocument(petrov, 1, QDate(2009, 1, 5), "Выписка Петрова");
    addDocument(3, 1, QDate(2009, 1, 5), "Чужая выписка");
    start();

    dialogs.choose(folder);
    DocumentExport exporter(*dm);
    exporter.ExportDocuments(&reg->filters());

    EXPECT_EQ(written(), (QStringList{"Иванов И.И._20.06.2008_Этапный эпикриз.doc", "Иванов И.И._23.06.2008_Выписки.doc",
                                      "Петров П.П._05.01.2009_Выписки.doc"}));
    // The Word document itself, not the database's wrapping of it.
    EXPECT_EQ(fileBytes(path("Иванов И.И._23.06.2008_Выписки.doc")), a);
    EXPECT_EQ(fileBytes(path("Иванов И.И._20.06.2008_Этапный эпикриз.doc")), b);
    EXPECT_EQ(fileBytes(path("Петров П.П._05.01.2009_Выписки.doc")), c);
    EXPECT_TRUE(a.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")));
    EXPECT_EQ(dialogs.problems(), "");
    ASSERT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.asked()[0].kind, DialogKind::Folder);
    EXPECT_EQ(dialogs.asked()[1].kind, DialogKind::Notice);
    EXPECT_EQ(dialogs.asked()[1].text, "Выгружено документов: 3 из 3.");
    // The patient key list holds the listed patients, in list order.
    EXPECT_EQ(reg->filters().keyList(), (QStringList{QString::number(ivanov), QString::number(petrov)}));
}

TEST_F(Export, TakenNamesGetNumberedCopiesAndNothingIsOverwritten)
{
    const int ivanov = addPatient(1, "Иванов И.И.");
    const QByteArray first = addDocument(ivanov, 1, QDate(2008, 6, 23), "первая");
    const QByteArray second = addDocument(ivanov, 1, QDate(2008, 6, 23), "вторая");
    const QByteArray third = addDocument(ivanov, 1, QDate(2008, 6, 23), "третья");
    start();
    // A file of the first name already in the folder, and a link where the
    // second copy would go: neither is written through.
    {
        QFile keep(path("Иванов И.И._23.06.2008_Выписки.doc"));
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
        keep.write("the user's own file");
    }
    const QString outside = QDir(base.path()).filePath("outside.txt");
    ASSERT_TRUE(QFile::link(outside, path("Иванов И.И._23.06.2008_Выписки (2).doc")));

    dialogs.choose(folder);
    DocumentExport(*dm).ExportDocuments(&reg->filters());

    EXPECT_EQ(fileBytes(path("Иванов И.И._23.06.2008_Выписки.doc")), "the user's own file");
    EXPECT_FALSE(QFile::exists(outside));
    // The documents in key order take the free names.
    EXPECT_EQ(fileBytes(path("Иванов И.И._23.06.2008_Выписки (3).doc")), first);
    EXPECT_EQ(fileBytes(path("Иванов И.И._23.06.2008_Выписки (4).doc")), second);
    EXPECT_EQ(fileBytes(path("Иванов И.И._23.06.2008_Выписки (5).doc")), third);
    EXPECT_EQ(dialogs.asked().last().text, "Выгружено документов: 3 из 3.");

    // A second export into the same folder adds copies and keeps the first ones.
    dialogs.clear();
    dialogs.choose(folder);
    DocumentExport(*dm).ExportDocuments(&reg->filters());
    EXPECT_EQ(fileBytes(path("Иванов И.И._23.06.2008_Выписки (6).doc")), first);
    EXPECT_EQ(fileBytes(path("Иванов И.И._23.06.2008_Выписки (3).doc")), first);
    EXPECT_EQ(written().size(), 8); // the user's file, the link and six documents
}

TEST_F(Export, HostileNamesAreWrittenInsideTheFolder)
{
    const QString longType = QString(100, QChar(u'Т'));
    dbs.sql(QStringLiteral("insert into VipisType (VTName, VTOtd) values (\"%1\", 1)").arg(longType));
    dbs.sql("insert into VipisType (VTName, VTOtd) values (\"../../x\", 1)");
    const int dots = addPatient(1, "../x");
    const int slash = addPatient(1, "a/b");
    const int colon = addPatient(1, "c:d");
    const int lengthy = addPatient(1, QString(50, QChar(u'Д')));
    addDocument(dots, 1, QDate(2020, 1, 1), "1");
    addDocument(slash, 1, QDate(2020, 1, 1), "2");
    addDocument(colon, 4, QDate(2020, 1, 1), "3");
    addDocument(lengthy, 3, QDate(2020, 1, 1), "4");
    start();

    dialogs.choose(folder);
    DocumentExport(*dm).ExportDocuments(&reg->filters());

    // Nothing beside the folder, nothing below it; every name fits the file system.
    EXPECT_EQ(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"out"});
    EXPECT_EQ(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
    const QStringList names = written();
    ASSERT_EQ(names.size(), 4);
    for (const QString& n : names) {
        EXPECT_LE(n.toUtf8().size(), service::kMaxFileNameBytes) << n.toStdString();
        EXPECT_TRUE(n.endsWith(".doc")) << n.toStdString();
    }
    EXPECT_TRUE(names.contains("__x_01.01.2020_Выписки.doc"));
    EXPECT_TRUE(names.contains("a_b_01.01.2020_Выписки.doc"));
    EXPECT_TRUE(names.contains("c_d_01.01.2020_._._x.doc"));
    EXPECT_EQ(dialogs.asked().last().text, "Выгружено документов: 4 из 4.");
}

TEST_F(Export, DocumentsWithoutTypeAreExportedToo)
{
    const int ivanov = addPatient(1, "Иванов И.И.");
    const QByteArray none = addDocument(ivanov, 0, QDate(2021, 3, 4), "без типа");
    const QByteArray gone = addDocument(ivanov, 99, QDate(2021, 3, 5), "тип удалён");
    start();

    dialogs.choose(folder);
    DocumentExport(*dm).ExportDocuments(&reg->filters());

    EXPECT_EQ(fileBytes(path("Иванов И.И._04.03.2021_Без типа.doc")), none);
    EXPECT_EQ(fileBytes(path("Иванов И.И._05.03.2021_Без типа.doc")), gone);
    EXPECT_EQ(dialogs.asked().last().text, "Выгружено документов: 2 из 2.");
}

TEST_F(Export, AFilteredListExportsOnlyItsPatients)
{
    const int low = addPatient(1, "Ранний Р.Р.", 50);
    const int mid = addPatient(1, "Средний С.С.", 150);
    const int discharged = addPatient(1, "Выписанный В.В.", 160, "10.02.2024");
    addDocument(low, 1, QDate(2024, 2, 1), "1");
    addDocument(mid, 1, QDate(2024, 2, 1), "2");
    addDocument(discharged, 1, QDate(2024, 2, 1), "3");
    start();

    patient::PatientFilters& filters = reg->filters();
    filters.ExtraFiltersShown(true);
    patient::ExtraFilterInput in;
    in.historyOn = true;
    in.historyFrom = "100";
    in.historyTo = "200";
    filters.ApplyExtraFilters(in);
    ASSERT_EQ(dm->pac_q1->recordCount(), 2);

    dialogs.choose(folder);
    DocumentExport(*dm).ExportDocuments(&filters);
    EXPECT_EQ(written(), (QStringList{"Выписанный В.В._01.02.2024_Выписки.doc", "Средний С.С._01.02.2024_Выписки.doc"}));
    EXPECT_EQ(filters.keyList(), (QStringList{QString::number(discharged), QString::number(mid)}));
    // The list itself is left as it was filtered.
    EXPECT_EQ(dm->pac_q1->recordCount(), 2);
}

TEST_F(Export, AnEmptyListOrListWithoutDocumentsWritesNothingAndAsksNoFolder)
{
    start(); // department 1 has nobody yet
    DocumentExport(*dm).ExportDocuments(&reg->filters());
    EXPECT_EQ(dialogs.texts(), QStringList{"В списке нет пациентов: выгружать нечего."});
    EXPECT_TRUE(programSwitches().CardFollowsList);

    addPatient(1, "Иванов И.И.");
    reg->RefreshPatientList();
    dialogs.clear();
    DocumentExport(*dm).ExportDocuments(&reg->filters());
    EXPECT_EQ(dialogs.texts(), QStringList{"У пациентов списка нет сохранённых документов."});
    EXPECT_EQ(written(), QStringList{});

    // The core refuses an empty key list rather than running a broken statement.
    EXPECT_THROW(DocumentExport(*dm).OpenDocumentsOf({}), Error);
    EXPECT_THROW(DocumentExport(*dm).OpenDocumentsOf({"1) OR (1=1"}), Error);
}

TEST_F(Export, TheCardStaysPutDuringTheWalkAndFollowsTheListAgainAfter)
{
    const int a = addPatient(1, "Аверин А.А.");
    const int b = addPatient(1, "Борисов Б.Б.");
    addDocument(a, 1, QDate(2024, 2, 1), "1");
    addDocument(b, 1, QDate(2024, 2, 1), "2");
    start();
    ASSERT_TRUE(dm->pac_q1->locate("Pid", b));
    const int row = dm->pac_q1->recNo();
    bool followedDuringExport = true;
    DocumentExport exporter(*dm);
    exporter.progress.advanced = [&](int) { followedDuringExport = programSwitches().CardFollowsList; };

    cardLoads = 0;
    dialogs.choose(folder);
    exporter.ExportDocuments(&reg->filters());
    EXPECT_EQ(cardLoads, 0);
    EXPECT_FALSE(followedDuringExport);
    EXPECT_EQ(dm->pac_q1->recNo(), row);
    EXPECT_TRUE(programSwitches().CardFollowsList);
    ASSERT_TRUE(dm->pac_q1->locate("Pid", a));
    EXPECT_EQ(cardLoads, 1);

    // A cancelled folder choice and a failing export give the switch back too.
    dialogs.clear();
    dialogs.cancel();
    exporter.ExportDocuments(&reg->filters());
    EXPECT_TRUE(programSwitches().CardFollowsList);
    EXPECT_EQ(written().size(), 2);
    EXPECT_FALSE(dm->Upload_q->active());
    dialogs.clear();
    dialogs.choose(QDir(base.path()).filePath("no such folder"));
    EXPECT_THROW(exporter.ExportDocuments(&reg->filters()), Error);
    EXPECT_TRUE(programSwitches().CardFollowsList);
}

TEST_F(Export, AnUnreadableDocumentIsReportedAndTheRestWritten)
{
    const int ivanov = addPatient(1, "Иванов И.И.");
    addDocument(ivanov, 1, QDate(2024, 1, 1), "1");
    addRawDocument(ivanov, 1, QDate(2024, 1, 2), QByteArray()); // a body never stored
    addRawDocument(ivanov, 2, QDate(2024, 1, 3), QByteArray("BDOC\x01\x00\x00\x00\xff\xff\x00\x00", 12));
    addDocument(ivanov, 1, QDate(2024, 1, 4), "4");
    start();
    int lastProgress = -1, range = -1;
    bool finished = false;
    DocumentExport exporter(*dm);
    exporter.progress = {[&](int n) { range = n; }, [&](int done) { lastProgress = done; }, [&] { finished = true; }};

    dialogs.choose(folder);
    exporter.ExportDocuments(&reg->filters());

    EXPECT_EQ(written(), (QStringList{"Иванов И.И._01.01.2024_Выписки.doc", "Иванов И.И._04.01.2024_Выписки.doc"}));
    EXPECT_EQ(range, 4);
    EXPECT_EQ(lastProgress, 4);
    EXPECT_TRUE(finished);
    ASSERT_EQ(dialogs.asked().last().kind, DialogKind::Error);
    const QString text = dialogs.asked().last().text;
    EXPECT_TRUE(text.startsWith("Выгружено документов: 2 из 4.\nНе удалось выгрузить (2):\n"
                                "Иванов И.И._02.01.2024_Выписки.doc — "))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Иванов И.И._03.01.2024_Этапный эпикриз.doc — ")) << text.toStdString();
}

TEST_F(Export, TheStartWindowButtonExportsThePatientWindowsList)
{
    const int ivanov = addPatient(1, "Иванов И.И.");
    const QByteArray doc = addDocument(ivanov, 1, QDate(2024, 1, 1), "1");
    Workstation ws(dbs.aliases());
    ASSERT_TRUE(ws.form3);
    QProgressBar* bar = ws.form1->progressBar();
    int maximum = -1;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int) { maximum = std::max(maximum, bar->maximum()); });

    dialogs.choose(folder);
    ws.form1->exportButton()->click();

    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(fileBytes(path("Иванов И.И._01.01.2024_Выписки.doc")), doc);
    EXPECT_EQ(maximum, 1);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(dialogs.asked().last().text, "Выгружено документов: 1 из 1.");
}

TEST_F(Export, TheToolExportsAWholeDepartment)
{
    const int a = addPatient(1, "Иванов И.И.");
    const int b = addPatient(1, "Петров П.П.", 0, "01.03.2024"); // discharged: still the department's
    const int c = addPatient(2, "Кардиов К.К.");
    const QByteArray docA = addDocument(a, 1, QDate(2024, 1, 1), "1");
    addDocument(b, 0, QDate(2024, 1, 2), "2");
    addDocument(c, 1, QDate(2024, 1, 3), "3");
    const QString target = QDir(base.path()).filePath("new/folder");
    const QStringList aliases{"--alias", "pacientdata=" + dbs.path() + "/pacientdata", "--alias",
                              "Errors=" + dbs.path() + "/errors"};
    QString outText, errText;
    QTextStream out(&outText), err(&errText);

    EXPECT_EQ(tools::runExportCommand(QStringList{"--department", "1", "--folder", target} + aliases, out, err), 0);
    EXPECT_EQ(errText, "");
    EXPECT_EQ(outText, "Выгружено документов: 2 из 2.\n");
    EXPECT_EQ(QDir(target).entryList(QDir::Files, QDir::Name),
              (QStringList{"Иванов И.И._01.01.2024_Выписки.doc", "Петров П.П._02.01.2024_Без типа.doc"}));
    EXPECT_EQ(fileBytes(QDir(target).filePath("Иванов И.И._01.01.2024_Выписки.doc")), docA);

    errText.clear();
    EXPECT_EQ(tools::runExportCommand(QStringList{"--department", "7", "--folder", target} + aliases, out, err), 1);
    EXPECT_EQ(errText, "Нет отделения с ключом 7\n");
    errText.clear();
    EXPECT_EQ(tools::runExportCommand(QStringList{"--department", "x", "--folder", target} + aliases, out, err), 1);
    EXPECT_TRUE(errText.startsWith("--department: ожидается ключ отделения")) << errText.toStdString();
    errText.clear();
    EXPECT_EQ(tools::runExportCommand(QStringList{"--folder", target} + aliases, out, err), 1);
    EXPECT_EQ(errText, "Нужны --department OID и --folder КАТАЛОГ\n");

    // A document that cannot be read: the others are written, the exit status says so.
    addRawDocument(a, 1, QDate(2024, 5, 5), QByteArray());
    outText.clear();
    EXPECT_EQ(tools::runExportCommand(QStringList{"--department", "1", "--folder", target} + aliases, out, err), 2);
    EXPECT_TRUE(outText.startsWith("Выгружено документов: 2 из 3.\nНе удалось выгрузить (1):\nИванов И.И._05.05.2024_Выписки.doc — "))
        << outText.toStdString();
}
