#include "word/view/layout_formats.h"

#include <QTextDocument>

namespace talvora::word {

namespace {

// The property that names the layer of a range's format.
constexpr int kLayerProperty = QTextFormat::UserProperty + 0x4c41;

bool inLayer(const QTextLayout::FormatRange& r, FormatLayer layer)
{
    return r.format.intProperty(kLayerProperty) == int(layer);
}

} // namespace

bool setLayerFormats(const QTextBlock& block, FormatLayer layer, QList<QTextLayout::FormatRange> ranges)
{
    if (!block.isValid())
        return false;
    QTextLayout* layout = block.layout();
    const QList<QTextLayout::FormatRange> before = layout->formats();
    QList<QTextLayout::FormatRange> after;
    after.reserve(before.size() + ranges.size());
    for (const QTextLayout::FormatRange& r : before)
        if (!inLayer(r, layer))
            after.append(r);
    for (QTextLayout::FormatRange& r : ranges) {
        r.format.setProperty(kLayerProperty, int(layer));
        after.append(r);
    }
    if (after == before)
        return false;
    layout->setFormats(after);
    if (auto* doc = const_cast<QTextDocument*>(block.document()))
        doc->markContentsDirty(block.position(), block.length());
    return true;
}

QList<QTextLayout::FormatRange> layerFormats(const QTextBlock& block, FormatLayer layer)
{
    QList<QTextLayout::FormatRange> out;
    if (!block.isValid())
        return out;
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (inLayer(r, layer))
            out.append(r);
    return out;
}

} // namespace talvora::word
