// The document assembly on a real database: every phase and field on Word
// 97 templates, markers wherever a template may put them, nested templates,
// groups of investigation documents with tables and pictures, the treatment
// scheme, the progress panel, the verb menu, runs stopped by an error, and
// the cancel.

#include "assembly_fixture.h"

#include "common/errors.h"
#include "templates/designer_window.h"
#include "word/doc_reader.h"
#include "word/document_blob.h"

#include <QApplication>
#include <QClipboard>
#include <QPixmap>
#include <QTextBlock>

using namespace talvora;
using namespace talvora::test;

namespace {

class Assembly : public AssemblyData {
protected:
    // Template types 1 "Выписки", 2 "ЭЭГ", 3 "Анализы" of department 1 and
    // type 4 "Чужие" of department 2.
    void addTypes()
    {
        addType(1, "Выписки");
        addType(1, "ЭЭГ");
        addType(1, "Анализы");
        addType(2, "Чужие");
    }

    // Templates 1 to `n` holding only their own name, so that the next
    // template stored gets key n + 1.
    void addFillerTemplates(int n)
    {
        for (int i = 1; i <= n; ++i)
            addTemplate(1, 1, QStringLiteral("Шаблон %1").arg(i), blobOf({QStringLiteral("шаблон %1").arg(i)}));
    }

    QTextCharFormat formatAt(const QString& piece) const
    {
        const QTextDocument& doc = target.textDocument();
        const QTextCursor found = doc.find(piece, 0, QTextDocument::FindCaseSensitively);
        if (found.isNull()) {
            ADD_FAILURE() << "not in the document: " << piece.toStdString();
            return {};
        }
        QTextCursor c(const_cast<QTextDocument*>(&doc));
        c.setPosition(found.selectionStart() + 1);
        return c.charFormat();
    }

    // The progress panel hidden again and the verb menu back on.
    void expectFinishedNormally()
    {
        EXPECT_TRUE(panel.isHidden());
        EXPECT_TRUE(target.autoVerbMenu());
    }
};

// ---------------------------------------------------------------- the whole road

TEST_F(Assembly, DischargeSummaryFromATemplateWrittenByLibreOffice)
{
    addTypes();
    addFillerTemplates(4);
    addTemplate(1, 1, "Подпись", blobOf({"Вложенный шаблон: <!fld_1>", "Второй *абзац*"})); // key 5
    Patient p;
    p.anamnesisDocument = blobOf({"Со слов пациента, болеет *3 года*."});
    p.recommendations.clear();
    const int pid = addPatient(p);
    addInvestigation(pid, 3, "ОАК", blobOf({"ОАК: норма. "}));
    addInvestigation(pid, 2, "ЭЭГ", blobOf({"ЭЭГ не в этой группе"}));
    addInvestigation(pid, 3, "Биохимия", blobOf({"Биохимия: *без патологии*"}));
    addPrescription(pid, "Пирацетам", "по 1 таб. 3 р/д", "", "10 дней");
    addPrescription(pid, "Мексидол", "2,0 в/в", "5 мг/кг", "5 дней");
    start(pid);

    assemble(word::wrapDocumentBlob(readData("template_discharge.doc")));

    EXPECT_EQ(text(), "ВЫПИСНОЙ ЭПИКРИЗ\n"
                      "Ф.И.О.: Иванов Иван Иванович, возраст 38 лет \n"
                      "Дата поступления: 01.03.2004 Дата выписки: 15.03.2004 (14дн. )\n"
                      "Диагноз клинический: Ишемический инсульт\n"
                      "Анамнез: Со слов пациента, болеет 3 года.\n"
                      "Обследования: ОАК: норма. Биохимия: без патологии\n"
                      "Лечение: Пирацетам по 1 таб. 3 р/д10 дней \n"
                      "Мексидол 2,0 в/в (5 мг/кг) 5 дней \n"
                      "\n"
                      "Вложенный шаблон: Иванов\n"
                      "Второй абзац\n"
                      "Рекомендации:  \n"
                      "Несуществующее поле: <!fld_25> и длинная метка  \n");
    // The value of the marker split over an italic and a bold run takes the
    // first run's format; pasted documents keep their own.
    EXPECT_TRUE(formatAt("Ишемический").fontItalic());
    EXPECT_LT(formatAt("Ишемический").fontWeight(), int(QFont::DemiBold));
    EXPECT_GE(formatAt("3 года").fontWeight(), int(QFont::DemiBold));
    EXPECT_GE(formatAt("без патологии").fontWeight(), int(QFont::DemiBold));
    EXPECT_GE(formatAt("абзац").fontWeight(), int(QFont::DemiBold));
    expectFinishedNormally();
    EXPECT_EQ(bar.value(), 100);
    EXPECT_TRUE(dialogs.asked().isEmpty());

    // What the data module is left on.
    EXPECT_EQ(dm->ShType->field("ShTID").asInteger(), 3);
    EXPECT_EQ(dm->Sh->field("ShId").asInteger(), 5);
    EXPECT_EQ(dm->Issled_q2->recordCount(), 2);

    // The document as the patient window stores it reads back the same.
    const word::Document stored = word::documentFromBlob(target.saveToBlob());
    EXPECT_EQ(word::plainText(stored), text());
}

// ---------------------------------------------------------------- fields

TEST_F(Assembly, EveryFieldNumberTakesItsValue)
{
    const int pid = addPatient();
    start(pid);
    QStringList paragraphs;
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 31, 32})
        paragraphs << QStringLiteral("%1=<!fld_%1>").arg(n);
    assemble(blobOf(paragraphs));
    EXPECT_EQ(text(), "1=Иванов\n2=Иван\n3=Иванович\n4=инженер\n5=05.03.1965\n6=01.03.2004\n7=15.03.2004\n"
                      "8=1234\n9=7\n10=38 лет \n11=14дн. \n12=Ишемический инсульт\n13=Гипертоническая болезнь\n"
                      "14=головная боль\n15=болеет 3 года\n16=без особенностей\n17=сознание ясное\n18=82\n"
                      "31=наблюдение невролога\n32=курс лечения проведён\n");
    expectFinishedNormally();
}

