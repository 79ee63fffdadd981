// The document view as a window uses it (offscreen): loading and saving
// BLOBs, the verbs and states, the command bars, the verb menu, focus, and
// the separate window.

#include "view_test_support.h"

#include "common/errors.h"
#include "ui/scripted_dialogs.h"
#include "word/doc_reader.h"
#include "word/document_blob.h"
#include "word/document_text.h"
#include "word/view/document_view.h"
#include "word/view/editor_actions.h"
#include "word/view/page_view.h"
#include "word/view/separate_window.h"
#include "word/view/transfer_buffer.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

QString textOf(const QByteArray& blob)
{
    return plainText(documentFromBlob(blob));
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

TEST(DocumentViewLoad, LoadReplacesTheDocumentAndSaveGivesItBack)
{
    DocumentView view;
    EXPECT_TRUE(view.isEmpty());
    EXPECT_TRUE(view.saveToBlob().isEmpty());

    view.loadFromBlob(blobOf({"первый"}));
    view.activate();
    view.automation().selection().typeText("правка ");
    // Loading drops the document with its unsaved changes.
    view.loadFromBlob(blobOf({"второй"}));
    EXPECT_EQ(view.state(), DocumentView::State::Loaded);
    EXPECT_EQ(textOf(view.saveToBlob()), "второй\n");

    view.activate();
    view.automation().selection().typeText("новый ");
    const QByteArray saved = view.saveToBlob();
    EXPECT_TRUE(saved.startsWith("BDOC"));
    EXPECT_EQ(textOf(saved), "новый второй\n");
}

TEST(DocumentViewLoad, BadBlobsReportTheirErrorAndLeaveTheViewEmpty)
{
    DocumentView view;
    view.loadFromBlob(blobOf({"шаблон"}));
    EXPECT_EQ(messageOf([&] { view.loadFromBlob(QByteArray("XDOC\x01\0\0\0\0\0\0\0", 12)); }),
              kInvalidStreamFormat);
    EXPECT_TRUE(view.isEmpty());
    EXPECT_TRUE(view.saveToBlob().isEmpty());

    view.loadFromBlob(blobOf({"шаблон"}));
    EXPECT_EQ(messageOf([&] { view.loadFromBlob(QByteArray()); }), kEmptyBlobReadError);
    EXPECT_TRUE(view.isEmpty());
    EXPECT_TRUE(view.textEdit()->document()->isEmpty());

    // Damaged bytes after a good header: an error, never a crash.
    QByteArray damaged = blobOf({"шаблон"});
    for (qsizetype i = 600; i < damaged.size(); i += 7)
        damaged[i] = char(0xFF);
    EXPECT_THROW(view.loadFromBlob(damaged), Error);
    EXPECT_TRUE(view.isEmpty());
    EXPECT_THROW(view.activate(), Error);
    EXPECT_THROW(view.run(), Error);
}

TEST(DocumentViewLoad, ChangedSinceLoadedFollowsEditsButNotLoadsVerbsOrTheScreen)
{
    DocumentView view;
    view.show();
    EXPECT_FALSE(view.changedSinceLoaded());
    view.loadFromBlob(blobOf({"шаблон"}));
    QCoreApplication::processEvents();
    view.activate();
    view.close();
    view.saveToBlob();
    EXPECT_FALSE(view.changedSinceLoaded());

    view.activate();
    QTest::keyClicks(view.textEdit(), "x");
    EXPECT_TRUE(view.changedSinceLoaded());
    view.markUnchanged();
    EXPECT_FALSE(view.changedSinceLoaded());
    // Edits through the automation count too, also while the editor has let
    // go of the document.
    view.automation().selection().typeText("y");
    EXPECT_TRUE(view.changedSinceLoaded());
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.changedSinceLoaded());

    view.loadFromBlob(blobOf({"другой"}));
    EXPECT_FALSE(view.changedSinceLoaded());
    view.activate();
    view.automation().selection().typeText("z");
    EXPECT_THROW(view.loadFromBlob(QByteArray()), Error);
    EXPECT_FALSE(view.changedSinceLoaded()); // an empty view holds no changes
}

TEST(DocumentViewVerbs, ActivateCloseRunAndRunningFollowTheObjectsLife)
{
    DocumentView view;
    view.show();
    view.loadFromBlob(blobOf({"текст"}));
    EXPECT_FALSE(view.running());
    EXPECT_TRUE(view.textEdit()->isReadOnly());
    EXPECT_TRUE(view.commandBar("Standard")->isHidden());

    view.run();
    EXPECT_TRUE(view.running());
    EXPECT_FALSE(view.isActive());
    EXPECT_TRUE(view.commandBar("Standard")->isHidden());

    view.activate();
    EXPECT_TRUE(view.isActive());
    EXPECT_FALSE(view.textEdit()->isReadOnly());
    for (const QString& name : DocumentView::commandBarNames())
        EXPECT_TRUE(view.commandBar(name)->isVisible()) << name.toStdString();

    QTest::keyClicks(view.textEdit(), "typed ");
    view.close();
    EXPECT_FALSE(view.running());
    EXPECT_TRUE(view.textEdit()->isReadOnly());
    EXPECT_TRUE(view.commandBar("Formatting")->isHidden());
    EXPECT_EQ(textOf(view.saveToBlob()), "typed текст\n");

    // Taking the automation object starts a loaded document.
    view.automation();
    EXPECT_TRUE(view.running());
    view.close();
    view.close(); // closing twice is harmless

    // Hidden, the view keeps its document.
    view.hide();
    EXPECT_EQ(textOf(view.saveToBlob()), "typed текст\n");
}

