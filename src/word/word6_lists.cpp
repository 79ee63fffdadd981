#include "word/word6_lists.h"

#include "word/word6_format.h"

#include <algorithm>

namespace talvora::word {

namespace {

// A damaged file could make a list of every paragraph; past this many the
// paragraphs stay unnumbered.
constexpr size_t kMaxLists = 4096;

// Where the parts of a description lie.
constexpr qint64 kFormat = 0, kBefore = 1, kAfter = 2, kFlags = 3, kFont = 6, kStartAt = 10, kText = 20;
constexpr qint64 kTextRoom = 32;
constexpr uint8_t kIncludeHigherLevels = 0x04;

QString withoutControls(QString s)
{
    // Characters below a space would read as the placeholders of numbers.
    s.removeIf([](QChar c) { return c.unicode() < 0x20; });
    return s;
}

} // namespace

ListLevel word6ListLevel(ByteView a, uint8_t anlLevel, const Word6TextSource& source)
{
    const int level = anlLevel >= 1 && anlLevel <= 9 ? anlLevel - 1 : 0;
    const QString placeholder{QChar(char16_t(level))};
    ListLevel l;
    if (!a.ok(0, kText)) {
        if (anlLevel == word6::kAnlBulleted) {
            l.numberFormat = NumberBullet;
            l.text = QChar(0x2022);
        } else {
            l.text = placeholder + QLatin1Char('.');
        }
        return l;
    }
    const int nfc = a.u8(kFormat);
    const uint8_t flags = a.u8(kFlags);
    l.start = std::min<int>(a.u16(kStartAt), 0x7FFF);
    l.alignment = (flags & 0x03) == 3 ? 0 : (flags & 0x03);

    // The text before the number, then the text after it, in the number's font.
    const qint64 room = std::clamp<qint64>(a.size() - kText, 0, kTextRoom);
    const qint64 before = std::min<qint64>(a.u8(kBefore), room);
    const qint64 after = std::min<qint64>(a.u8(kAfter), room - before);
    const uint8_t charset = source.charsetOf(a.u16(kFont));
    const bool symbolFont = charset == word6::kSymbolCharset;
    auto decode = [&](qint64 at, qint64 count) {
        if (symbolFont) {
            QString s;
            for (qint64 k = 0; k < count; ++k)
                s += QChar(char16_t(0xF000 + a.u8(at + k)));
            return s;
        }
        const int codePage = codePageOfCharset(charset);
        return withoutControls(codePage ? CodePage(codePage).decode(a.sub(at, count))
                                        : source.documentPage.decode(a.sub(at, count)));
    };
    const QString prefix = decode(kText, before);
    const QString suffix = decode(kText + before, after);

    if (nfc == NumberBullet || symbolFont) {
        l.numberFormat = NumberBullet;
        const QString all = prefix + suffix;
        l.text = all.isEmpty() ? QString(QChar(0x2022)) : QString(visibleBullet(all.front()));
        return l;
    }
    switch (nfc) {
    case NumberUpperRoman:
    case NumberLowerRoman:
    case NumberUpperLetter:
    case NumberLowerLetter:
    case NumberDecimalZero: l.numberFormat = nfc; break;
    default: l.numberFormat = NumberDecimal; break; // ordinals and numbers in words too
    }
    QString number = placeholder;
    if ((flags & kIncludeHigherLevels) && anlLevel <= 9) {
        number.clear();
        for (int k = 0; k <= level; ++k)
            number += (k ? QStringLiteral(".") : QString()) + QChar(char16_t(k));
    }
    l.text = prefix + number + suffix;
    return l;
}

void Word6Numbering::paragraph(int32_t markCp, const ParaProps& pap, bool newStory)
{
    if (newStory) {
        run_ = -1;
        outline_ = -1;
    }
    if (pap.tableRowEnd)
        return;
    const uint8_t anl = pap.anlLevel;
    if (anl == 0 || anl > word6::kAnlSkipped) {
        run_ = -1;
        return;
    }
    if (anl == word6::kAnlSkipped)
        return;
    auto newList = [this] {
        if (lists_.size() >= kMaxLists)
            return -1;
        lists_.emplace_back();
        return int(lists_.size()) - 1;
    };
    const ListLevel def = word6ListLevel(ByteView(pap.anld), anl, text_);
    if (anl <= 9) {
        // Outline numbering goes on past what lies between; it ends a
        // numbered list.
        run_ = -1;
        if (outline_ < 0 && (outline_ = newList()) < 0)
            return;
        const int level = anl - 1;
        auto& slot = lists_[size_t(outline_)][size_t(level)];
        if (!slot)
            slot = def;
        items_[markCp] = {outline_ + 1, level};
        return;
    }
    if (run_ < 0 || runKind_ != anl || lists_[size_t(run_)][0] != def) {
        if ((run_ = newList()) < 0)
            return;
        runKind_ = anl;
        lists_[size_t(run_)][0] = def;
    }
    items_[markCp] = {run_ + 1, 0};
}

const Word6Numbering::Item* Word6Numbering::itemAt(int32_t markCp) const
{
    const auto it = items_.find(markCp);
    return it == items_.end() ? nullptr : &it->second;
}

Word6Numbering numberWord6Paragraphs(const char16_t* text, int32_t length, const std::vector<int32_t>& storyStarts,
                                     const std::function<ParaProps(int32_t)>& paraAt, const Word6TextSource& source)
{
    Word6Numbering numbering(source);
    std::vector<int32_t> starts = storyStarts;
    std::sort(starts.begin(), starts.end());
    qint64 story = -1;
    for (int32_t cp = 0; cp < length; ++cp) {
        if (text[cp] != u'\r' && text[cp] != u'\x07')
            continue;
        const qint64 here = std::upper_bound(starts.begin(), starts.end(), cp) - starts.begin();
        numbering.paragraph(cp, paraAt(cp), here != story);
        story = here;
    }
    return numbering;
}

} // namespace talvora::word