TEST_F(Assembly, EmptyFieldsBecomeOneBlankAndNumbersWithoutMeaningStay)
{
    Patient p;
    p.firstName.clear();
    p.birth = "30.12.1899";
    p.discharge = "30.12.1899";
    p.weight = QVariant();
    p.anamnesisText.clear();
    const int pid = addPatient(p);
    start(pid);
    assemble(blobOf({"[<!fld_2>][<!fld_5>][<!fld_10>][<!fld_7>][<!fld_18>][<!fld_15>]",
                     "<!fld_25> <!fld_0> <!fld_30> <!fld_19> <!fld_1>"}));
    EXPECT_EQ(text(), "[ ][ ][ ][ ][ ][ ]\n"
                      "<!fld_25> <!fld_0> <!fld_30> <!fld_19> Иванов\n");
}

TEST_F(Assembly, WithoutASelectedPatientFieldsAreBlank)
{
    start();
    assemble(blobOf({"[<!fld_1>][<!fld_12>]<!fld_29>[<!trt_1>]"}));
    EXPECT_EQ(line(), "[ ][ ] лабораторные и иниструментальные исследования не проводились [ ]");
}

// ---------------------------------------------------------------- where markers stand

TEST_F(Assembly, MarkersSplitOverRunsFirstAndLastInTheDocumentAndInTableCells)
{
    addTypes();
    const int pid = addPatient();
    addPrescription(pid, "Пирацетам", "по 1 таб.", "", "10 дней");
    start(pid);

    word::Document doc;
    QTextCursor c(&doc.text());
    writeRuns(c, "<!fld_1> в начале, ~<!fl~*d_2*>, середина");
    c.insertBlock();
    QTextTable* table = c.insertTable(2, 2);
    writeCell(table, 0, 0, "Палата <!fld_9>");
    writeCell(table, 0, 1, "<!fld_12>");
    writeCell(table, 1, 0, "<!trt_1>");
    writeCell(table, 1, 1, "вес <!fld_18> кг");
    c = table->lastCursorPosition();
    c.movePosition(QTextCursor::NextBlock);
    writeRuns(c, "и в конце <!fld_3>");
    const QByteArray templ = word::blobFromDocument(doc);
    // (The empty paragraph is the one a table keeps before it.)
    ASSERT_EQ(word::plainText(word::documentFromBlob(templ)),
              "<!fld_1> в начале, <!fld_2>, середина\n\n"
              "Палата <!fld_9>\n<!fld_12>\n<!trt_1>\nвес <!fld_18> кг\n"
              "и в конце <!fld_3>\n");
    assemble(templ);

    EXPECT_EQ(text(), "Иванов в начале, Иван, середина\n\n"
                      "Палата 7\nИшемический инсульт\nПирацетам по 1 таб.10 дней \nвес 82 кг\n"
                      "и в конце Иванович\n");
    EXPECT_TRUE(formatAt("Иван,").fontItalic());
    // The table is still one 2 × 2 table.
    const word::Document stored = word::documentFromBlob(target.saveToBlob());
    ASSERT_EQ(countTables(stored.text()), 1);
    const auto* t = qobject_cast<QTextTable*>(stored.text().rootFrame()->childFrames().first());
    EXPECT_EQ(t->rows(), 2);
    EXPECT_EQ(t->columns(), 2);
}

