#include "word/view/document_view.h"

#include "common/errors.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "word/doc_writer.h"
#include "word/document_io.h"
#include "word/view/comment_markers.h"
#include "word/view/document_printing.h"
#include "word/view/editor_actions.h"
#include "word/view/file_insertion.h"
#include "word/view/list_labels.h"
#include "word/view/office_converter.h"
#include "word/view/page_view.h"
#include "word/view/spell_checker.h"
#include "word/view/spell_highlighter.h"
#include "word/view/text_edits.h"
#include "word/view/view_automation.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace talvora::word {

namespace {

bool isInside(const QWidget* w, const QWidget* ancestor)
{
    for (; w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

QString withSuffix(QString path, const QString& suffix)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += suffix;
    return path;
}

// The busy cursor while it lives.
struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

DocumentView::DocumentView(QWidget* parent)
    : QWidget(parent), automation_(std::make_unique<ViewAutomation>(*this)),
      converter_(std::make_unique<OfficeConverter>())
{
    placeholder_ = new QTextDocument(this);
    editor_ = new DocumentTextEdit;
    editor_->setObjectName(QStringLiteral("documentEditor"));
    editor_->setDocument(placeholder_);
    editor_->setReadOnly(true);
    editor_->setAcceptRichText(true);
    editor_->setContextMenuPolicy(Qt::CustomContextMenu);
    editor_->viewport()->installEventFilter(this);
    page_ = new PageView(editor_, this);
    spell_ = new SpellHighlighter(*editor_, this);
    comments_ = new CommentMarkers(*editor_, this);

    barHost_ = new QWidget(this);
    auto* bars = new QVBoxLayout(barHost_);
    bars->setContentsMargins(0, 0, 0, 0);
    bars->setSpacing(0);
    actions_ = new EditorActions(*this, *editor_, barHost_);
    bars->addWidget(actions_->standardBar());
    bars->addWidget(actions_->formattingBar());
    bars->addWidget(actions_->drawingBar());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(barHost_);
    layout->addWidget(page_, 1);
    setMinimumSize(1, 1);

    connect(editor_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        std::unique_ptr<QMenu> menu(createContextMenu(at, this));
        if (menu)
            menu->exec(editor_->mapToGlobal(at));
    });
    // Text typed at a bookmark's end goes after it, and nothing typed
    // becomes a reference or an empty bookmark's marker (text_edits.h).
    connect(editor_, &QTextEdit::cursorPositionChanged, this, [this] {
        const QTextCursor c = editor_->textCursor();
        if (c.hasSelection() || editor_->isReadOnly())
            return;
        const QTextCharFormat now = c.charFormat();
        const QTextCharFormat typed = formatForTyping(*editor_->document(), c.position(), now);
        if (typed != now)
            editor_->setCurrentCharFormat(typed);
    });
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this, &DocumentView::onFocusChanged);
    updateBars();
}

DocumentView::~DocumentView()
{
    // A top-level view closes in QWidget's destructor, which moves the focus:
    // this object must no longer hear of it by then.
    disconnect(focusConnection_);
    // The marks go with the document; the highlighter must not hear of the
    // editor's end.
    delete spell_;
    // The editor must not outlive the document it shows.
    editor_->setDocument(placeholder_);
}

// --- loading and saving ---

void DocumentView::clear()
{
    spell_->setDocument(nullptr);
    editor_->setDocument(placeholder_);
    attached_ = false;
    detached_ = QTextCursor();
    doc_.reset();
    page_->setPageSetup(PageSetup{});
    setState(State::Empty);
}

void DocumentView::loadFromBlob(const QByteArray& blob)
{
    clear();
    loadDocument(documentFromBlob(blob));
}

void DocumentView::loadDocument(Document document)
{
    clear();
    doc_ = std::make_unique<Document>(std::move(document));
    doc_->text().setUndoRedoEnabled(true);
    doc_->text().setModified(false);
    detached_ = QTextCursor(&doc_->text());
    if (isVisible())
        attachEditor(); // a hidden view lays the document out when shown
    page_->setPageSetup(doc_->page);
    setState(State::Loaded);
}

bool DocumentView::changedSinceLoaded() const
{
    return doc_ && doc_->text().isModified();
}

void DocumentView::markUnchanged()
{
    if (doc_)
        doc_->text().setModified(false);
}

QByteArray DocumentView::saveToBlob() const
{
    if (!doc_)
        return {};
    return blobFromDocument(*doc_);
}

void DocumentView::saveAsDoc(const QString& path) const
{
    requireDocument("Сохранить");
    const QByteArray bytes = writeDoc(*doc_);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2").arg(path, file.errorString()));
}

// --- verbs and states ---

void DocumentView::activate()
{
    requireDocument("Активировать");
    setState(State::Active);
}

void DocumentView::close()
{
    if (state_ == State::Running || state_ == State::Active)
        setState(State::Loaded);
}

