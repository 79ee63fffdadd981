#include "word/sections.h"

#include "word/word6_format.h"

#include <QTextDocument>

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
    page.start = SectionStart(std::min<uint8_t>(s.bkc, 4));
    page.columns = std::clamp(s.columns, 1, 45);
    page.columnSpacing = std::clamp(s.columnSpacing, 0, 31680);
    page.columnLine = s.columnLine;
    return page;
}

bool sectionStartsPage(const std::vector<StoredSection>& sections, int section)
{
    if (section < 1 || size_t(section) >= sections.size())
        return true;
    return startsNewPage(SectionStart(std::min<uint8_t>(sections[size_t(section)].props.bkc, 4)));
}

QByteArray sectionLayoutSprms(const PageSetup& page)
{
    QByteArray out;
    ByteWriter w(out);
    if (page.start != SectionStart::NewPage) {
        w.u16(sprm::SBkc);
        w.u8(uint8_t(page.start));
    }
    if (page.columns > 1) {
        w.u16(sprm::SCcolumns);
        w.u16(uint16_t(std::clamp(page.columns, 1, 45) - 1));
        w.u16(sprm::SDxaColumns);
        w.i16(int16_t(std::clamp(page.columnSpacing, 0, 31680)));
        if (page.columnLine) {
            w.u16(sprm::SLBetween);
            w.u8(1);
        }
    }
    return out;
}

namespace {

using StoryPtr = std::unique_ptr<QTextDocument>;

std::array<const StoryPtr*, kHeaderKinds> storiesOf(const Document& doc, size_t section)
{
    if (section == 0)
        return {&doc.evenHeader, &doc.header, &doc.evenFooter, &doc.footer, &doc.firstHeader, &doc.firstFooter};
    const Section& s = doc.laterSections[section - 1];
    return {&s.evenHeader, &s.header, &s.evenFooter, &s.footer, &s.firstHeader, &s.firstFooter};
}

std::array<StoryPtr*, kHeaderKinds> storiesOf(Document& doc, size_t section)
{
    if (section == 0)
        return {&doc.evenHeader, &doc.header, &doc.evenFooter, &doc.footer, &doc.firstHeader, &doc.firstFooter};
    Section& s = doc.laterSections[section - 1];
    return {&s.evenHeader, &s.header, &s.evenFooter, &s.footer, &s.firstHeader, &s.firstFooter};
}

const PageSetup& pageOf(const Document& doc, size_t section)
{
    return section == 0 ? doc.page : doc.laterSections[section - 1].page;
}

// Whether the page set-up of `section` ever shows a story of `kind`.
bool shown(const Document& doc, size_t section, HeaderKind kind)
{
    switch (kind) {
    case FirstHeader:
    case FirstFooter: return pageOf(doc, section).titlePage;
    case EvenHeader:
    case EvenFooter: return doc.oddAndEvenHeaders;
    default: return true;
    }
}

bool sameStory(const QTextDocument* a, const QTextDocument* b)
{
    if (a == b)
        return true;
    if (!a || !b || a->toRawText() != b->toRawText())
        return false;
    // Compared as copies: a copy loses the document's own margin, which the
    // HTML shows, and a story read once may be a copy of another.
    const std::unique_ptr<QTextDocument> x(a->clone()), y(b->clone());
    return x->toHtml() == y->toHtml();
}

} // namespace

const QTextDocument* sectionStory(const Document& doc, size_t section, HeaderKind kind)
{
    if (section > doc.laterSections.size())
        return nullptr;
    return storiesOf(doc, section)[size_t(kind)]->get();
}

const QTextDocument* storyInForce(const Document& doc, size_t section, HeaderKind kind)
{
    for (size_t k = std::min(section, doc.laterSections.size()) + 1; k-- > 0;)
        if (const QTextDocument* story = sectionStory(doc, k, kind))
            return story;
    return nullptr;
}

const QTextDocument* storyOnPage(const Document& doc, size_t section, bool header, bool firstOfSection, bool evenPage)
{
    section = std::min(section, doc.laterSections.size());
    HeaderKind kind = header ? OddHeader : OddFooter;
    if (firstOfSection && pageOf(doc, section).titlePage)
        kind = header ? FirstHeader : FirstFooter;
    else if (evenPage && doc.oddAndEvenHeaders)
        kind = header ? EvenHeader : EvenFooter;
    return storyInForce(doc, section, kind);
}

void readSectionStories(Document& doc, const StoredStory& storyOf, qint64 budget)
{
    std::array<const QTextDocument*, kHeaderKinds> previous{};
    // Stories the page set-up does not show: a later section may still go on with them.
    std::vector<StoryPtr> unshown;
    const size_t count = 1 + doc.laterSections.size();
    for (size_t k = 0; k < count; ++k) {
        const auto targets = storiesOf(doc, k);
        for (int i = 0; i < kHeaderKinds; ++i) {
            const auto kind = HeaderKind(i);
            StoryPtr story = storyOf(k, kind, budget);
            if (!story && previous[size_t(i)] && budget >= previous[size_t(i)]->characterCount()) {
                budget -= previous[size_t(i)]->characterCount();
                story.reset(previous[size_t(i)]->clone());
            }
            previous[size_t(i)] = story.get();
            if (shown(doc, k, kind))
                *targets[size_t(i)] = std::move(story);
            else if (story)
                unshown.push_back(std::move(story));
        }
    }
}

const QTextDocument* storyToStore(const Document& doc, size_t section, size_t before, HeaderKind kind)
{
    const QTextDocument* own = sectionStory(doc, section, kind);
    if (before >= section) {
        // The first section stored: what it has is its own.
        return own ? own : storyInForce(doc, section, kind);
    }
    if (!own) {
        // Sections between that are not stored (their start was deleted)
        // may have changed what is in force.
        const QTextDocument* inForce = storyInForce(doc, section, kind);
        return sameStory(inForce, storyInForce(doc, before, kind)) ? nullptr : inForce;
    }
    return sameStory(own, storyInForce(doc, before, kind)) ? nullptr : own;
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
