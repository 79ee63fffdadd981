#pragma once
// A table model over a dataset: one column per bound field, one row per
// dataset row (the row being inserted included). Follows the dataset's
// signals, so a grid shows what the dataset holds at every moment.

#include "data/dataset.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

#include <vector>


namespace talvora::ui {

struct GridColumn {
    QString field;   // dataset field name
    QString caption; // column title
    int width = 0;   // pixels; 0 leaves it to the view
};

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    DatasetModel(data::Dataset* dataset, std::vector<GridColumn> columns, QObject* parent = nullptr);

    data::Dataset* dataset() const { return dataset_; }
    const std::vector<GridColumn>& columns() const { return columns_; }
    void setColumns(std::vector<GridColumn> columns);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Cells edited in place: an edit moves the dataset to the cell's row and
    // writes the field into its edit buffer; the row is stored when the
    // dataset moves on or is posted. A failure is shown in the error box.
    void setEditable(bool on) { editable_ = on; }
    bool editable() const { return editable_; }
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The text a grid cell shows for a value (dates dd.MM.yyyy, decimal comma).
    static QString displayText(const QVariant& value);

private:
    void reset();

    QPointer<data::Dataset> dataset_;
    std::vector<GridColumn> columns_;
    bool editable_ = false;
};

} // namespace talvora::ui
