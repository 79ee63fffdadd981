#pragma once
// A grid over a dataset. Its current row and the dataset's current row move
// together both ways. A click on a cell is told apart from a keyboard move
// (cellClicked), and a click on a column title is reported (titleClicked).

#include "dataset_model.h"

#include <QTableView>

namespace talvora::ui {

class DBGrid : public QTableView {
    Q_OBJECT

public:
    explicit DBGrid(QWidget* parent = nullptr);

    void bind(data::Dataset* dataset, std::vector<GridColumn> columns);
    data::Dataset* dataset() const { return model_ ? model_->dataset() : nullptr; }
    DatasetModel* datasetModel() const { return model_; }

signals:
    // A mouse click on a cell (after the dataset moved to its row).
    void cellClicked(int row, int column);
    // A click on a column title; `field` is the column's field name.
    void titleClicked(int column, const QString& field);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void showDatasetRow();

    DatasetModel* model_ = nullptr;
    bool syncing_ = false;
};

} // namespace talvora::ui
