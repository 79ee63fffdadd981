// The highlighter in a document view: markers found across formatting runs,
// broken ones flagged, the tooltip under the mouse, and nothing of it in
// what the view stores.

#include "assembly_fixture.h"
#include "templates/marker_highlighter.h"
#include "word/view/layout_formats.h"
#include "word/view/spell_checker.h"
#include "word/view/spell_highlighter.h"

#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTest>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::templates;
using talvora::test::blobOf;

namespace {

MarkerCatalog department()
{
    MarkerCatalog c;
    c.templateTypes = {{3, QStringLiteral("Лабораторные исследования")}};
    c.templates = {{1, QStringLiteral("Шапка выписки")}};
    return c;
}

// The highlighted stretches of paragraph `block` as "start+length:ok|err".
QString highlighted(const QTextDocument& doc, int block)
{
    QStringList out;
    const QTextBlock b = doc.findBlockByNumber(block);
    for (const QTextLayout::FormatRange& r : b.layout()->formats()) {
        const bool broken = r.format.underlineStyle() == QTextCharFormat::WaveUnderline;
        EXPECT_EQ(r.format.background(), broken ? MarkerHighlighter::brokenFormat().background()
                                                 : MarkerHighlighter::soundFormat().background());
        out << QStringLiteral("%1+%2:%3").arg(r.start).arg(r.length).arg(broken ? "err" : "ok");
    }
    return out.join(u' ');
}

struct HighlighterTest : ::testing::Test {
    // Without dictionaries nothing is underlined: these tests see the markers alone.
    HighlighterTest()
    {
        view.setSpellChecker(std::make_shared<word::SpellChecker>(word::SpellCheckerPlaces{}));
    }
    word::DocumentView view;
    MarkerHighlighter highlighter{department()};

    void load(const QStringList& paragraphs)
    {
        view.loadFromBlob(blobOf(paragraphs));
        QCoreApplication::processEvents(); // a new document is highlighted once the event loop runs
    }
    QTextDocument& doc() { return view.textDocument(); }
};

TEST_F(HighlighterTest, FindsMarkersWhateverTheirRunsAndFlagsTheBrokenOnes)
{
    highlighter.followView(view);
    load({QStringLiteral("Диагноз: *<!fld_*12>, ~<!gr~p_3> и <!FLD_1>"),
          QStringLiteral("<!fld_19> <!fld_123456789> <!shabl_5> <!shabl_1>"),
          QStringLiteral("через абзац *<!fld_*"), QStringLiteral("12> не метка")});
    EXPECT_EQ(highlighted(doc(), 0), "9+9:ok 20+8:ok 31+8:ok");
    EXPECT_EQ(highlighted(doc(), 1), "0+9:err 10+16:err 27+10:err 38+10:ok");
    EXPECT_EQ(highlighted(doc(), 2), "12+6:err");
    EXPECT_EQ(highlighted(doc(), 3), "");

    // The tooltips, by document position.
    const int second = doc().findBlockByNumber(1).position();
    EXPECT_EQ(highlighter.toolTipAt(9 + 4), "<!fld_12> — клинический диагноз");
    EXPECT_EQ(highlighter.toolTipAt(20), "<!grp_3> — исследования типа «Лабораторные исследования»");
    EXPECT_EQ(highlighter.toolTipAt(18), "");
    EXPECT_TRUE(highlighter.toolTipAt(second + 3).startsWith(QStringLiteral("<!fld_19> — ошибка. Поля с номером 19")));
    EXPECT_TRUE(highlighter.toolTipAt(second + 30).contains(QStringLiteral("Шаблона с номером 5 нет")));
    QTextCursor after(&doc());
    after.setPosition(9 + 9); // the insertion point just after <!fld_12>
    ASSERT_TRUE(highlighter.markerAt(after).has_value());
    EXPECT_EQ(highlighter.markerAt(after)->start, 9);

    // A type deleted since: its marker turns broken.
    MarkerCatalog without = department();
    without.templateTypes.clear();
    highlighter.setCatalog(without);
    EXPECT_EQ(highlighted(doc(), 0), "9+9:ok 20+8:err 31+8:ok");
}

TEST_F(HighlighterTest, FollowsTheViewsDocumentAndWhatIsTypedIntoIt)
{
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    highlighter.followView(view);
    load({QStringLiteral("Ф.И.О.: "), QStringLiteral("<!fld_9>")});
    EXPECT_EQ(highlighter.document(), &doc());
    EXPECT_EQ(highlighted(doc(), 0), "");
    EXPECT_EQ(highlighted(doc(), 1), "0+8:ok");

    // Insertions as the designer makes them, one after another: the view
    // lays the document out again once the calls are over.
    view.activate();
    word::WordSelection& s = view.automation().selection();
    s.setStart(8);
    s.setEnd(8);
    s.insertAfter(QStringLiteral("<!fld_1>"));
    s.insertAfter(QStringLiteral(" "));
    s.insertAfter(QStringLiteral("<!fld_19>"));
    s.setStart(0);
    s.setEnd(0);
    s.typeText(QStringLiteral("№ "));
    QCoreApplication::processEvents();
    ASSERT_TRUE(view.editorAttached());
    EXPECT_EQ(highlighted(doc(), 0), "10+8:ok 19+9:err");
    EXPECT_EQ(highlighted(doc(), 1), "0+8:ok");

    // Typing in the editor itself.
    QTextCursor c(&doc());
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral(" <!trt_1>"));
    EXPECT_EQ(highlighted(doc(), 1), "0+8:ok 9+8:ok");

