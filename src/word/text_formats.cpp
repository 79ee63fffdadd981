#include "word/text_formats.h"

#include "word/symbol_fonts.h"

#include <QAbstractTextDocumentLayout>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPaintDevice>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cmath>

namespace talvora::word {

QTextCharFormat toCharFormat(const CharProps& c, const QStringList& fonts)
{
    QTextCharFormat f;
    if (c.font < fonts.size() && !fonts[c.font].isEmpty())
        f.setFontFamilies(QStringList{fonts[c.font]});
    f.setFontPointSize(c.halfPoints / 2.0);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    if (c.strike || c.doubleStrike)
        f.setFontStrikeOut(true);
    if (c.doubleStrike)
        f.setProperty(DoubleStrikeProperty, true);
    if (c.underline != 0) {
        switch (Underline(c.underline)) {
        case Underline::Dotted: f.setUnderlineStyle(QTextCharFormat::DotLine); break;
        case Underline::Dash: f.setUnderlineStyle(QTextCharFormat::DashUnderline); break;
        case Underline::Wave: f.setUnderlineStyle(QTextCharFormat::WaveUnderline); break;
        default: f.setUnderlineStyle(QTextCharFormat::SingleUnderline); break;
        }
        f.setProperty(UnderlineKindProperty, int(c.underline));
    }
    if (c.caps)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (c.smallCaps)
        f.setFontCapitalization(QFont::SmallCaps);
    if (c.color)
        f.setForeground(QColor(*c.color));
    else if (c.ico != 0)
        f.setForeground(QColor(icoColor(c.ico)));
    if (c.highlight != 0)
        f.setBackground(QColor(icoColor(c.highlight)));
    else if (c.shading)
        f.setBackground(QColor(*c.shading));
    if (c.iss == 1)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.iss == 2)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    else if (c.hpsPos != 0) {
        // Text moved up or down by a distance (how LibreOffice stores sub- and
        // superscripts, with a smaller size of its own) shows as such.
        f.setVerticalAlignment(c.hpsPos > 0 ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignSubScript);
        f.setProperty(RaisePositionProperty, int(c.hpsPos));
    }
    if (c.symbol && c.symbol->font < fonts.size() && !fonts[c.symbol->font].isEmpty()) {
        const QString& family = fonts[c.symbol->font];
        f.setProperty(SymbolFontProperty, family);
        f.setProperty(SymbolCodeProperty, int(c.symbol->code));
        if (symbolText(family, c.symbol->code).inFont || !isSymbolEncodedFont(family))
            f.setFontFamilies(QStringList{family}); // the glyph is the font's
        else if (c.font < fonts.size() && isSymbolEncodedFont(fonts[c.font]))
            f.clearProperty(QTextFormat::FontFamilies); // a Unicode character: not in a font of codes
    }
    return f;
}

