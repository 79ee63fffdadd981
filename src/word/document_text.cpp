#include "word/document_text.h"

#include "word/doc_pictures.h"
#include "word/fields.h"
#include "word/notes.h"
#include "word/table_format.h"
#include "word/text_formats.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QJsonArray>
#include <QTextBlock>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <array>
#include <cmath>

namespace talvora::word {

namespace {
// The dump gives sizes in points; the model keeps 1/96 inch (document.h).
constexpr double kPointsPerLength = kTwipsPerLength / 20.0;


QString visibleText(QString s)
{
    s.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
    s.remove(QChar(0x00AD));
    s.remove(QChar(QChar::ObjectReplacementCharacter));
    s.remove(QChar(kFieldPlaceholder));
    return s;
}

QString alignmentName(Qt::Alignment a)
{
    a &= Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        return QStringLiteral("center");
    if (a & Qt::AlignJustify)
        return QStringLiteral("justify");
    if (a & Qt::AlignRight)
        return QStringLiteral("right");
    return QStringLiteral("left");
}

QJsonObject runJson(const QString& text, const QTextCharFormat& f)
{
    QJsonObject r;
    r[QStringLiteral("text")] = visibleText(text);
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty())
        r[QStringLiteral("font")] = families.first();
    if (f.hasProperty(QTextFormat::FontPointSize))
        r[QStringLiteral("size")] = f.fontPointSize();
    if (f.fontWeight() >= QFont::DemiBold)
        r[QStringLiteral("bold")] = true;
    if (f.fontItalic())
        r[QStringLiteral("italic")] = true;
    if (f.underlineStyle() != QTextCharFormat::NoUnderline)
        r[QStringLiteral("underline")] = true;
    if (f.fontStrikeOut())
        r[QStringLiteral("strike")] = true;
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        r[QStringLiteral("color")] = f.foreground().color().name();
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        r[QStringLiteral("highlight")] = f.background().color().name();
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        r[QStringLiteral("vertical")] = QStringLiteral("superscript");
    else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        r[QStringLiteral("vertical")] = QStringLiteral("subscript");
    if (f.hasProperty(SymbolFontProperty)) {
        QJsonObject o;
        o[QStringLiteral("font")] = f.stringProperty(SymbolFontProperty);
        o[QStringLiteral("code")] = QStringLiteral("%1").arg(f.intProperty(SymbolCodeProperty), 4, 16, QLatin1Char('0')).toUpper();
        r[QStringLiteral("symbol")] = o;
    }
    if (const auto field = fieldOf(f)) {
        QJsonObject o;
        o[QStringLiteral("code")] = readableFieldCode(field->code);
        o[QStringLiteral("kind")] = fieldKeyword(field->code);
        // Fields nested in its result around the run, outermost first.
        QJsonArray nested;
        for (const FieldInfo& inner : nestedFieldsOf(f))
            nested.append(QJsonObject{{QStringLiteral("code"), readableFieldCode(inner.code)},
                                      {QStringLiteral("kind"), fieldKeyword(inner.code)}});
        if (!nested.isEmpty())
            o[QStringLiteral("nested")] = nested;
        r[QStringLiteral("field")] = o;
    }
    if (isNoteReference(f)) {
        const NoteInfo note = noteOf(f);
        QJsonObject o;
        o[QStringLiteral("text")] = noteText(note.content);
        if (note.customMark)
            o[QStringLiteral("customMark")] = true;
        r[note.endnote ? QStringLiteral("endnote") : QStringLiteral("footnote")] = o;
    }
    return r;
}

// An inline picture: its kind, shown size in points, pixels and stored bytes.
QJsonObject pictureJson(const QTextImageFormat& f, const QTextDocument& doc)
{
    const PictureFacts facts = pictureFacts(f, doc);
    QJsonObject p;
    p[QStringLiteral("type")] = pictureKindName(facts.kind);
    p[QStringLiteral("width")] = std::round(facts.width * kPointsPerLength * 100) / 100;
    p[QStringLiteral("height")] = std::round(facts.height * kPointsPerLength * 100) / 100;
    if (facts.pixels.isValid()) {
        p[QStringLiteral("pixelWidth")] = facts.pixels.width();
        p[QStringLiteral("pixelHeight")] = facts.pixels.height();
    }
    if (facts.bytes >= 0)
        p[QStringLiteral("bytes")] = facts.bytes;
    return p;
}

bool isPlaceholder(const QTextBlock& b)
{
    return b.length() <= 1 && b.blockFormat().boolProperty(PlaceholderBlockProperty);
}

QString colorName(const QBrush& brush)
{
    return brush.style() == Qt::NoBrush ? QStringLiteral("auto") : brush.color().name();
}

QString borderStyleName(int style)
{
    static const char* names[] = {"none", "dotted", "dashed", "solid", "double", "dotDash", "dotDotDash",
                                  "groove", "ridge", "inset", "outset"};
    return style >= 0 && style < int(std::size(names)) ? QLatin1String(names[style]) : QStringLiteral("solid");
}

// Borders, shading, alignment and row height of a cell, where it sets them.
void addCellFormat(QJsonObject& o, const QTextTableCellFormat& f)
{
    static const std::pair<const char*, std::array<int, 3>> sides[] = {
        {"top", {QTextFormat::TableCellTopBorder, QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellTopBorderBrush}},
        {"left", {QTextFormat::TableCellLeftBorder, QTextFormat::TableCellLeftBorderStyle, QTextFormat::TableCellLeftBorderBrush}},
        {"bottom",
         {QTextFormat::TableCellBottomBorder, QTextFormat::TableCellBottomBorderStyle, QTextFormat::TableCellBottomBorderBrush}},
        {"right",
         {QTextFormat::TableCellRightBorder, QTextFormat::TableCellRightBorderStyle, QTextFormat::TableCellRightBorderBrush}},
    };
    QJsonObject borders;
    for (const auto& [name, ids] : sides) {
        if (!f.hasProperty(ids[0]) && !f.hasProperty(ids[1]))
            continue;
        QJsonObject side;
        side[QStringLiteral("width")] = std::round(f.doubleProperty(ids[0]) * kPointsPerLength * 1000) / 1000; // in points
        side[QStringLiteral("style")] = borderStyleName(f.intProperty(ids[1]));
        side[QStringLiteral("color")] = colorName(f.brushProperty(ids[2]));
        borders[QLatin1String(name)] = side;
    }
    if (!borders.isEmpty())
        o[QStringLiteral("borders")] = borders;
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        o[QStringLiteral("background")] = f.background().color().name();
    if (f.verticalAlignment() == QTextCharFormat::AlignMiddle)
        o[QStringLiteral("verticalAlignment")] = QStringLiteral("center");
    else if (f.verticalAlignment() == QTextCharFormat::AlignBottom)
        o[QStringLiteral("verticalAlignment")] = QStringLiteral("bottom");
    if (f.hasProperty(RowHeightProperty)) {
        const int h = f.intProperty(RowHeightProperty);
        o[QStringLiteral("rowHeight")] = QJsonObject{{QStringLiteral("value"), std::abs(h)},
                                                     {QStringLiteral("rule"), h < 0 ? QStringLiteral("exact")
                                                                                    : QStringLiteral("atLeast")}};
    }
}

QJsonObject tableJson(const QTextTable* table);

// The text of a cell's own paragraphs (those of nested tables left to their
// own objects), and the tables nested in it.
void addCellContent(QJsonObject& o, const QTextTableCell& cell)
{
    QStringList lines;
    QJsonArray tables;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (const auto* nested = qobject_cast<QTextTable*>(it.currentFrame()))
            tables.append(tableJson(nested));
        else if (it.currentBlock().isValid() && !isPlaceholder(it.currentBlock()))
            lines << visibleText(it.currentBlock().text());
    }
    o[QStringLiteral("text")] = lines.join(QChar(u'\n'));
    if (!tables.isEmpty())
        o[QStringLiteral("tables")] = tables;
}