TEST_F(Assembly, AMarkerWithoutItsCloseEndsWithItsParagraphOrCell)
{
    start(addPatient());
    word::Document doc = docOf({"Фамилия: <!fld_1", "Следующий абзац"});
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    QTextTable* table = c.insertTable(1, 2);
    writeCell(table, 0, 0, "<!fld_9");
    writeCell(table, 0, 1, "<!fld_2>");
    assemble(word::blobFromDocument(doc));
    // (The empty paragraphs are the ones the table keeps before and after it.)
    EXPECT_EQ(text(), "Фамилия: Иванов\nСледующий абзац\n\n7\nИван\n\n");
}

// ---------------------------------------------------------------- groups and investigations

TEST_F(Assembly, GroupOfFiveInvestigationDocumentsWithTablesAndPictures)
{
    addTypes();
    const int pid = addPatient();
    const int other = addPatient();
    const QStringList titles{"ОАК", "ОАМ", "Биохимия", "Коагулограмма", "Липиды"};
    for (const QString& t : titles)
        addInvestigation(pid, 3, t, investigationBlob(t, t.size() % 2 ? Qt::red : Qt::blue)); // red, red, blue, red, blue
    addInvestigation(other, 3, "Чужой", investigationBlob("Чужой"));
    addInvestigation(pid, 2, "ЭЭГ", investigationBlob("ЭЭГ"));
    start(pid);

    assemble(blobOf({"Обследования:", "<!grp_3>", "Конец."}));

    const word::Document stored = word::documentFromBlob(target.saveToBlob());
    const QString all = word::plainText(stored);
    qsizetype at = 0;
    for (const QString& t : titles) {
        const qsizetype found = all.indexOf(t + ": гемоглобин", at);
        EXPECT_GT(found, at) << t.toStdString();
        at = found;
    }
    EXPECT_FALSE(all.contains("Чужой"));
    EXPECT_FALSE(all.contains("ЭЭГ"));
    EXPECT_FALSE(all.contains("<!grp_"));
    EXPECT_TRUE(all.startsWith("Обследования:\nОАК\n"));
    EXPECT_TRUE(all.endsWith("Конец.\n"));
    EXPECT_EQ(countTables(stored.text()), 5);
    EXPECT_EQ(countImages(stored.text()), 5);
    // Each picture shows its own document's picture: none was lost to a
    // name another document's picture already had.
    QList<QColor> colours;
    for (QTextBlock b = stored.text().begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QString name = it.fragment().charFormat().toImageFormat().name();
                const QVariant resource = stored.text().resource(QTextDocument::ImageResource, QUrl(name));
                const QImage image = resource.typeId() == QMetaType::QPixmap ? resource.value<QPixmap>().toImage()
                                                                             : resource.value<QImage>();
                colours << (image.isNull() ? QColor() : image.pixelColor(image.width() - 1, image.height() - 1));
            }
    EXPECT_EQ(colours, (QList<QColor>{Qt::red, Qt::red, Qt::blue, Qt::red, Qt::blue}));

    // LibreOffice reads the stored document with its tables and pictures.
    const auto converted = libreOfficeConversions({{"assembled", word::unwrapDocumentBlob(target.saveToBlob())}},
                                                  QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    const QString fodt = converted->value("assembled");
    EXPECT_EQ(fodt.count("<table:table "), 5);
    EXPECT_EQ(fodt.count("<draw:image"), 5);
    for (const QString& t : titles)
        EXPECT_TRUE(fodt.contains(t + ": гемоглобин")) << t.toStdString();
}

TEST_F(Assembly, GroupsWithoutDocumentsOfAnotherDepartmentOrUnknownBecomeOneBlank)
{
    addTypes();
    const int pid = addPatient();
    addInvestigation(pid, 4, "Чужой отдел", blobOf({"чужой"}));
    start(pid);
    assemble(blobOf({"[<!grp_2>][<!grp_4>][<!grp_77>]"}));
    EXPECT_EQ(line(), "[ ][ ][ ]");
}

TEST_F(Assembly, DocumentsFromWordAndLibreOfficeComeInWithTheirContent)
{
    addTypes();
    const int pid = addPatient();
    addInvestigation(pid, 3, "Таблица", word::wrapDocumentBlob(readData("table.doc")));
    addInvestigation(pid, 3, "Рисунок", word::wrapDocumentBlob(readData("image.doc")));
    start(pid);
    assemble(blobOf({"<!grp_3>"}));
    const word::Document stored = word::documentFromBlob(target.saveToBlob());
    EXPECT_EQ(countTables(stored.text()), 1);
    EXPECT_EQ(countImages(stored.text()), 1);
    EXPECT_TRUE(word::plainText(stored).contains("Гемоглобин"));
    EXPECT_TRUE(word::plainText(stored).contains("Абзац после рисунка."));
}

TEST_F(Assembly, AllInvestigationsOrTheSentenceThatThereWereNone)
{
    addTypes();
    const int pid = addPatient();
    const int none = addPatient();
    addInvestigation(pid, 3, "ОАК", blobOf({"ОАК. "}));
    addInvestigation(pid, 2, "ЭЭГ", blobOf({"ЭЭГ. "}));
    addInvestigation(pid, 4, "Другой отдел", blobOf({"ЭКГ."}));
    start(none);
    assemble(blobOf({"Обследования:<!fld_29>."}));
    EXPECT_EQ(line(), "Обследования: лабораторные и иниструментальные исследования не проводились .");

    select(pid);
    assemble(blobOf({"Обследования: <!fld_29>"}));
    EXPECT_EQ(line(), "Обследования: ОАК. ЭЭГ. ЭКГ.");
}

TEST_F(Assembly, UnreadableDocumentsLeaveBlanksAndTheRunGoesOn)
{
    addTypes();
    Patient p;
    p.anamnesisDocument = QByteArray("not a document");
    const int pid = addPatient(p);
    addInvestigation(pid, 3, "Битый", QByteArray("BDOC\x01\0\0\0\x10\0\0\0garbage", 19));
    addInvestigation(pid, 3, "Пустой", QByteArray());
    addInvestigation(pid, 3, "Хороший", blobOf({"норма"}));
    start(pid);
    assemble(blobOf({"[<!fld_15>][<!grp_3>][<!fld_1>]"}));
    // Two blanks for each document that could not be read.
    EXPECT_EQ(line(), "[  ][    норма][Иванов]");
    expectFinishedNormally();
}

// ---------------------------------------------------------------- treatment

TEST_F(Assembly, TreatmentOnOneLineOrADrugALine)
{
    const int pid = addPatient();
    const int without = addPatient();
    addPrescription(pid, "Пирацетам", "по 1 таб. 3 р/д", "", "10 дней");
    addPrescription(pid, "Мексидол", "2,0 в/в", "5 мг/кг", "5 дней");
    start(pid);
    assemble(blobOf({"Лечение: <!trt_1>|"}));
    EXPECT_EQ(text(), "Лечение: Пирацетам по 1 таб. 3 р/д10 дней Мексидол 2,0 в/в (5 мг/кг) 5 дней |\n");
    assemble(blobOf({"Лечение: <!trt_2>|"}));
    EXPECT_EQ(text(), "Лечение: Пирацетам по 1 таб. 3 р/д10 дней \nМексидол 2,0 в/в (5 мг/кг) 5 дней \n|\n");

    select(without);
    assemble(blobOf({"[<!trt_1>][<!trt_2>]"}));
    EXPECT_EQ(line(), "[ ][ ]");
}

// ---------------------------------------------------------------- nested templates

TEST_F(Assembly, NestedThreeDeepWithTheirMarkersReplaced)
{
    addTypes();
    const int pid = addPatient();
    addPrescription(pid, "Пирацетам", "по 1 таб.", "", "10 дней");
    addFillerTemplates(4);
    // 5 holds a field marker and <!shabl_6>; 6 holds <!shabl_7>; 7 a treatment marker.
    addTemplate(1, 1, "Пятый", blobOf({"Пятый: <!fld_1> <!shabl_6>"}));
    addTemplate(1, 1, "Шестой", blobOf({"Шестой: <!shabl_7> <!fld_2>"}));
    addTemplate(2, 4, "Седьмой", blobOf({"Седьмой (другой отдел): <!trt_1>"}));
    start(pid);
    assemble(blobOf({"Начало <!shabl_5> конец"}));
    EXPECT_EQ(line(), "Начало Пятый: Иванов Шестой: Седьмой (другой отдел): Пирацетам по 1 таб.10 дней  Иван конец");
    // One step for each of the three passes, then the phases.
    EXPECT_EQ(bar.value(), 100);
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

TEST_F(Assembly, DeletedAndSixDigitTemplatesAreReplacedWhole)
{
    addTypes();
    start(addPatient());
    assemble(blobOf({"[<!shabl_5>][<!shabl_123456>][<!shabl_1234567>]"}));
    // Seven digits: the 14 characters copied hold six of them (N = 123456),
    // and the marker is taken as 15 characters: its ">" is left behind.
    EXPECT_EQ(line(), "[ ][ ][ >]");
}

TEST_F(Assembly, ATemplateThatIncludesItselfIsExpandedOnceAndNamed)
{
    addTypes();
    start(addPatient());
    const int self = addTemplate(1, 1, "Сам в себе", blobOf({"[сам <!shabl_1> <!fld_1>]"}));
    ASSERT_EQ(self, 1);

    assemble(blobOf({"<!shabl_1>"}));
    EXPECT_EQ(line(), "[сам   Иванов]");
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].kind, DialogKind::Notice);
    EXPECT_TRUE(dialogs.asked()[0].text.contains("Шаблон «Сам в себе» (№1) включает сам себя."));
    expectFinishedNormally();
}

