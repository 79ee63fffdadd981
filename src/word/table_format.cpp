#include "word/table_format.h"

#include "word/document.h"
#include "word/sprm.h"

#include <QBrush>
#include <QColor>
#include <QTextTableCellFormat>
#include <QTextTableFormat>

#include <algorithm>
#include <cmath>

namespace talvora::word {

namespace {

// Stored kinds of line with a Qt style of their own.
constexpr uint8_t kLineNone = 0;
constexpr uint8_t kLineSingle = 1;
constexpr uint8_t kLineDouble = 3;
constexpr uint8_t kLineDotted = 6;
constexpr uint8_t kLineDashed = 7;
constexpr uint8_t kLineDotDash = 8;
constexpr uint8_t kLineDotDotDash = 9;
constexpr uint8_t kLineEmboss = 24;
constexpr uint8_t kLineEngrave = 25;
constexpr uint8_t kLineOutset = 26;
constexpr uint8_t kLineInset = 27;
constexpr uint8_t kLineNil = 0xFF;

QTextFrameFormat::BorderStyle styleOfKind(uint8_t kind)
{
    switch (kind) {
    case kLineNone: return QTextFrameFormat::BorderStyle_None;
    case kLineDouble:
    case 10: // triple
    case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19: // thin and thick pairs
    case 21: // double wave
        return QTextFrameFormat::BorderStyle_Double;
    case kLineDotted: return QTextFrameFormat::BorderStyle_Dotted;
    case kLineDashed:
    case 22: // dashes with small gaps
        return QTextFrameFormat::BorderStyle_Dashed;
    case kLineDotDash:
    case 23: // dash-dot stroked
        return QTextFrameFormat::BorderStyle_DotDash;
    case kLineDotDotDash: return QTextFrameFormat::BorderStyle_DotDotDash;
    case kLineEmboss: return QTextFrameFormat::BorderStyle_Ridge;
    case kLineEngrave: return QTextFrameFormat::BorderStyle_Groove;
    case kLineOutset: return QTextFrameFormat::BorderStyle_Outset;
    case kLineInset: return QTextFrameFormat::BorderStyle_Inset;
    default: return QTextFrameFormat::BorderStyle_Solid; // single, thick, hairline, wave …
    }
}

uint8_t kindOfStyle(QTextFrameFormat::BorderStyle style)
{
    switch (style) {
    case QTextFrameFormat::BorderStyle_None: return kLineNone;
    case QTextFrameFormat::BorderStyle_Dotted: return kLineDotted;
    case QTextFrameFormat::BorderStyle_Dashed: return kLineDashed;
    case QTextFrameFormat::BorderStyle_Double: return kLineDouble;
    case QTextFrameFormat::BorderStyle_DotDash: return kLineDotDash;
    case QTextFrameFormat::BorderStyle_DotDotDash: return kLineDotDotDash;
    case QTextFrameFormat::BorderStyle_Groove: return kLineEngrave;
    case QTextFrameFormat::BorderStyle_Ridge: return kLineEmboss;
    case QTextFrameFormat::BorderStyle_Inset: return kLineInset;
    case QTextFrameFormat::BorderStyle_Outset: return kLineOutset;
    default: return kLineSingle;
    }
}

// Qt's per-side cell properties, in BorderSide order.
// Border widths are stored in eighths of a point and shown in the model's
// lengths (1/96 inch, document.h): six eighths to one.
constexpr double kEighthsPerLength = 6.0;
constexpr int kQtWidth[4] = {QTextFormat::TableCellTopBorder, QTextFormat::TableCellLeftBorder,
                             QTextFormat::TableCellBottomBorder, QTextFormat::TableCellRightBorder};
constexpr int kQtStyle[4] = {QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellLeftBorderStyle,
                             QTextFormat::TableCellBottomBorderStyle, QTextFormat::TableCellRightBorderStyle};
constexpr int kQtBrush[4] = {QTextFormat::TableCellTopBorderBrush, QTextFormat::TableCellLeftBorderBrush,
                             QTextFormat::TableCellBottomBorderBrush, QTextFormat::TableCellRightBorderBrush};
constexpr int kKindProperty[4] = {CellBorderTopKindProperty, CellBorderLeftKindProperty, CellBorderBottomKindProperty,
                                  CellBorderRightKindProperty};

std::optional<QRgb> icoOrAuto(uint8_t ico)
{
    if (ico == 0 || ico > 16)
        return std::nullopt;
    return icoColor(ico);
}

// The ico nearest to `rgb`, for the Word 97 forms that know only sixteen colours.
uint8_t nearestIco(QRgb rgb)
{
    uint8_t best = 1;
    int bestDistance = INT32_MAX;
    for (uint8_t i = 1; i <= 16; ++i) {
        const QRgb c = icoColor(i);
        const int dr = qRed(c) - qRed(rgb), dg = qGreen(c) - qGreen(rgb), db = qBlue(c) - qBlue(rgb);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

uint8_t icoOf(const std::optional<QRgb>& color)
{
    return color ? nearestIco(*color) : 0;
}

std::optional<QRgb> colorRefAt(ByteView o, qint64 at)
{
    if (o.u8(at + 3) == 0xFF)
        return std::nullopt; // automatic
    return qRgb(o.u8(at), o.u8(at + 1), o.u8(at + 2));
}

void putColorRef(ByteWriter& w, const std::optional<QRgb>& color)
{
    const QRgb c = color.value_or(0);
    w.u8(uint8_t(qRed(c)));
    w.u8(uint8_t(qGreen(c)));
    w.u8(uint8_t(qBlue(c)));
    w.u8(color ? 0 : 0xFF);
}

// A Word 97 border (4 bytes); none for a missing or "nil" one.
std::optional<BorderLine> border80At(ByteView o, qint64 at)
{
    if (!o.ok(at, 4) || o.u32(at) == 0xFFFFFFFF || o.u8(at + 1) == kLineNil)
        return std::nullopt;
    return BorderLine{o.u8(at), o.u8(at + 1), icoOrAuto(o.u8(at + 2))};
}

// A border with a full colour (8 bytes).
std::optional<BorderLine> borderAt(ByteView o, qint64 at)
{
    if (!o.ok(at, 8) || o.u8(at + 5) == kLineNil)
        return std::nullopt;
    return BorderLine{o.u8(at + 4), o.u8(at + 5), colorRefAt(o, at)};
}

void putBorder80(ByteWriter& w, const BorderLine& l)
{
    w.u8(l.width);
    w.u8(l.kind);
    w.u8(l.kind == kLineNone ? 0 : icoOf(l.color));
    w.u8(0);
}

void putBorder(ByteWriter& w, const BorderLine& l)
{
    putColorRef(w, l.color);
    w.u8(l.width);
    w.u8(l.kind);
    w.u16(0);
}

std::optional<Shading> shading80(uint16_t v)
{
    if (v == 0xFFFF)
        return std::nullopt;
    return Shading{icoOrAuto(v & 0x1F), icoOrAuto((v >> 5) & 0x1F), uint16_t(v >> 10)};
}

uint16_t packShading80(const Shading& s)
{
    const uint16_t pattern = s.pattern <= 62 ? s.pattern : 0;
    return uint16_t(icoOf(s.fore) | (icoOf(s.back) << 5) | (pattern << 10));
}

std::optional<Shading> shadingAt(ByteView o, qint64 at)
{
    if (!o.ok(at, 10) || o.u16(at + 8) == 0xFFFF)
        return std::nullopt;
    return Shading{colorRefAt(o, at), colorRefAt(o, at + 4), o.u16(at + 8)};
}

QByteArray shadingBytes(const Shading& s)
{
    QByteArray out;
    ByteWriter w(out);
    putColorRef(w, s.fore);
    putColorRef(w, s.back);
    w.u16(s.pattern);
    return out;
}

// The share of the fore colour in a pattern; negative for none known.
double patternCoverage(uint16_t pattern)
{
    static const double percent[] = {0, 100, 5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    static const double fine[] = {2.5,  7.5,  12.5, 15,   17.5, 22.5, 27.5, 32.5, 35,   37.5,
                                  42.5, 45,   47.5, 52.5, 55,   57.5, 62.5, 65,   67.5, 72.5,
                                  77.5, 82.5, 85,   87.5, 92.5, 95,   97.5, 97};
    if (pattern < std::size(percent))
        return percent[pattern] / 100.0;
    if (pattern <= 19)
        return 0.5; // dark stripes and crosses
    if (pattern <= 25)
        return 0.25; // thin ones
    if (pattern >= 35 && pattern < 35 + std::size(fine))
        return fine[pattern - 35] / 100.0;
    return -1;
}

int16_t clampTwips(int v) { return int16_t(std::clamp(v, -31680, 31680)); }

} // namespace

std::optional<QRgb> shadingColor(const Shading& s)
{
    if (s.pattern == 0)
        return s.back;
    const QRgb fore = s.fore.value_or(qRgb(0, 0, 0));
    if (s.pattern == 1)
        return fore;
    const double p = patternCoverage(s.pattern);
    if (p < 0)
        return s.back;
    const QRgb back = s.back.value_or(qRgb(255, 255, 255));
    auto mix = [p](int f, int b) { return int(std::lround(f * p + b * (1 - p))); };
    return qRgb(mix(qRed(fore), qRed(back)), mix(qGreen(fore), qGreen(back)), mix(qBlue(fore), qBlue(back)));
}

void TableRowReader::apply(uint16_t code, ByteView o)
{
    auto cellRange = [&](qint64 at, auto&& each) {
        // Cells [first, last) of the row, as far as it has them.
        if (!o.ok(at, 2))
            return;
        const size_t last = std::min<size_t>(o.u8(at + 1), def_.cells.size());
        for (size_t i = o.u8(at); i < last; ++i)
            each(def_.cells[i]);
    };
    auto readShadings = [&](std::vector<std::optional<Shading>>& out, size_t first) {
        const qint64 count = o.u8(0) / 10;
        for (qint64 i = 0; i < count && first + size_t(i) < size_t(kMaxRowCells); ++i) {
            if (out.size() <= first + size_t(i))
                out.resize(first + size_t(i) + 1);
            out[first + size_t(i)] = shadingAt(o, 1 + 10 * i);
        }
    };

    switch (code) {
    case sprm::TDefTable: {
        // cb, the cell count, the boundaries, then one 20-byte cell record
        // per cell (trailing ones may be left out).
        if (!o.ok(2, 1))
            return;
        const int cells = o.u8(2);
        if (!o.ok(3, 2 * qint64(cells + 1)))
            return;
        def_.bounds.clear();
        def_.cells.assign(size_t(cells), TableCellDef{});
        for (int i = 0; i <= cells; ++i)
            def_.bounds.push_back(o.i16(3 + 2 * i));
        const qint64 tcAt = 3 + 2 * qint64(cells + 1);
        for (int i = 0; i < cells && o.ok(tcAt + 20 * qint64(i), 20); ++i) {
            const qint64 at = tcAt + 20 * qint64(i);
            TableCellDef& cell = def_.cells[size_t(i)];
            cell.flags = o.u16(at);
            cell.verticalAlignment = std::min((cell.flags >> 7) & 0x3, 2);
            // Borders: top, left, bottom, right.
            for (int s = 0; s < 4; ++s)
                cell.borders[size_t(s)] = border80At(o, at + 4 + 4 * s);
        }
        break;
    }
    case sprm::TDxaGapHalf:
        def_.gapHalf = o.i16(0);
        break;
    case sprm::TDxaLeft:
        // Moves the row so that its first cell's text starts at the value.
        if (!def_.bounds.empty()) {
            const int shift = o.i16(0) - def_.gapHalf.value_or(0) - def_.bounds.front();
            for (int& b : def_.bounds)
                b = std::clamp(b + shift, -2 * 31680, 2 * 31680);
        }
        break;
    case sprm::TJc90:
    case sprm::TJc: def_.alignment = o.u16(0) <= 2 ? o.u16(0) : 0; break;
    case sprm::TDyaRowHeight: def_.height = o.i16(0); break;
    case sprm::TTableHeader: def_.header = o.u8(0) != 0; break;
    case sprm::TFCantSplit90:
    case sprm::TFCantSplit: def_.cantSplit = o.u8(0) != 0; break;
    case sprm::TTableBorders80:
        for (int s = 0; s < 6; ++s)
            def_.tableBorders[size_t(s)] = border80At(o, 1 + 4 * s);
        break;
    case sprm::TTableBorders:
        for (int s = 0; s < 6; ++s)
            def_.tableBorders[size_t(s)] = borderAt(o, 1 + 8 * s);
        break;
    case sprm::TDefTableShd80: {
        const qint64 count = std::min<qint64>(o.u8(0) / 2, kMaxRowCells);
        shading97_.assign(size_t(count), std::nullopt);
        for (qint64 i = 0; i < count && o.ok(1 + 2 * i, 2); ++i)
            shading97_[size_t(i)] = shading80(o.u16(1 + 2 * i));
        break;
    }
    case sprm::TDefTableShd:
    case sprm::TDefTableShdRaw: readShadings(shading_, 0); break;
    case sprm::TDefTableShd2nd:
    case sprm::TDefTableShdRaw2nd: readShadings(shading_, 22); break;
    case sprm::TDefTableShd3rd:
    case sprm::TDefTableShdRaw3rd: readShadings(shading_, 44); break;
    case sprm::TSetBrc80:
    case sprm::TSetBrc:
        // cb, the first cell and the one past the last, the sides, the border.
        if (o.ok(1, 3)) {
            const std::optional<BorderLine> line = code == sprm::TSetBrc ? borderAt(o, 4) : border80At(o, 4);
            const uint8_t sides = o.u8(3);
            cellRange(1, [&](TableCellDef& cell) {
                for (size_t s = 0; s < 4; ++s)
                    if (sides & (1 << s))
                        cell.borders[s] = line;
            });
        }
        break;
    case sprm::TVertAlign:
        if (o.ok(1, 3)) {
            const int how = std::min<int>(o.u8(3), 2);
            cellRange(1, [how](TableCellDef& cell) { cell.verticalAlignment = how; });
        }
        break;
    case sprm::TVertMerge:
        if (o.ok(1, 2)) {
            const size_t cell = o.u8(1);
            const uint8_t how = o.u8(2);
            if (cell < def_.cells.size()) {
                uint16_t& f = def_.cells[cell].flags;
                f &= uint16_t(~(kCellVertMerge | kCellVertRestart));
                if (how & 1)
                    f |= kCellVertMerge;
                if (how & 2)
                    f |= kCellVertRestart;
            }
        }
        break;
    default: break;
    }
}

TableRowDef TableRowReader::finish()
{
    for (size_t i = 0; i < def_.cells.size(); ++i) {
        if (i < shading_.size() && shading_[i])
            def_.cells[i].shading = shading_[i];
        else if (i < shading97_.size() && shading97_[i])
            def_.cells[i].shading = shading97_[i];
    }
    return std::move(def_);
}

void applyTableBorders(TableCellDef& cell, const TableRowDef& row, bool firstRow, bool lastRow, bool firstCell,
                       bool lastCell)
{
    enum { Top, Left, Bottom, Right, InsideH, InsideV };
    const int from[4] = {firstRow ? Top : InsideH, firstCell ? Left : InsideV, lastRow ? Bottom : InsideH,
                         lastCell ? Right : InsideV};
    for (size_t s = 0; s < 4; ++s)
        if (!cell.borders[s])
            cell.borders[s] = row.tableBorders[size_t(from[s])];
}

QByteArray rowSprms(const TableRowDef& def)
{
    QByteArray out;
    ByteWriter w(out);
    if (def.alignment != 0) {
        w.u16(sprm::TJc90);
        w.u16(uint16_t(def.alignment));
        w.u16(sprm::TJc);
        w.u16(uint16_t(def.alignment));
    }
    w.u16(sprm::TDxaGapHalf);
    w.i16(clampTwips(def.gapHalf.value_or(54)));
    if (def.height != 0) {
        w.u16(sprm::TDyaRowHeight);
        w.i16(clampTwips(def.height));
    }
    if (def.header) {
        w.u16(sprm::TTableHeader);
        w.u8(1);
    }
    if (def.cantSplit) {
        w.u16(sprm::TFCantSplit90);
        w.u8(1);
        w.u16(sprm::TFCantSplit);
        w.u8(1);
    }

    // The cells: boundaries, then flags, width and the four borders of each.
    const int n = int(std::min(def.cells.size(), size_t(kMaxRowCells)));
    const int left = def.bounds.empty() ? 0 : def.bounds.front();
    auto boundAt = [&](int i) { return size_t(i) < def.bounds.size() ? def.bounds[size_t(i)] : left + 1440 * i; };
    w.u16(sprm::TDefTable);
    w.u16(uint16_t(1 + 2 * (n + 1) + 20 * n + 1));
    w.u8(uint8_t(n));
    for (int i = 0; i <= n; ++i)
        w.i16(clampTwips(boundAt(i)));
    constexpr uint16_t kWidthInTwips = 3 << 9;
    bool anyShading = false, exactColours = false;
    for (int i = 0; i < n; ++i) {
        const TableCellDef& c = def.cells[size_t(i)];
        const uint16_t keep = kCellFirstMerged | kCellMerged | kCellVertMerge | kCellVertRestart;
        w.u16(uint16_t((c.flags & keep) | (std::clamp(c.verticalAlignment, 0, 2) << 7) | kWidthInTwips));
        w.u16(uint16_t(std::clamp(boundAt(i + 1) - boundAt(i), 0, 31680)));
        for (const auto& side : c.borders) {
            const BorderLine line = side.value_or(BorderLine{});
            putBorder80(w, line);
            exactColours |= line.kind != kLineNone && line.color && icoForColor(*line.color) == 0;
        }
        anyShading |= c.shading.has_value();
    }

    if (anyShading) {
        // For Word 97, the sixteen colours; for later readers, the full ones, 22 cells a modifier.
        w.u16(sprm::TDefTableShd80);
        w.u8(uint8_t(2 * n));
        for (int i = 0; i < n; ++i)
            w.u16(packShading80(def.cells[size_t(i)].shading.value_or(Shading{})));
        const uint16_t parts[3] = {sprm::TDefTableShd, sprm::TDefTableShd2nd, sprm::TDefTableShd3rd};
        for (int part = 0; part < 3 && 22 * part < n; ++part) {
            const int first = 22 * part, last = std::min(n, first + 22);
            w.u16(parts[part]);
            w.u8(uint8_t(10 * (last - first)));
            for (int i = first; i < last; ++i)
                w.bytes(shadingBytes(def.cells[size_t(i)].shading.value_or(Shading{})));
        }
    }
    if (exactColours) {
        // Colours beyond the sixteen: each cell's sides again, with the colour as it is.
        for (int i = 0; i < n; ++i) {
            const auto& borders = def.cells[size_t(i)].borders;
            uint8_t done = 0;
            for (int s = 0; s < 4; ++s) {
                const BorderLine line = borders[size_t(s)].value_or(BorderLine{});
                if ((done & (1 << s)) || line.kind == kLineNone || !line.color || icoForColor(*line.color) != 0)
                    continue;
                uint8_t sides = 0;
                for (int t = s; t < 4; ++t)
                    if (borders[size_t(t)].value_or(BorderLine{}) == line)
                        sides |= uint8_t(1 << t);
                done |= sides;
                w.u16(sprm::TSetBrc);
                w.u8(11);
                w.u8(uint8_t(i));
                w.u8(uint8_t(i + 1));
                w.u8(sides);
                putBorder(w, line);
            }
        }
    }
    return out;
}

QTextTableCellFormat toCellFormat(const TableCellDef& cell, const TableRowDef& row)
{
    QTextTableCellFormat f;
    for (size_t s = 0; s < 4; ++s) {
        const BorderLine line = cell.borders[s].value_or(BorderLine{});
        const QTextFrameFormat::BorderStyle style = styleOfKind(line.kind);
        // A line without a width of its own (a hairline) is drawn as thin as can be.
        f.setProperty(kQtWidth[s], line.kind == kLineNone ? 0.0 : std::max<int>(line.width, 1) / kEighthsPerLength);
        f.setProperty(kQtStyle[s], int(style));
        if (line.color)
            f.setProperty(kQtBrush[s], QBrush(QColor(*line.color)));
        if (line.kind != kindOfStyle(style))
            f.setProperty(kKindProperty[s], int(line.kind));
    }
    if (cell.shading) {
        if (const auto color = shadingColor(*cell.shading))
            f.setBackground(QColor(*color));
        if (cell.shading->pattern > 1)
            f.setProperty(CellShadingProperty, shadingBytes(*cell.shading));
    }
    if (cell.verticalAlignment == 1)
        f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    else if (cell.verticalAlignment == 2)
        f.setVerticalAlignment(QTextCharFormat::AlignBottom);
    if (row.height != 0)
        f.setProperty(RowHeightProperty, row.height);
    if (row.cantSplit)
        f.setProperty(RowCantSplitProperty, true);
    return f;
}

TableCellDef cellDefOf(const QTextTableCellFormat& f, const QTextTableFormat& table)
{
    TableCellDef cell;
    for (size_t s = 0; s < 4; ++s) {
        BorderLine line;
        if (f.hasProperty(kQtWidth[s]) || f.hasProperty(kQtStyle[s])) {
            const auto style = QTextFrameFormat::BorderStyle(f.intProperty(kQtStyle[s]));
            const double width = f.doubleProperty(kQtWidth[s]);
            if (style != QTextFrameFormat::BorderStyle_None && width > 0) {
                line.width = uint8_t(std::clamp<long>(std::lround(width * kEighthsPerLength), 1, 255));
                line.kind = kindOfStyle(style);
                // The stored kind, as long as the style shown is still the one it was read as.
                if (f.hasProperty(kKindProperty[s])) {
                    const int stored = f.intProperty(kKindProperty[s]);
                    if (stored > 0 && stored < kLineNil && styleOfKind(uint8_t(stored)) == style)
                        line.kind = uint8_t(stored);
                }
                const QBrush brush = f.brushProperty(kQtBrush[s]);
                if (brush.style() != Qt::NoBrush)
                    line.color = brush.color().rgb() & 0xFFFFFF;
            }
        } else if (table.border() > 0 && table.borderStyle() != QTextFrameFormat::BorderStyle_None) {
            // The table's own frame, drawn as a plain line.
            line.width = uint8_t(std::clamp<long>(std::lround(table.border() * kEighthsPerLength), 1, 255));
            line.kind = kLineSingle;
            if (table.hasProperty(QTextFormat::FrameBorderBrush) && table.borderBrush().style() != Qt::NoBrush)
                line.color = table.borderBrush().color().rgb() & 0xFFFFFF;
        }
        cell.borders[s] = line;
    }
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
        const QRgb shown = f.background().color().rgb() & 0xFFFFFF;
        Shading shading{std::nullopt, shown, 0};
        const QByteArray stored = f.property(CellShadingProperty).toByteArray();
        if (stored.size() == 10) {
            // The stored pattern, as long as it still gives the colour shown.
            const auto s = shadingAt(ByteView(stored), 0);
            if (s && shadingColor(*s) && (*shadingColor(*s) & 0xFFFFFF) == shown)
                shading = *s;
        }
        cell.shading = shading;
    }
    switch (f.verticalAlignment()) {
    case QTextCharFormat::AlignMiddle: cell.verticalAlignment = 1; break;
    case QTextCharFormat::AlignBottom: cell.verticalAlignment = 2; break;
    default: break;
    }
    return cell;
}

QByteArray moveToDataStream(QByteArray& data, const QByteArray& grpprl)
{
    const uint32_t at = uint32_t(data.size());
    ByteWriter d(data);
    d.u16(uint16_t(grpprl.size()));
    d.bytes(grpprl);
    QByteArray out;
    ByteWriter w(out);
    w.u16(sprm::PHugePapx);
    w.u32(at);
    return out;
}

} // namespace talvora::word
