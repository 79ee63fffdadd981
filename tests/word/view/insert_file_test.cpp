// "Вставить файл…": a document inserted at the cursor (formats, tables,
// pictures, lists; one undo step), files that cannot be read, .docx/.odt/.rtf
// through LibreOffice and the converter's failures; the command bars' icons,
// tooltips and accessible names.

#include "view_test_support.h"

#include "common/errors.h"
#include "ui/scripted_dialogs.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/fields.h"
#include "word/text_formats.h"
#include "word/view/document_view.h"
#include "word/view/file_insertion.h"
#include "word/view/office_converter.h"
#include "word/view/separate_window.h"
#include "word/view/toolbar_icons.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>
#include <QTextTable>
#include <QToolBar>
#include <QUrl>

#include <csignal>
#include <memory>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

QString dataFile(const QString& name)
{
    return QStringLiteral(TALVORA_TEST_DATA "/") + name;
}

QString messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A view being edited with the paragraphs, the cursor after `cursorAfter`.
std::unique_ptr<DocumentView> editing(const QStringList& paragraphs, const QString& cursorAfter)
{
    auto view = std::make_unique<DocumentView>();
    view->loadDocument(docOf(paragraphs));
    view->resize(800, 600);
    view->show();
    view->activate();
    const QTextCursor found = view->textDocument().find(cursorAfter);
    QTextCursor at(&view->textDocument());
    at.setPosition(found.selectionEnd());
    view->setSelectionCursor(at);
    return view;
}

QTextTable* firstTable(QTextDocument& doc)
{
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f))
            return t;
    return nullptr;
}

QString cellText(QTextTable* table, int row, int column)
{
    QTextCursor c = table->cellAt(row, column).firstCursorPosition();
    c.setPosition(table->cellAt(row, column).lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c.selectedText();
}

// The sample's content (a bold heading, an italic phrase, a 2×2 table)
// inserted after "До" of "До вставки" / "Последний абзац".
void expectSampleInserted(DocumentView& view)
{
    QTextDocument& doc = view.textDocument();
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.startsWith("ДоЗаключение невролога\nСознание ясное, менингеальных знаков нет.\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("Рекомендовано наблюдение. вставки\nПоследний абзац")) << text.toStdString();
    EXPECT_GE(formatAt(doc, "Заключение").fontWeight(), int(QFont::DemiBold));
    EXPECT_TRUE(formatAt(doc, "менингеальных").fontItalic());
    EXPECT_FALSE(formatAt(doc, "Сознание").fontItalic());
    QTextTable* table = firstTable(doc);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 2);
    EXPECT_EQ(cellText(table, 1, 0), "Глюкоза");
    EXPECT_EQ(cellText(table, 1, 1), "5,1 ммоль/л");
    // The cursor stands after the inserted content.
    EXPECT_EQ(doc.toPlainText().mid(view.selectionCursor().position()), " вставки\nПоследний абзац");
}

QStringList listLabels(const QTextDocument& doc)
{
    ListNumbering numbering;
    QStringList labels;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (const QString label = numbering.label(b); !label.isEmpty())
            labels << label + b.text();
    return labels;
}

// A Word document whose paragraphs are items of one numbered list, read back
// as the reader gives it.
Document numberedDocument(const QStringList& items)
{
    Document doc;
    QTextCursor c(&doc.text());
    ListLevel level;
    level.text = QString(QChar(char16_t(0))) + QStringLiteral(".");
    QTextList* list = nullptr;
    for (const QString& item : items) {
        if (list)
            c.insertBlock();
        else
            list = c.createList(toListFormat(1, 0, level));
        list->add(c.block());
        c.insertText(item);
    }
    return readDoc(writeDoc(doc));
}

// The pictures shown, each with its image at hand.
int pictureCount(const QTextDocument& doc)
{
    int pictures = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QString name = it.fragment().charFormat().toImageFormat().name();
                EXPECT_TRUE(doc.resource(QTextDocument::ImageResource, QUrl(name)).isValid()) << name.toStdString();
                ++pictures;
            }
    return pictures;
}

int listIdOf(const QTextDocument& doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.textList())
            return b.textList()->format().intProperty(ListIdProperty);
    return -1;
}

// ----------------------------------------------------------------------------

