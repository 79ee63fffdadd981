// The document assembly's scan steps, driven through the automation calls on
// the discharge-summary template: markers found across formatting runs,
// read through the hidden marker box, replaced by typed values and by the
// pasted content of other documents; the result written as .doc and read back.

#include "view_test_support.h"

#include "common/errors.h"
#include "word/doc_reader.h"
#include "word/document_blob.h"
#include "word/document_text.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"
#include "word/view/transfer_buffer.h"

#include <QTemporaryDir>
#include <QTextEdit>

#include <map>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

// The steps as the assembly runs them on its target view.
class Scan {
public:
    Scan(DocumentView& target, DocumentView& aux, MarkerTextBox& box) : target_(target), aux_(aux), box_(box) {}

    WordSelection& sel() { return target_.automation().selection(); }

    void goToStart()
    {
        try {
            sel().setEnd(0);
            sel().setStart(0);
        } catch (const Error&) {
        }
    }

    bool findMarker(const QString& prefix)
    {
        try {
            WordFind& f = sel().find();
            f.setForward(true);
            f.setText(prefix);
            if (!f.execute())
                return false;
            sel().setEnd(sel().start() + 14);
            return true;
        } catch (const Error&) {
            return false;
        }
    }

    // The marker's number; the selection becomes exactly the marker.
    long long readMarker(QString* marker = nullptr)
    {
        sel().copy();
        box_.pasteTransfer();
        const QString text = box_.takeText();
        const qsizetype gt = text.indexOf(u'>');
        const int length = gt < 0 ? int(text.size()) + 1 : int(gt) + 1;
        QString digits;
        for (QChar c : text.left(length - 1))
            if (c.isDigit())
                digits += c;
        sel().setEnd(sel().start() + length);
        if (marker)
            *marker = sel().rangeText();
        return digits.toLongLong();
    }

    void typeValue(const QString& text) { sel().typeText(text.isEmpty() ? QStringLiteral(" ") : text); }

    // A stored document at the marker: the marker becomes a blank, and the
    // blank the document's content.
    void insertStoredDocument(const QByteArray& blob)
    {
        const int pos = sel().start();
        typeValue(QStringLiteral(" "));
        aux_.loadFromBlob(blob);
        aux_.activate();
        aux_.automation().selection().wholeStory();
        aux_.automation().selection().copy();
        target_.activate();
        sel().setStart(pos);
        sel().setEnd(pos + 1);
        sel().paste();
    }

private:
    DocumentView& target_;
    DocumentView& aux_;
    MarkerTextBox& box_;
};

class AssemblyScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        transferBuffer().clear();
        target.loadFromBlob(wrapDocumentBlob(readData(QStringLiteral("template_discharge.doc"))));
        target.activate();
    }

    DocumentView target;
    DocumentView aux;
    MarkerTextBox box;
    Scan scan{target, aux, box};
};

TEST_F(AssemblyScan, FindsEachMarkerOnceAndReadsItsNumber)
{
    QStringList found;
    scan.goToStart();
    while (scan.findMarker(QStringLiteral("<!"))) {
        QString marker;
        scan.readMarker(&marker);
        found << marker;
    }
    EXPECT_EQ(found, (QStringList{"<!fld_1>", "<!fld_2>", "<!fld_3>", "<!fld_10>", "<!fld_6>", "<!fld_7>",
                                  "<!fld_11>", "<!fld_12>", "<!fld_15>", "<!grp_3>", "<!trt_2>", "<!shabl_5>",
                                  "<!fld_31>", "<!fld_25>", "<!shabl_123456>"}));
}

TEST_F(AssemblyScan, SplitMarkerIsFoundAndItsValueTakesTheFirstRunsFormat)
{
    scan.goToStart();
    ASSERT_TRUE(scan.findMarker(QStringLiteral("<!fld_12")));
    EXPECT_EQ(scan.readMarker(), 12);
    scan.typeValue(QStringLiteral("Ишемический инсульт"));

    const QTextDocument& doc = target.textDocument();
    const QTextCharFormat value = formatAt(doc, QStringLiteral("Ишемический"));
    EXPECT_TRUE(value.fontItalic());
    EXPECT_LT(value.fontWeight(), int(QFont::DemiBold));
    EXPECT_FALSE(formatAt(doc, QStringLiteral("Диагноз")).fontItalic());
    // Nothing of the second run is left behind.
    EXPECT_EQ(doc.find(QStringLiteral("12>")).isNull(), true);
    // The insertion point follows the value.
    WordSelection& sel = target.automation().selection();
    EXPECT_EQ(sel.start(), sel.end());
    sel.setEnd(sel.start() + 1);
    EXPECT_EQ(sel.rangeText(), QStringLiteral("\r"));
}