QJsonObject tableJson(const QTextTable* table)
{
    QJsonObject t;
    t[QStringLiteral("rows")] = table->rows();
    t[QStringLiteral("columns")] = table->columns();
    const QTextTableFormat tf = table->format();
    if (tf.alignment() & (Qt::AlignHCenter | Qt::AlignRight))
        t[QStringLiteral("alignment")] = alignmentName(tf.alignment());
    if (tf.hasProperty(TableIndentProperty))
        t[QStringLiteral("indent")] = tf.intProperty(TableIndentProperty);
    if (tf.headerRowCount() > 0)
        t[QStringLiteral("headerRows")] = tf.headerRowCount();
    QJsonArray cells;
    for (int r = 0; r < table->rows(); ++r) {
        for (int c = 0; c < table->columns(); ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (cell.row() != r || cell.column() != c)
                continue;
            QJsonObject o;
            o[QStringLiteral("row")] = r;
            o[QStringLiteral("column")] = c;
            if (cell.rowSpan() > 1)
                o[QStringLiteral("rowSpan")] = cell.rowSpan();
            if (cell.columnSpan() > 1)
                o[QStringLiteral("columnSpan")] = cell.columnSpan();
            addCellContent(o, cell);
            addCellFormat(o, cell.format().toTableCellFormat());
            cells.append(o);
        }
    }
    t[QStringLiteral("cells")] = cells;
    return t;
}

