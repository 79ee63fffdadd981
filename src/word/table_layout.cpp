#include "word/table_layout.h"

#include "word/document.h"

#include <QTextTable>

#include <algorithm>

namespace talvora::word {

namespace {

// Cell boundaries closer than this (a point) are taken as the same column edge.
constexpr int kSameEdge = 20;

// A cell as its row lays it out, before the columns are known.
struct RowCell {
    int left = 0, right = 0;
    TableCellDef def;
    int column = 0, span = 1;
    std::vector<StoryItems> chunks; // its own content, then that of cells joined to it
};

class Layout {
public:
    Layout(const std::vector<TableMark>& marks, const std::function<TableRowDef(size_t)>& rowDef)
        : marks_(marks), rowDef_(rowDef)
    {
    }

    // The items of marks [from, to) at `depth`: its paragraphs, and the tables
    // one level deeper.
    StoryItems items(size_t from, size_t to, int depth)
    {
        StoryItems out;
        size_t i = from;
        while (i < to) {
            if (marks_[i].depth > depth && depth < kMaxTableDepth) {
                size_t end = i;
                while (end < to && marks_[end].depth > depth)
                    ++end;
                addTable(out, i, end, depth + 1);
                i = end;
            } else {
                // Deeper than the limit, a nested table's text joins the cell that holds it.
                if (!marks_[i].rowEnd)
                    out.push_back(StoryItem{i, nullptr});
                ++i;
            }
        }
        return out;
    }

private:
    // Marks [from, to), all at `depth` or deeper: rows of a table, each ended
    // by a row mark of that depth. What follows the last row mark (a row left
    // without one in a damaged file) stays as paragraphs.
    void addTable(StoryItems& out, size_t from, size_t to, int depth)
    {
        std::vector<std::pair<size_t, size_t>> rows; // content, and the row mark
        size_t start = from;
        for (size_t k = from; k < to; ++k) {
            if (marks_[k].depth == depth && marks_[k].rowEnd) {
                rows.push_back({start, k});
                start = k + 1;
            }
        }
        if (!rows.empty())
            out.push_back(StoryItem{0, buildTable(rows, depth)});
        if (start < to) {
            StoryItems rest = items(start, to, depth);
            std::move(rest.begin(), rest.end(), std::back_inserter(out));
        }
    }

    bool blank(const StoryItems& items) const
    {
        return std::all_of(items.begin(), items.end(),
                           [&](const StoryItem& i) { return !i.table && marks_[i.paragraph].empty; });
    }

    std::vector<RowCell> rowCells(size_t from, size_t rowMark, int depth, const TableRowDef& def)
    {
        // Cells end at cell marks of this depth; text after the last one makes a cell of its own.
        std::vector<std::pair<size_t, size_t>> spans;
        size_t start = from;
        for (size_t k = from; k < rowMark; ++k) {
            if (marks_[k].depth == depth && marks_[k].cellEnd) {
                spans.push_back({start, k + 1});
                start = k + 1;
            }
        }
        if (start < rowMark || spans.empty())
            spans.push_back({start, rowMark});

        // Boundaries from the definition; cells it does not describe get an inch each.
        std::vector<RowCell> row;
        int x = def.bounds.empty() ? 0 : def.bounds.front();
        for (size_t c = 0; c < spans.size(); ++c) {
            RowCell cell;
            cell.left = c < def.bounds.size() ? def.bounds[c] : x;
            cell.right = c + 1 < def.bounds.size() ? def.bounds[c + 1] : cell.left + 1440;
            cell.right = std::max(cell.right, cell.left + 1);
            x = cell.right;
            if (c < def.cells.size())
                cell.def = def.cells[c];
            cell.chunks.push_back(items(spans[c].first, spans[c].second, depth));
            if ((cell.def.flags & kCellMerged) && !row.empty()) {
                // An old-style horizontal merge: the cell belongs to the one before it.
                row.back().right = cell.right;
                row.back().def.borders[SideRight] = cell.def.borders[SideRight];
                joinChunks(row.back(), std::move(cell));
                continue;
            }
            row.push_back(std::move(cell));
        }
        return row;
    }

