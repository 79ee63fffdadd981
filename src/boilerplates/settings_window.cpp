#include "settings_window.h"

#include "boilerplate_library.h"
#include "boilerplate_selection.h"
#include "data/data_module.h"
#include "ui/db_controls.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"
#include "word/view/document_view.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

using ui::guarded;
using ui::hintButton;

namespace {

ui::DBGrid* grid(QWidget* parent, const QString& accessibleName, const char* name)
{
    auto* g = new ui::DBGrid(parent);
    g->setAccessibleName(accessibleName);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

ui::DBNavigator* navigator(QWidget* parent, data::Dataset* dataset, const QString& accessibleName, const char* name)
{
    auto* n = new ui::DBNavigator(parent);
    n->bind(dataset);
    n->setAccessibleName(accessibleName);
    n->setObjectName(QString::fromLatin1(name));
    return n;
}

const QString kClinic = QStringLiteral("Клиника");
const QString kDepartment = QStringLiteral("Отделение");

} // namespace

TForm5::TForm5(data::TDM& dm, QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Настройки"), QSize(738, 545), 4, QStringLiteral("Настройки: "), parent),
      dm_(dm), library_(std::make_unique<boilerplates::BoilerplateLibrary>(dm, *new word::DocumentView(this)))
{
    setObjectName(QStringLiteral("TForm5"));

    const QString wizardHint = QStringLiteral("Мастер настройки при первом пуске");
    c_.wizard = new QToolButton(this);
    c_.wizard->setText(QStringLiteral("Мастер настройки"));
    c_.wizard->setToolTip(wizardHint);
    c_.wizard->setAccessibleName(c_.wizard->text());
    c_.wizard->setAccessibleDescription(wizardHint);
    c_.wizard->setObjectName(QStringLiteral("wizard"));
    topBar()->insertWidget(0, c_.wizard);

    c_.pages = new QTabWidget(this);
    c_.pages->setObjectName(QStringLiteral("pages"));
    c_.pages->setAccessibleName(QStringLiteral("Настройки"));
    c_.departmentPage = buildDepartmentPage();
    c_.boilerplatePage = buildBoilerplatePage();
    c_.pages->addTab(c_.departmentPage, QStringLiteral("Отделение и типы документов"));
    c_.pages->addTab(c_.boilerplatePage, QStringLiteral("\"Рыбы\" для невростатуса и анамнеза"));
    c_.pages->setCurrentWidget(c_.boilerplatePage);
    frameLayout()->addWidget(c_.pages, 1);

    wire();
    showKind(library_->CurrentKind());
}

TForm5::~TForm5() = default;

QWidget* TForm5::buildDepartmentPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("departmentPage"));
    auto* layout = new QVBoxLayout(page);

    c_.departments = grid(page, QStringLiteral("Отделения"), "departments");
    c_.departments->bind(dm_.Otd.get(), {{QStringLiteral("Oboln"), kClinic, 250}, {QStringLiteral("Ootd"), kDepartment, 250}});
    c_.departmentNavigator = navigator(page, dm_.Otd.get(), QStringLiteral("Навигатор отделений"), "departmentNavigator");
    c_.departmentNavigator->setConfirmDelete(true);
    layout->addWidget(c_.departments, 1);
    layout->addWidget(c_.departmentNavigator);

    auto* types = new QHBoxLayout;
    layout->addLayout(types, 1);

    const QString templateColumn = QStringLiteral("Типы шаблонов\\исследований");
    auto* templateColumnBox = new QVBoxLayout;
    c_.templateTypes = grid(page, templateColumn, "templateTypes");
    c_.templateTypes->bind(dm_.ShType.get(), {{QStringLiteral("ShTName"), templateColumn, 300}});
    // Deleting a type asks its own question (with what goes with it).
    c_.templateTypeNavigator =
        navigator(page, dm_.ShType.get(), QStringLiteral("Навигатор типов шаблонов"), "templateTypeNavigator");
    templateColumnBox->addWidget(c_.templateTypes, 1);
    templateColumnBox->addWidget(c_.templateTypeNavigator);
    types->addLayout(templateColumnBox);

