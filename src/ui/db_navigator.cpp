#include "db_navigator.h"

#include "data/dataset.h"
#include "dialog_service.h"
#include "error_display.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace talvora::ui {

using data::Dataset;
using data::DatasetState;

namespace {

struct ButtonInfo {
    DBNavigator::Button button;
    const char* text;
    const char* hint;
};

const ButtonInfo kButtons[] = {
    {DBNavigator::First, "|◀", "Первая запись"},    {DBNavigator::Prior, "◀", "Предыдущая запись"},
    {DBNavigator::Next, "▶", "Следующая запись"},   {DBNavigator::Last, "▶|", "Последняя запись"},
    {DBNavigator::Insert, "+", "Добавить запись"},  {DBNavigator::Delete, "−", "Удалить запись"},
    {DBNavigator::Edit, "✎", "Изменить запись"},    {DBNavigator::Post, "✓", "Сохранить изменения"},
    {DBNavigator::Cancel, "✗", "Отменить изменения"}, {DBNavigator::Refresh, "⟳", "Обновить данные"},
};

} // namespace

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (const ButtonInfo& info : kButtons) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(info.text));
        b->setToolTip(QString::fromUtf8(info.hint));
        b->setAccessibleName(b->toolTip()); // the text is a symbol; the hint says what it does
        b->setAutoRaise(false);
        b->setMinimumWidth(26);
        layout->addWidget(b);
        buttons_[info.button] = b;
        const Button which = info.button;
        connect(b, &QToolButton::clicked, this, guarded([this, which] { press(which); }));
    }
    layout->addStretch();
    updateButtons();
}

void DBNavigator::bind(Dataset* dataset, Buttons visible)
{
    if (dataset_)
        disconnect(dataset_, nullptr, this, nullptr);
    dataset_ = dataset;
    visible_ = visible;
    for (auto& [b, w] : buttons_)
        w->setVisible(visible_.testFlag(b));
    if (dataset_) {
        connect(dataset_, &Dataset::stateChanged, this, &DBNavigator::updateButtons);
        connect(dataset_, &Dataset::currentRowChanged, this, &DBNavigator::updateButtons);
        connect(dataset_, &Dataset::dataReset, this, &DBNavigator::updateButtons);
        connect(dataset_, &Dataset::activeChanged, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

QToolButton* DBNavigator::button(Button b) const
{
    const auto it = buttons_.find(b);
    return it == buttons_.end() ? nullptr : it->second;
}

void DBNavigator::press(Button b)
{
    if (!dataset_ || !dataset_->active())
        return;
    Dataset& ds = *dataset_;
    switch (b) {
    case First: ds.first(); break;
    case Prior: ds.prior(); break;
    case Next: ds.next(); break;
    case Last: ds.last(); break;
    case Insert: ds.insert(); break;
    case Delete:
        if (!confirmDelete_ || dialogs().confirm(QStringLiteral("Удалить запись?")))
            ds.remove();
        break;
    case Edit: ds.edit(); break;
    case Post: ds.post(); break;
    case Cancel: ds.cancel(); break;
    case Refresh: ds.refresh(); break;
    }
    emit pressed(b);
    updateButtons();
}

void DBNavigator::updateButtons()
{
    const bool active = dataset_ && dataset_->active();
    const bool editing = active && dataset_->editing();
    const bool empty = !active || dataset_->isEmpty();
    const int row = active ? dataset_->recNo() : -1;
    const int count = active ? dataset_->recordCount() : 0;
    const bool canModify = active && dataset_->canModify();
    auto set = [&](Button b, bool on) {
        if (QToolButton* w = button(b))
            w->setEnabled(on);
    };
    set(First, active && !editing && row > 0);
    set(Prior, active && !editing && row > 0);
    set(Next, active && !editing && row >= 0 && row < count - 1);
    set(Last, active && !editing && row >= 0 && row < count - 1);
    set(Insert, canModify && !editing);
    set(Delete, canModify && !empty);
    set(Edit, canModify && !editing && !empty);
    set(Post, editing);
    set(Cancel, editing);
    set(Refresh, active && !editing);
}

} // namespace talvora::ui
