#pragma once
// How the paragraphs of a story make tables: cell and row marks of each
// nesting depth give the rows and cells, the row definitions the columns,
// merges and formats. Tables inside cells become QTextTables inside cells.

#include "word/table_format.h"

#include <QTextCursor>
#include <QTextTable>

#include <functional>
#include <memory>
#include <vector>

namespace talvora::word {

// One paragraph of a story, as far as tables are concerned.
struct TableMark {
    int depth = 0;        // 0 outside tables, 1 in a table, 2 and more in nested ones
    bool cellEnd = false; // the mark ends a cell of a table of this depth
    bool rowEnd = false;  // the mark ends a row; it holds no text of its own
    bool empty = false;   // nothing precedes the mark in its paragraph
};

struct TableNode;

// A paragraph of the story (its index), or a table.
struct StoryItem {
    size_t paragraph = 0;
    std::unique_ptr<TableNode> table;
};
using StoryItems = std::vector<StoryItem>;

struct TableNode {
    struct Cell {
        int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
        TableCellDef def;
    };
    // Content for a cell, in story order: the first part of a cell fills it,
    // later ones (from cells merged into it) go at its end.
    struct Part {
        size_t cell = 0; // into `cells`
        bool append = false;
        StoryItems items;
    };
    int columns = 1;
    std::vector<int> columnEdges; // twips, columns + 1 of them; none when the rows give no positions
    std::vector<TableRowDef> rows;
    std::vector<Cell> cells;
    std::vector<Part> parts;
};

// Splits a story into paragraphs and tables. `rowDef` reads the definition
// carried by the row mark with the given index.
StoryItems layoutStory(const std::vector<TableMark>& marks, const std::function<TableRowDef(size_t)>& rowDef);

// Fills a cell: its items, a cursor in the cell, and whether the cursor stands
// in an empty block made for them (rather than at the end of earlier content).
using FillCell = std::function<void(const StoryItems&, QTextCursor&, bool)>;
// Inserts `table` at the cursor, fills its cells in story order and leaves
// the cursor in the block after it. Returns the table.
QTextTable* insertTable(QTextCursor& cursor, const TableNode& table, const FillCell& fill);

} // namespace talvora::word