TEST_F(Assembly, ALoopThroughOtherTemplatesIsCutWhereItWouldCloseAndEachLoopIsNamed)
{
    addTypes();
    start(addPatient());
    addTemplate(1, 1, "Осмотр", blobOf({"О(<!shabl_2>)"}));            // 1 → 2
    addTemplate(1, 1, "Анализы", blobOf({"А(<!shabl_3><!shabl_4>)"})); // 2 → 3, 4
    addTemplate(1, 1, "Итог", blobOf({"И(<!shabl_1>)"}));              // 3 → 1: loop
    addTemplate(1, 1, "Подпись", blobOf({"П"}));                       // 4: no loop
    addTemplate(1, 1, "Дважды", blobOf({"Д(<!shabl_4><!shabl_4>)"}));  // 5: the same template twice is no loop

    assemble(blobOf({"<!shabl_1>|<!shabl_5>|<!shabl_3>"}));
    EXPECT_EQ(line(), "О(А(И( )П))|Д(ПП)|И(О(А( П)))");
    ASSERT_EQ(dialogs.asked().size(), 1);
    const QString notice = dialogs.asked()[0].text;
    EXPECT_TRUE(notice.contains("Шаблон «Осмотр» (№1) включает сам себя через другие шаблоны: "
                                "«Осмотр» (№1) → «Анализы» (№2) → «Итог» (№3) → «Осмотр» (№1)."))
        << notice.toStdString();
    EXPECT_TRUE(notice.contains("«Итог» (№3) → «Осмотр» (№1) → «Анализы» (№2) → «Итог» (№3)")) << notice.toStdString();
}