TEST(InsertFile, WordDocumentGoesInAtTheCursorAsOneUndoStep)
{
    auto view = editing({"До вставки", "Последний абзац"}, "До");
    const QString before = view->textDocument().toPlainText();
    view->insertFile(dataFile("insert/insert_sample.doc"));
    expectSampleInserted(*view);

    // What was inserted is stored like typed content.
    const Document stored = documentFromBlob(view->saveToBlob());
    EXPECT_TRUE(plainText(stored).contains("Глюкоза")) << plainText(stored).toStdString();
    EXPECT_TRUE(plainText(stored).startsWith("ДоЗаключение невролога\n"));

    view->textEdit()->undo();
    EXPECT_EQ(view->textDocument().toPlainText(), before);
    EXPECT_EQ(firstTable(view->textDocument()), nullptr);
    EXPECT_FALSE(view->textDocument().isUndoAvailable());
}

TEST(InsertFile, ASelectionIsReplacedAndPicturesComeAlong)
{
    auto view = editing({"Снимок: заменить это.", "Конец"}, "Снимок: ");
    QTextCursor select = view->selectionCursor();
    select.setPosition(select.position() + QStringLiteral("заменить это").size(), QTextCursor::KeepAnchor);
    view->setSelectionCursor(select);
    view->insertFile(dataFile("image.doc"));

    QTextDocument& doc = view->textDocument();
    EXPECT_FALSE(doc.toPlainText().contains("заменить это"));
    EXPECT_TRUE(doc.toPlainText().startsWith("Снимок: "));
    const int pictures = pictureCount(readDoc(readData("image.doc")).text());
    ASSERT_GE(pictures, 1);
    EXPECT_EQ(pictureCount(doc), pictures);
    // Written and read again, the pictures are still there.
    EXPECT_EQ(pictureCount(documentFromBlob(view->saveToBlob()).text()), pictures);
}

TEST(InsertFile, InsertedListsNumberOnTheirOwn)
{
    // Both documents number their first list with the same Word list number;
    // the inserted items must not go on from the target's.
    QTemporaryDir dir;
    const QString path = dir.filePath("list.doc");
    writeFile(path, writeDoc(numberedDocument({"вставленный", "ещё один"})));
    DocumentView view;
    view.loadDocument(numberedDocument({"первый", "второй"}));
    view.activate();
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    ASSERT_EQ(listIdOf(readDoc(written.readAll()).text()), listIdOf(view.textDocument()));
    QTextCursor end(&view.textDocument());
    end.movePosition(QTextCursor::End);
    end.insertBlock(QTextBlockFormat());
    view.setSelectionCursor(end);

    view.insertFile(path);
    EXPECT_EQ(listLabels(view.textDocument()),
              QStringList({"1.первый", "2.второй", "1.вставленный", "2.ещё один"}));
    // And so they stay once stored.
    EXPECT_EQ(listLabels(documentFromBlob(view.saveToBlob()).text()),
              QStringList({"1.первый", "2.второй", "1.вставленный", "2.ещё один"}));
}

// A one-paragraph document: `before`, then a PAGE field showing `result`,
// as the reader gives it.
Document withPageField(const QString& before, const QString& result)
{
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(before);
    QTextCharFormat field;
    setField(field, FieldInfo{QStringLiteral(" PAGE "), 1, 33, false, false});
    c.insertText(result, field);
    return readDoc(writeDoc(doc));
}

QList<int> fieldIds(const QTextDocument& doc)
{
    QList<int> ids;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (const auto field = fieldOf(it.fragment().charFormat()))
                ids << field->id;
    return ids;
}

QStringList sectionStarts(const QTextDocument& doc)
{
    QStringList starts;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().hasProperty(SectionStartProperty))
            starts << QStringLiteral("%1@%2").arg(b.text()).arg(b.position());
    return starts;
}

