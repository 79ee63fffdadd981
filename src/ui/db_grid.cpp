#include "db_grid.h"

#include "data/dataset.h"
#include "error_display.h"

#include <QHeaderView>

namespace talvora::ui {

using data::Dataset;

DBGrid::DBGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (model_ && size_t(section) < model_->columns().size())
            emit titleClicked(section, model_->columns()[size_t(section)].field);
    });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && dataset() && dataset()->currentDisplayRow() == index.row())
            emit cellClicked(index.row(), index.column());
    });
}

void DBGrid::bind(Dataset* dataset, std::vector<GridColumn> columns)
{
    auto* old = model_;
    model_ = new DatasetModel(dataset, std::move(columns), this);
    setModel(model_);
    delete old;
    for (size_t i = 0; i < model_->columns().size(); ++i)
        if (model_->columns()[i].width > 0)
            setColumnWidth(int(i), model_->columns()[i].width);
    connect(model_, &QAbstractItemModel::modelReset, this, &DBGrid::showDatasetRow);
    connect(dataset, &Dataset::currentRowChanged, this, &DBGrid::showDatasetRow);
    showDatasetRow();
}

void DBGrid::showDatasetRow()
{
    Dataset* ds = dataset();
    if (!ds || syncing_)
        return;
    const int row = ds->active() ? ds->currentDisplayRow() : -1;
    syncing_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        const int col = std::max(0, currentIndex().column());
        setCurrentIndex(model_->index(row, col));
        scrollTo(model_->index(row, col));
    } else {
        setCurrentIndex(QModelIndex());
    }
    syncing_ = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    Dataset* ds = dataset();
    if (syncing_ || !ds || !ds->active() || !current.isValid())
        return;
    if (current.row() == ds->currentDisplayRow())
        return;
    syncing_ = true;
    try {
        ds->moveTo(current.row());
    } catch (...) {
        // The row could not be left (a value the field cannot take, a
        // refused post): say so and show the row the dataset is on.
        syncing_ = false;
        showDatasetRow();
        showGeneralError(std::current_exception());
        return;
    }
    syncing_ = false;
}

} // namespace talvora::ui
