#include "designer_window.h"

#include "common/program_state.h"
#include "data/data_module.h"
#include "templates/marker_highlighter.h"
#include "templates/marker_panel.h"
#include "templates/template_designer.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"
#include "word/document.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora {

using ui::guarded;
using ui::hintButton;

namespace {

QCheckBox* checkBox(QWidget* parent, const QString& caption, const char* name)
{
    auto* c = new QCheckBox(caption, parent);
    c->setAccessibleName(caption);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

ui::DBGrid* grid(QWidget* parent, const QString& accessibleName, const char* name)
{
    auto* g = new ui::DBGrid(parent);
    g->setAccessibleName(accessibleName);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

ui::DBNavigator* navigator(QWidget* parent, const QString& accessibleName, const char* name)
{
    auto* n = new ui::DBNavigator(parent);
    n->setAccessibleName(accessibleName);
    n->setObjectName(QString::fromLatin1(name));
    return n;
}

const ui::DBNavigator::Buttons kListButtons = ui::DBNavigator::Prior | ui::DBNavigator::Next |
                                              ui::DBNavigator::Insert | ui::DBNavigator::Delete |
                                              ui::DBNavigator::Edit | ui::DBNavigator::Post |
                                              ui::DBNavigator::Cancel | ui::DBNavigator::Refresh;
const ui::DBNavigator::Buttons kTemplateButtons =
    ui::DBNavigator::First | ui::DBNavigator::Prior | ui::DBNavigator::Next | ui::DBNavigator::Last;

} // namespace

TForm2::TForm2(QWidget* parent)
    : ui::WorkstationWindow(QStringLiteral("Конструктор шаблонов"), QSize(784, 539),
                            2, QStringLiteral("Конструктор шаблонов: "), parent)
{
    setObjectName(QStringLiteral("TForm2"));
    beforeAssemblyBuffer().emplace();

    c_.splitter = new QSplitter(Qt::Horizontal, this);
    c_.splitter->setObjectName(QStringLiteral("splitter"));
    c_.splitter->setChildrenCollapsible(false);
    auto* column = new QWidget(c_.splitter);
    column->setObjectName(QStringLiteral("leftColumn"));
    buildLeftColumn(column);

    // The document and, beside it, the markers a template can carry.
    auto* right = new QSplitter(Qt::Horizontal, c_.splitter);
    right->setObjectName(QStringLiteral("documentSplitter"));
    c_.view = new word::DocumentView(right);
    c_.view->setObjectName(QStringLiteral("view"));
    c_.view->setAccessibleName(QStringLiteral("Шаблон"));
    c_.view->loadDocument(word::Document()); // the empty document, until a template is shown
    c_.markerPanel = new templates::MarkerPanel(
        [this] { return dm_ ? templates::readMarkerCatalog(*dm_) : templates::MarkerCatalog{}; }, right);
    c_.markerPanel->setObjectName(QStringLiteral("markerPanel"));
    // The document is what the author works on: it takes three quarters, and
    // never shrinks below a readable width beside the long marker names.
    c_.view->setMinimumWidth(320);
    c_.markerPanel->setMinimumWidth(160);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 1);
    right->setSizes({450, 150});
    c_.splitter->setStretchFactor(1, 1);
    c_.splitter->setSizes({329, 784 - 329});
    frameLayout()->addWidget(c_.splitter, 1);

    // Hidden: the assembly's auxiliary document and the box it reads markers through.
    c_.auxView = new word::DocumentView(this);
    c_.auxView->setObjectName(QStringLiteral("auxView"));
    c_.auxView->setAccessibleName(QStringLiteral("Вспомогательный документ"));
    c_.auxView->hide();
    c_.markerBox = new word::MarkerTextBox(this);
    c_.markerBox->setObjectName(QStringLiteral("markerBox"));
    c_.markerBox->setAccessibleName(QStringLiteral("Метка"));
    c_.markerBox->hide();

    // The document is activated when it receives the focus.
    connect(c_.view, &word::DocumentView::focusEntered, this, guarded([this] {
                if (!c_.view->isEmpty() && !c_.view->isActive())
                    c_.view->activate();
            }));

    highlighter_ = new templates::MarkerHighlighter(templates::MarkerCatalog{}, this);
    highlighter_->followView(*c_.view);
    new templates::MarkerToolTips(c_.view->textEdit(), *highlighter_);
}

TForm2::~TForm2()
{
    beforeAssemblyBuffer().reset();
}

void TForm2::buildLeftColumn(QWidget* column)
{
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    // The top bar: the buttons, the insertion mode and the error report.
    c_.progress = new QProgressBar(column);
    c_.progress->setObjectName(QStringLiteral("progress"));
    c_.progress->setAccessibleName(QStringLiteral("Прогресс сборки"));
    c_.progress->hide();
    layout->addWidget(c_.progress);

    auto* row1 = new QHBoxLayout;
    c_.showTemplate = hintButton(column, QStyle::SP_FileDialogContentsView, QStringLiteral("Показать шаблон"), "showTemplate");
    c_.storeTemplate = hintButton(column, QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить шаблон"), "storeTemplate");
    c_.replaceTemplate = hintButton(column, QStyle::SP_DriveFDIcon,
                                QStringLiteral("Сохранить изменения в показанном шаблоне"), "replaceTemplate");
    c_.newTemplate = hintButton(column, QStyle::SP_FileIcon, QStringLiteral("Новый пустой шаблон"), "newTemplate");
    c_.activateWord = hintButton(column, QStyle::SP_MediaPlay, QStringLiteral("Активровать Word"), "activateWord");
    c_.deactivateWord = hintButton(column, QStyle::SP_MediaStop, QStringLiteral("Деазактвировать Word"), "deactivateWord");
    for (QToolButton* b : {c_.showTemplate, c_.storeTemplate, c_.replaceTemplate, c_.newTemplate, c_.activateWord,
                           c_.deactivateWord})
        row1->addWidget(b);
    row1->addStretch();
    layout->addLayout(row1);

    auto* row2 = new QHBoxLayout;
    c_.insertTemplateMarker =
        hintButton(column, QStyle::SP_ArrowRight, QStringLiteral("Вставить метку шаблона"), "insertTemplateMarker");
    c_.assemble = hintButton(column, QStyle::SP_BrowserReload, QStringLiteral("СОбрать документ"), "assemble");
    c_.cancelAssembly = new QToolButton(column);
    c_.cancelAssembly->setText(QStringLiteral("<-"));
    c_.cancelAssembly->setToolTip(QStringLiteral("Отменить сборку"));
    c_.cancelAssembly->setAccessibleName(QStringLiteral("<-"));
    c_.cancelAssembly->setAccessibleDescription(QStringLiteral("Отменить сборку"));
    c_.cancelAssembly->setObjectName(QStringLiteral("cancelAssembly"));
    c_.insertionMode = checkBox(column, QStringLiteral("режим вставки полей"), "insertionMode");
    for (QWidget* w : std::initializer_list<QWidget*>{c_.insertTemplateMarker, c_.assemble, c_.cancelAssembly,
                                                      c_.insertionMode})
        row2->addWidget(w);
    row2->addStretch();
    // The error-report button belongs to this bar.
    row2->addWidget(errorReportButton());
    layout->addLayout(row2);

    // The middle: departments and template types side by side.
    auto* lists = new QHBoxLayout;
    auto* departments = new QVBoxLayout;
    c_.departments = grid(column, QStringLiteral("Отделения"), "departments");
    c_.departmentNavigator = navigator(column, QStringLiteral("Навигатор отделений"), "departmentNavigator");
    departments->addWidget(c_.departments, 1);
    departments->addWidget(c_.departmentNavigator);
    auto* types = new QVBoxLayout;
    c_.templateTypes = grid(column, QStringLiteral("Тип шаблона"), "templateTypes");
    c_.typeNavigator = navigator(column, QStringLiteral("Навигатор типов шаблонов"), "typeNavigator");
    types->addWidget(c_.templateTypes, 1);
    types->addWidget(c_.typeNavigator);
    lists->addLayout(departments, 3);
    lists->addLayout(types, 2);
    layout->addLayout(lists, 1);

    // The bottom: the templates of the type.
    auto* bottom = new QHBoxLayout;
    c_.templateNavigator = navigator(column, QStringLiteral("Навигатор шаблонов"), "templateNavigator");
    c_.deleteTemplate = hintButton(column, QStyle::SP_TrashIcon, QStringLiteral("Удалить шаблон"), "deleteTemplate");
    c_.viewMode = checkBox(column, QStringLiteral("режим просмотра"), "viewMode");
    bottom->addWidget(c_.templateNavigator);
    bottom->addWidget(c_.deleteTemplate);
    bottom->addWidget(c_.viewMode);
    bottom->addStretch();
    layout->addLayout(bottom);
    c_.templates = grid(column, QStringLiteral("Название шаблона"), "templates");
    layout->addWidget(c_.templates, 1);
}

void TForm2::attachData(data::TDM& dm, templates::TemplateOperations& operations, templates::DocumentAssembly& assembly)
{
    dm_ = &dm;
    c_.departments->bind(dm.Otd.get(), {{QStringLiteral("Oboln"), QStringLiteral("Больница"), 120},
                                        {QStringLiteral("Ootd"), QStringLiteral("Отделен"), 120}});
    c_.departmentNavigator->bind(dm.Otd.get(), kListButtons);
    c_.departmentNavigator->setConfirmDelete(true);
    c_.templateTypes->bind(dm.ShType.get(), {{QStringLiteral("ShTName"), QStringLiteral("Тип шаблона"), 140}});
    // Deleting a type asks its own question (its templates go with it).
    c_.typeNavigator->bind(dm.ShType.get(), kListButtons);
    c_.templateNavigator->bind(dm.Sh_q.get(), kTemplateButtons);
    c_.templates->bind(dm.Sh_q.get(), {{QStringLiteral("ShName"), QStringLiteral("Название шаблона"), 280}});

    designer_ = new templates::TemplateDesigner(dm, operations, assembly, {c_.view, c_.auxView, c_.markerBox}, this);
    wire();
}

void TForm2::wire()
{
    templates::TemplateDesigner& d = *designer_;

    // The lists: the templates of the department and type chosen.
    const auto listsMoved = guarded([this] {
        designer_->OpenTemplates();
        reloadMarkers();
    });
    connect(c_.departments, &ui::DBGrid::cellClicked, this, listsMoved);
    connect(c_.templateTypes, &ui::DBGrid::cellClicked, this, listsMoved);
    connect(c_.departmentNavigator, &ui::DBNavigator::pressed, this, listsMoved);
    connect(c_.typeNavigator, &ui::DBNavigator::pressed, this, listsMoved);
    connect(c_.templates, &ui::DBGrid::cellClicked, this, guarded([this] {
                if (c_.viewMode->isChecked())
                    designer_->ShowDesignerTemplate();
            }));

    connect(c_.showTemplate, &QToolButton::clicked, this, guarded([&d] { d.ShowDesignerTemplate(); }));
    connect(c_.storeTemplate, &QToolButton::clicked, this, guarded([&d] { d.StoreNewTemplate(); }));
    connect(c_.replaceTemplate, &QToolButton::clicked, this, guarded([&d] { d.ReplaceShownTemplate(); }));
    connect(c_.newTemplate, &QToolButton::clicked, this, guarded([&d] { d.NewTemplate(); }));
    connect(c_.deleteTemplate, &QToolButton::clicked, this, guarded([&d] { d.DeleteSelectedTemplate(); }));
    connect(c_.insertTemplateMarker, &QToolButton::clicked, this, guarded([&d] { d.InsertTemplateMarker(); }));
    connect(c_.activateWord, &QToolButton::clicked, this, guarded([this] { c_.view->activate(); }));
    connect(c_.deactivateWord, &QToolButton::clicked, this, guarded([this] { c_.view->close(); }));
    connect(c_.assemble, &QToolButton::clicked, this, guarded([this] {
                designer_->AssembleForSelectedPatient(links.assemblyProgress ? links.assemblyProgress()
                                                                             : templates::AssemblyProgress{});
            }));
    connect(c_.cancelAssembly, &QToolButton::clicked, this, guarded([&d] { d.CancelAssembly(); }));

    c_.insertionMode->setChecked(templates::TemplateDesigner::insertionMode());
    connect(c_.insertionMode, &QCheckBox::toggled, this,
            [](bool on) { templates::TemplateDesigner::setInsertionMode(on); });

    // The panel inserts whether or not the insertion mode is on.
    connect(c_.markerPanel, &templates::MarkerPanel::insertRequested, this,
            guarded([&d](const QString& marker) { d.InsertMarker(marker); }));
    connect(&d, &templates::TemplateDesigner::templatesChanged, this, guarded([this] { reloadMarkers(); }));
}

void TForm2::reloadMarkers()
{
    if (!dm_)
        return;
    c_.markerPanel->reload();
    // A nested template is pulled in whatever its department.
    highlighter_->setCatalog(templates::readMarkerCatalog(*dm_, true));
}

void TForm2::showEvent(QShowEvent* event)
{
    ui::WorkstationWindow::showEvent(event);
    guarded([this] {
        if (!dm_)
            return;
        designer_->OpenTemplates();
        reloadMarkers();
    })();
}

} // namespace talvora