    const QString documentColumn = QStringLiteral("Типы результирующих документов");
    auto* documentColumnBox = new QVBoxLayout;
    c_.documentTypes = grid(page, documentColumn, "documentTypes");
    c_.documentTypes->bind(dm_.VType.get(), {{QStringLiteral("VTName"), documentColumn, 300}});
    c_.documentTypeNavigator =
        navigator(page, dm_.VType.get(), QStringLiteral("Навигатор типов документов"), "documentTypeNavigator");
    c_.documentTypeNavigator->setConfirmDelete(true);
    documentColumnBox->addWidget(c_.documentTypes, 1);
    documentColumnBox->addWidget(c_.documentTypeNavigator);
    types->addLayout(documentColumnBox);
    return page;
}

QWidget* TForm5::buildBoilerplatePage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("boilerplatePage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* split = new QSplitter(Qt::Vertical, page);
    layout->addWidget(split, 1);

    auto* top = new QWidget(split);
    auto* band = new QHBoxLayout(top);
    band->setContentsMargins(0, 0, 0, 0);

    c_.boilerplateDepartments = grid(top, QStringLiteral("Отделения"), "boilerplateDepartments");
    c_.boilerplateDepartments->bind(dm_.Otd.get(),
                                    {{QStringLiteral("Oboln"), kClinic, 110}, {QStringLiteral("Ootd"), kDepartment, 110}});
    band->addWidget(c_.boilerplateDepartments, 2);

    auto* kindColumn = new QVBoxLayout;
    auto* kindBox = new QGroupBox(top);
    kindBox->setObjectName(QStringLiteral("kindBox"));
    kindBox->setAccessibleName(QStringLiteral("Вид шаблона"));
    auto* kindLayout = new QVBoxLayout(kindBox);
    kindLayout->setContentsMargins(4, 2, 4, 2);
    c_.kinds = new QButtonGroup(kindBox);
    for (int kind = boilerplates::Anamnesis; kind <= boilerplates::TreatmentComments; ++kind) {
        auto* choice = new QRadioButton(boilerplates::kindCaption(kind), kindBox);
        choice->setAccessibleName(choice->text());
        choice->setObjectName(QStringLiteral("kind%1").arg(kind));
        c_.kinds->addButton(choice, kind);
        c_.kindChoices << choice;
        kindLayout->addWidget(choice);
    }
    kindColumn->addWidget(kindBox);
    const QString nameColumn = QStringLiteral("Название ");
    c_.boilerplates = grid(top, nameColumn, "boilerplates");
    c_.boilerplates->bind(dm_.Fish_q.get(), {{QStringLiteral("FName"), nameColumn, 0}});
    kindColumn->addWidget(c_.boilerplates, 1);
    band->addLayout(kindColumn, 3);

    auto* right = new QVBoxLayout;
    c_.create = new QPushButton(QStringLiteral("Создать шаблон "), top);
    c_.create->setAccessibleName(c_.create->text());
    c_.create->setObjectName(QStringLiteral("create"));
    right->addWidget(c_.create);

    c_.sex = new ui::DBRadioGroup(QStringLiteral("Пол"), top);
    c_.sex->setObjectName(QStringLiteral("sex"));
    c_.sex->setAccessibleName(QStringLiteral("Пол"));
    delete c_.sex->layout(); // three columns side by side
    new QHBoxLayout(c_.sex);
    c_.sex->setItems({{QStringLiteral("мужской"), 1}, {QStringLiteral("женский"), 2}, {QStringLiteral("не важно"), 3}});
    for (int i = 0; i < 3; ++i)
        c_.sex->item(i)->setAccessibleName(c_.sex->item(i)->text());
    c_.sex->bind(dm_.Fish_q.get(), QStringLiteral("Fmale"));
    right->addWidget(c_.sex);

    auto* bounds = new QHBoxLayout;
    c_.minLabel = new QLabel(QStringLiteral("возраст от "), top);
    c_.minAge = new ui::DBEdit(top);
    c_.minAge->setObjectName(QStringLiteral("minAge"));
    c_.minAge->setAccessibleName(c_.minLabel->text());
    c_.minAge->bind(dm_.Fish_q.get(), QStringLiteral("Fmin"));
    c_.minLabel->setBuddy(c_.minAge);
    c_.maxLabel = new QLabel(QStringLiteral("до"), top);
    c_.maxAge = new ui::DBEdit(top);
    c_.maxAge->setObjectName(QStringLiteral("maxAge"));
    c_.maxAge->setAccessibleName(c_.maxLabel->text());
    c_.maxAge->bind(dm_.Fish_q.get(), QStringLiteral("Fmax"));
    c_.maxLabel->setBuddy(c_.maxAge);
    c_.years = new QLabel(QStringLiteral("лет"), top);
    c_.minAge->setMaximumWidth(50);
    c_.maxAge->setMaximumWidth(50);
    bounds->addWidget(c_.minLabel);
    bounds->addWidget(c_.minAge);
    bounds->addWidget(c_.maxLabel);
    bounds->addWidget(c_.maxAge);
    bounds->addWidget(c_.years);
    bounds->addStretch();
    right->addLayout(bounds);

    auto* buttons = new QHBoxLayout;
    c_.save = hintButton(top, QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить изменения"), "save");
    c_.remove = hintButton(top, QStyle::SP_TrashIcon, QStringLiteral("Удалить шаблон"), "remove");
    c_.deactivateWord = hintButton(top, QStyle::SP_MediaStop, QStringLiteral("Дезактивировать Word"), "deactivateWord");
    c_.activateWord = hintButton(top, QStyle::SP_MediaPlay, QStringLiteral("Активировать Word"), "activateWord");
    for (QToolButton* b : {c_.save, c_.remove, c_.deactivateWord, c_.activateWord})
        buttons->addWidget(b);
    buttons->addStretch();
    right->addLayout(buttons);
    right->addStretch();
    band->addLayout(right, 3);

    c_.editor = &library_->editor();
    c_.editor->setParent(split);
    c_.editor->setObjectName(QStringLiteral("boilerplateEditor"));
    c_.editor->setAccessibleName(QStringLiteral("Документ шаблона"));
    split->addWidget(top);
    split->addWidget(c_.editor);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    return page;
}

void TForm5::wire()
{
    boilerplates::BoilerplateLibrary& lib = *library_;
    connect(c_.wizard, &QToolButton::clicked, this, guarded([this] {
        if (links.openWizard)
            links.openWizard();
    }));
    connect(c_.kinds, &QButtonGroup::idToggled, this, guarded([&lib](int kind, bool on) {
        if (on && kind != lib.CurrentKind())
            lib.ListBoilerplates(kind);
    }));
    connect(&lib, &boilerplates::BoilerplateLibrary::kindSelected, this, [this](int kind) { showKind(kind); });
    connect(c_.create, &QPushButton::clicked, this, guarded([this] {
        if (links.openCreationDialog)
            links.openCreationDialog();
    }));
    connect(c_.save, &QToolButton::clicked, this,
            guarded([this, &lib] { lib.SaveBoilerplateChanges(c_.minAge->text(), c_.maxAge->text()); }));
    connect(c_.remove, &QToolButton::clicked, this, guarded([&lib] { lib.DeleteBoilerplate(); }));

    word::DocumentView* view = c_.editor;
    connect(c_.activateWord, &QToolButton::clicked, this, guarded([view] { view->activate(); }));
    connect(c_.deactivateWord, &QToolButton::clicked, this, guarded([view] { view->close(); }));
    connect(view, &word::DocumentView::focusEntered, this, guarded([view] {
        if (!view->isEmpty())
            view->activate();
    }));
    connect(view, &word::DocumentView::focusLeft, this, guarded([view] { view->close(); }));
}

// The kind's choice shows the kind of the list, whoever chose it.
void TForm5::showKind(int kind)
{
    const QSignalBlocker block(c_.kinds);
    if (QAbstractButton* b = c_.kinds->button(kind)) {
        b->setChecked(true);
    } else if (QAbstractButton* checked = c_.kinds->checkedButton()) {
        c_.kinds->setExclusive(false);
        checked->setChecked(false);
        c_.kinds->setExclusive(true);
    }
}

void TForm5::showEvent(QShowEvent* event)
{
    ui::WorkstationWindow::showEvent(event);
    guarded([this] { library_->ShowSettings(); })();
}

} // namespace talvora
