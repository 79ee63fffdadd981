#pragma once
// Display-only formats drawn over a paragraph's own formats, kept in its
// layout (QTextLayout::formats), in layers: the spelling underline and the
// template markers' highlight each set and clear their own ranges and leave
// the other's alone. Nothing of them is in the document: a writer, the undo
// history and the modified flag never see them.

#include <QList>
#include <QTextBlock>
#include <QTextLayout>

namespace talvora::word {

enum class FormatLayer {
    Spelling = 1,
    Markers = 2,
};

// Puts `ranges` (positions in the block) in place of the block's ranges of
// `layer`; the other layers' ranges stay. The block is drawn again when
// anything changed; the result says whether it did.
bool setLayerFormats(const QTextBlock& block, FormatLayer layer, QList<QTextLayout::FormatRange> ranges);

// The block's ranges of `layer`, in the order they were set.
QList<QTextLayout::FormatRange> layerFormats(const QTextBlock& block, FormatLayer layer);

} // namespace talvora::word