// ---------------------------------------------------------------- progress and views

TEST_F(Assembly, ProgressPanelShowsOnlyWhileTheRunLastsAndTheVerbMenuIsOffMeanwhile)
{
    addTypes();
    const int pid = addPatient();
    addInvestigation(pid, 3, "ОАК", blobOf({"a"}));
    addInvestigation(pid, 3, "ОАМ", blobOf({"b"}));
    start(pid);
    panel.hide();
    bar.setValue(37);
    target.setAutoVerbMenu(true);

    // Seen from inside the run: whenever the assembly's investigation list moves.
    QList<int> values;
    bool panelShown = true, verbMenuOff = true;
    dm->Issled_q2->afterScroll = [&](data::Dataset&) {
        values << bar.value();
        panelShown = panelShown && !panel.isHidden();
        verbMenuOff = verbMenuOff && !target.autoVerbMenu();
    };
    // The investigations page's list and editor are not the assembly's.
    int shownOnPage = 0;
    dm->hooks.treatment.InvestigationAutoDisplay = [] { return true; };
    dm->hooks.treatment.ShowInvestigationResult = [&] { ++shownOnPage; };
    const QString pageList = dm->Issled_q->sqlText();
    assemble(blobOf({"<!fld_1><!fld_2><!grp_3>"}));
    // The bar starts from 0: fields 1 and 2 after the 30 of the passes, then
    // 60 and 10 for the group; the second document a step more.
    EXPECT_EQ(values, (QList<int>{70, 70}));
    EXPECT_EQ(shownOnPage, 0);
    EXPECT_EQ(dm->Issled_q->sqlText(), pageList);
    EXPECT_TRUE(panelShown);
    EXPECT_TRUE(verbMenuOff);
    expectFinishedNormally();
    EXPECT_EQ(bar.value(), 100);
}

