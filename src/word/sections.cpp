#include "word/sections.h"

#include "word/word6_format.h"

#include <algorithm>
#include <cstdlib>

namespace talvora::word {

namespace {

constexpr qint64 kSedSize = 12;
constexpr int kMaxSections = 1000; // far past what a real document has

SectionProps readSepx(ByteView wordStream, uint32_t fcSepx, bool word6)
{
    SectionProps props;
    if (fcSepx == 0xFFFFFFFF || !wordStream.ok(fcSepx, 2))
        return props;
    const int cb = wordStream.u16(fcSepx);
    if (!wordStream.ok(qint64(fcSepx) + 2, cb))
        return props;
    const ByteView stored = wordStream.sub(qint64(fcSepx) + 2, cb);
    const QByteArray translated = word6 ? word6ToCurrentSprms(stored) : QByteArray();
    forEachSprm(word6 ? ByteView(translated) : stored,
                [&](uint16_t code, ByteView o) { applySectionSprm(props, code, o); });
    return props;
}

} // namespace

std::vector<StoredSection> readSectionTable(ByteView plc, ByteView wordStream, int32_t ccpText, bool word6)
{
    std::vector<StoredSection> sections;
    // n + 1 CPs, then n descriptors of 12 bytes.
    if (plc.size() < 4 + 4 + kSedSize)
        return sections;
    const qint64 n = std::min<qint64>((plc.size() - 4) / (4 + kSedSize), kMaxSections);
    // The last section may claim the final paragraph mark past the text.
    const int32_t limit = std::max(ccpText, 1);
    int32_t previous = 0;
    for (qint64 k = 0; k < n; ++k) {
        const int32_t end = std::min(plc.i32((k + 1) * 4), limit);
        if (end <= previous)
            continue;
        previous = end;
        const qint64 sed = (n + 1) * 4 + k * kSedSize;
        sections.push_back({end, readSepx(wordStream, plc.u32(sed + 2), word6)});
    }
    return sections;
}

int sectionAfter(const std::vector<StoredSection>& sections, int32_t cp)
{
    // The ends rise: a damaged file with many section marks stays quick.
    const auto it = std::lower_bound(sections.begin(), sections.end(), cp + 1,
                                     [](const StoredSection& s, int32_t end) { return s.cpEnd < end; });
    if (it == sections.end() || it->cpEnd != cp + 1 || it + 1 == sections.end())
        return 0;
    return int(it - sections.begin()) + 1;
}

PageSetup toPageSetup(const SectionProps& s)
{
    PageSetup page;
    page.pageWidth = s.pageWidth;
    page.pageHeight = s.pageHeight;
    page.landscape = s.landscape;
    page.marginTop = std::abs(s.top);
    page.marginBottom = std::abs(s.bottom);
    page.marginLeft = s.left;
    page.marginRight = s.right;
    page.headerDistance = s.headerTop;
    page.footerDistance = s.footerBottom;
    page.gutter = s.gutter;
    page.titlePage = s.titlePage;
    return page;
}

QByteArray sectionTableBytes(const std::vector<int32_t>& ends, const std::vector<uint32_t>& fcSepx)
{
    QByteArray plc;
    ByteWriter w(plc);
    w.u32(0);
    for (int32_t end : ends)
        w.u32(uint32_t(end));
    for (size_t k = 0; k < ends.size(); ++k) {
        w.u16(0);
        w.u32(k < fcSepx.size() ? fcSepx[k] : 0xFFFFFFFF);
        w.u16(0);
        w.u32(0xFFFFFFFF);
    }
    return plc;
}

} // namespace talvora::word
