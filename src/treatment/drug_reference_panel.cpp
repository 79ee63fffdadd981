#include "drug_reference_panel.h"

#include "data/data_module.h"
#include "ui/db_controls.h"
#include "ui/db_grid.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora::treatment {

using ui::guarded;
using ui::hintButton;

namespace {

QHBoxLayout* buttonRow(QVBoxLayout* column, std::initializer_list<QToolButton*> buttons)
{
    auto* row = new QHBoxLayout;
    for (QToolButton* b : buttons)
        row->addWidget(b);
    row->addStretch();
    column->addLayout(row);
    return row;
}

bool isListMove(const QEvent* event)
{
    if (event->type() != QEvent::KeyRelease)
        return false;
    switch (static_cast<const QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

DrugReferencePanel::DrugReferencePanel(data::TDM& dm, DrugReference& drugs, QWidget* parent)
    : QWidget(parent), dm_(dm), drugs_(drugs)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* macro = new QWidget(this);
    auto* groups = new QWidget(this);
    auto* drugColumn = new QWidget(this);
    buildMacrogroups(macro);
    buildGroups(groups);
    buildDrugs(drugColumn);
    layout->addWidget(macro, 2);
    layout->addWidget(groups, 2);
    layout->addWidget(drugColumn, 5);
    wire();
    showEditorState(drugs_.editorState());
}

void DrugReferencePanel::buildMacrogroups(QWidget* column)
{
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    c_.newMacrogroup = hintButton(column, QStyle::SP_FileDialogNewFolder, QStringLiteral("Новая макрогруппа ЛВ"));
    c_.renameMacrogroup = hintButton(column, QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить изменения"));
    c_.renameMacrogroup->setAccessibleName(QStringLiteral("Сохранить изменения макрогруппы"));
    c_.deleteMacrogroup = hintButton(column, QStyle::SP_TrashIcon, QStringLiteral("Удалить макрогруппу ЛВ"));
    buttonRow(v, {c_.newMacrogroup, c_.renameMacrogroup, c_.deleteMacrogroup});
    c_.macrogroups = new ui::DBGrid(column);
    c_.macrogroups->setAccessibleName(QStringLiteral("Макрогруппа ЛВ"));
    c_.macrogroups->bind(dm_.TrType_q_0.get(), {{QStringLiteral("TrTname"), QStringLiteral("Макрогруппа ЛВ"), 0}});
    v->addWidget(c_.macrogroups, 1);
}

void DrugReferencePanel::buildGroups(QWidget* column)
{
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    c_.newGroup = hintButton(column, QStyle::SP_FileDialogNewFolder, QStringLiteral("Новая подгруппа"));
    c_.renameGroup = hintButton(column, QStyle::SP_DialogSaveButton, QStringLiteral("Сохранить изменения"));
    c_.renameGroup->setAccessibleName(QStringLiteral("Сохранить изменения подгруппы"));
    c_.deleteGroup = hintButton(column, QStyle::SP_TrashIcon, QStringLiteral("Удалить подгруппу"));
    buttonRow(v, {c_.newGroup, c_.renameGroup, c_.deleteGroup});
    c_.groups = new ui::DBGrid(column);
    c_.groups->setAccessibleName(QStringLiteral("Подгруппа ЛВ"));
    c_.groups->bind(dm_.TrType_q_1.get(), {{QStringLiteral("TrTname"), QStringLiteral("Подгруппа ЛВ"), 0}});
    v->addWidget(c_.groups, 1);
}

void DrugReferencePanel::buildDrugs(QWidget* column)
{
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    c_.newDrug = hintButton(column, QStyle::SP_FileIcon, QStringLiteral("Новый препарат"));
    c_.changeDrug = hintButton(column, QStyle::SP_FileDialogDetailedView, QStringLiteral("Измененить запись"));
    c_.deleteDrug = hintButton(column, QStyle::SP_TrashIcon, QStringLiteral("Удалить препарат"));
    buttonRow(v, {c_.newDrug, c_.changeDrug, c_.deleteDrug});

    c_.drugs = new ui::DBGrid(column);
    c_.drugs->setAccessibleName(QStringLiteral("Препараты"));
    c_.drugs->bind(dm_.Treat_q.get(), {{QStringLiteral("Tname_r"), QStringLiteral("Название ЛВ"), 170},
                                       {QStringLiteral("Tdose"), QStringLiteral("мг\\кг\\с"), 60},
                                       {QStringLiteral("Tkratn"), QStringLiteral("раз\\сут"), 60},
                                       {QStringLiteral("Tname_l"), QStringLiteral("Название ЛВ (по латыни)"), 170},
                                       {QStringLiteral("Tprice"), QStringLiteral("Цена"), 60}});
    v->addWidget(c_.drugs, 1);

    auto* strip = new QLabel(QStringLiteral("Примечания"), column);
    v->addWidget(strip);
    c_.notesStrip = new QStackedWidget(column);
    c_.details = new QWidget(c_.notesStrip);
    c_.details->setAccessibleName(QStringLiteral("Подробности"));
    auto* d = new QHBoxLayout(c_.details);
    d->setContentsMargins(0, 0, 0, 0);
    d->addWidget(new QLabel(QStringLiteral("Подробности"), c_.details));
    c_.notesStrip->addWidget(c_.details);

    c_.editor = new QWidget(c_.notesStrip);
    auto* g = new QGridLayout(c_.editor);
    g->setContentsMargins(0, 0, 0, 0);
    auto edit = [&](int col, const QString& label, const char* field, int width) {
        auto* e = new ui::DBEdit(c_.editor);
        e->bind(dm_.Treat.get(), QString::fromLatin1(field));
        e->setAccessibleName(label);
        if (width > 0)
            e->setMaximumWidth(width);
        auto* l = new QLabel(label, c_.editor);
        l->setBuddy(e);
        g->addWidget(l, 0, col);
        g->addWidget(e, 1, col);
        return e;
    };
    c_.name = edit(0, QStringLiteral("Название ЛВ"), "Tname_r", 0);
    c_.dose = edit(1, QStringLiteral("Доза мг\\кг\\с"), "Tdose", 80);
    c_.intakes = edit(2, QStringLiteral("Кратн пр-ма"), "Tkratn", 80);
    c_.latinName = edit(3, QStringLiteral("Название по латыни"), "Tname_l", 0);
    c_.price = edit(4, QStringLiteral("Цена"), "Tprice", 80);
    c_.name->setMaxLength(25);
    c_.latinName->setMaxLength(25);
    // Whole numbers for the dose and the intakes, roubles and kopecks for the price.
    static const QRegularExpression whole(QStringLiteral("\\d{0,6}")), money(QStringLiteral("\\d{0,9}([.,]\\d{0,2})?"));
    c_.dose->setValidator(new QRegularExpressionValidator(whole, c_.dose));
    c_.intakes->setValidator(new QRegularExpressionValidator(whole, c_.intakes));
    c_.price->setValidator(new QRegularExpressionValidator(money, c_.price));
    c_.storeDrug = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), QString(), c_.editor);
    c_.storeDrug->setToolTip(QStringLiteral("Сохранить изменения"));
    c_.storeDrug->setAccessibleName(QStringLiteral("Сохранить изменения препарата"));
    c_.cancelDrug = new QPushButton(QStringLiteral("Cancel"), c_.editor);
    c_.cancelDrug->setAccessibleName(QStringLiteral("Cancel"));
    g->addWidget(c_.storeDrug, 1, 5);
    g->addWidget(c_.cancelDrug, 1, 6);
    c_.notesStrip->addWidget(c_.editor);
    c_.notesStrip->setMaximumHeight(c_.editor->sizeHint().height());
    v->addWidget(c_.notesStrip);

    c_.notes = new ui::DBMemo(column);
    c_.notes->setToolTip(QStringLiteral("Любые подробности о препарате - например инструкцию по применению"));
    c_.notes->setAccessibleName(QStringLiteral("Примечания"));
    strip->setBuddy(c_.notes);
    c_.notes->setMaximumHeight(90);
    v->addWidget(c_.notes);
}

void DrugReferencePanel::wire()
{
    connect(c_.newMacrogroup, &QToolButton::clicked, this, guarded([this] { drugs_.AddTreatType(0); }));
    connect(c_.renameMacrogroup, &QToolButton::clicked, this, guarded([this] { drugs_.RenameMacrogroup(); }));
    connect(c_.deleteMacrogroup, &QToolButton::clicked, this, guarded([this] { drugs_.DeleteCurrentMacrogroup(); }));
    connect(c_.newGroup, &QToolButton::clicked, this, guarded([this] { drugs_.AddGroup(); }));
    connect(c_.renameGroup, &QToolButton::clicked, this, guarded([this] { drugs_.RenameCurrentGroup(); }));
    connect(c_.deleteGroup, &QToolButton::clicked, this, guarded([this] { drugs_.DeleteCurrentGroup(); }));
    connect(c_.newDrug, &QToolButton::clicked, this, guarded([this] { drugs_.NewDrug(); }));
    connect(c_.changeDrug, &QToolButton::clicked, this, guarded([this] { drugs_.ChangeDrug(); }));
    connect(c_.deleteDrug, &QToolButton::clicked, this, guarded([this] { drugs_.DeleteDrug(); }));
    connect(c_.storeDrug, &QPushButton::clicked, this, guarded([this] {
        flushEditor();
        drugs_.StoreDrug();
    }));
    connect(c_.cancelDrug, &QPushButton::clicked, this, guarded([this] { drugs_.CancelDrug(); }));
    connect(&drugs_, &DrugReference::editorStateChanged, this, &DrugReferencePanel::showEditorState);

    connect(c_.macrogroups, &ui::DBGrid::cellClicked, this, guarded([this] { macrogroupChosen(); }));
    connect(c_.groups, &ui::DBGrid::cellClicked, this, guarded([this] { drugs_.ShowDrugsOfGroup(); }));
    connect(c_.drugs, &ui::DBGrid::cellClicked, this, guarded([this] { drugs_.SelectDrug(); }));
    for (ui::DBGrid* grid : {c_.macrogroups, c_.groups, c_.drugs}) {
        grid->installEventFilter(this);
        connect(grid, &ui::DBGrid::titleClicked, this, guarded([this, grid](int, const QString& field) {
                    drugs_.SortByColumn(*static_cast<data::QueryDataset*>(grid->dataset()), field);
                }));
    }
}

bool DrugReferencePanel::eventFilter(QObject* watched, QEvent* event)
{
    // Moving through a list with the keys acts as a click on the row.
    if (isListMove(event)) {
        if (watched == c_.macrogroups)
            guarded([this] { macrogroupChosen(); })();
        else if (watched == c_.groups)
            guarded([this] { drugs_.ShowDrugsOfGroup(); })();
        else if (watched == c_.drugs)
            guarded([this] { drugs_.SelectDrug(); })();
    } else if (watched == c_.macrogroups && event->type() == QEvent::FocusIn) {
        guarded([this] { drugs_.ShowGroupsOfMacrogroup(); })();
    }
    return QWidget::eventFilter(watched, event);
}

void DrugReferencePanel::macrogroupChosen()
{
    drugs_.ShowGroupsOfMacrogroup();
    drugs_.ShowDrugsOfGroup();
}

void DrugReferencePanel::flushEditor()
{
    for (ui::DBEdit* e : {c_.name, c_.dose, c_.intakes, c_.latinName, c_.price})
        emit e->link()->flushNeeded();
    emit c_.notes->link()->flushNeeded();
}

void DrugReferencePanel::showEditorState(DrugReference::EditorState state)
{
    const bool browse = state == DrugReference::EditorState::Browse;
    for (QToolButton* b : {c_.newDrug, c_.changeDrug, c_.deleteDrug})
        b->setEnabled(browse);
    const bool listsOn = state != DrugReference::EditorState::NewDrug;
    for (ui::DBGrid* g : {c_.macrogroups, c_.groups, c_.drugs})
        g->setEnabled(listsOn);
    c_.notesStrip->setCurrentWidget(browse ? c_.details : c_.editor);
    // In the editor the notes belong to the drug being edited; otherwise
    // they show the drug list's row and are read only.
    c_.notes->bind(browse ? static_cast<data::Dataset*>(dm_.Treat_q.get()) : static_cast<data::Dataset*>(dm_.Treat.get()),
                   QStringLiteral("Tprim"));
    c_.notes->setReadOnly(browse);
    if (!browse)
        c_.name->setFocus();
}

} // namespace talvora::treatment