    // Markers put in while the designer is hidden show once it is shown.
    view.hide();
    s.setStart(0);
    s.setEnd(0);
    s.insertAfter(QStringLiteral("<!grp_3>"));
    view.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(highlighted(doc(), 0), "0+8:ok 18+8:ok 27+9:err");

    view.clear();
    EXPECT_EQ(highlighter.document(), nullptr);
    load({QStringLiteral("<!trt_2>")});
    EXPECT_EQ(highlighter.document(), &doc());
    EXPECT_EQ(highlighted(doc(), 0), "0+8:ok");
}

TEST_F(HighlighterTest, MarkersPutIntoAViewNeverShownShowWhenItIs)
{
    highlighter.followView(view);
    load({QStringLiteral("Жалобы: ")});
    view.activate();
    word::WordSelection& s = view.automation().selection();
    s.setStart(8);
    s.setEnd(8);
    s.insertAfter(QStringLiteral("<!fld_14>"));
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    EXPECT_EQ(highlighted(doc(), 0), "8+9:ok");
}

TEST_F(HighlighterTest, TheStoredDocumentIsTheSameWithAndWithoutHighlighting)
{
    const QStringList paragraphs{QStringLiteral("Диагноз: *<!fld_*12> <!fld_19>"),
                                 QStringLiteral("<!grp_3> ~<!shabl_1>~ <!trt_1> <!fld_123456789>")};
    view.resize(800, 600);
    view.show();
    view.loadFromBlob(blobOf(paragraphs));
    const QByteArray plainBlob = view.saveToBlob();
    const QJsonObject plainDump = word::dumpDocument(*view.document());

    highlighter.followView(view);
    highlighter.rehighlight();
    QCoreApplication::processEvents();
    ASSERT_EQ(highlighted(doc(), 0), "9+9:ok 19+9:err"); // it did highlight

    EXPECT_EQ(view.saveToBlob(), plainBlob);
    EXPECT_EQ(word::dumpDocument(*view.document()), plainDump);
    EXPECT_FALSE(view.changedSinceLoaded());
    EXPECT_FALSE(doc().isUndoAvailable());
    // The document's own formats are as written: no background anywhere.
    for (QTextBlock b = doc().begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_EQ(it.fragment().charFormat().background().style(), Qt::NoBrush);
}

// The spelling underline and the markers' highlight share the paragraphs'
// layouts: neither may take the other's away, whichever comes last.
TEST(MarkersAndSpelling, BothShowInAnEditedDocumentWhateverChangesIt)
{
    const QString dictionaries = QStringLiteral("/usr/share/hunspell");
    auto checker = std::make_shared<word::SpellChecker>(word::SpellCheckerPlaces{{dictionaries}, QString()});
    if (!checker->available())
        GTEST_SKIP() << "no Russian dictionary in " << dictionaries.toStdString();
    word::DocumentView view;
    view.setSpellChecker(checker);
    view.resize(800, 600);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    MarkerHighlighter highlighter(department());
    highlighter.followView(view);
    view.loadFromBlob(blobOf({QStringLiteral("Диагноз ашибка: <!fld_12> <!fld_25>")}));
    view.activate();
    QCoreApplication::processEvents();
    view.spelling().checkVisibleNow();

    const auto layers = [&] {
        const QTextBlock b = view.textDocument().firstBlock();
        QStringList out;
        for (const auto& r : word::layerFormats(b, word::FormatLayer::Spelling))
            out << QStringLiteral("s%1+%2").arg(r.start).arg(r.length);
        for (const auto& r : word::layerFormats(b, word::FormatLayer::Markers))
            out << QStringLiteral("m%1+%2").arg(r.start).arg(r.length);
        // Nothing else is in the layout.
        EXPECT_EQ(b.layout()->formats().size(), out.size());
        return out.join(u' ');
    };
    EXPECT_EQ(layers(), "s8+6 m16+9 m26+9");

    // Typed into: both follow the text.
    QTextCursor c(&view.textDocument());
    c.insertText(QStringLiteral("<!fld_1> "));
    view.spelling().checkVisibleNow();
    EXPECT_EQ(layers(), "s17+6 m0+8 m25+9 m35+9");

    // A marker inserted by the automation, the view laying out again afterwards.
    word::WordSelection& s = view.automation().selection();
    s.setStart(0);
    s.setEnd(0);
    s.insertAfter(QStringLiteral("<!trt_1> "));
    QCoreApplication::processEvents();
    view.spelling().checkVisibleNow();
    EXPECT_EQ(layers(), "s26+6 m0+8 m9+8 m34+9 m44+9");

    // The markers' highlight goes with its highlighter; the underline stays.
    highlighter.setDocument(nullptr);
    EXPECT_EQ(layers(), "s26+6");
}

TEST(MarkerToolTips, NameTheMarkerUnderTheMouse)
{
    QTextEdit editor;
    editor.resize(600, 300);
    editor.setPlainText(QStringLiteral("Жалобы: <!fld_14>, неизвестное <!fld_25>"));
    MarkerHighlighter highlighter(editor.document(), department());
    auto* tips = new MarkerToolTips(&editor, highlighter);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));

    const auto pointAt = [&](int position) {
        QTextCursor c(editor.document());
        c.setPosition(position);
        const QRect r = editor.cursorRect(c);
        return QPoint(r.left() + 3, r.center().y()); // on the character after the position
    };
    EXPECT_EQ(tips->toolTipAt(pointAt(10)), "<!fld_14> — жалобы");
    EXPECT_TRUE(tips->toolTipAt(pointAt(33)).contains(QStringLiteral("Поля с номером 25 нет")));
    EXPECT_EQ(tips->toolTipAt(pointAt(2)), "");
    EXPECT_EQ(tips->toolTipAt(QPoint(590, 290)), ""); // below the text
}

} // namespace
