#include "boilerplate_dialog.h"

#include "boilerplate_library.h"
#include "data/data_module.h"
#include "ui/error_display.h"
#include "word/document.h"
#include "word/document_text.h"
#include "word/view/document_view.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

using ui::guarded;

namespace {

// The width of the boilerplate's name in the table.
constexpr int kNameWidth = 100;

QLineEdit* captionedEdit(QWidget* parent, QLabel* caption, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setAccessibleName(caption->text());
    caption->setBuddy(e);
    return e;
}

QString documentText(const word::DocumentView& view)
{
    if (!view.document())
        return {};
    QString text = word::plainText(*view.document());
    if (text.endsWith(u'\n'))
        text.chop(1);
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

} // namespace

TForm10::TForm10(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Создание шаблона"), QSize(606, 357), parent), dm_(dm)
{
    setObjectName(QStringLiteral("TForm10"));
    build();
}

TForm10::~TForm10() = default;

void TForm10::build()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* band = new QGridLayout;
    layout->addLayout(band);

    c_.nameLabel = new QLabel(QStringLiteral("Название"), this);
    c_.name = captionedEdit(this, c_.nameLabel, "name");
    c_.name->setMaxLength(kNameWidth);
    band->addWidget(c_.nameLabel, 0, 0);
    band->addWidget(c_.name, 0, 1, 1, 4);

    c_.boundsLabel = new QLabel(QStringLiteral("Возрастные границы"), this);
    c_.minLabel = new QLabel(QStringLiteral("от "), this);
    c_.minAge = captionedEdit(this, c_.minLabel, "minAge");
    c_.maxLabel = new QLabel(QStringLiteral("до"), this);
    c_.maxAge = captionedEdit(this, c_.maxLabel, "maxAge");
    c_.minAge->setMaximumWidth(60);
    c_.maxAge->setMaximumWidth(60);
    band->addWidget(c_.boundsLabel, 1, 0);
    band->addWidget(c_.minLabel, 1, 1);
    band->addWidget(c_.minAge, 1, 2);
    band->addWidget(c_.maxLabel, 1, 3);
    band->addWidget(c_.maxAge, 1, 4);

    c_.sexLabel = new QLabel(QStringLiteral("Пол"), this);
    auto* sexes = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    c_.male = new QRadioButton(QStringLiteral("Мужской"), this);
    c_.female = new QRadioButton(QStringLiteral("Женский"), this);
    c_.either = new QRadioButton(QStringLiteral("Не важно"), this);
    int id = 1;
    for (QRadioButton* b : {c_.male, c_.female, c_.either}) {
        b->setAccessibleName(b->text());
        group->addButton(b, id++);
        sexes->addWidget(b);
    }
    c_.male->setObjectName(QStringLiteral("male"));
    c_.female->setObjectName(QStringLiteral("female"));
    c_.either->setObjectName(QStringLiteral("either"));
    c_.male->setChecked(true);
    c_.sexLabel->setBuddy(c_.male);
    band->addWidget(c_.sexLabel, 2, 0);
    band->addLayout(sexes, 2, 1, 1, 4);

    auto* buttons = new QGridLayout;
    c_.save = new QPushButton(QStringLiteral("Сохранить "), this);
    c_.save->setObjectName(QStringLiteral("save"));
    c_.save->setAccessibleName(c_.save->text());
    c_.cancel = new QPushButton(QStringLiteral("Cancel"), this);
    c_.cancel->setObjectName(QStringLiteral("cancel"));
    c_.cancel->setAccessibleName(c_.cancel->text());
    const auto tool = [this](QStyle::StandardPixmap icon, const QString& hint, const char* name) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    c_.activateWord = tool(QStyle::SP_MediaPlay, QStringLiteral("Активировать Word"), "activateWord");
    c_.deactivateWord = tool(QStyle::SP_MediaStop, QStringLiteral("Дезактивировать Word"), "deactivateWord");
    buttons->addWidget(c_.save, 0, 0, 1, 2);
    buttons->addWidget(c_.cancel, 1, 0, 1, 2);
    buttons->addWidget(c_.activateWord, 2, 0);
    buttons->addWidget(c_.deactivateWord, 2, 1);
    band->addLayout(buttons, 0, 5, 3, 1);

    // At the first use the document is an empty one; later uses keep the last.
    c_.editor = new word::DocumentView(this);
    c_.editor->setObjectName(QStringLiteral("editor"));
    c_.editor->setAccessibleName(QStringLiteral("Документ шаблона"));
    c_.editor->loadDocument(word::Document{});
    layout->addWidget(c_.editor, 1);

    connect(c_.save, &QPushButton::clicked, this, guarded([this] { save(); }));
    connect(c_.cancel, &QPushButton::clicked, this, guarded([this] { cancel(); }));
    word::DocumentView* view = c_.editor;
    connect(c_.activateWord, &QToolButton::clicked, this, guarded([view] { view->activate(); }));
    connect(c_.deactivateWord, &QToolButton::clicked, this, guarded([view] { view->close(); }));
    connect(view, &word::DocumentView::focusEntered, this, guarded([view] {
        if (!view->isEmpty())
            view->activate();
    }));
    connect(view, &word::DocumentView::focusLeft, this, guarded([view] { view->close(); }));
}

void TForm10::attach(boilerplates::BoilerplateLibrary& library)
{
    if (library_)
        disconnect(library_, nullptr, this, nullptr);
    library_ = &library;
    connect(&library, &boilerplates::BoilerplateLibrary::creationFinished, this, [this] { hide(); });
}

void TForm10::openForNewBoilerplate()
{
    if (!library_)
        return;
    if (!library_->creating()) {
        library_->BeginBoilerplate();
        c_.name->clear();
        c_.minAge->clear();
        c_.maxAge->clear();
    }
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    open();
    c_.name->setFocus();
}

int TForm10::chosenSex() const
{
    if (c_.female->isChecked())
        return 2;
    if (c_.either->isChecked())
        return 3;
    return 1;
}

void TForm10::save()
{
    if (!library_ || !library_->creating())
        return;
    c_.editor->close(); // keeps the changes
    boilerplates::NewBoilerplate input;
    input.name = c_.name->text();
    input.minText = c_.minAge->text();
    input.maxText = c_.maxAge->text();
    input.sex = chosenSex();
    input.document = c_.editor->saveToBlob();
    input.text = documentText(*c_.editor);
    library_->StoreNewBoilerplate(input); // hides the dialog once stored
}

void TForm10::cancel()
{
    if (library_)
        library_->CancelNewBoilerplate();
    hide();
}

void TForm10::closeEvent(QCloseEvent* event)
{
    guarded([this] {
        if (library_)
            library_->CancelNewBoilerplate();
    })();
    ui::WorkstationWindow::closeEvent(event);
}

void TForm10::hideEvent(QHideEvent* event)
{
    ui::WorkstationWindow::hideEvent(event);
    // Hidden by the program (the start window closing, say): nothing begun stays.
    if (!event->spontaneous())
        guarded([this] {
            if (library_)
                library_->CancelNewBoilerplate();
        })();
}

} // namespace talvora