TEST(DocumentViewVerbs, AutomationEditsReachTheScreenOnceTheOperationEnds)
{
    DocumentView view;
    view.show();
    view.loadFromBlob(blobOf({"до <!fld_1> после"}));
    ASSERT_TRUE(view.editorAttached());
    WordSelection& s = view.automation().selection();
    WordFind& f = s.find();
    f.setText("<!fld_1>");
    ASSERT_TRUE(f.execute());
    s.typeText("значение");
    EXPECT_EQ(s.start(), 11);
    QCoreApplication::processEvents();
    ASSERT_TRUE(view.editorAttached());
    EXPECT_EQ(view.textEdit()->toPlainText(), "до значение после");
    // The user's cursor is where the automation left the selection.
    EXPECT_EQ(view.textEdit()->textCursor().position(), 11);
    // A hidden view gets its document on screen when shown.
    view.hide();
    s.setEnd(0);
    QCoreApplication::processEvents();
    view.show();
    EXPECT_TRUE(view.editorAttached());
    EXPECT_EQ(view.textEdit()->textCursor().position(), 0);
}

TEST(DocumentViewVerbs, CommandBarsShowWhatIsWantedWhileActive)
{
    DocumentView view;
    view.show();
    view.loadFromBlob(blobOf({"x"}));
    WordCommandBars& bars = view.automation().commandBars();
    for (const char* name : {"Standard", "Formatting", "Drawing"})
        bars.item(name).setVisible(false);
    EXPECT_FALSE(bars.item("standard").visible());
    view.activate();
    for (const QString& name : DocumentView::commandBarNames())
        EXPECT_TRUE(view.commandBar(name)->isHidden());
    bars.item("Drawing").setVisible(true);
    EXPECT_TRUE(view.commandBar("Drawing")->isVisible());
    EXPECT_TRUE(view.commandBar("Standard")->isHidden());
    EXPECT_TRUE(bars.item("Drawing").visible());
}

