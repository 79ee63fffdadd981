#pragma once
// Conversions between the stored character/paragraph properties and the
// QTextDocument formats of the model.

#include "word/document.h"
#include "word/sprm.h"

#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>

namespace talvora::word {

// Format properties with no Qt counterpart, kept so that a document read and
// written again loses nothing.
enum FormatProperty {
    UnderlineKindProperty = QTextFormat::UserProperty + 0x100, // int: stored underline kind
    KeepWithNextProperty,                                       // bool
    DoubleStrikeProperty,                                       // bool
    RaisePositionProperty,                                      // int: half-points up (> 0) or down
};

QTextCharFormat toCharFormat(const CharProps& chp, const QStringList& fonts);
QTextBlockFormat toBlockFormat(const ParaProps& pap);

// The inverse, as far as the stored form goes; `fontIndex` maps a family to
// its index in the font table being written.
CharProps fromCharFormat(const QTextCharFormat& fmt, const std::function<uint16_t(const QString&)>& fontIndex,
                         const CharProps& defaults);
ParaProps fromBlockFormat(const QTextBlockFormat& fmt);

} // namespace talvora::word
