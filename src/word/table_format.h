#pragma once
// Table rows and cells: the row definition a row mark carries in the file,
// and how the model holds it (QTextTableFormat, QTextTableCellFormat).

#include "word/binary.h"

#include <QByteArray>
#include <QRgb>
#include <QTextFormat>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace talvora::word {

// Tables nested deeper than this are read and written as paragraphs of the
// cell that holds them.
inline constexpr int kMaxTableDepth = 16;
// Word's limit on the cells of one row.
inline constexpr int kMaxRowCells = 63;

// Table properties with no Qt counterpart, kept so that a table read and
// written again loses nothing.
enum TableProperty {
    // bool, on a block: the empty block a story or a cell has to begin with
    // when its first paragraph is a table; it is not written.
    PlaceholderBlockProperty = QTextFormat::UserProperty + 0x600,
    TableIndentProperty,          // int, table: left edge of its first cell as stored, twips (may be negative)
    RowHeightProperty,            // int, cell: height of the row the cell starts in, twips; > 0 at least, < 0 exactly
    RowCantSplitProperty,         // bool, cell: that row is kept on one page
    CellBorderTopKindProperty,    // int, cell: the stored kind of line where the Qt style only approximates it
    CellBorderLeftKindProperty,
    CellBorderBottomKindProperty,
    CellBorderRightKindProperty,
    CellShadingProperty,          // QByteArray, cell: the stored shading of a patterned cell (fore, back, pattern)
    TableCellGapProperty,         // int, table: half the space between the texts of adjacent cells, twips, where not 54
};

enum BorderSide { SideTop = 0, SideLeft = 1, SideBottom = 2, SideRight = 3 };

// One border line as stored.
struct BorderLine {
    uint8_t width = 0;         // eighths of a point
    uint8_t kind = 0;          // 0 none, 1 single, 3 double, 6 dotted, 7 dashed, 8 dot-dash, …
    std::optional<QRgb> color; // none: automatic
    bool operator==(const BorderLine&) const = default;
};

// Shading as stored: a pattern in the fore colour over the back colour.
struct Shading {
    std::optional<QRgb> fore, back; // none: automatic
    uint16_t pattern = 0;           // 0 clear (back colour only), 1 solid (fore colour only), then percentages and hatches
    bool operator==(const Shading&) const = default;
};
// The colour a shading shows, patterns mixed; none when nothing shows.
std::optional<QRgb> shadingColor(const Shading& s);

// Cell flags of a row definition.
inline constexpr uint16_t kCellFirstMerged = 0x0001;
inline constexpr uint16_t kCellMerged = 0x0002;      // joined to the cell before it
inline constexpr uint16_t kCellVertMerge = 0x0020;   // part of a vertically merged group
inline constexpr uint16_t kCellVertRestart = 0x0040; // first cell of such a group

struct TableCellDef {
    uint16_t flags = 0;
    int verticalAlignment = 0;                        // 0 top, 1 centre, 2 bottom
    std::array<std::optional<BorderLine>, 4> borders; // by BorderSide; none: the table's border applies
    std::optional<Shading> shading;
    bool operator==(const TableCellDef&) const = default;
};

// The definition of one table row.
struct TableRowDef {
    std::vector<int> bounds; // cell boundaries, twips; one more than the cells
    std::vector<TableCellDef> cells;
    int height = 0;          // twips: > 0 at least, < 0 exactly, 0 as the text needs
    bool header = false;     // repeated at the top of every page
    bool cantSplit = false;  // kept on one page
    int alignment = 0;       // of the row in the text column: 0 left, 1 centre, 2 right
    std::optional<int> gapHalf; // half the space between the texts of adjacent cells, twips
    // Borders of the whole table: top, left, bottom, right, inside horizontal, inside vertical.
    std::array<std::optional<BorderLine>, 6> tableBorders;
};

// Builds a row definition from the modifiers of a row mark, taken in order.
class TableRowReader {
public:
    void apply(uint16_t sprm, ByteView operand);
    TableRowDef finish();

private:
    TableRowDef def_;
    // Per cell, from the Word 97 modifier and from the later ones (which win).
    std::vector<std::optional<Shading>> shading97_, shading_;
};

// Fills the sides of `cell` its definition leaves open with the table's
// borders, as the cell's place in the table selects them.
void applyTableBorders(TableCellDef& cell, const TableRowDef& row, bool firstRow, bool lastRow, bool firstCell,
                       bool lastCell);

// The modifiers of a row mark that define the row.
QByteArray rowSprms(const TableRowDef& def);

// Model conversions. Borders of all four sides are set on the cell format.
QTextTableCellFormat toCellFormat(const TableCellDef& cell, const TableRowDef& row);
// The inverse; sides the cell format does not set take the table's border.
TableCellDef cellDefOf(const QTextTableCellFormat& cell, const QTextTableFormat& table);

// A property group too large for a formatted disk page goes to the Data
// stream; what the page holds in its place is returned.
QByteArray moveToDataStream(QByteArray& data, const QByteArray& grpprl);
// Paragraph property groups (with the style index) longer than this do not
// fit a formatted disk page.
inline constexpr int kMaxPapxInPage = 480;

} // namespace talvora::word
