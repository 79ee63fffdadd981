#pragma once
// What the writer stores for the tables of the model: rows of at most 63
// cells with their definitions, and each cell's paragraphs and nested tables.

#include "word/table_format.h"

#include <QTextBlock>
#include <QTextTable>

#include <vector>

namespace talvora::word {

struct PlannedCell {
    // The model cells whose content the stored cell holds: one, several when
    // the row has more cells than Word allows, none for the lower parts of a
    // vertically merged cell.
    std::vector<QTextTableCell> parts;
};

struct PlannedRow {
    std::vector<PlannedCell> cells;
    TableRowDef def;
};

// `availableWidth` (twips) is what relative and unset column widths share.
std::vector<PlannedRow> planTable(const QTextTable& table, int availableWidth);

// A paragraph, or a table nested in a cell.
struct CellItem {
    QTextBlock block;
    const QTextTable* table = nullptr;
};

// The content of a story's root frame, or of the model cells of a stored
// cell, in order. Tables are kept as such while `nestTables`; past that their
// cells' content comes in their place. Other frames give their content, and
// a placeholder block that only opens the frame before its table is left out.
std::vector<CellItem> frameItems(const QTextFrame& frame);
std::vector<CellItem> cellItems(const std::vector<QTextTableCell>& parts, bool nestTables);

} // namespace talvora::word