TEST(InsertFile, FieldsAndSectionBreaksOfTheInsertedDocumentStayItsOwn)
{
    QTemporaryDir dir;
    // A field inserted right after a field with the same number stays a
    // field of its own.
    const QString fieldPath = dir.filePath("field.doc");
    writeFile(fieldPath, writeDoc(withPageField(QString(), "7")));
    DocumentView view;
    view.loadDocument(withPageField("Стр. ", "1"));
    view.activate();
    ASSERT_EQ(fieldIds(readDoc(writeDoc(withPageField(QString(), "7"))).text()), fieldIds(view.textDocument()));
    QTextCursor end(&view.textDocument());
    end.movePosition(QTextCursor::End);
    view.setSelectionCursor(end);
    view.insertFile(fieldPath);
    EXPECT_EQ(view.textDocument().toPlainText(), "Стр. 17");
    const QList<int> ids = fieldIds(view.textDocument());
    ASSERT_EQ(ids.size(), 2);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_EQ(fieldIds(documentFromBlob(view.saveToBlob()).text()).size(), 2);

    // A document of two sections inserted into the first section of another:
    // the text comes in, the target's own break stays where it was.
    const QString sections = QStringLiteral(TALVORA_TEST_DATA "/../../data/two_sections.doc");
    QFile file(sections);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    view.loadDocument(readDoc(file.readAll()));
    view.activate();
    const QStringList own = sectionStarts(view.textDocument());
    ASSERT_EQ(own.size(), 1);
    QTextCursor first(&view.textDocument());
    first.movePosition(QTextCursor::EndOfBlock);
    view.setSelectionCursor(first);
    const int before = view.textDocument().characterCount();
    view.insertFile(sections);
    const int grown = view.textDocument().characterCount() - before;
    ASSERT_GT(grown, 0);
    const QStringList now = sectionStarts(view.textDocument());
    ASSERT_EQ(now.size(), 1) << now.join(" ; ").toStdString() << " own " << own.join(";").toStdString();
    EXPECT_EQ(now[0].section('@', 0, 0), own[0].section('@', 0, 0));
    EXPECT_EQ(now[0].section('@', 1).toInt(), own[0].section('@', 1).toInt() + grown);
    const Document stored = documentFromBlob(view.saveToBlob());
    EXPECT_EQ(stored.laterSections.size(), 1u);
    EXPECT_EQ(sectionStarts(stored.text()), now);
}

TEST(InsertFile, AFileThatCannotBeReadChangesNothingAndSaysWhy)
{
    QTemporaryDir dir;
    QByteArray cut = readData("insert/insert_sample.doc");
    ASSERT_FALSE(cut.isEmpty());
    cut.truncate(1500);
    const struct {
        const char* name;
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {"испорченный.doc", QByteArray("это не документ Word, а просто текст"), "Не удалось вставить файл «испорченный.doc»: Файл не является документом Word 97–2003"},
        {"обрезанный.doc", cut, "Не удалось вставить файл «обрезанный.doc»: "},
        {"заметки.txt", QByteArray("просто текст"), "Файл «заметки.txt» нельзя вставить"},
    };
    auto view = editing({"Текст остаётся как был."}, "Текст");
    const QString before = view->textDocument().toPlainText();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        writeFile(path, c.bytes);
        ScriptedDialogs dialogs;
        dialogs.choose(path);
        view->commandAction("insertFile")->trigger();
        EXPECT_EQ(dialogs.problems(), "");
        ASSERT_EQ(dialogs.asked().size(), 2);
        EXPECT_EQ(dialogs.asked().at(0).kind, DialogKind::OpenFile);
        EXPECT_EQ(dialogs.asked().at(0).file.filter, insertableFileFilter());
        EXPECT_EQ(dialogs.asked().at(1).kind, DialogKind::Error);
        EXPECT_TRUE(dialogs.asked().at(1).text.startsWith(QString::fromUtf8(c.message)))
            << dialogs.asked().at(1).text.toStdString();
        EXPECT_EQ(view->textDocument().toPlainText(), before);
        EXPECT_FALSE(view->textDocument().isUndoAvailable());
    }

    // A missing file, and a view that is not being edited.
    EXPECT_TRUE(messageOf([&] { view->insertFile(dir.filePath("нет.doc")); }).startsWith("Не удалось открыть файл"));
    view->close();
    EXPECT_EQ(messageOf([&] { view->insertFile(dataFile("insert/insert_sample.doc")); }),
              "Вставить файл: документ не открыт для правки");
    EXPECT_EQ(view->textDocument().toPlainText(), before);
}

TEST(InsertFile, DocxOdtAndRtfGoThroughLibreOffice)
{
    if (QStandardPaths::findExecutable("soffice").isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    for (const char* name : {"insert/insert_sample.docx", "insert/insert_sample.odt", "insert/insert_sample.rtf"}) {
        SCOPED_TRACE(name);
        auto view = editing({"До вставки", "Последний абзац"}, "До");
        const QString before = view->textDocument().toPlainText();
        ScriptedDialogs dialogs;
        dialogs.choose(dataFile(QString::fromLatin1(name)));
        view->commandAction("insertFile")->trigger();
        EXPECT_EQ(dialogs.problems(), "");
        EXPECT_EQ(dialogs.asked().size(), 1); // the chooser, no error
        expectSampleInserted(*view);
        view->textEdit()->undo();
        EXPECT_EQ(view->textDocument().toPlainText(), before);
    }
}

// ----------------------------------------------------------------------------

// A stand-in for soffice: a shell script with the given body, run with
// LibreOffice's arguments ("$@").
QString fakeOffice(const QTemporaryDir& dir, const QString& body)
{
    const QString path = dir.filePath("soffice");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    return path;
}

bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // A zombie waiting for a parent to collect it is not running.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) != "Z";
}

