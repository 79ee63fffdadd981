#include "text_editor_window.h"

#include "data/data_module.h"
#include "ui/db_grid.h"
#include "ui/dialog_service.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"
#include "word/view/document_view.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

using ui::guarded;
using ui::hintButton;

namespace {

const char* const kBars[] = {"Standard", "Formatting", "Drawing"};

} // namespace

TForm4::TForm4(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Ананмнез пациента"), QSize(810, 500), 4,
                            QStringLiteral("Анамнез пациента WORD: "), parent),
      dm_(dm)
{
    setObjectName(QStringLiteral("TForm4"));
    QHBoxLayout* bar = topBar();
    auto* top = new QWidget(this);
    auto* buttons = new QHBoxLayout(top);
    buttons->setContentsMargins(0, 0, 0, 0);
    c_.closeDocument = hintButton(top, QStyle::SP_DialogCloseButton, QStringLiteral("Закрыть  документ"));
    c_.activateDocument = hintButton(top, QStyle::SP_MediaPlay, QStringLiteral("Активировать документ"));
    c_.save = hintButton(top, QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить изменения"));
    c_.showBoilerplate = hintButton(top, QStyle::SP_FileDialogContentsView, QStringLiteral("Показать шаблон"));
    c_.toggleToolbars = hintButton(top, QStyle::SP_TitleBarShadeButton, QStringLiteral("Показать \\ скрыть инструменты WORD"));
    c_.settings = new QPushButton(QStringLiteral("Настр. шаблонов"), top);
    c_.settings->setToolTip(QStringLiteral("Перейти к странице настроки шаблонов"));
    c_.settings->setAccessibleName(c_.settings->text());
    for (QWidget* w : std::initializer_list<QWidget*>{c_.closeDocument, c_.activateDocument, c_.save,
                                                      c_.showBoilerplate, c_.toggleToolbars, c_.settings})
        buttons->addWidget(w);
    c_.boilerplates = new ui::DBGrid(top);
    c_.boilerplates->setAccessibleName(QStringLiteral("Название шаблона"));
    c_.boilerplates->bind(dm_.Fish_q.get(), {{QStringLiteral("FName"), QStringLiteral("Название шаблона"), 0}});
    c_.boilerplates->setMaximumHeight(90);
    buttons->addWidget(c_.boilerplates, 1);
    bar->insertWidget(0, top, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    c_.editor = new word::DocumentView(split);
    c_.editor->setAccessibleName(QStringLiteral("Документ"));
    split->addWidget(c_.editor);
    frameLayout()->addWidget(split, 1);

    connect(c_.closeDocument, &QToolButton::clicked, this, guarded([this] { c_.editor->close(); }));
    connect(c_.activateDocument, &QToolButton::clicked, this, guarded([this] { c_.editor->activate(); }));
    connect(c_.save, &QToolButton::clicked, this, guarded([this] { save(); }));
    connect(c_.showBoilerplate, &QToolButton::clicked, this, guarded([this] { showCurrentBoilerplate(); }));
    connect(c_.toggleToolbars, &QToolButton::clicked, this, [this] { toggleToolbars(); });
    connect(c_.settings, &QPushButton::clicked, this, guarded([this] {
        if (links.openSettings)
            links.openSettings();
    }));
}

void TForm4::openFor(int kind, const QString& caption)
{
    mode_ = kind;
    saved_ = false;
    setWindowTitle(caption);
    open();
}

void TForm4::save()
{
    if (links.store)
        links.store();
    saved_ = true;
    hide();
}

void TForm4::closeEvent(QCloseEvent* event)
{
    if (!saved_ && isVisible()) {
        if (dialogs().confirm(QStringLiteral("Сохранить изменения ? "))) {
            try {
                save();
            } catch (...) {
                ui::showGeneralError(std::current_exception());
                event->ignore(); // the text stays in the editor
                return;
            }
        }
    }
    saved_ = true; // closed: a later close of the hidden window asks nothing
    ui::WorkstationWindow::closeEvent(event);
}

void TForm4::offerBoilerplate(const QByteArray& blob)
{
    if (!isVisible() || blob.isEmpty())
        return;
    if (c_.editor->changedSinceLoaded() &&
        !dialogs().confirm(QStringLiteral("Заменить текст в редакторе выбранным шаблоном?\n"
                                          "Несохранённые изменения текста будут потеряны.")))
        return;
    c_.editor->loadFromBlob(blob);
    c_.editor->markUnchanged();
}

void TForm4::showCurrentBoilerplate()
{
    const data::QueryDataset& q = *dm_.Fish_q;
    if (!q.active() || q.isEmpty())
        return;
    c_.editor->loadFromBlob(q.field(QStringLiteral("Fres")).asBytes());
    c_.editor->markUnchanged();
}

void TForm4::toggleToolbars()
{
    // Failures are silent: a view without a document has nothing to show.
    try {
        const bool hide = c_.editor->commandBarVisible(QStringLiteral("Standard"));
        for (const char* name : kBars)
            c_.editor->setCommandBarVisible(QString::fromLatin1(name), !hide);
    } catch (...) {
    }
}

} // namespace talvora
