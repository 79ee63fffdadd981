// The automation calls on their own: positions, searching, the three ways of
// putting text in, the transfer buffer, the whole text, and their errors.

#include "view_test_support.h"

#include "common/errors.h"
#include "word/document_text.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"
#include "word/view/transfer_buffer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QMimeData>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

class Automation : public ::testing::Test {
protected:
    void SetUp() override { transferBuffer().clear(); }

    WordSelection& load(DocumentView& v, const QStringList& paragraphs)
    {
        v.loadDocument(docOf(paragraphs));
        return v.automation().selection();
    }
    QString wholeText(DocumentView& v)
    {
        v.automation().activeDocument().select();
        return v.automation().selection().rangeText();
    }
    void select(WordSelection& s, int start, int end)
    {
        s.setStart(start);
        s.setEnd(end);
    }

    DocumentView view;
    DocumentView other;
};

TEST_F(Automation, PositionsMoveTheOtherEndAlongAndStopAtTheDocumentEnd)
{
    WordSelection& s = load(view, {"abcdef", "gh"}); // positions 0..9
    EXPECT_EQ(s.start(), 0);
    EXPECT_EQ(s.end(), 0);
    select(s, 2, 5);
    EXPECT_EQ(s.rangeText(), "cde");
    s.setStart(7); // past the end: the end follows
    EXPECT_EQ(s.start(), 7);
    EXPECT_EQ(s.end(), 7);
    s.setEnd(1); // before the start: the start follows
    EXPECT_EQ(s.start(), 1);
    EXPECT_EQ(s.end(), 1);
    s.setEnd(1000);
    EXPECT_EQ(s.end(), 9);
    EXPECT_EQ(s.rangeText(), "bcdef\rgh");
    EXPECT_THROW(s.setStart(-1), Error);
    EXPECT_THROW(s.setEnd(-5), Error);
    EXPECT_EQ(s.start(), 1); // a refused position changes nothing
}

TEST_F(Automation, FindSearchesOnFromTheSelectionIgnoringCaseAndKeepsItWhenNothingIsFound)
{
    WordSelection& s = load(view, {"раз МЕТКА два", "три метка"});
    WordFind& f = s.find();
    f.setForward(true);
    f.setText(QStringLiteral("метка"));
    ASSERT_TRUE(f.execute());
    EXPECT_EQ(s.start(), 4);
    EXPECT_EQ(s.end(), 9);
    ASSERT_TRUE(f.execute()); // from after the match
    EXPECT_EQ(s.start(), 18);
    EXPECT_FALSE(f.execute());
    EXPECT_EQ(s.start(), 18);
    EXPECT_EQ(s.end(), 23);
    f.setForward(false);
    ASSERT_TRUE(f.execute());
    EXPECT_EQ(s.start(), 4);
    f.setText(QString());
    EXPECT_FALSE(f.execute());
}

TEST_F(Automation, TypeTextReplacesAndBreaksParagraphsTheWayWordDoes)
{
    WordSelection& s = load(view, {"a*XY*b"});
    select(s, 1, 3);
    s.typeText(QStringLiteral("1\r\n2\r3\n4\v5\x01"));
    EXPECT_EQ(wholeText(view), "a1\r2\r3\r4\v5b");
    const QTextDocument& doc = view.textDocument();
    EXPECT_EQ(doc.blockCount(), 4);
    // Every piece of the typed text is bold like the replaced "X".
    for (const char* piece : {"1", "2", "3", "5"})
        EXPECT_GE(formatAt(doc, QString::fromLatin1(piece)).fontWeight(), int(QFont::DemiBold)) << piece;
    EXPECT_LT(formatAt(doc, "b").fontWeight(), int(QFont::DemiBold));
}

TEST_F(Automation, TypeTextPutsTheInsertionPointAfterTheText)
{
    WordSelection& s = load(view, {"<m> tail"});
    select(s, 0, 3);
    s.typeText("value");
    EXPECT_EQ(s.start(), 5);
    EXPECT_EQ(s.end(), 5);
    s.typeText("!");
    EXPECT_EQ(wholeText(view), "value! tail");
}