TEST(OfficeConverter, AMissingLibreOfficeIsNamed)
{
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    const OfficeConverter onPath;
    EXPECT_FALSE(onPath.installed());
    qputenv("PATH", path);

    auto view = editing({"Текст"}, "Текст");
    view->setOfficeConverter(OfficeConverter(empty.filePath("soffice")));
    ScriptedDialogs dialogs;
    dialogs.choose(dataFile("insert/insert_sample.odt"));
    view->insertFileInteractive();
    ASSERT_EQ(dialogs.asked().size(), 2);
    const QString message = dialogs.asked().at(1).text;
    EXPECT_TRUE(message.contains("LibreOffice не установлен")) << message.toStdString();
    EXPECT_TRUE(message.contains("«insert_sample.odt»")) << message.toStdString();
    EXPECT_EQ(view->textDocument().toPlainText(), "Текст");

    // What a file holds decides, not its name: RTF saved as .doc (as Word
    // offers) is LibreOffice's too.
    const QString rtf = empty.filePath("письмо.doc");
    writeFile(rtf, readData("insert/insert_sample.rtf"));
    EXPECT_TRUE(messageOf([&] { view->insertFile(rtf); }).contains("LibreOffice не установлен"));
}

TEST(OfficeConverter, RunsHeadlessInAPrivateProfileOnACopyAndReadsTheResult)
{
    QTemporaryDir dir;
    // Writes down its arguments and answers with a ready Word document as
    // <name of the input>.doc in the folder after --outdir.
    const QString script = fakeOffice(dir, QStringLiteral(R"(printf '%s\n' "$@" > '%1/args'
out=""; last=""
while [ $# -gt 0 ]; do
  case "$1" in --outdir) out="$2"; shift;; esac
  last="$1"; shift
done
mkdir -p "$out"
base=$(basename "$last"); cp '%2' "$out/${base%.*}.doc")")
                                                  .arg(dir.path(), dataFile("insert/insert_sample.doc")));
    const QString source = dir.filePath("-начинается с минуса.docx");
    QFile::copy(dataFile("insert/insert_sample.docx"), source);

    auto view = editing({"До вставки", "Последний абзац"}, "До");
    view->setOfficeConverter(OfficeConverter(script));
    view->insertFile(source);
    expectSampleInserted(*view);

    QFile argsFile(dir.filePath("args"));
    ASSERT_TRUE(argsFile.open(QIODevice::ReadOnly));
    const QStringList args = QString::fromUtf8(argsFile.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(args.contains("--headless"));
    EXPECT_EQ(args.value(args.indexOf("--convert-to") + 1), "doc:MS Word 97");
    ASSERT_TRUE(args.value(0).startsWith("-env:UserInstallation=file:///")) << args.value(0).toStdString();
    // The profile, the copy LibreOffice read and its result were in one
    // temporary folder, gone now; the user's file was never handed over.
    const QString profile = QUrl(args.value(0).section('=', 1)).toLocalFile();
    const QString work = QFileInfo(profile).path();
    EXPECT_EQ(QFileInfo(args.last()).path(), work);
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_TRUE(QFileInfo::exists(source));

    // A LibreOffice that makes nothing, or fails.
    const QString silent = fakeOffice(dir, "echo 'Error: source file could not be loaded'");
    EXPECT_EQ(messageOf([&] { OfficeConverter(silent).convertToDoc(source); }),
              "LibreOffice не смог преобразовать файл «-начинается с минуса.docx»: "
              "Error: source file could not be loaded");
    const QString failing = fakeOffice(dir, "exit 3");
    EXPECT_EQ(messageOf([&] { OfficeConverter(failing).convertToDoc(source); }),
              "LibreOffice не смог преобразовать файл «-начинается с минуса.docx».");
}

TEST(OfficeConverter, TheTimeLimitStopsLibreOfficeAndWhatItStarted)
{
    QTemporaryDir dir;
    const QString script = fakeOffice(dir, QStringLiteral(R"(printf '%s\n' "$@" > '%1/args'
sleep 60 &
echo $! > '%1/child'
wait)")
                                                   .arg(dir.path()));
    const QString source = dir.filePath("долгий.odt");
    QFile::copy(dataFile("insert/insert_sample.odt"), source);

    auto view = editing({"Текст"}, "Текст");
    view->setOfficeConverter(OfficeConverter(script, std::chrono::milliseconds(700)));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(messageOf([&] { view->insertFile(source); }),
              "LibreOffice не преобразовал файл «долгий.odt» за 1 с; файл не вставлен.");
    EXPECT_LT(timer.elapsed(), 15000);
    EXPECT_EQ(view->textDocument().toPlainText(), "Текст");

    QFile child(dir.filePath("child"));
    ASSERT_TRUE(child.open(QIODevice::ReadOnly));
    const qint64 pid = child.readAll().trimmed().toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(processAlive(pid)) << "the command the script started still runs";
    QFile argsFile(dir.filePath("args"));
    ASSERT_TRUE(argsFile.open(QIODevice::ReadOnly));
    const QString profile = QUrl(QString::fromUtf8(argsFile.readLine()).trimmed().section('=', 1)).toLocalFile();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(profile).path()));
}