TEST_F(AssemblyScan, SixDigitTemplateMarkerIsReadFromFourteenCharactersAndReplacedWhole)
{
    scan.goToStart();
    ASSERT_TRUE(scan.findMarker(QStringLiteral("<!shabl_")));
    ASSERT_TRUE(scan.findMarker(QStringLiteral("<!shabl_"))); // the second one
    QString marker;
    EXPECT_EQ(scan.readMarker(&marker), 123456);
    EXPECT_EQ(marker, QStringLiteral("<!shabl_123456>"));
    scan.typeValue(QString());
    target.automation().activeDocument().select();
    EXPECT_TRUE(target.automation().selection().rangeText().endsWith(QStringLiteral("длинная метка  ")));
}

TEST_F(AssemblyScan, WholeRunSavedAsDocKeepsTextAndSurroundingFormatting)
{
    const QByteArray nested = blobOf({QStringLiteral("Вложенный шаблон: <!fld_1>"), QStringLiteral("Второй *абзац*")});
    const QByteArray anamnesis = blobOf({QStringLiteral("Со слов пациента, болеет *3 года*.")});

    // Nested templates, pass after pass until none is left.
    for (scan.goToStart(); scan.findMarker(QStringLiteral("<!shabl_"));) {
        scan.goToStart();
        while (scan.findMarker(QStringLiteral("<!shabl_"))) {
            if (scan.readMarker() != 5) {
                scan.typeValue(QString());
                continue;
            }
            aux.loadFromBlob(nested);
            aux.activate();
            aux.automation().selection().wholeStory();
            aux.automation().selection().copy();
            target.activate();
            target.automation().selection().paste();
        }
        scan.goToStart();
    }

    const std::map<long long, QString> fields = {
        {1, "Иванов"}, {2, "Иван"}, {3, "Иванович"}, {6, "01.03.2004"}, {7, "15.03.2004"}, {10, "45 лет"},
        {11, "14дн. "}, {12, "Ишемический инсульт"}, {31, ""}};
    scan.goToStart();
    while (scan.findMarker(QStringLiteral("<!fld_"))) {
        const long long n = scan.readMarker();
        if (n == 15)
            scan.insertStoredDocument(anamnesis);
        else if (auto it = fields.find(n); it != fields.end())
            scan.typeValue(it->second);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Выписка.doc"));
    target.automation().activeDocument().saveAs(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const Document back = readDoc(file.readAll());
    EXPECT_EQ(plainText(back), QStringLiteral("ВЫПИСНОЙ ЭПИКРИЗ\n"
                                              "Ф.И.О.: Иванов Иван Иванович, возраст 45 лет\n"
                                              "Дата поступления: 01.03.2004 Дата выписки: 15.03.2004 (14дн. )\n"
                                              "Диагноз клинический: Ишемический инсульт\n"
                                              "Анамнез: Со слов пациента, болеет 3 года.\n"
                                              "Обследования: <!grp_3>\n"
                                              "Лечение: <!trt_2>\n"
                                              "Вложенный шаблон: Иванов\n"
                                              "Второй абзац\n"
                                              "Рекомендации:  \n"
                                              "Несуществующее поле: <!fld_25> и длинная метка  \n"));

    const QTextDocument& doc = back.text();
    EXPECT_GE(formatAt(doc, QStringLiteral("ВЫПИСНОЙ")).fontWeight(), int(QFont::DemiBold));
    // <!fld_1> was bold: its value is too; the text around it is not.
    EXPECT_GE(formatAt(doc, QStringLiteral("Иванов Иван")).fontWeight(), int(QFont::DemiBold));
    EXPECT_LT(formatAt(doc, QStringLiteral(" Иван Иванович")).fontWeight(), int(QFont::DemiBold));
    EXPECT_TRUE(formatAt(doc, QStringLiteral("Ишемический")).fontItalic());
    EXPECT_FALSE(formatAt(doc, QStringLiteral("Диагноз")).fontItalic());
    // Pasted documents keep their own formatting.
    EXPECT_GE(formatAt(doc, QStringLiteral("3 года")).fontWeight(), int(QFont::DemiBold));
    EXPECT_LT(formatAt(doc, QStringLiteral("Со слов")).fontWeight(), int(QFont::DemiBold));
    EXPECT_GE(formatAt(doc, QStringLiteral("абзац")).fontWeight(), int(QFont::DemiBold));
    EXPECT_EQ(formatAt(doc, QStringLiteral("Анамнез")).fontPointSize(), 12);
}

TEST_F(AssemblyScan, MarkerAtTheVeryEndIsStillFoundAndReplaced)
{
    // FindMarker reaches 14 characters past the marker's start, beyond the
    // end of this document: the selection stops at the end instead of failing.
    target.loadFromBlob(blobOf({QStringLiteral("Итог: <!fld_1>")}));
    scan.goToStart();
    ASSERT_TRUE(scan.findMarker(QStringLiteral("<!fld_")));
    EXPECT_EQ(scan.readMarker(), 1);
    scan.typeValue(QStringLiteral("Петров"));
    target.automation().activeDocument().select();
    EXPECT_EQ(target.automation().selection().rangeText(), QStringLiteral("Итог: Петров"));
}

} // namespace
