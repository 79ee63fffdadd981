#include "dataset_model.h"

#include "error_display.h"

#include "data/dataset.h"
#include "data/values.h"

#include <QLocale>

namespace talvora::ui {

using data::Dataset;

DatasetModel::DatasetModel(Dataset* dataset, std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset), columns_(std::move(columns))
{
    connect(dataset, &Dataset::dataReset, this, &DatasetModel::reset);
    connect(dataset, &Dataset::rowInserted, this, &DatasetModel::reset);
    connect(dataset, &Dataset::rowRemoved, this, &DatasetModel::reset);
    connect(dataset, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount())
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
}

void DatasetModel::setColumns(std::vector<GridColumn> columns)
{
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void DatasetModel::reset()
{
    beginResetModel();
    endResetModel();
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !dataset_ || !dataset_->active())
        return 0;
    return dataset_->displayRowCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QString DatasetModel::displayText(const QVariant& v)
{
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return data::displayDate(v.toDate());
    case QMetaType::QDateTime:
        return data::displayDateTime(v.toDateTime());
    case QMetaType::Double:
        return QLocale(QLocale::Russian).toString(v.toDouble(), 'f', 2);
    case QMetaType::QByteArray:
        return QStringLiteral("(документ)");
    default:
        return v.toString();
    }
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !dataset_ || !dataset_->active() || size_t(index.column()) >= columns_.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole)
        return {};
    const int field = dataset_->fieldIndex(columns_[size_t(index.column())].field);
    if (field < 0)
        return {};
    if (role == Qt::EditRole)
        return displayText(dataset_->rowValue(index.row(), field));
    QString text = displayText(dataset_->rowValue(index.row(), field));
    if (role == Qt::DisplayRole)
        text.replace(u'\n', u' ').remove(u'\r');
    return text;
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!editable_ || !index.isValid() || !dataset_ || !dataset_->canModify() || size_t(index.column()) >= columns_.size())
        return f;
    const int field = dataset_->fieldIndex(columns_[size_t(index.column())].field);
    if (field >= 0 && !dataset_->fieldInfo(field).readOnly && !data::isBlobType(dataset_->fieldInfo(field).type))
        f |= Qt::ItemIsEditable;
    return f;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || !dataset_->active())
        return false;
    try {
        const int field = dataset_->fieldIndex(columns_[size_t(index.column())].field);
        if (data(index, Qt::EditRole).toString() == value.toString())
            return false;
        if (dataset_->currentDisplayRow() != index.row())
            dataset_->moveTo(index.row());
        if (!dataset_->editing())
            dataset_->edit();
        dataset_->fieldAt(field).setAsString(value.toString());
        return true;
    } catch (...) {
        showGeneralError(std::current_exception());
        return false;
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || size_t(section) >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return columns_[size_t(section)].caption;
}

} // namespace talvora::ui
