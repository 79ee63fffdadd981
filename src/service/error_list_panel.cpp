#include "error_list_panel.h"

#include "data/data_module.h"
#include "ui/db_controls.h"
#include "ui/db_grid.h"
#include "ui/db_navigator.h"
#include "ui/error_display.h"
#include "ui/hint_button.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace talvora::service {

using ui::guarded;
using ui::hintButton;

namespace {

// The wait cursor while a long operation runs on the user-interface thread.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

ErrorListPanel::ErrorListPanel(data::TDM& dm, QWidget* parent) : QWidget(parent), dm_(dm), list_(dm)
{
    setObjectName(QStringLiteral("errorListPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    buildHeader();
    buildFilterBand();
    buildList();
    wire();
}

void ErrorListPanel::buildHeader()
{
    auto* row = new QHBoxLayout;
    c_.header = new QLabel(QStringLiteral("Сообщения об ошибках "), this);
    QFont bold = c_.header->font();
    bold.setBold(true);
    c_.header->setFont(bold);
    row->addWidget(c_.header);
    c_.showFilters = new QCheckBox(QStringLiteral("показать фильтры"), this);
    c_.showFilters->setAccessibleName(c_.showFilters->text());
    row->addWidget(c_.showFilters);
    c_.send = hintButton(this, QStyle::SP_ArrowUp, QStringLiteral("Отправить сообщения об ошибках автору программы"));
    c_.send->setObjectName(QStringLiteral("sendErrorReports"));
    row->addWidget(c_.send);
    c_.navigator = new ui::DBNavigator(this);
    c_.navigator->setAccessibleName(QStringLiteral("Навигатор сообщений об ошибках"));
    c_.navigator->bind(dm_.Err_q.get(), ui::DBNavigator::kAll);
    for (QToolButton* b : c_.navigator->findChildren<QToolButton*>())
        b->setAccessibleName(b->toolTip());
    row->addWidget(c_.navigator);
    row->addStretch();
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

void ErrorListPanel::buildFilterBand()
{
    c_.filterBand = new QWidget(this);
    c_.filterBand->setObjectName(QStringLiteral("errorFilterBand"));
    auto* row = new QHBoxLayout(c_.filterBand);
    row->setContentsMargins(0, 0, 0, 0);
    const auto field = [&](const QString& caption) {
        auto* label = new QLabel(caption, c_.filterBand);
        auto* edit = new QLineEdit(c_.filterBand);
        edit->setAccessibleName(caption.trimmed());
        edit->setMaximumWidth(60);
        label->setBuddy(edit);
        row->addWidget(label);
        row->addWidget(edit);
        return edit;
    };
    c_.form = field(QStringLiteral("Форма: "));
    c_.status = field(QStringLiteral("Статус"));

    c_.conjunction = new QGroupBox(QStringLiteral("Условие пересечния"), c_.filterBand);
    c_.conjunction->setAccessibleName(c_.conjunction->title());
    auto* choice = new QHBoxLayout(c_.conjunction);
    choice->setContentsMargins(4, 0, 4, 0);
    c_.andChoice = new QRadioButton(QStringLiteral("И"), c_.conjunction);
    c_.orChoice = new QRadioButton(QStringLiteral("ИЛИ"), c_.conjunction);
    for (QRadioButton* r : {c_.andChoice, c_.orChoice}) {
        r->setAccessibleName(r->text());
        choice->addWidget(r);
    }
    c_.andChoice->setChecked(true);
    row->addWidget(c_.conjunction);

    c_.applyFilter = hintButton(c_.filterBand, QStyle::SP_DialogApplyButton, QStringLiteral("Включить !"));
    row->addWidget(c_.applyFilter);
    c_.message = new QLabel(c_.filterBand);
    c_.message->setObjectName(QStringLiteral("errorFilterMessage"));
    c_.message->setAccessibleName(QStringLiteral("Сообщение фильтра"));
    QPalette red = c_.message->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    c_.message->setPalette(red);
    row->addWidget(c_.message);
    row->addStretch();
    c_.filterBand->hide();
    static_cast<QVBoxLayout*>(layout())->addWidget(c_.filterBand);
}

void ErrorListPanel::buildList()
{
    auto* row = new QHBoxLayout;
    c_.grid = new ui::DBGrid(this);
    c_.grid->setObjectName(QStringLiteral("errorGrid"));
    c_.grid->setAccessibleName(QStringLiteral("Сообщения об ошибках"));
    c_.grid->bind(dm_.Err_q.get(), {{QStringLiteral("ErrForm"), QStringLiteral("Форма"), 45},
                                   {QStringLiteral("ErrStatus"), QStringLiteral("Статус"), 45},
                                   {QStringLiteral("ErrName"), QStringLiteral("Название"), 170},
                                   {QStringLiteral("ErrDate"), QStringLiteral("Дата"), 85},
                                   {QStringLiteral("ErrOwner"), QStringLiteral("номер диска"), 90}});
    c_.grid->datasetModel()->setEditable(true);
    c_.grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    row->addWidget(c_.grid, 3);
    c_.description = new ui::DBMemo(this);
    c_.description->setObjectName(QStringLiteral("errorDescription"));
    c_.description->setAccessibleName(QStringLiteral("Подробное описание"));
    c_.description->bind(dm_.Err_q.get(), QStringLiteral("ErrMem"));
    row->addWidget(c_.description, 2);
    static_cast<QVBoxLayout*>(layout())->addLayout(row, 1);
}

void ErrorListPanel::wire()
{
    connect(c_.showFilters, &QCheckBox::toggled, this, guarded([this](bool on) { filtersSwitched(on); }));
    connect(c_.applyFilter, &QToolButton::clicked, this, guarded([this] { applyFilter(); }));
    connect(c_.send, &QToolButton::clicked, this, guarded([this] { send(); }));
    connect(c_.grid, &ui::DBGrid::titleClicked, this,
            guarded([this](int, const QString& field) { list_.SortByColumn(field); }));
    connect(&list_, &ErrorList::listReread, c_.grid, [this] { c_.grid->viewport()->update(); });
}

void ErrorListPanel::filtersSwitched(bool on)
{
    c_.filterBand->setVisible(on);
    if (on)
        list_.FiltersShown();
    else
        list_.FiltersHidden();
}

void ErrorListPanel::applyFilter()
{
    c_.message->clear();
    const FilterConjunction conjunction = c_.orChoice->isChecked() ? FilterConjunction::Or : FilterConjunction::And;
    c_.message->setText(list_.ApplyFilter(c_.form->text(), c_.status->text(), conjunction));
}

void ErrorListPanel::send()
{
    emit c_.description->link()->flushNeeded();
    WaitCursor wait;
    list_.SendReports();
}

} // namespace talvora::service
