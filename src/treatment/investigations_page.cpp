#include "investigations_page.h"

#include "common/program_state.h"
#include "data/data_module.h"
#include "investigations.h"
#include "ui/db_grid.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"
#include "ui/workstation_window.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora::treatment {

using ui::guarded;
using ui::hintButton;

namespace {

// Column 29 of the field table: the results of all investigations.
constexpr int kAllInvestigationsField = 29;

QPushButton* captionButton(QWidget* parent, const QString& caption, const char* name)
{
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

const QString kTemplateColumn = QStringLiteral("Название шаблона");

} // namespace

InvestigationsPage::InvestigationsPage(Investigations& ops, const TreatmentWindowLinks& links, QWidget* parent)
    : QWidget(parent), ops_(ops), links_(links)
{
    setObjectName(QStringLiteral("investigationsPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    buildTopBand();

    auto* split = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(split, 1);
    auto* left = new QWidget(split);
    buildLists(left);
    c_.editor = &ops_.editor();
    c_.editor->setParent(split);
    c_.editor->setObjectName(QStringLiteral("investigationEditor"));
    c_.editor->setAccessibleName(QStringLiteral("Документ"));
    split->addWidget(left);
    split->addWidget(c_.editor);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({330, 670});

    wire();
    showFilter(ops_.filterOff());
}

word::DocumentView& InvestigationsPage::editor() const
{
    return *c_.editor;
}

void InvestigationsPage::buildTopBand()
{
    auto* band = new QHBoxLayout;
    static_cast<QVBoxLayout*>(layout())->addLayout(band);

    c_.patientName = new QLabel(this);
    c_.patientName->setObjectName(QStringLiteral("patientName"));
    c_.patientName->setAccessibleName(QStringLiteral("Пациент"));
    QFont bold = c_.patientName->font();
    bold.setBold(true);
    c_.patientName->setFont(bold);
    c_.patientName->setMinimumWidth(200);
    band->addWidget(c_.patientName);

    const QString typeColumn = QStringLiteral("Критерий группировки  ( тип шаблона)");
    c_.typeList = new ui::DBGrid(this);
    c_.typeList->setObjectName(QStringLiteral("templateTypes"));
    c_.typeList->setAccessibleName(typeColumn);
    c_.typeList->bind(&ops_.templateTypes(), {{QStringLiteral("ShTName"), typeColumn, 0}});
    c_.typeList->setMaximumHeight(110);
    band->addWidget(c_.typeList, 1);

    c_.filterOff = new QCheckBox(QStringLiteral("отключить фильтр"), this);
    c_.filterOff->setObjectName(QStringLiteral("filterOff"));
    c_.filterOff->setAccessibleName(c_.filterOff->text());
    band->addWidget(c_.filterOff);

    c_.deactivateWord = hintButton(this, QStyle::SP_MediaStop, QStringLiteral("Дезактивировать Word"), "deactivateWord");
    c_.activateWord = hintButton(this, QStyle::SP_MediaPlay, QStringLiteral("Активировать Word"), "activateWord");
    band->addWidget(c_.deactivateWord);
    band->addWidget(c_.activateWord);
    band->addStretch();

    c_.errorReport = hintButton(this, QStyle::SP_MessageBoxWarning, QString::fromUtf8(ui::kErrorReportHint),
                                "errorReportButton");
    band->addWidget(c_.errorReport);
}

void InvestigationsPage::buildLists(QWidget* left)
{
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);

    c_.investigationList = new ui::DBGrid(left);
    c_.investigationList->setObjectName(QStringLiteral("investigationList"));
    c_.investigationList->setAccessibleName(QStringLiteral("Исследования пациента"));
    c_.investigationList->bind(&ops_.investigationList(), {{QStringLiteral("Iname"), QStringLiteral("Название исследования"), 190},
                                                            {QStringLiteral("Idate"), QStringLiteral("время"), 0}});
    column->addWidget(c_.investigationList, 2);

    auto* investigationButtons = new QHBoxLayout;
    c_.addInvestigation = captionButton(left, QStringLiteral("Add Иссл"), "addInvestigation");
    c_.deleteInvestigation = hintButton(left, QStyle::SP_TrashIcon, QStringLiteral("Удалить исследование"),
                                        "deleteInvestigation");
    c_.showInvestigation = captionButton(left, QStringLiteral("Show Иссл"), "showInvestigation");
    investigationButtons->addWidget(c_.addInvestigation);
    investigationButtons->addWidget(c_.deleteInvestigation);
    investigationButtons->addWidget(c_.showInvestigation);
    investigationButtons->addStretch();
    column->addLayout(investigationButtons);

    auto* templateButtons = new QHBoxLayout;
    c_.addTemplate = captionButton(left, QStringLiteral("Add Shabl"), "addTemplate");
    c_.deleteTemplate = hintButton(left, QStyle::SP_TrashIcon, QStringLiteral("Удалить ШАБЛОН"), "deleteTemplate");
    c_.showTemplate = captionButton(left, QStringLiteral("Show Shabl"), "showTemplate");
    templateButtons->addWidget(c_.addTemplate);
    templateButtons->addWidget(c_.deleteTemplate);
    templateButtons->addWidget(c_.showTemplate);
    templateButtons->addStretch();
    column->addLayout(templateButtons);

    c_.templateList = new ui::DBGrid(left);
    c_.templateList->setObjectName(QStringLiteral("templateList"));
    c_.templateList->setAccessibleName(kTemplateColumn);
    column->addWidget(c_.templateList, 1);
}

void InvestigationsPage::wire()
{
    connect(&ops_, &Investigations::filterApplied, this, [this](bool off) { showFilter(off); });
    connect(c_.filterOff, &QCheckBox::toggled, this, guarded([this](bool off) { ops_.setFilterOff(off); }));
    connect(c_.typeList, &ui::DBGrid::cellClicked, this, guarded([this] { ops_.ApplyTypeFilter(); }));

    connect(c_.addInvestigation, &QPushButton::clicked, this, guarded([this] { ops_.AddInvestigation(); }));
    connect(c_.deleteInvestigation, &QToolButton::clicked, this, guarded([this] { ops_.DeleteInvestigation(); }));
    connect(c_.showInvestigation, &QPushButton::clicked, this, guarded([this] { ops_.ShowInvestigationResult(); }));
    connect(c_.addTemplate, &QPushButton::clicked, this, guarded([this] { ops_.AddTemplate(); }));
    connect(c_.deleteTemplate, &QToolButton::clicked, this, guarded([this] { ops_.DeleteSelectedTemplate(); }));
    connect(c_.showTemplate, &QPushButton::clicked, this, guarded([this] { ops_.ShowSelectedTemplate(); }));

    word::DocumentView* view = c_.editor;
    connect(c_.activateWord, &QToolButton::clicked, this, guarded([view] { view->activate(); }));
    connect(c_.deactivateWord, &QToolButton::clicked, this, guarded([view] { view->close(); }));
    connect(view, &word::DocumentView::focusEntered, this, guarded([view] {
        if (!view->isEmpty())
            view->activate();
    }));
    connect(view, &word::DocumentView::focusLeft, this, guarded([view] { view->close(); }));
    connect(c_.errorReport, &QToolButton::clicked, this,
            guarded([] { ui::ReportError(6, QStringLiteral("Исследования: ")); }));

    c_.typeList->viewport()->installEventFilter(this);
    c_.investigationList->viewport()->installEventFilter(this);
}

void InvestigationsPage::showFilter(bool off)
{
    {
        const QSignalBlocker block(c_.filterOff);
        c_.filterOff->setChecked(off);
    }
    // With the filter off the type list takes no part: disabled, in the
    // colour of the menu bar.
    c_.typeList->setEnabled(!off);
    QPalette palette = c_.typeList->palette();
    palette.setColor(QPalette::Base, off ? QApplication::palette().color(QPalette::Window)
                                         : QApplication::palette().color(QPalette::Base));
    c_.typeList->setPalette(palette);

    data::QueryDataset* shown = &ops_.templateList();
    if (c_.templateList->dataset() != shown)
        c_.templateList->bind(shown, {{QStringLiteral("ShName"), kTemplateColumn, 0}});
}

void InvestigationsPage::windowActivated()
{
    guarded([this] {
        c_.patientName->setText(ops_.patientName());
        ops_.ApplyInvestigationFilter();
    })();
}

bool InvestigationsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == c_.typeList->viewport() || watched == c_.investigationList->viewport()) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton && programSwitches().MarkerInsertion)
        guarded([this] { insertMarker(); })();
    return QWidget::eventFilter(watched, event);
}

void InvestigationsPage::insertMarker()
{
    if (ops_.filterOff()) {
        if (links_.insertFieldMarker)
            links_.insertFieldMarker(kAllInvestigationsField);
        return;
    }
    const data::Dataset* types = c_.typeList->dataset();
    if (!types || !types->active() || types->isEmpty() || !links_.insertGroupMarker)
        return;
    links_.insertGroupMarker(types->field(QStringLiteral("ShTID")).asInteger());
}

} // namespace talvora::treatment