TEST_F(Assembly, TheRunWorksInAHiddenAuxiliaryViewAndTheSystemClipboardIsLeftAlone)
{
    start(addPatient());
    addTemplate(1, 1, "Вложенный", blobOf({"вложенный"}));
    QApplication::clipboard()->setText("то, что скопировал врач");
    assemble(blobOf({"<!shabl_1> <!fld_1>"}));
    EXPECT_EQ(line(), "вложенный Иванов");
    EXPECT_EQ(QApplication::clipboard()->text(), "то, что скопировал врач");
    EXPECT_TRUE(aux.isHidden());
    EXPECT_TRUE(box.isHidden());
    EXPECT_EQ(box.text(), "");
}

// ---------------------------------------------------------------- failures and the cancel

TEST_F(Assembly, AMalformedMarkerStopsTheRunWithWhatWasReplacedKept)
{
    start(addPatient());
    const QByteArray templ = blobOf({"<!fld_1> <!fld_x> <!fld_2>"});
    try {
        assemble(templ);
        FAIL() << "the run went on";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Ошибка в метке шаблона «<!fld_x>»: «» не является допустимым целым числом.");
    }
    EXPECT_EQ(line(), "Иванов <!fld_x> <!fld_2>");
    expectFinishedNormally();
    assembly->CancelAssembly(target);
    EXPECT_EQ(line(), "<!fld_1> <!fld_x> <!fld_2>");
}