void DocumentView::run()
{
    requireDocument("Запустить");
    if (state_ == State::Loaded)
        setState(State::Running);
}

WordApplication& DocumentView::automation()
{
    if (state_ == State::Loaded)
        setState(State::Running);
    return *automation_;
}

QStringList DocumentView::verbs()
{
    return {QStringLiteral("Изменить"), QStringLiteral("Открыть")};
}

void DocumentView::doVerb(int index)
{
    if (index < 0 || index >= verbs().size())
        throw Error(QStringLiteral("Недопустимое действие с документом: %1").arg(index));
    // Both verbs edit the document in place; "Открыть" also brings the
    // input focus to it.
    activate();
    if (index == 1)
        editor_->setFocus();
}

QMenu* DocumentView::createContextMenu(QWidget* parent)
{
    return contextMenuAt(isActive() && attached_ ? editor_->textCursor().position() : -1, parent);
}

QMenu* DocumentView::createContextMenu(const QPoint& at, QWidget* parent)
{
    return contextMenuAt(isActive() && attached_ ? editor_->cursorForPosition(at).position() : -1, parent);
}

QMenu* DocumentView::contextMenuAt(int position, QWidget* parent)
{
    if (isActive()) {
        QMenu* menu = editor_->createStandardContextMenu();
        menu->addSeparator();
        menu->addAction(actions_->action(QStringLiteral("insertFile")));
        spell_->addMenuActions(*menu, position);
        return menu;
    }
    if (!autoVerbMenu_ || isEmpty())
        return nullptr;
    auto* menu = new QMenu(parent);
    const QStringList names = verbs();
    for (int i = 0; i < names.size(); ++i)
        menu->addAction(names[i], this, ui::guarded([this, i] { doVerb(i); }));
    return menu;
}

void DocumentView::setState(State state)
{
    const bool changed = state != state_;
    state_ = state;
    editor_->setReadOnly(state != State::Active);
    editor_->setTextInteractionFlags(state == State::Active ? Qt::TextEditorInteraction
                                                            : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    actions_->setEditing(state == State::Active);
    updateBars();
    updateSpelling();
    if (changed)
        emit stateChanged(state);
}

void DocumentView::requireDocument(const char* what) const
{
    if (!doc_)
        throw Error(QStringLiteral("%1: в окне нет документа").arg(QString::fromUtf8(what)));
}

// --- command bars ---

QStringList DocumentView::commandBarNames()
{
    return {QStringLiteral("Standard"), QStringLiteral("Formatting"), QStringLiteral("Drawing")};
}

static int barIndex(const QString& name)
{
    const QStringList names = DocumentView::commandBarNames();
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    throw Error(QStringLiteral("Панель команд «%1» не найдена").arg(name));
}

bool DocumentView::commandBarVisible(const QString& name) const
{
    return wanted_[barIndex(name)];
}

void DocumentView::setCommandBarVisible(const QString& name, bool visible)
{
    wanted_[barIndex(name)] = visible;
    updateBars();
}

QToolBar* DocumentView::commandBar(const QString& name) const
{
    switch (barIndex(name)) {
    case 0: return actions_->standardBar();
    case 1: return actions_->formattingBar();
    default: return actions_->drawingBar();
    }
}

void DocumentView::updateBars()
{
    const bool active = state_ == State::Active;
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        commandBar(commandBarNames()[i])->setVisible(active && wanted_[i]);
        any = any || (active && wanted_[i]);
    }
    barHost_->setVisible(any);
}

QAction* DocumentView::commandAction(const QString& name) const
{
    return actions_->action(name);
}

// --- inserting files ---

void DocumentView::setOfficeConverter(const OfficeConverter& converter)
{
    converter_ = std::make_unique<OfficeConverter>(converter);
}

void DocumentView::insertFile(const QString& path)
{
    requireDocument("Вставить файл");
    if (!isActive())
        throw Error(QStringLiteral("Вставить файл: документ не открыт для правки"));
    // Read (and converted) completely before the document is touched.
    Document inserted = readFileToInsert(path, *converter_);
    QTextCursor cursor = selectionCursor();
    insertDocument(cursor, std::move(inserted));
    setSelectionCursor(cursor);
}

void DocumentView::insertFileInteractive()
{
    ui::guarded([this] {
        requireDocument("Вставить файл");
        FileDialogRequest request;
        request.caption = QStringLiteral("Вставить файл");
        request.filter = insertableFileFilter();
        const QString path = dialogs().openFileName(request);
        if (path.isEmpty())
            return;
        const WaitCursor wait; // LibreOffice may take some seconds
        insertFile(path);
        editor_->setFocus();
    })();
}

// --- selection, for the automation ---

QTextDocument& DocumentView::textDocument() const
{
    if (!doc_)
        throw Error(QStringLiteral("В окне нет документа"));
    return doc_->text();
}

QTextCursor DocumentView::selectionCursor() const
{
    return attached_ ? editor_->textCursor() : detached_;
}

