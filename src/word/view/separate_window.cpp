#include "word/view/separate_window.h"

#include "common/errors.h"
#include "ui/dialog_service.h"
#include "word/document_io.h"
#include "word/view/document_view.h"
#include "word/view/spell_checker.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QPointer>
#include <QTemporaryFile>

namespace talvora::word {

SeparateDocumentWindow::SeparateDocumentWindow(QWidget* parent)
    : QMainWindow(parent), urlOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("separateDocumentWindow"));
    view_ = new DocumentView(this);
    view_->setApplicationWindow(this);
    setCentralWidget(view_);
    view_->loadDocument(Document());
    view_->activate();
    setSource(QString());
    resize(900, 760);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    file->addAction(QStringLiteral("Сохранить как .doc…"), QKeySequence(Qt::CTRL | Qt::Key_S), view_,
                    &DocumentView::saveAsDocInteractive);
    file->addAction(QStringLiteral("Открыть в текстовом редакторе"), this, [this] {
        try {
            openInTextEditor();
        } catch (const Error& e) {
            dialogs().error(e.message());
        }
    });
    file->addSeparator();
    file->addAction(QStringLiteral("Печать…"), view_, &DocumentView::printInteractive);
    file->addAction(QStringLiteral("Предварительный просмотр"), view_, &DocumentView::printPreviewInteractive);
    file->addAction(QStringLiteral("Экспорт в PDF…"), view_, &DocumentView::exportPdfInteractive);
    file->addSeparator();
    file->addAction(QStringLiteral("Закрыть"), QKeySequence(Qt::CTRL | Qt::Key_W), this, &QWidget::close);

    // The commands of the command bars that put something into the document.
    QMenu* insert = menuBar()->addMenu(QStringLiteral("Вст&авка"));
    for (const char* name : {"insertFile", "insertPicture", "insertTable"})
        insert->addAction(view_->commandAction(QString::fromLatin1(name)));
}

SeparateDocumentWindow::~SeparateDocumentWindow() = default;

WordApplication& SeparateDocumentWindow::automation()
{
    return view_->automation();
}

void SeparateDocumentWindow::setSource(const QString& source)
{
    const QString name = source.isEmpty() ? QStringLiteral("Документ") : QFileInfo(source).fileName();
    setWindowTitle(QStringLiteral("%1 — Talvora").arg(name));
}

QString SeparateDocumentWindow::openInTextEditor()
{
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("talvora-XXXXXX.doc")));
    // The desktop's program reads the file after we hand it over; it stays.
    file.setAutoRemove(false);
    if (!file.open())
        throw Error(QStringLiteral("Не удалось создать временный файл: %1").arg(file.errorString()));
    const QString path = file.fileName();
    file.close();
    try {
        view_->saveAsDoc(path);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
    if (!urlOpener(QUrl::fromLocalFile(path)))
        throw Error(QStringLiteral("Не удалось открыть документ в текстовом редакторе: нет программы для файлов .doc"));
    return path;
}

SeparateDocumentWindow* openSeparateWindow()
{
    auto* window = new SeparateDocumentWindow;
    window->show();
    return window;
}

int runSeparateWindowEditor(const QString& path)
{
    Document document;
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, file.errorString()));
        document = readDocument(file.readAll());
    } catch (const Error& e) {
        dialogs().error(e.message(), QStringLiteral("Talvora"));
        return 1;
    }
    QPointer<SeparateDocumentWindow> window = openSeparateWindow();
    window->view().setSpellChecker(std::make_shared<SpellChecker>(SpellCheckerPlaces::defaults()));
    window->view().loadDocument(std::move(document));
    window->view().activate();
    window->setSource(path);
    QEventLoop loop;
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    if (window)
        loop.exec();
    return 0;
}

} // namespace talvora::word