TEST_F(Assembly, AnUnreadableNestedTemplateStopsTheRunAndSaysWhich)
{
    start(addPatient());
    addTemplate(1, 1, "Битый", QByteArray("XXXX not a document"));
    try {
        assemble(blobOf({"<!fld_1> <!shabl_1> <!fld_2>"}));
        FAIL() << "the run went on";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith("Вложенный шаблон «Битый» (№1) не удалось загрузить: Invalid stream format"))
            << e.message().toStdString();
    }
    // Stopped in the first phase: nothing replaced yet.
    EXPECT_EQ(line(), "<!fld_1> <!shabl_1> <!fld_2>");
    expectFinishedNormally();
}

TEST_F(Assembly, AnErrorAfterALoopReportsBoth)
{
    start(addPatient());
    addTemplate(1, 1, "Петля", blobOf({"<!shabl_1>"}));
    try {
        assemble(blobOf({"<!shabl_1> <!trt_>"}));
        FAIL() << "the run went on";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("<!trt_>"));
        EXPECT_TRUE(e.message().contains("«Петля» (№1) включает сам себя"));
    }
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

TEST_F(Assembly, AnEmptyViewIsAnErrorAndTouchesNothing)
{
    start(addPatient());
    assemble(blobOf({"<!fld_1>"}));
    target.clear();
    EXPECT_THROW(assembly->AssembleDocument(target, aux, box, {&panel, &bar}), Error);
    expectFinishedNormally();
    // The document before the last run that did start is still there to go back to.
    assembly->CancelAssembly(target);
    EXPECT_EQ(line(), "<!fld_1>");
}

TEST_F(Assembly, CancelBeforeAnyAssemblySaysSoAndLeavesTheView)
{
    start(addPatient());
    target.loadFromBlob(blobOf({"мой документ"}));
    try {
        assembly->CancelAssembly(target);
        FAIL() << "nothing was said";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Отменять нечего: документ ещё не собирался.");
    }
    EXPECT_EQ(line(), "мой документ");
}

TEST_F(Assembly, CancelGoesBackToTheDocumentBeforeTheLatestRunFromEitherWindow)
{
    start(addPatient());
    TForm2 designer; // keeps the program's before-assembly buffer
    ASSERT_TRUE(beforeAssemblyBuffer().has_value());
    templates::DocumentAssembly designers(*dm);
    word::DocumentView designerView, designerAux;
    word::MarkerTextBox designerBox;

    assemble(blobOf({"первый <!fld_1>"}));
    target.activate();
    target.automation().selection().wholeStory();
    target.automation().selection().typeText("второй <!fld_2>");
    assembly->AssembleDocument(target, aux, box, {&panel, &bar});
    EXPECT_EQ(line(), "второй Иван");

    // The designer's cancel puts the patient window's latest template in its own view.
    designers.CancelAssembly(designerView);
    EXPECT_EQ(word::plainText(word::documentFromBlob(designerView.saveToBlob())), "второй <!fld_2>\n");

    // A run from the designer: the patient window's cancel now brings that one.
    designerView.loadFromBlob(blobOf({"из конструктора <!fld_3>"}));
    designers.AssembleDocument(designerView, designerAux, designerBox, {&panel, &bar});
    assembly->CancelAssembly(target);
    EXPECT_EQ(line(), "из конструктора <!fld_3>");
}

TEST(DesignerWindow, OwnsTheBeforeAssemblyBuffer)
{
    beforeAssemblyBuffer().reset();
    {
        TForm2 designer;
        ASSERT_TRUE(beforeAssemblyBuffer().has_value());
        EXPECT_TRUE(beforeAssemblyBuffer()->isEmpty());
    }
    EXPECT_FALSE(beforeAssemblyBuffer().has_value());
}

} // namespace