    void joinChunks(RowCell& into, RowCell&& from)
    {
        for (StoryItems& chunk : from.chunks)
            if (!blank(chunk))
                into.chunks.push_back(std::move(chunk));
    }

    std::unique_ptr<TableNode> buildTable(const std::vector<std::pair<size_t, size_t>>& rowSpans, int depth)
    {
        auto node = std::make_unique<TableNode>();
        std::vector<std::vector<RowCell>> rows;
        for (const auto& [from, rowMark] : rowSpans) {
            node->rows.push_back(rowDef_(rowMark));
            rows.push_back(rowCells(from, rowMark, depth, node->rows.back()));
        }
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c)
                applyTableBorders(rows[r][c].def, node->rows[r], r == 0, r + 1 == rows.size(), c == 0,
                                  c + 1 == rows[r].size());
        placeColumns(*node, rows);
        mergeAndPlace(*node, rows);
        return node;
    }

    // Columns: every boundary of every row, near ones taken as the same.
    void placeColumns(TableNode& node, std::vector<std::vector<RowCell>>& rows)
    {
        std::vector<int> bounds;
        size_t widest = 0;
        for (const auto& row : rows) {
            widest = std::max(widest, row.size());
            for (const RowCell& c : row) {
                bounds.push_back(c.left);
                bounds.push_back(c.right);
            }
        }
        std::sort(bounds.begin(), bounds.end());
        std::vector<int> columns;
        for (int b : bounds)
            if (columns.empty() || b - columns.back() > kSameEdge)
                columns.push_back(b);
        const bool byPosition = columns.size() >= 2 && columns.size() - 1 <= size_t(kMaxRowCells);
        auto columnAt = [&](int x) {
            auto it = std::lower_bound(columns.begin(), columns.end(), x - kSameEdge);
            return int(std::min<size_t>(size_t(it - columns.begin()), columns.size() - 1));
        };
        int count = byPosition ? int(columns.size()) - 1 : int(std::min<size_t>(widest, size_t(kMaxRowCells)));
        count = std::max(count, 1);
        for (auto& row : rows) {
            for (size_t c = 0; c < row.size(); ++c) {
                RowCell& cell = row[c];
                if (byPosition) {
                    // A cell that starts at the right edge (boundaries out of order) takes the last column.
                    cell.column = std::min(columnAt(cell.left), count - 1);
                    cell.span = std::max(1, columnAt(cell.right) - cell.column);
                } else {
                    cell.column = int(std::min<size_t>(c, size_t(count - 1)));
                }
            }
            // Cells past the last column (a damaged definition) join the one before.
            for (size_t c = 1; c < row.size(); ++c) {
                if (row[c].column < row[c - 1].column + row[c - 1].span) {
                    joinChunks(row[c - 1], std::move(row[c]));
                    row.erase(row.begin() + qsizetype(c));
                    --c;
                }
            }
            for (RowCell& cell : row)
                cell.span = std::max(1, std::min(cell.span, count - cell.column));
        }
        node.columns = count;
        if (byPosition)
            node.columnEdges = std::move(columns);
    }