// Tables of the story, outermost ones; those nested in cells are inside their cells.
void collectTables(QTextFrame* frame, QJsonArray& out)
{
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child))
            out.append(tableJson(table));
        else
            collectTables(child, out);
    }
}

QString listFormatName(int numberFormat)
{
    switch (numberFormat) {
    case NumberDecimal: return QStringLiteral("decimal");
    case NumberDecimalZero: return QStringLiteral("decimalZero");
    case NumberUpperRoman: return QStringLiteral("upperRoman");
    case NumberLowerRoman: return QStringLiteral("lowerRoman");
    case NumberUpperLetter: return QStringLiteral("upperLetter");
    case NumberLowerLetter: return QStringLiteral("lowerLetter");
    case NumberBullet: return QStringLiteral("bullet");
    case NumberNone: return QStringLiteral("none");
    default: return QStringLiteral("format%1").arg(numberFormat);
    }
}

// Each paragraph with its properties, list item and runs.
QJsonArray paragraphsJson(const QTextDocument& doc)
{
    QJsonArray paragraphs;
    ListNumbering numbering;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        const ParaProps pp = fromBlockFormat(f);
        QJsonObject para;
        para[QStringLiteral("text")] = visibleText(b.text());
        para[QStringLiteral("alignment")] = alignmentName(f.alignment());
        para[QStringLiteral("indentLeft")] = pp.left;
        para[QStringLiteral("indentRight")] = pp.right;
        para[QStringLiteral("indentFirstLine")] = pp.firstLine;
        para[QStringLiteral("spaceBefore")] = pp.before;
        para[QStringLiteral("spaceAfter")] = pp.after;
        if (f.lineHeightType() != QTextBlockFormat::SingleHeight) {
            QJsonObject ls;
            ls[QStringLiteral("rule")] = pp.lineMultiple ? QStringLiteral("multiple")
                : pp.lineSpacing < 0                     ? QStringLiteral("exact")
                                                         : QStringLiteral("atLeast");
            ls[QStringLiteral("value")] = pp.lineMultiple ? pp.lineSpacing / 240.0 : std::abs(pp.lineSpacing);
            para[QStringLiteral("lineSpacing")] = ls;
        }
        if (pp.pageBreakBefore)
            para[QStringLiteral("pageBreakBefore")] = true;
        if (f.headingLevel() > 0)
            para[QStringLiteral("headingLevel")] = f.headingLevel();
        const QString label = numbering.label(b);
        if (QTextList* list = b.textList()) {
            const QTextListFormat lf = list->format();
            QJsonObject item;
            item[QStringLiteral("list")] = lf.hasProperty(ListIdProperty) ? lf.intProperty(ListIdProperty) : list->objectIndex();
            item[QStringLiteral("level")] = listLevelNumber(lf);
            item[QStringLiteral("format")] = listFormatName(listLevelOf(lf).numberFormat);
            item[QStringLiteral("label")] = label;
            para[QStringLiteral("list")] = item;
        }
        QJsonArray runs;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            QJsonObject run = runJson(frag.text(), frag.charFormat());
            if (frag.charFormat().isImageFormat())
                run[QStringLiteral("picture")] = pictureJson(frag.charFormat().toImageFormat(), doc);
            runs.append(run);
        }
        para[QStringLiteral("runs")] = runs;
        paragraphs.append(para);
    }
    return paragraphs;
}

} // namespace