// ----------------------------------------------------------------------------

// Whether the icon draws something at 16 pixels.
bool drawsSomething(const QIcon& icon)
{
    const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

TEST(CommandBars, EveryCommandHasAnIconATooltipWithItsKeyAndAName)
{
    // Without a theme every icon is our own.
    const QString theme = QIcon::themeName();
    QIcon::setThemeName("talvora-no-such-theme");
    DocumentView view;
    view.loadDocument(docOf({"Текст"}));
    view.activate();
    EXPECT_EQ(DocumentView::commandBarNames(), QStringList({"Standard", "Formatting", "Drawing"}));
    int checked = 0;
    for (const QString& name : DocumentView::commandBarNames()) {
        QToolBar* bar = view.commandBar(name);
        EXPECT_FALSE(bar->accessibleName().isEmpty());
        EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        for (QAction* a : bar->actions()) {
            if (a->isSeparator())
                continue;
            if (QWidget* w = bar->widgetForAction(a); !w->inherits("QToolButton")) {
                EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
                continue;
            }
            SCOPED_TRACE(a->objectName().toStdString());
            ++checked;
            EXPECT_TRUE(iconCommands().contains(a->objectName()));
            EXPECT_TRUE(drawsSomething(a->icon()));
            QString caption = a->text();
            EXPECT_EQ(bar->widgetForAction(a)->accessibleName(), caption);
            caption.remove(QStringLiteral("…"));
            const QString key = a->shortcut().toString(QKeySequence::NativeText);
            EXPECT_EQ(a->toolTip(), key.isEmpty() ? caption : QStringLiteral("%1 (%2)").arg(caption, key));
        }
    }
    EXPECT_EQ(checked, iconCommands().size() - 1); // all but "selectAll", which has no button
    EXPECT_EQ(view.commandAction("bold")->toolTip(), "Полужирный (Ctrl+B)");
    EXPECT_EQ(view.commandAction("insertFile")->toolTip(), "Вставить файл");
    EXPECT_EQ(view.commandBar("Standard")->actions().contains(view.commandAction("insertFile")), true);
    // Every drawing of our own is there and draws, whatever the theme.
    for (const QString& command : iconCommands())
        EXPECT_TRUE(drawsSomething(bundledCommandIcon(command))) << command.toStdString();
    QIcon::setThemeName(theme);
}

TEST(CommandBars, InsertFileIsInTheMenus)
{
    DocumentView view;
    view.loadDocument(docOf({"Текст"}));
    view.activate();
    std::unique_ptr<QMenu> menu(view.createContextMenu());
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().contains(view.commandAction("insertFile")));

    QPointer<SeparateDocumentWindow> window = openSeparateWindow();
    QStringList inserting;
    for (QAction* m : window->menuBar()->actions())
        if (m->menu() && m->text() == "Вст&авка")
            for (QAction* a : m->menu()->actions())
                inserting << a->text();
    EXPECT_EQ(inserting, QStringList({"Вставить файл…", "Вставить рисунок…", "Вставить таблицу…"}));
    window->close();
}

} // namespace