QTextBlockFormat toBlockFormat(const ParaProps& p)
{
    QTextBlockFormat f;
    switch (p.jc) {
    case 1: f.setAlignment(Qt::AlignHCenter); break;
    case 2: f.setAlignment(Qt::AlignRight); break;
    case 3:
    case 4: f.setAlignment(Qt::AlignJustify); break;
    default: f.setAlignment(Qt::AlignLeft); break;
    }
    if (p.left)
        f.setLeftMargin(twipsToLength(p.left));
    if (p.right)
        f.setRightMargin(twipsToLength(p.right));
    if (p.firstLine)
        f.setTextIndent(twipsToLength(p.firstLine));
    if (p.before)
        f.setTopMargin(twipsToLength(p.before));
    if (p.after)
        f.setBottomMargin(twipsToLength(p.after));
    if (p.lineMultiple) {
        if (p.lineSpacing != 240 && p.lineSpacing > 0)
            f.setLineHeight(p.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    } else if (p.lineSpacing > 0) {
        f.setLineHeight(twipsToLength(p.lineSpacing), QTextBlockFormat::MinimumHeight);
    } else if (p.lineSpacing < 0) {
        f.setLineHeight(twipsToLength(-p.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    if (p.pageBreakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (p.keep)
        f.setNonBreakableLines(true);
    if (p.keepNext)
        f.setProperty(KeepWithNextProperty, true);
    return f;
}

CharProps fromCharFormat(const QTextCharFormat& f, const std::function<uint16_t(const QString&)>& fontIndex,
                         const CharProps& defaults)
{
    CharProps c = defaults;
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        c.font = fontIndex(families.first());
    if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0)
        c.halfPoints = std::clamp(int(f.fontPointSize() * 2.0 + 0.5), 2, 3276);
    else if (f.hasProperty(QTextFormat::FontPixelSize) && f.intProperty(QTextFormat::FontPixelSize) > 0)
        c.halfPoints = std::clamp(f.intProperty(QTextFormat::FontPixelSize) * 3 / 2, 2, 3276);
    else if (f.hasProperty(QTextFormat::FontSizeAdjustment)) {
        // HTML headings and <big>/<small> are sized relative to the normal text,
        // in the steps Qt itself draws them with.
        static const double scale[] = {0.7, 0.8, 1.0, 1.2, 1.5, 2.0, 2.4};
        const int step = std::clamp(f.intProperty(QTextFormat::FontSizeAdjustment) + 2, 0, 6);
        c.halfPoints = std::clamp(int(defaults.halfPoints * scale[step] + 0.5), 2, 3276);
    }
    if (f.hasProperty(QTextFormat::FontWeight))
        c.bold = f.fontWeight() >= QFont::DemiBold;
    if (f.hasProperty(QTextFormat::FontItalic))
        c.italic = f.fontItalic();
    if (f.hasProperty(QTextFormat::FontStrikeOut)) {
        const bool dbl = f.boolProperty(DoubleStrikeProperty);
        c.strike = f.fontStrikeOut() && !dbl;
        c.doubleStrike = f.fontStrikeOut() && dbl;
    }
    const auto style = f.underlineStyle();
    if (style == QTextCharFormat::NoUnderline || (style == QTextCharFormat::SpellCheckUnderline)) {
        c.underline = 0;
    } else if (f.hasProperty(UnderlineKindProperty) && f.intProperty(UnderlineKindProperty) > 0) {
        c.underline = uint8_t(f.intProperty(UnderlineKindProperty));
    } else {
        switch (style) {
        case QTextCharFormat::DotLine: c.underline = uint8_t(Underline::Dotted); break;
        case QTextCharFormat::DashUnderline:
        case QTextCharFormat::DashDotLine:
        case QTextCharFormat::DashDotDotLine: c.underline = uint8_t(Underline::Dash); break;
        case QTextCharFormat::WaveUnderline: c.underline = uint8_t(Underline::Wave); break;
        default: c.underline = uint8_t(Underline::Single); break;
        }
    }
    if (f.hasProperty(QTextFormat::FontCapitalization)) {
        c.caps = f.fontCapitalization() == QFont::AllUppercase;
        c.smallCaps = f.fontCapitalization() == QFont::SmallCaps;
    }
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush) {
        const QRgb rgb = f.foreground().color().rgb();
        c.color = rgb;
        c.ico = icoForColor(rgb);
    }
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
        const QRgb rgb = f.background().color().rgb();
        c.highlight = icoForColor(rgb);
        if (c.highlight == 0)
            c.shading = rgb;
    }
    c.iss = 0;
    c.hpsPos = 0;
    const int raise = f.intProperty(RaisePositionProperty);
    switch (f.verticalAlignment()) {
    case QTextCharFormat::AlignSuperScript:
        if (raise > 0)
            c.hpsPos = int16_t(std::min(raise, 32767));
        else
            c.iss = 1;
        break;
    case QTextCharFormat::AlignSubScript:
        if (raise < 0)
            c.hpsPos = int16_t(std::max(raise, -32767));
        else
            c.iss = 2;
        break;
    default: break;
    }
    return c;
}

ParaProps fromBlockFormat(const QTextBlockFormat& f)
{
    ParaProps p;
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        p.jc = 1;
    else if (a & Qt::AlignJustify)
        p.jc = 3;
    else if (a & Qt::AlignRight)
        p.jc = 2;
    else
        p.jc = 0;
    p.left = lengthToTwips(f.leftMargin() + f.indent() * 48.0);
    p.right = lengthToTwips(f.rightMargin());
    p.firstLine = lengthToTwips(f.textIndent());
    p.before = std::max(0, lengthToTwips(f.topMargin()));
    p.after = std::max(0, lengthToTwips(f.bottomMargin()));
    switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        p.lineMultiple = true;
        p.lineSpacing = int(f.lineHeight() * 240.0 / 100.0 + 0.5);
        break;
    case QTextBlockFormat::MinimumHeight:
        p.lineMultiple = false;
        p.lineSpacing = lengthToTwips(f.lineHeight());
        break;
    case QTextBlockFormat::FixedHeight:
        p.lineMultiple = false;
        p.lineSpacing = -lengthToTwips(f.lineHeight());
        break;
    default:
        break;
    }
    p.pageBreakBefore = f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
    p.keep = f.nonBreakableLines();
    p.keepNext = f.boolProperty(KeepWithNextProperty);
    if (f.headingLevel() >= 1 && f.headingLevel() <= 9) {
        p.style = uint16_t(f.headingLevel());
        p.outlineLevel = uint8_t(f.headingLevel() - 1);
    }
    return p;
}

namespace {

QTextListFormat::Style qtStyleOf(const ListLevel& def)
{
    switch (def.numberFormat) {
    case NumberDecimal:
    case NumberDecimalZero: return QTextListFormat::ListDecimal;
    case NumberUpperRoman: return QTextListFormat::ListUpperRoman;
    case NumberLowerRoman: return QTextListFormat::ListLowerRoman;
    case NumberUpperLetter: return QTextListFormat::ListUpperAlpha;
    case NumberLowerLetter: return QTextListFormat::ListLowerAlpha;
    case NumberNone: return QTextListFormat::ListStyleUndefined;
    case NumberBullet: {
        const QChar c = def.text.isEmpty() ? QChar(0x2022) : visibleBullet(def.text.front());
        if (c == QChar(0x25E6))
            return QTextListFormat::ListCircle;
        if (c == QChar(0x25AA) || c == QChar(0x25A0))
            return QTextListFormat::ListSquare;
        return QTextListFormat::ListDisc;
    }
    default: return QTextListFormat::ListDecimal;
    }
}

QString roman(int n, bool upper)
{
    static const std::pair<int, const char*> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                        {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                                                        {5, "v"},    {4, "iv"},   {1, "i"}};
    if (n <= 0 || n >= 4000)
        return QString::number(n);
    QString s;
    for (auto [value, text] : parts)
        for (; n >= value; n -= value)
            s += QLatin1String(text);
    return upper ? s.toUpper() : s;
}

} // namespace

QChar visibleBullet(QChar stored)
{
    switch (stored.unicode()) {
    case 0xF0B7: return QChar(0x2022); // Symbol
    case 0xF0A7: return QChar(0x25AA); // Wingdings small square
    case 0xF06F:
    case u'o': return QChar(0x25E6); // Courier New "o" under a bullet level
    case 0xF0D8: return QChar(0x27A2);
    case 0xF076: return QChar(0x2756);
    case 0xF0FC: return QChar(0x2713);
    case 0xF02D:
    case 0xF0BE: return QChar(0x2013);
    default: return stored;
    }
}

QString formatListNumber(int n, int numberFormat)
{
    switch (numberFormat) {
    case NumberUpperRoman: return roman(n, true);
    case NumberLowerRoman: return roman(n, false);
    case NumberUpperLetter:
    case NumberLowerLetter: {
        // a … z, then aa … zz, aaa …: the letter repeated.
        if (n <= 0)
            return QString::number(n);
        const QChar letter(char16_t((numberFormat == NumberUpperLetter ? u'A' : u'a') + (n - 1) % 26));
        return QString(std::min((n - 1) / 26 + 1, 64), letter);
    }
    case NumberDecimalZero: return n >= 0 && n < 10 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
    case NumberNone:
    case NumberBullet: return {};
    default: return QString::number(n);
    }
}

namespace {

void scaleIndents(QTextDocument& copy, double scale)
{
    const bool undo = copy.isUndoRedoEnabled();
    copy.setUndoRedoEnabled(false);
    QTextCursor at(&copy);
    at.beginEditBlock();
    for (QTextBlock b = copy.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        const double left = f.leftMargin(), right = f.rightMargin(), indent = f.textIndent();
        if (left == 0 && right == 0 && indent == 0)
            continue;
        f.setLeftMargin(left * scale);
        f.setRightMargin(right * scale);
        f.setTextIndent(indent * scale);
        at.setPosition(b.position());
        at.setBlockFormat(f);
    }
    at.endEditBlock();
    copy.setUndoRedoEnabled(undo);
}

} // namespace

void layOutForDevice(QTextDocument& copy, QPaintDevice& device)
{
    const double scale = device.logicalDpiX() / 96.0;
    if (std::abs(scale - 1) >= 1e-9)
        scaleIndents(copy, scale);
    copy.documentLayout()->setPaintDevice(&device);
}

QTextListFormat toListFormat(int listId, int level, const ListLevel& def)
{
    QTextListFormat f;
    f.setStyle(qtStyleOf(def));
    f.setIndent(level + 1);
    // Qt writes the prefix and suffix around the number of the item's own
    // level; a number text that also shows higher levels ("1.2.") only comes
    // whole from the level text property.
    const qsizetype own = def.text.indexOf(QChar(char16_t(level)));
    int placeholders = 0;
    for (QChar c : def.text)
        placeholders += c.unicode() < 9;
    if (own >= 0 && placeholders == 1) {
        f.setNumberPrefix(def.text.left(own));
        f.setNumberSuffix(def.text.mid(own + 1));
    } else {
        f.setNumberPrefix(QString());
        f.setNumberSuffix(QString());
    }
    f.setProperty(ListIdProperty, listId);
    f.setProperty(ListLevelProperty, level);
    f.setProperty(ListLevelTextProperty, def.text);
    f.setProperty(ListStartProperty, def.start);
    f.setProperty(ListNumberFormatProperty, def.numberFormat);
    f.setProperty(ListFollowProperty, def.follow);
    if (def.alignment)
        f.setProperty(ListAlignmentProperty, def.alignment);
    if (def.restartLimit >= 0)
        f.setProperty(ListRestartLimitProperty, def.restartLimit);
    return f;
}

int listLevelNumber(const QTextListFormat& f)
{
    if (f.hasProperty(ListLevelProperty))
        return std::clamp(f.intProperty(ListLevelProperty), 0, 8);
    return std::clamp(f.indent() - 1, 0, 8);
}

ListLevel listLevelOf(const QTextListFormat& f)
{
    ListLevel def;
    const int level = listLevelNumber(f);
    if (f.hasProperty(ListNumberFormatProperty)) {
        def.numberFormat = f.intProperty(ListNumberFormatProperty);
        def.text = f.stringProperty(ListLevelTextProperty);
        def.start = f.hasProperty(ListStartProperty) ? f.intProperty(ListStartProperty) : 1;
        def.follow = std::clamp(f.intProperty(ListFollowProperty), 0, 2);
    } else {
        const QChar placeholder{char16_t(level)};
        switch (f.style()) {
        case QTextListFormat::ListDisc: def.numberFormat = NumberBullet; def.text = QChar(0x2022); break;
        case QTextListFormat::ListCircle: def.numberFormat = NumberBullet; def.text = QChar(0x25E6); break;
        case QTextListFormat::ListSquare: def.numberFormat = NumberBullet; def.text = QChar(0x25AA); break;
        case QTextListFormat::ListLowerAlpha: def.numberFormat = NumberLowerLetter; break;
        case QTextListFormat::ListUpperAlpha: def.numberFormat = NumberUpperLetter; break;
        case QTextListFormat::ListLowerRoman: def.numberFormat = NumberLowerRoman; break;
        case QTextListFormat::ListUpperRoman: def.numberFormat = NumberUpperRoman; break;
        case QTextListFormat::ListStyleUndefined: def.numberFormat = NumberNone; break;
        default: def.numberFormat = NumberDecimal; break;
        }
        // Without a suffix of its own Qt writes a full stop after the number.
        const QString suffix = f.hasProperty(QTextFormat::ListNumberSuffix) ? f.numberSuffix() : QStringLiteral(".");
        if (def.numberFormat != NumberBullet && def.numberFormat != NumberNone)
            def.text = f.numberPrefix() + placeholder + suffix;
    }
    def.alignment = std::clamp(f.intProperty(ListAlignmentProperty), 0, 2);
    if (f.hasProperty(ListRestartLimitProperty))
        def.restartLimit = std::clamp(f.intProperty(ListRestartLimitProperty), 0, 8);
    return def;
}

QString ListNumbering::label(const QTextBlock& block)
{
    QTextList* list = block.textList();
    if (!list)
        return {};
    const QTextListFormat f = list->format();
    const int level = listLevelNumber(f);
    const ListLevel def = listLevelOf(f);
    // Levels of one Word list share their counters; a list made in an editor
    // counts on its own.
    const qint64 key = f.hasProperty(ListIdProperty) ? qint64(f.intProperty(ListIdProperty))
                                                     : -1 - qint64(list->objectIndex());
    State& s = states_[key];
    for (int l = level + 1; l < 9; ++l)
        if (level < s.restartBelow[size_t(l)])
            s.numbers[size_t(l)].reset();
    s.restartBelow[size_t(level)] = def.restartLimit < 0 ? level : std::min(def.restartLimit, level);
    auto& n = s.numbers[size_t(level)];
    if (f.boolProperty(ListRestartProperty) && list->itemNumber(block) == 0)
        n.reset();
    n = n ? *n + 1 : def.start;
    s.formats[size_t(level)] = def.numberFormat;

    QString out;
    for (QChar c : def.text) {
        const int l = c.unicode();
        if (l < 9) {
            if (l <= level)
                out += formatListNumber(s.numbers[size_t(l)].value_or(1), s.formats[size_t(l)]);
        } else {
            out += def.numberFormat == NumberBullet ? visibleBullet(c) : c;
        }
    }
    return out;
}

} // namespace talvora::word
