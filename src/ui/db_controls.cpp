#include "db_controls.h"

#include "data/dataset.h"
#include "dataset_model.h"
#include "error_display.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvora::ui {

using data::Dataset;

// ---------------------------------------------------------------- FieldLink

void FieldLink::bind(Dataset* dataset, const QString& field)
{
    if (dataset_)
        disconnect(dataset_, nullptr, this, nullptr);
    dataset_ = dataset;
    field_ = field;
    if (dataset_) {
        connect(dataset_, &Dataset::dataReset, this, &FieldLink::refreshNeeded);
        connect(dataset_, &Dataset::currentRowChanged, this, &FieldLink::refreshNeeded);
        connect(dataset_, &Dataset::stateChanged, this, &FieldLink::refreshNeeded);
        connect(dataset_, &Dataset::fieldValueChanged, this, [this](int f) {
            if (dataset_ && dataset_->fieldIndex(field_) == f)
                emit refreshNeeded();
        });
        connect(dataset_, &Dataset::updateRecordRequested, this, &FieldLink::flushNeeded);
    }
    emit refreshNeeded();
}

bool FieldLink::canShow() const
{
    return dataset_ && dataset_->active() && !dataset_->isEmpty() && dataset_->fieldIndex(field_) >= 0;
}

QVariant FieldLink::value() const
{
    if (!canShow())
        return {};
    return dataset_->field(field_).value();
}

QString FieldLink::text() const
{
    if (!canShow())
        return {};
    const data::Field f = dataset_->field(field_);
    const QVariant v = f.value();
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return DatasetModel::displayText(v);
}

void FieldLink::write(const QVariant& value)
{
    if (!dataset_ || !dataset_->active())
        return;
    if (!dataset_->editing())
        dataset_->edit();
    dataset_->field(field_).setValue(value);
}

// ---------------------------------------------------------------- DBEdit

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent), link_(new FieldLink(this))
{
    connect(link_, &FieldLink::refreshNeeded, this, &DBEdit::showValue);
    connect(link_, &FieldLink::flushNeeded, this, &DBEdit::flush);
    connect(this, &QLineEdit::textEdited, this, [this] {
        dirty_ = true;
        if (link_->dataset() && link_->dataset()->active() && !link_->dataset()->editing())
            link_->dataset()->edit();
    });
    connect(this, &QLineEdit::editingFinished, this, guarded([this] { flush(); }));
}

void DBEdit::bind(Dataset* dataset, const QString& field) { link_->bind(dataset, field); }

void DBEdit::showValue()
{
    if (dirty_ && link_->dataset() && link_->dataset()->editing())
        return; // keep what the user is typing
    dirty_ = false;
    setText(link_->text());
    setCursorPosition(0);
}

void DBEdit::flush()
{
    if (!dirty_)
        return;
    dirty_ = false;
    link_->write(text());
}

// ---------------------------------------------------------------- DBMemo

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent), link_(new FieldLink(this))
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(link_, &FieldLink::refreshNeeded, this, &DBMemo::showValue);
    connect(link_, &FieldLink::flushNeeded, this, &DBMemo::flush);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (showing_)
            return;
        dirty_ = true;
        if (link_->dataset() && link_->dataset()->active() && !link_->dataset()->editing())
            link_->dataset()->edit();
    });
}

void DBMemo::bind(Dataset* dataset, const QString& field) { link_->bind(dataset, field); }

void DBMemo::showValue()
{
    if (dirty_ && link_->dataset() && link_->dataset()->editing())
        return;
    dirty_ = false;
    showing_ = true;
    setPlainText(link_->text());
    showing_ = false;
}

void DBMemo::flush()
{
    if (!dirty_)
        return;
    dirty_ = false;
    // Lines as typed, with the line breaks of the stored texts.
    QString text = toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    link_->write(text);
}

void DBMemo::focusOutEvent(QFocusEvent* e)
{
    QPlainTextEdit::focusOutEvent(e);
    guarded([this] { flush(); })();
}

// ---------------------------------------------------------------- DBCheckBox

DBCheckBox::DBCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent), link_(new FieldLink(this))
{
    connect(link_, &FieldLink::refreshNeeded, this, &DBCheckBox::showValue);
    connect(this, &QCheckBox::toggled, this, guarded([this](bool on) {
        if (!showing_)
            link_->write(on ? checked_ : unchecked_);
    }));
}

void DBCheckBox::bind(Dataset* dataset, const QString& field, QVariant checkedValue, QVariant uncheckedValue)
{
    checked_ = std::move(checkedValue);
    unchecked_ = std::move(uncheckedValue);
    link_->bind(dataset, field);
}

void DBCheckBox::showValue()
{
    showing_ = true;
    const QVariant v = link_->value();
    setChecked(!v.isNull() && v == checked_);
    showing_ = false;
}

// ---------------------------------------------------------------- DBRadioGroup

DBRadioGroup::DBRadioGroup(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), link_(new FieldLink(this)), group_(new QButtonGroup(this))
{
    new QVBoxLayout(this);
    connect(link_, &FieldLink::refreshNeeded, this, &DBRadioGroup::showValue);
    connect(group_, &QButtonGroup::idToggled, this, guarded([this](int id, bool on) {
        if (on && !showing_ && id >= 0 && size_t(id) < values_.size())
            link_->write(values_[size_t(id)]);
    }));
}

void DBRadioGroup::setItems(const std::vector<std::pair<QString, QVariant>>& items)
{
    for (QRadioButton* b : buttons_)
        delete b;
    buttons_.clear();
    values_.clear();
    int id = 0;
    for (const auto& [text, value] : items) {
        auto* b = new QRadioButton(text, this);
        layout()->addWidget(b);
        group_->addButton(b, id++);
        buttons_.push_back(b);
        values_.push_back(value);
    }
    showValue();
}

void DBRadioGroup::bind(Dataset* dataset, const QString& field) { link_->bind(dataset, field); }

int DBRadioGroup::selectedIndex() const { return group_->checkedId(); }

QRadioButton* DBRadioGroup::item(int index) const
{
    return index >= 0 && size_t(index) < buttons_.size() ? buttons_[size_t(index)] : nullptr;
}

void DBRadioGroup::showValue()
{
    showing_ = true;
    const QVariant v = link_->value();
    group_->setExclusive(false);
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setChecked(!v.isNull() && values_[i].toString() == v.toString());
    group_->setExclusive(true);
    showing_ = false;
}

} // namespace talvora::ui