TEST_F(Automation, InsertAfterGrowsTheSelectionSoInsertionsFollowEachOther)
{
    WordSelection& s = load(view, {"Имя: "});
    select(s, 5, 5);
    s.insertAfter("<!fld_1>");
    s.insertAfter("<!fld_2>");
    s.insertAfter("<!fld_3>");
    EXPECT_EQ(wholeText(view), "Имя: <!fld_1><!fld_2><!fld_3>");
    select(s, 5, 5);
    s.insertAfter("x");
    EXPECT_EQ(s.start(), 5);
    EXPECT_EQ(s.end(), 6);
}

TEST_F(Automation, SettingTheTextReplacesTheWholeStoryAndSelectsTheNewText)
{
    WordSelection& s = load(view, {"старый", "текст"});
    s.wholeStory();
    s.setText("Строка 1\r\nСтрока 2");
    EXPECT_EQ(s.rangeText(), "Строка 1\rСтрока 2");
    // Reading back and writing again gives the same text: no paragraph is added.
    const QString text = wholeText(view);
    s.wholeStory();
    s.setText(text);
    EXPECT_EQ(wholeText(view), "Строка 1\rСтрока 2");
}

TEST_F(Automation, CopyAndPasteCarryFormattingTablesAndPicturesBetweenViews)
{
    WordSelection& from = load(other, {"*Жирный* текст"});
    {
        QTextCursor c(&other.textDocument());
        c.movePosition(QTextCursor::End);
        c.insertBlock();
        c.insertTable(2, 2)->cellAt(1, 1).firstCursorPosition().insertText("ячейка");
        c.movePosition(QTextCursor::End);
        QImage red(4, 4, QImage::Format_RGB32);
        red.fill(Qt::red);
        other.textDocument().addResource(QTextDocument::ImageResource, QUrl("img"), red);
        QTextImageFormat img;
        img.setName("img");
        c.insertImage(img);
    }
    from.wholeStory();
    from.copy();

    WordSelection& to = load(view, {"до _ после"});
    QImage blue(4, 4, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    view.textDocument().addResource(QTextDocument::ImageResource, QUrl("img"), blue);
    select(to, 3, 4);
    to.paste();

    // The insertion point is right after the pasted content.
    to.setEnd(to.start() + 6);
    EXPECT_EQ(to.rangeText(), " после");
    QTextDocument& doc = view.textDocument();
    EXPECT_GE(formatAt(doc, "Жирный").fontWeight(), int(QFont::DemiBold));
    EXPECT_LT(formatAt(doc, "текст").fontWeight(), int(QFont::DemiBold));
    EXPECT_TRUE(wholeText(view).startsWith("до Жирный текст\r"));
    EXPECT_TRUE(wholeText(view).endsWith(" после"));

    QTextTable* table = nullptr;
    QString imageName;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (QTextCursor(b).currentTable())
            table = QTextCursor(b).currentTable();
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                imageName = it.fragment().charFormat().toImageFormat().name();
    }
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->cellAt(1, 1).firstCursorPosition().block().text(), "ячейка");
    // The target already had its own "img": the pasted picture got a new name.
    ASSERT_FALSE(imageName.isEmpty());
    EXPECT_NE(imageName, "img");
    const QImage pasted = doc.resource(QTextDocument::ImageResource, QUrl(imageName)).value<QImage>();
    EXPECT_EQ(pasted.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(doc.resource(QTextDocument::ImageResource, QUrl("img")).value<QImage>().pixelColor(0, 0),
              QColor(Qt::blue));
}

// What an assembly copies out of a template — pictures, fields, notes — is
// still a picture, a field and a note in the document it saves.
TEST_F(Automation, PicturesFieldsAndNotesSurviveCopyPasteAndSaving)
{
    WordSelection& to = load(view, {"Начало "});
    select(to, 7, 7);
    for (const char* name : {"notes_fields.doc", "image.doc"}) {
        other.loadDocument(readDocument(readData(QString::fromLatin1(name))));
        WordSelection& from = other.automation().selection();
        from.wholeStory();
        from.copy();
        to.paste();
    }
    const Document saved = documentFromBlob(view.saveToBlob());
    QStringList found;
    for (const auto& p : dumpDocument(saved)[QStringLiteral("paragraphs")].toArray()) {
        for (const auto& r : p.toObject()[QStringLiteral("runs")].toArray()) {
            const QJsonObject run = r.toObject();
            if (run.contains(QStringLiteral("field")))
                found << QStringLiteral("field ") + run[QStringLiteral("field")].toObject()[QStringLiteral("kind")].toString();
            for (const char* note : {"footnote", "endnote"})
                if (run.contains(QLatin1String(note)))
                    found << QLatin1String(note) + QStringLiteral(" ")
                                 + run[QLatin1String(note)].toObject()[QStringLiteral("text")].toString().trimmed();
            if (run.contains(QStringLiteral("picture")))
                found << QStringLiteral("picture %1 bytes").arg(run[QStringLiteral("picture")].toObject()[QStringLiteral("bytes")].toInt());
        }
    }
    EXPECT_EQ(found, QStringList({QStringLiteral("footnote По данным МРТ."),
                                  QStringLiteral("footnote См. страницу 1.\nВторой абзац сноски."),
                                  QStringLiteral("endnote Концевая сноска."), QStringLiteral("field DATE"),
                                  QStringLiteral("picture 728 bytes")}));
}