void DocumentView::setSelectionCursor(const QTextCursor& cursor)
{
    if (attached_)
        editor_->setTextCursor(cursor);
    else
        detached_ = cursor;
}

void DocumentView::beginAutomation()
{
    if (!doc_ || !attached_)
        return;
    // Laying out a long document after every call costs far more than the
    // calls themselves; the editor takes the document back, laid out once,
    // when the operation making the calls has finished.
    detached_ = editor_->textCursor();
    spell_->setDocument(nullptr);
    editor_->setDocument(placeholder_);
    // The layout the editor gave the document goes too: it would follow
    // every change. Attaching again lays the document out afresh.
    doc_->text().setDocumentLayout(nullptr);
    attached_ = false;
    if (!attachPending_) {
        attachPending_ = true;
        QTimer::singleShot(0, this, [this] {
            attachPending_ = false;
            if (isVisible())
                attachEditor();
        });
    }
}

void DocumentView::attachEditor()
{
    if (!doc_ || attached_)
        return;
    QTextDocument& text = doc_->text();
    const QFont defaultFont = text.defaultFont();
    editor_->setDocument(&text);
    text.setDefaultFont(defaultFont); // the editor's own font is not the document's
    comments_->attach(text);
    attached_ = true;
    editor_->setTextCursor(detached_);
    updateSpelling();
}

// --- spelling ---

void DocumentView::setSpellChecker(std::shared_ptr<SpellChecker> checker)
{
    spell_->setChecker(std::move(checker));
}

const std::shared_ptr<SpellChecker>& DocumentView::spellChecker() const
{
    return spell_->sharedChecker();
}

void DocumentView::updateSpelling()
{
    // Only a document being edited is marked: an inactive view shows the
    // document as it will print, and an automation run is not slowed down.
    const bool on = doc_ && attached_ && state_ == State::Active;
    spell_->setDocument(on ? &doc_->text() : nullptr);
}

void DocumentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    attachEditor();
}

// --- focus ---

void DocumentView::onFocusChanged(QWidget* old, QWidget* now)
{
    Q_UNUSED(old);
    // Only moves inside the view's own window count: switching to another
    // window or application and back neither leaves nor enters the view.
    if (!now || now->window() != window())
        return;
    const bool inside = isInside(now, this);
    if (inside && !focusWithin_) {
        focusWithin_ = true;
        emit focusEntered();
    } else if (!inside && focusWithin_) {
        focusWithin_ = false;
        emit focusLeft();
    }
}

bool DocumentView::eventFilter(QObject* watched, QEvent* event)
{
    // A double click on a document that is not being edited starts editing.
    if (watched == editor_->viewport() && event->type() == QEvent::MouseButtonDblClick && !isActive() &&
        !isEmpty()) {
        activate();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// --- printing ---

void DocumentView::print(QPrinter* printer) const
{
    requireDocument("Печать");
    printDocument(*doc_, *printer);
}

void DocumentView::exportPdf(const QString& path) const
{
    requireDocument("Экспорт в PDF");
    writePdf(*doc_, path);
}

void DocumentView::saveAsDocInteractive()
{
    ui::guarded([this] {
        requireDocument("Сохранить");
        FileDialogRequest request;
        request.caption = QStringLiteral("Сохранить документ как");
        request.fileName = QStringLiteral("Документ.doc");
        request.filter = QStringLiteral("Документ Word 97–2003 (*.doc)");
        request.defaultSuffix = QStringLiteral("doc");
        const QString path = withSuffix(dialogs().saveFileName(request), QStringLiteral(".doc"));
        if (!path.isEmpty())
            saveAsDoc(path);
    })();
}

void DocumentView::printInteractive()
{
    ui::guarded([this] {
        requireDocument("Печать");
        QPrinter printer(QPrinter::HighResolution);
        applyPageSetup(printer, doc_->page);
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("Печать документа"));
        if (dialog.exec() == QDialog::Accepted)
            print(&printer);
    })();
}

void DocumentView::printPreviewInteractive()
{
    ui::guarded([this] {
        requireDocument("Просмотр");
        QPrinter printer(QPrinter::HighResolution);
        applyPageSetup(printer, doc_->page);
        QPrintPreviewDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("Предварительный просмотр"));
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { print(p); });
        dialog.exec();
    })();
}

void DocumentView::exportPdfInteractive()
{
    ui::guarded([this] {
        requireDocument("Экспорт в PDF");
        FileDialogRequest request;
        request.caption = QStringLiteral("Экспорт в PDF");
        request.fileName = QStringLiteral("Документ.pdf");
        request.filter = QStringLiteral("PDF (*.pdf)");
        request.defaultSuffix = QStringLiteral("pdf");
        const QString path = withSuffix(dialogs().saveFileName(request), QStringLiteral(".pdf"));
        if (!path.isEmpty())
            exportPdf(path);
    })();
}

} // namespace talvora::word