TEST(DocumentViewVerbs, FormattingKeysWorkOnlyWhileEditing)
{
    DocumentView view;
    view.show();
    QApplication::setActiveWindow(&view);
    view.loadFromBlob(blobOf({"слово"}));
    view.textEdit()->setFocus();
    view.textEdit()->selectAll();
    QTest::keyClick(view.textEdit(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_LT(formatAt(view.textDocument(), "слово").fontWeight(), int(QFont::DemiBold));
    view.activate();
    view.textEdit()->setFocus();
    view.textEdit()->selectAll();
    QTest::keyClick(view.textEdit(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_GE(formatAt(view.textDocument(), "слово").fontWeight(), int(QFont::DemiBold));
    QTest::keyClick(view.textEdit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_LT(formatAt(view.textDocument(), "слово").fontWeight(), int(QFont::DemiBold));
}

TEST(DocumentViewVerbs, VerbMenuOffersTheVerbsOnlyWhenSwitchedOn)
{
    DocumentView view;
    EXPECT_EQ(std::unique_ptr<QMenu>(view.createContextMenu()), nullptr); // nothing to edit
    view.loadFromBlob(blobOf({"x"}));
    std::unique_ptr<QMenu> menu(view.createContextMenu());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), "Изменить");
    menu->actions().at(0)->trigger();
    EXPECT_TRUE(view.isActive());

    view.close();
    view.setAutoVerbMenu(false);
    EXPECT_EQ(std::unique_ptr<QMenu>(view.createContextMenu()), nullptr);
    // While editing, the editor's own menu is there either way.
    view.activate();
    EXPECT_NE(std::unique_ptr<QMenu>(view.createContextMenu()), nullptr);
}

TEST(DocumentViewFocus, EnteringAndLeavingWithinTheWindowAreSignalled)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* view = new DocumentView(&window);
    layout->addWidget(edit);
    layout->addWidget(view);
    window.show();
    QApplication::setActiveWindow(&window);
    view->loadFromBlob(blobOf({"x"}));
    QObject::connect(view, &DocumentView::focusEntered, view, &DocumentView::activate);
    QObject::connect(view, &DocumentView::focusLeft, view, &DocumentView::close);
    QSignalSpy entered(view, &DocumentView::focusEntered);
    QSignalSpy left(view, &DocumentView::focusLeft);

    edit->setFocus();
    view->textEdit()->setFocus();
    EXPECT_EQ(entered.count(), 1);
    EXPECT_TRUE(view->isActive());
    // A control inside the view (the font box of its bar) is still the view.
    view->findChild<QWidget*>("font")->setFocus();
    EXPECT_EQ(left.count(), 0);
    edit->setFocus();
    EXPECT_EQ(left.count(), 1);
    EXPECT_FALSE(view->isActive());
    EXPECT_EQ(entered.count(), 1);
}

TEST(DocumentViewPage, PageWidthAndMarginsComeFromThePageSetup)
{
    DocumentView view;
    view.resize(1400, 900);
    view.show();
    Document doc = docOf({"x"});
    doc.page.pageWidth = 11906;
    doc.page.marginLeft = 1701;
    doc.page.marginRight = 850;
    view.loadDocument(std::move(doc));
    auto* page = view.findChild<PageView*>();
    ASSERT_NE(page, nullptr);
    const double dpi = view.logicalDpiX();
    EXPECT_NEAR(page->sheetGeometry().width(), 11906 / 1440.0 * dpi, 1.5);
    EXPECT_NEAR(view.textEdit()->x(), 1701 / 1440.0 * dpi, 1.5);
    // The text wraps at the text width; the editor's scroll bar stands in the margin.
    EXPECT_NEAR(view.textEdit()->lineWrapColumnOrWidth(), (11906 - 1701 - 850) / 1440.0 * dpi, 2);
    EXPECT_GE(view.textEdit()->viewport()->width(), view.textEdit()->lineWrapColumnOrWidth());
    EXPECT_LE(view.textEdit()->geometry().right(), page->sheetGeometry().width());
    // A view smaller than a page still works.
    view.resize(41, 33);
    EXPECT_LE(page->sheetGeometry().width(), 41);
}

TEST(DocumentViewFiles, SaveAsDocAndPdfWriteFilesThatReadBack)
{
    QTemporaryDir dir;
    DocumentView view;
    view.loadFromBlob(blobOf({"Печать *документа*"}));
    ScriptedDialogs dialogs;
    dialogs.choose(dir.filePath("копия")).choose(dir.filePath("копия.pdf"));
    view.saveAsDocInteractive();
    view.exportPdfInteractive();
    EXPECT_EQ(dialogs.problems(), "");
    QFile doc(dir.filePath("копия.doc"));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    EXPECT_EQ(plainText(readDoc(doc.readAll())), "Печать документа\n");
    QFile pdf(dir.filePath("копия.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");

    // A file that cannot be written is an error box, not an escaped exception.
    dialogs.choose("/nonexistent-folder/x.doc");
    view.saveAsDocInteractive();
    ASSERT_FALSE(dialogs.asked().isEmpty());
    EXPECT_EQ(dialogs.asked().last().kind, DialogKind::Error);
}

TEST(SeparateWindow, CopiedContentIsPastedIntoANewVisibleWindow)
{
    transferBuffer().clear();
    DocumentView aux;
    aux.loadFromBlob(blobOf({"Выписка *пациента*"}));
    aux.activate();
    aux.automation().selection().wholeStory();
    aux.automation().selection().copy();

    QPointer<SeparateDocumentWindow> window = openSeparateWindow();
    WordApplication& app = window->automation();
    app.setVisible(true);
    EXPECT_TRUE(window->isVisible());
    app.selection().wholeStory();
    app.selection().paste();
    EXPECT_TRUE(window->view().isActive());
    EXPECT_EQ(plainText(*window->view().document()), "Выписка пациента\n");

    QUrl opened;
    window->urlOpener = [&](const QUrl& url) {
        opened = url;
        return true;
    };
    const QString path = window->openInTextEditor();
    EXPECT_EQ(opened, QUrl::fromLocalFile(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(plainText(readDoc(file.readAll())), "Выписка пациента\n");
    file.remove();

    window->urlOpener = [](const QUrl&) { return false; };
    EXPECT_THROW(window->openInTextEditor(), Error);

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(SeparateWindow, EditorProgramOpensDocsAndBlobsAndReportsUnreadableFiles)
{
    QTemporaryDir dir;
    const QString blobPath = dir.filePath("doc.bdoc");
    QFile blobFile(blobPath);
    ASSERT_TRUE(blobFile.open(QIODevice::WriteOnly));
    blobFile.write(blobOf({"из BLOB"}));
    blobFile.close();

    // The window closes itself once it is up; the program then ends with 0.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* sw = qobject_cast<SeparateDocumentWindow*>(w)) {
                EXPECT_EQ(plainText(*sw->view().document()), "из BLOB\n");
                EXPECT_TRUE(sw->view().isActive());
                sw->close();
            }
    });
    EXPECT_EQ(runSeparateWindowEditor(blobPath), 0);

    ScriptedDialogs dialogs;
    EXPECT_EQ(runSeparateWindowEditor(dir.filePath("нет такого.doc")), 1);
    QFile junk(dir.filePath("junk.doc"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a document at all");
    junk.close();
    EXPECT_EQ(runSeparateWindowEditor(junk.fileName()), 1);
    ASSERT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.asked().at(0).kind, DialogKind::Error);
}

} // namespace