TEST_F(Automation, AnEmptyDocumentPastesNothingAndEarlierContentNeverComesBack)
{
    WordSelection& from = load(other, {"прежний"});
    from.wholeStory();
    from.copy();
    other.loadDocument(Document());
    other.automation().selection().wholeStory();
    other.automation().selection().copy();

    WordSelection& to = load(view, {"a b"});
    select(to, 1, 2);
    to.paste();
    EXPECT_EQ(wholeText(view), "ab");
}

TEST_F(Automation, PastingBeforeAnyCopyIsAnError)
{
    WordSelection& s = load(view, {"x"});
    EXPECT_THROW(s.paste(), Error);
    EXPECT_EQ(wholeText(view), "x");
}

TEST_F(Automation, TheTransferBufferLeavesTheSystemClipboardAlone)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("мой текст");
    WordSelection& s = load(view, {"метка <!fld_1> конец"});
    select(s, 6, 14);
    s.copy();
    MarkerTextBox box;
    box.pasteTransfer();
    EXPECT_EQ(box.takeText(), "<!fld_1>");
    EXPECT_TRUE(box.text().isEmpty());
    s.paste();
    EXPECT_EQ(clipboard->text(), "мой текст");

    // The user's own copy goes to the system clipboard, rich and plain.
    view.show();
    view.activate();
    select(s, 0, 5);
    QCoreApplication::processEvents(); // the editor takes the document back
    view.textEdit()->copy();
    EXPECT_EQ(clipboard->text(), "метка");
    EXPECT_TRUE(clipboard->mimeData()->hasHtml());
}

TEST_F(Automation, MarkerBoxKeepsTheFirstLineOnly)
{
    WordSelection& s = load(view, {"<!fld_1>", "next"});
    select(s, 0, 12);
    s.copy();
    MarkerTextBox box;
    EXPECT_FALSE(box.isVisible());
    box.pasteTransfer();
    EXPECT_EQ(box.takeText(), "<!fld_1>");
}

TEST_F(Automation, WholeTextSeparatesParagraphsWithCarriageReturns)
{
    load(view, {"Первый", "", "Третий"});
    EXPECT_EQ(wholeText(view), "Первый\r\rТретий");
    view.loadDocument(Document());
    EXPECT_EQ(wholeText(view), "");
}

TEST_F(Automation, EveryDocumentCallFailsOnAnEmptyViewWhileCommandBarsAnswer)
{
    WordApplication& app = view.automation();
    WordSelection& s = app.selection();
    EXPECT_THROW(s.start(), Error);
    EXPECT_THROW(s.setEnd(0), Error);
    EXPECT_THROW(s.find().execute(), Error);
    EXPECT_THROW(s.typeText("x"), Error);
    EXPECT_THROW(s.insertAfter("x"), Error);
    EXPECT_THROW(s.setText("x"), Error);
    EXPECT_THROW(s.wholeStory(), Error);
    EXPECT_THROW(s.copy(), Error);
    EXPECT_THROW(s.paste(), Error);
    EXPECT_THROW(s.rangeText(), Error);
    EXPECT_THROW(app.activeDocument(), Error);
    EXPECT_TRUE(app.commandBars().item("Standard").visible());
    EXPECT_THROW(app.commandBars().item("Web"), Error);
}

TEST_F(Automation, SaveAsIntoAMissingFolderIsAnError)
{
    load(view, {"x"});
    EXPECT_THROW(view.automation().activeDocument().saveAs("/nonexistent-folder/a.doc"), Error);
}

} // namespace