QString plainText(const Document& document)
{
    QString out;
    const QTextDocument& doc = document.text();
    out.reserve(doc.characterCount() + 16);
    ListNumbering numbering;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        // A list item starts with its number, indented by its level.
        QString label = numbering.label(b);
        if (isPlaceholder(b))
            continue;
        if (b.textList()) {
            // Plain text has no symbol fonts: bullets are •, ◦, ▪ by level,
            // whatever the document draws them with (so LibreOffice writes them too).
            const QTextListFormat lf = b.textList()->format();
            const int level = listLevelNumber(lf);
            if (listLevelOf(lf).numberFormat == NumberBullet) {
                static const char16_t bullets[] = {0x2022, 0x25E6, 0x25AA};
                label = QChar(bullets[level % 3]);
            }
            out += QString(4 * (level + 1), QChar(u' '));
            // An item without a number (numbering "none", as headings often
            // have) still takes the room of one, as LibreOffice writes it.
            out += label.isEmpty() ? QStringLiteral("   ") : label + QChar(u' ');
        }
        out += visibleText(b.text());
        out += QChar(u'\n');
    }
    return out;
}

namespace {

QJsonObject pageJson(const PageSetup& p)
{
    QJsonObject page;
    page[QStringLiteral("width")] = p.pageWidth;
    page[QStringLiteral("height")] = p.pageHeight;
    page[QStringLiteral("orientation")] = p.landscape ? QStringLiteral("landscape") : QStringLiteral("portrait");
    page[QStringLiteral("marginTop")] = p.marginTop;
    page[QStringLiteral("marginBottom")] = p.marginBottom;
    page[QStringLiteral("marginLeft")] = p.marginLeft;
    page[QStringLiteral("marginRight")] = p.marginRight;
    page[QStringLiteral("headerDistance")] = p.headerDistance;
    page[QStringLiteral("footerDistance")] = p.footerDistance;
    if (p.titlePage)
        page[QStringLiteral("titlePage")] = true;
    static const char* const starts[] = {"continuous", "newColumn", "newPage", "evenPage", "oddPage"};
    if (p.start != SectionStart::NewPage)
        page[QStringLiteral("start")] = QLatin1String(starts[std::min<size_t>(size_t(p.start), 4)]);
    if (p.columns > 1) {
        page[QStringLiteral("columns")] = p.columns;
        page[QStringLiteral("columnSpacing")] = p.columnSpacing;
    }
    return page;
}

void addStories(QJsonObject& out, const QTextDocument* header, const QTextDocument* footer,
                const QTextDocument* firstHeader, const QTextDocument* firstFooter,
                const QTextDocument* evenHeader, const QTextDocument* evenFooter)
{
    const std::pair<const char*, const QTextDocument*> stories[] = {
        {"header", header},         {"footer", footer},         {"firstHeader", firstHeader},
        {"firstFooter", firstFooter}, {"evenHeader", evenHeader}, {"evenFooter", evenFooter},
    };
    for (const auto& [name, story] : stories) {
        if (story)
            out[QLatin1String(name)] = QJsonObject{{QStringLiteral("paragraphs"), paragraphsJson(*story)}};
    }
}

} // namespace

QJsonObject dumpDocument(const Document& document)
{
    QJsonObject root;
    root[QStringLiteral("page")] = pageJson(document.page);
    root[QStringLiteral("paragraphs")] = paragraphsJson(document.text());
    QJsonArray tables;
    collectTables(document.text().rootFrame(), tables);
    if (!tables.isEmpty())
        root[QStringLiteral("tables")] = tables;
    addStories(root, document.header.get(), document.footer.get(), document.firstHeader.get(),
               document.firstFooter.get(), document.evenHeader.get(), document.evenFooter.get());
    if (document.oddAndEvenHeaders)
        root[QStringLiteral("oddAndEvenHeaders")] = true;
    QJsonArray sections;
    for (const Section& s : document.laterSections) {
        QJsonObject section{{QStringLiteral("page"), pageJson(s.page)}};
        addStories(section, s.header.get(), s.footer.get(), s.firstHeader.get(), s.firstFooter.get(),
                   s.evenHeader.get(), s.evenFooter.get());
        sections.append(section);
    }
    if (!sections.isEmpty())
        root[QStringLiteral("sections")] = sections;
    return root;
}

} // namespace talvora::word
