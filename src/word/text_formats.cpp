#include "word/text_formats.h"

#include <QBrush>
#include <QColor>
#include <QFont>

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
        f.setLeftMargin(twipsToPoints(p.left));
    if (p.right)
        f.setRightMargin(twipsToPoints(p.right));
    if (p.firstLine)
        f.setTextIndent(twipsToPoints(p.firstLine));
    if (p.before)
        f.setTopMargin(twipsToPoints(p.before));
    if (p.after)
        f.setBottomMargin(twipsToPoints(p.after));
    if (p.lineMultiple) {
        if (p.lineSpacing != 240 && p.lineSpacing > 0)
            f.setLineHeight(p.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    } else if (p.lineSpacing > 0) {
        f.setLineHeight(twipsToPoints(p.lineSpacing), QTextBlockFormat::MinimumHeight);
    } else if (p.lineSpacing < 0) {
        f.setLineHeight(twipsToPoints(-p.lineSpacing), QTextBlockFormat::FixedHeight);
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
    p.left = pointsToTwips(f.leftMargin() + f.indent() * 36.0);
    p.right = pointsToTwips(f.rightMargin());
    p.firstLine = pointsToTwips(f.textIndent());
    p.before = std::max(0, pointsToTwips(f.topMargin()));
    p.after = std::max(0, pointsToTwips(f.bottomMargin()));
    switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        p.lineMultiple = true;
        p.lineSpacing = int(f.lineHeight() * 240.0 / 100.0 + 0.5);
        break;
    case QTextBlockFormat::MinimumHeight:
        p.lineMultiple = false;
        p.lineSpacing = pointsToTwips(f.lineHeight());
        break;
    case QTextBlockFormat::FixedHeight:
        p.lineMultiple = false;
        p.lineSpacing = -pointsToTwips(f.lineHeight());
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

} // namespace talvora::word
