// Spelling in the document editors: which words are marked, the personal
// dictionary, the underline in an edited view, the context menu's entries,
// and the view without dictionaries. The tests that need Debian's ru_RU and
// en_US dictionaries skip when they are not installed.

#include "view_test_support.h"

#include "common/errors.h"
#include "word/document_text.h"
#include "word/view/document_view.h"
#include "word/view/spell_checker.h"
#include "word/view/spell_highlighter.h"
#include "word/view/spell_word_list.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

// Debian's folder, or the one TALVORA_SPELL_DICTIONARIES names (an empty
// folder there runs the suite as on a machine without dictionaries).
const QString kSystemDictionaries = qEnvironmentVariableIsSet("TALVORA_SPELL_DICTIONARIES")
                                        ? qEnvironmentVariable("TALVORA_SPELL_DICTIONARIES").section(u':', 0, 0)
                                        : QStringLiteral("/usr/share/hunspell");

bool haveDictionaries()
{
    for (const char* f : {"ru_RU.aff", "ru_RU.dic", "en_US.aff", "en_US.dic"})
        if (!QFile::exists(kSystemDictionaries + u'/' + QLatin1String(f)))
            return false;
    return true;
}

#define REQUIRE_DICTIONARIES()                                                                                         \
    if (haveDictionaries()) {                                                                                          \
    } else                                                                                                             \
        GTEST_SKIP() << "hunspell-ru and hunspell-en-us are not installed"

QStringList wordsOf(const QString& text)
{
    QStringList out;
    for (const WordSpan& w : spellWords(text))
        out << text.mid(w.start, w.length);
    return out;
}

// The words underlined in the document, in order.
QStringList marked(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (const QTextLayout::FormatRange& r : b.layout()->formats())
            out << b.text().mid(r.start, r.length);
    return out;
}