    // Cells of vertically merged groups join the group's first cell; every
    // cell's content becomes parts in story order.
    void mergeAndPlace(TableNode& node, std::vector<std::vector<RowCell>>& rows)
    {
        std::vector<int> open(size_t(node.columns), -1); // per column: the first cell of a group going on
        for (size_t r = 0; r < rows.size(); ++r) {
            std::vector<int> next(size_t(node.columns), -1);
            for (RowCell& cell : rows[r]) {
                const int anchor = open[size_t(cell.column)];
                const bool continues = (cell.def.flags & kCellVertMerge) && !(cell.def.flags & kCellVertRestart)
                    && anchor >= 0 && node.cells[size_t(anchor)].columnSpan == cell.span;
                if (continues) {
                    TableNode::Cell& first = node.cells[size_t(anchor)];
                    first.rowSpan = int(r) - first.row + 1;
                    first.def.borders[SideBottom] = cell.def.borders[SideBottom];
                    for (StoryItems& chunk : cell.chunks)
                        if (!blank(chunk))
                            node.parts.push_back({size_t(anchor), true, std::move(chunk)});
                    next[size_t(cell.column)] = anchor;
                    continue;
                }
                const size_t index = node.cells.size();
                node.cells.push_back({int(r), cell.column, 1, cell.span, cell.def});
                for (size_t k = 0; k < cell.chunks.size(); ++k)
                    node.parts.push_back({index, k > 0, std::move(cell.chunks[k])});
                if (cell.def.flags & kCellVertMerge)
                    next[size_t(cell.column)] = int(index);
            }
            open = std::move(next);
        }
    }

    const std::vector<TableMark>& marks_;
    const std::function<TableRowDef(size_t)>& rowDef_;
};

QTextTableFormat tableFormat(const TableNode& node)
{
    QTextTableFormat format;
    format.setBorder(0.5);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(twipsToLength(54));
    const TableRowDef& first = node.rows.front();
    format.setAlignment(first.alignment == 1 ? Qt::AlignHCenter : first.alignment == 2 ? Qt::AlignRight : Qt::AlignLeft);
    if (!node.columnEdges.empty()) {
        QList<QTextLength> widths;
        for (int c = 0; c < node.columns; ++c)
            widths << QTextLength(QTextLength::FixedLength,
                                  twipsToLength(node.columnEdges[size_t(c) + 1] - node.columnEdges[size_t(c)]));
        format.setColumnWidthConstraints(widths);
        // The indent as stored (Word's tables often start left of the text);
        // the view shows what lies right of the margin.
        const int left = node.columnEdges.front();
        if (left != 0)
            format.setProperty(TableIndentProperty, left);
        if (left > 0 && first.alignment == 0)
            format.setLeftMargin(twipsToLength(left));
    }
    int headerRows = 0;
    while (size_t(headerRows) < node.rows.size() && node.rows[size_t(headerRows)].header)
        ++headerRows;
    if (headerRows > 0)
        format.setHeaderRowCount(headerRows);
    if (first.gapHalf && *first.gapHalf != 54)
        format.setProperty(TableCellGapProperty, *first.gapHalf);
    return format;
}

} // namespace

StoryItems layoutStory(const std::vector<TableMark>& marks, const std::function<TableRowDef(size_t)>& rowDef)
{
    return Layout(marks, rowDef).items(0, marks.size(), 0);
}

QTextTable* insertTable(QTextCursor& cursor, const TableNode& node, const FillCell& fill)
{
    QTextTable* table = cursor.insertTable(int(node.rows.size()), node.columns, tableFormat(node));
    for (const TableNode::Cell& cell : node.cells) {
        // The format first: the spans a merge sets are part of it.
        table->cellAt(cell.row, cell.column).setFormat(toCellFormat(cell.def, node.rows[size_t(cell.row)]));
        if (cell.rowSpan > 1 || cell.columnSpan > 1)
            table->mergeCells(cell.row, cell.column, cell.rowSpan, cell.columnSpan);
    }
    for (const TableNode::Part& part : node.parts) {
        const TableNode::Cell& cell = node.cells[part.cell];
        const QTextTableCell target = table->cellAt(cell.row, cell.column);
        QTextCursor c = part.append ? target.lastCursorPosition() : target.firstCursorPosition();
        fill(part.items, c, !part.append);
    }
    cursor.setPosition(table->lastPosition() + 1);
    return table;
}

} // namespace talvora::word
