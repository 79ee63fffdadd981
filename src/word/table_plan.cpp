#include "word/table_plan.h"

#include "word/document.h"

#include <algorithm>

namespace talvora::word {

namespace {

// Column edges in twips, starting at the table's indent.
std::vector<int> columnEdges(const QTextTableFormat& format, int columns, int indent, int availableWidth)
{
    const QList<QTextLength> constraints = format.columnWidthConstraints();
    std::vector<int> x(size_t(columns) + 1, indent);
    for (int c = 0; c < columns; ++c) {
        int width = availableWidth / columns;
        if (c < constraints.size()) {
            const QTextLength& l = constraints[c];
            if (l.type() == QTextLength::FixedLength && l.rawValue() > 0)
                width = lengthToTwips(l.rawValue());
            else if (l.type() == QTextLength::PercentageLength && l.rawValue() > 0)
                width = int(availableWidth * l.rawValue() / 100.0);
        }
        x[size_t(c) + 1] = x[size_t(c)] + std::clamp(width, 20, 31680);
    }
    return x;
}

int alignmentOf(const QTextTableFormat& format)
{
    const Qt::Alignment a = format.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        return 1;
    if (a & Qt::AlignRight)
        return 2;
    return 0;
}

// The stored indent while the view still shows what was read; the view's otherwise.
int indentOf(const QTextTableFormat& format)
{
    const int shown = lengthToTwips(format.leftMargin());
    if (format.hasProperty(TableIndentProperty)) {
        const int stored = format.intProperty(TableIndentProperty);
        if (std::max(0, stored) == shown || alignmentOf(format) != 0)
            return stored;
    }
    return shown;
}

void collect(QTextFrame::iterator it, bool nestTables, std::vector<CellItem>& out);

// A table too deep to nest: its cells' content, row by row.
void collectFlattened(const QTextTable& table, std::vector<CellItem>& out)
{
    for (int r = 0; r < table.rows(); ++r)
        for (int c = 0; c < table.columns(); ++c) {
            const QTextTableCell cell = table.cellAt(r, c);
            if (cell.row() == r && cell.column() == c)
                collect(cell.begin(), false, out);
        }
}

void collect(QTextFrame::iterator it, bool nestTables, std::vector<CellItem>& out)
{
    const size_t first = out.size();
    for (; !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame()) {
            const auto* table = qobject_cast<const QTextTable*>(child);
            if (table && nestTables)
                out.push_back({QTextBlock(), table});
            else if (table)
                collectFlattened(*table, out);
            else
                collect(child->begin(), nestTables, out);
        } else if (it.currentBlock().isValid()) {
            out.push_back({it.currentBlock(), nullptr});
        }
    }
    // The empty block the model needs before a table that opens the frame.
    if (out.size() >= first + 2 && out[first + 1].table) {
        const QTextBlock b = out[first].block;
        if (b.isValid() && b.length() <= 1 && b.blockFormat().boolProperty(PlaceholderBlockProperty))
            out.erase(out.begin() + qsizetype(first));
    }
}

} // namespace

std::vector<PlannedRow> planTable(const QTextTable& table, int availableWidth)
{
    const QTextTableFormat format = table.format();
    const int columns = table.columns();
    const std::vector<int> x = columnEdges(format, columns, indentOf(format), availableWidth);
    std::optional<int> gapHalf;
    if (format.hasProperty(TableCellGapProperty))
        gapHalf = format.intProperty(TableCellGapProperty);

    std::vector<PlannedRow> rows;
    rows.reserve(size_t(table.rows()));
    for (int r = 0; r < table.rows(); ++r) {
        PlannedRow row;
        TableRowDef& def = row.def;
        def.alignment = alignmentOf(format);
        def.gapHalf = gapHalf;
        def.header = r < format.headerRowCount();
        def.bounds.push_back(x.front());
        bool rowPropsTaken = false;
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table.cellAt(r, c);
            if (cell.column() != c)
                continue; // covered by a cell spanning from the left
            const int last = std::min(columns, c + cell.columnSpan());
            // Word's limit on cells in a row: the rest go into the last one.
            const bool lastCell = int(row.cells.size()) == kMaxRowCells - 1;
            const QTextTableCellFormat cf = cell.format().toTableCellFormat();
            TableCellDef cellDef = cellDefOf(cf, format);
            PlannedCell planned;
            if (cell.row() == r) {
                planned.parts.push_back(cell);
                // The row's own properties, from the first cell that has them.
                if (!rowPropsTaken && (cf.hasProperty(RowHeightProperty) || cf.hasProperty(RowCantSplitProperty))) {
                    def.height = cf.intProperty(RowHeightProperty);
                    def.cantSplit = cf.boolProperty(RowCantSplitProperty);
                    rowPropsTaken = true;
                }
            }
            if (lastCell) {
                for (int k = last; k < columns; ++k) {
                    const QTextTableCell more = table.cellAt(r, k);
                    if (more.column() == k && more.row() == r)
                        planned.parts.push_back(more);
                }
            }
            if (cell.rowSpan() > 1)
                cellDef.flags = cell.row() == r ? kCellVertMerge | kCellVertRestart : kCellVertMerge;
            def.cells.push_back(cellDef);
            def.bounds.push_back(x[size_t(lastCell ? columns : last)]);
            row.cells.push_back(std::move(planned));
            if (lastCell)
                break;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<CellItem> frameItems(const QTextFrame& frame)
{
    std::vector<CellItem> out;
    collect(frame.begin(), true, out);
    return out;
}

std::vector<CellItem> cellItems(const std::vector<QTextTableCell>& parts, bool nestTables)
{
    std::vector<CellItem> out;
    for (const QTextTableCell& part : parts)
        collect(part.begin(), nestTables, out);
    return out;
}

} // namespace talvora::word