QAction* actionNamed(QMenu& menu, const QString& text)
{
    for (QAction* a : menu.actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

void type(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

class Spelling : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(QDir().mkpath(emptyFolder()));
    }
    QString personalPath() const { return home_.filePath(QStringLiteral("talvora/dictionary.txt")); }
    QString emptyFolder() const { return home_.filePath(QStringLiteral("no-dictionaries")); }
    SpellCheckerPlaces places() const { return {{kSystemDictionaries}, personalPath()}; }
    std::shared_ptr<SpellChecker> checker() const { return std::make_shared<SpellChecker>(places()); }
    QByteArray personalText() const
    {
        QFile f(personalPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A shown view editing `paragraphs`, its screen checked.
    std::unique_ptr<DocumentView> editing(const QStringList& paragraphs, std::shared_ptr<SpellChecker> c)
    {
        auto view = std::make_unique<DocumentView>();
        view->setSpellChecker(std::move(c));
        view->resize(900, 700);
        view->show();
        view->loadFromBlob(blobOf(paragraphs));
        view->activate();
        view->spelling().checkVisibleNow();
        return view;
    }

    QTemporaryDir home_;
};

TEST(SpellWords, WordsAreLettersJoinedByInnerHyphensAndAddressesAreLeftOut)
{
    EXPECT_EQ(wordsOf("Пациент (45 лет) в/в 5 мг, черепно-мозговая травма; по-"),
              QStringList({"Пациент", "лет", "в", "в", "мг", "черепно-мозговая", "травма", "по"}));
    // Stress marks, soft hyphens, apostrophes and digits stay inside a word.
    EXPECT_EQ(wordsOf(QStringLiteral("пацие\u0301нт ин\u00ADсульт O'Brien T2-ВИ SpO2 fld_12")),
              QStringList({QStringLiteral("пацие\u0301нт"), QStringLiteral("ин\u00ADсульт"), "O'Brien", "T2-ВИ", "SpO2", "fld_12"}));
    EXPECT_EQ(wordsOf("почта neuro@gkb12.ru, сайт https://gkb12.ru/otd и www.gkb.ru; 120/80"),
              QStringList({"почта", "сайт", "и"}));
}

TEST_F(Spelling, MisspeltRussianWordsAreMarkedWhatADoctorWritesIsNot)
{
    REQUIRE_DICTIONARIES();
    SpellChecker c(places());
    EXPECT_EQ(c.languages(), QStringList({"ru_RU", "en_US"}));
    for (const char* wrong : {"пациэнт", "сиптомы", "Жалобв", "ЭПИКРИЗЗ", "recieve", "МРТ-пизнаки"})
        EXPECT_FALSE(c.isCorrect(QString::fromUtf8(wrong))) << wrong;
    for (const char* right : {"пациент", "Пациент", "симптомы", "ёлка", "по-прежнему", "ВЫПИСНОЙ",
                              // abbreviations, digits, capitals inside
                              "ЭКГ", "МРТ", "ЧСС", "ОНМК", "ЭхоЭГ", "pH", "Т2", "SpO2", "МРТ-признаки",
                              // Latin names in a Russian text, the department's words
                              "Mexidol", "Babinski", "guttatim", "гемигипестезия", "тетрапареза",
                              "карбамазепином", "Ромберга", "дисциркуляторной", "койко-дней"})
        EXPECT_TRUE(c.isCorrect(QString::fromUtf8(right))) << right;
    EXPECT_TRUE(c.isCorrect(QStringLiteral("пацие\u0301нт")));

    // Every word of the department's list is taken (a word or its model
    // misspelt in the list would leave it marked).
    for (const QString& line : QString::fromUtf8(medicalWordList()).split(u'\n')) {
        const QStringList fields = line.section(u'#', 0, 0).split(u' ', Qt::SkipEmptyParts);
        for (const QString& word : fields) // the word, and the model it changes like
            EXPECT_TRUE(c.isCorrect(word)) << word.toStdString();
    }
}

TEST_F(Spelling, SuggestionsAreFewAndALookAlikeLetterIsFoundOut)
{
    REQUIRE_DICTIONARIES();
    SpellChecker c(places());
    const QStringList s = c.suggestions(QStringLiteral("сиптомы"));
    EXPECT_TRUE(s.contains("симптомы")) << s.join(',').toStdString();
    EXPECT_LE(c.suggestions(QStringLiteral("пцнт")).size(), 6);
    // A Latin "a" typed in a Russian word.
    const QString mixed = QStringLiteral("п\u0061циент");
    EXPECT_FALSE(c.isCorrect(mixed));
    EXPECT_EQ(c.suggestions(mixed), QStringList({"пациент"}));
}

TEST_F(Spelling, AddedWordsAreKeptInThePersonalDictionarySkippedOnesOnlyForTheSession)
{
    REQUIRE_DICTIONARIES();
    // A dictionary edited by hand, its last line without an end.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(personalPath()).absolutePath()));
    {
        QFile f(personalPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xEF\xBB\xBFТалвинск\r\n\nнейроваскулярный");
    }
    {
        SpellChecker c(places());
        EXPECT_TRUE(c.isCorrect(QStringLiteral("Талвинск")));
        EXPECT_TRUE(c.isCorrect(QStringLiteral("нейроваскулярный")));
        EXPECT_FALSE(c.isCorrect(QStringLiteral("цереброкортикальный")));
        EXPECT_FALSE(c.isCorrect(QStringLiteral("Пирогоффа")));
        c.addToDictionary(QStringLiteral("цереброкортикальный"));
        c.ignoreAll(QStringLiteral("Пирогоффа"));
        EXPECT_TRUE(c.isCorrect(QStringLiteral("цереброкортикальный")));
        EXPECT_TRUE(c.isCorrect(QStringLiteral("Цереброкортикальный")));
        EXPECT_TRUE(c.isCorrect(QStringLiteral("Пирогоффа")));
        c.addToDictionary(QStringLiteral("цереброкортикальный")); // once in the file
    }
    EXPECT_EQ(personalText(), QByteArray("\xEF\xBB\xBFТалвинск\r\n\nнейроваскулярный\nцереброкортикальный\n"));
    SpellChecker next(places());
    EXPECT_TRUE(next.isCorrect(QStringLiteral("цереброкортикальный")));
    EXPECT_FALSE(next.isCorrect(QStringLiteral("Пирогоффа")));

    // A dictionary that cannot be written: an error, and the word stays marked.
    QFile blocker(home_.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SpellChecker readOnly({{kSystemDictionaries}, home_.filePath(QStringLiteral("file/dictionary.txt"))});
    EXPECT_THROW(readOnly.addToDictionary(QStringLiteral("Пирогоффа")), Error);
    EXPECT_FALSE(readOnly.isCorrect(QStringLiteral("Пирогоффа")));
}

TEST_F(Spelling, UnderlineIsOnlyOnTheScreenNeverInTheDocument)
{
    REQUIRE_DICTIONARIES();
    const QStringList text = {"Пациэнт жалуется на *головнуюю* боль.", "Неврологический статус без особенностей."};
    auto view = editing(text, checker());
    const QByteArray saved = blobOf(text);
    EXPECT_EQ(marked(view->textDocument()), QStringList({"Пациэнт", "головнуюю"}));
    const QTextLayout::FormatRange mark = view->textDocument().begin().layout()->formats().value(0);
    EXPECT_EQ(mark.format.underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_EQ(mark.format.underlineColor(), QColor(Qt::red));

    // Nothing of it is in the document, its history or what is saved.
    EXPECT_FALSE(view->changedSinceLoaded());
    EXPECT_FALSE(view->textDocument().isUndoAvailable());
    EXPECT_EQ(view->saveToBlob(), saved);
    EXPECT_EQ(formatAt(view->textDocument(), "Пациэнт").underlineStyle(), QTextCharFormat::NoUnderline);

    // An edit before a mark moves the mark with its word at once.
    QTextCursor c(&view->textDocument());
    c.insertText(QStringLiteral("Больной. "));
    EXPECT_EQ(marked(view->textDocument()), QStringList({"Пациэнт", "головнуюю"}));

    // Editing ends: the page shows the document as it prints.
    view->close();
    EXPECT_TRUE(marked(view->textDocument()).isEmpty());
    view->activate();
    view->spelling().checkVisibleNow();
    EXPECT_EQ(marked(view->textDocument()).size(), 2);
}

TEST_F(Spelling, TheWordBeingTypedIsMarkedOnlyOnceTheCursorLeavesIt)
{
    REQUIRE_DICTIONARIES();
    auto view = editing({"Жалобы: "}, checker());
    QTextEdit* edit = view->textEdit();
    QTextCursor end = edit->textCursor();
    end.movePosition(QTextCursor::End);
    edit->setTextCursor(end);
    type(edit, QStringLiteral("сиптомы"));
    EXPECT_EQ(edit->toPlainText(), "Жалобы: сиптомы");
    EXPECT_TRUE(marked(view->textDocument()).isEmpty());
    type(edit, QStringLiteral(" нет"));
    EXPECT_EQ(marked(view->textDocument()), QStringList({"сиптомы"}));

    // Back into the word to mend it: once right, the mark goes.
    QTextCursor in = edit->textCursor();
    in.setPosition(QStringLiteral("Жалобы: си").size());
    edit->setTextCursor(in);
    type(edit, QStringLiteral("м"));
    in.movePosition(QTextCursor::End);
    edit->setTextCursor(in);
    EXPECT_EQ(edit->toPlainText(), "Жалобы: симптомы нет");
    EXPECT_TRUE(marked(view->textDocument()).isEmpty());
}

TEST_F(Spelling, ContextMenuReplacesTheWordAsOneUndoStepAndAddsItToTheDictionary)
{
    REQUIRE_DICTIONARIES();
    auto shared = checker();
    auto view = editing({"Больной *пациэнт* осмотрен, сиптомы менингизма отсутствуют."}, shared);
    QTextDocument& doc = view->textDocument();
    const QString original = doc.toPlainText();

    // Over a correct word the menu is the editor's own.
    view->textEdit()->setTextCursor(QTextCursor(doc.findBlock(0)));
    std::unique_ptr<QMenu> plain(view->createContextMenu());
    EXPECT_EQ(actionNamed(*plain, "Добавить в словарь"), nullptr);

    const int inWord = original.indexOf("пациэнт") + 3;
    std::unique_ptr<QMenu> menu(view->createContextMenu(view->textEdit()->cursorRect(
        [&] { QTextCursor c(&doc); c.setPosition(inWord); return c; }()).center()));
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 4);
    EXPECT_EQ(actions[0]->text(), "пациент");
    EXPECT_TRUE(actions[0]->font().bold());
    ASSERT_NE(actionNamed(*menu, "Добавить в словарь"), nullptr);
    ASSERT_NE(actionNamed(*menu, "Пропустить все"), nullptr);
    // The editor's own entries follow.
    QStringList tail;
    for (qsizetype i = actions.size() - plain->actions().size(); i < actions.size(); ++i)
        tail << actions[i]->text();
    QStringList own;
    for (QAction* a : plain->actions())
        own << a->text();
    EXPECT_EQ(tail, own);
    actions[0]->trigger();
    EXPECT_EQ(doc.toPlainText(), QString(original).replace("пациэнт", "пациент"));
    EXPECT_GE(formatAt(doc, "пациент").fontWeight(), int(QFont::DemiBold)); // the word keeps its look
    EXPECT_EQ(marked(doc), QStringList({"сиптомы"}));
    doc.undo();
    EXPECT_EQ(doc.toPlainText(), original);

    // "Добавить в словарь": unmarked here and in every view of the checker, and kept.
    auto other = editing({"Сиптомы прежние."}, shared);
    EXPECT_EQ(marked(other->textDocument()), QStringList({"Сиптомы"}));
    const int at = doc.toPlainText().indexOf("сиптомы");
    QTextCursor c(&doc);
    c.setPosition(at);
    view->textEdit()->setTextCursor(c);
    std::unique_ptr<QMenu> second(view->createContextMenu());
    ASSERT_NE(actionNamed(*second, "Добавить в словарь"), nullptr);
    actionNamed(*second, "Добавить в словарь")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(marked(doc), QStringList({"пациэнт"}));
    EXPECT_TRUE(marked(other->textDocument()).isEmpty());
    EXPECT_EQ(personalText(), QByteArray("сиптомы\n"));
    EXPECT_EQ(doc.toPlainText(), original) << "the dictionary changes no text";

    // "Пропустить все".
    c.setPosition(inWord);
    view->textEdit()->setTextCursor(c);
    std::unique_ptr<QMenu> third(view->createContextMenu());
    actionNamed(*third, "Пропустить все")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(marked(doc).isEmpty());
    EXPECT_EQ(personalText(), QByteArray("сиптомы\n"));
}

TEST_F(Spelling, OnlyTheScreenIsCheckedAndScrollingChecksWhatComesIntoView)
{
    REQUIRE_DICTIONARIES();
    QStringList paragraphs;
    for (int i = 0; i < 600; ++i)
        paragraphs << QStringLiteral("Абзац %1: пациэнт в сознании.").arg(i);
    auto view = editing(paragraphs, checker());
    const QTextDocument& doc = view->textDocument();
    EXPECT_FALSE(doc.firstBlock().layout()->formats().isEmpty());
    EXPECT_TRUE(doc.lastBlock().layout()->formats().isEmpty());
    QScrollBar* bar = view->textEdit()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    EXPECT_FALSE(doc.lastBlock().layout()->formats().isEmpty());
}

TEST_F(Spelling, WithoutDictionariesTheEditorWorksUnchanged)
{
    auto none = std::make_shared<SpellChecker>(SpellCheckerPlaces{{emptyFolder()}, personalPath()});
    EXPECT_FALSE(none->available());
    EXPECT_TRUE(none->isCorrect(QStringLiteral("пациэнт")));
    EXPECT_TRUE(none->suggestions(QStringLiteral("пациэнт")).isEmpty());

    auto view = editing({"Пациэнт жалуется на головнуюю боль."}, none);
    type(view->textEdit(), QStringLiteral("сиптомы "));
    QCoreApplication::processEvents();
    EXPECT_TRUE(marked(view->textDocument()).isEmpty());
    QTextCursor c(&view->textDocument());
    c.setPosition(QStringLiteral("сиптомы Пац").size());
    view->textEdit()->setTextCursor(c);
    std::unique_ptr<QMenu> menu(view->createContextMenu());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(actionNamed(*menu, "Добавить в словарь"), nullptr);
    EXPECT_EQ(actionNamed(*menu, "Пропустить все"), nullptr);
    EXPECT_FALSE(QFile::exists(personalPath()));

    // The default places honour the folder given by the environment.
    qputenv("TALVORA_SPELL_DICTIONARIES", emptyFolder().toUtf8());
    EXPECT_FALSE(SpellChecker(SpellCheckerPlaces::defaults()).available());
    qunsetenv("TALVORA_SPELL_DICTIONARIES");
}

} // namespace
