#pragma once
// The section table: where each section of the main text ends, the page
// set-up it carries and how it starts; and the header and footer stories of
// every section, with Word's rule that a section without one of its own
// goes on with the one of the section before.

#include "word/binary.h"
#include "word/document.h"
#include "word/sprm.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTextDocument;

namespace talvora::word {

struct StoredSection {
    int32_t cpEnd = 0; // just past the section's last character (its section mark)
    SectionProps props;
};

// The sections of the section table `plc`, their properties read from
// `wordStream`. Sections whose ends do not rise within [1, ccpText] are left
// out; one whose properties cannot be read keeps the defaults. `word6`: the
// properties are stored as Word 6.0/95 writes them.
std::vector<StoredSection> readSectionTable(ByteView plc, ByteView wordStream, int32_t ccpText, bool word6 = false);

// The later section (1, 2, …) that starts just past the section mark at
// `cp`, or 0 when `cp` ends no section or ends the last.
int sectionAfter(const std::vector<StoredSection>& sections, int32_t cp);

PageSetup toPageSetup(const SectionProps& props);

// Whether the later section `section` (1, 2, …) starts on a page of its own;
// sections the table does not hold do, as Word's default break does.
bool sectionStartsPage(const std::vector<StoredSection>& sections, int section);

// The section modifiers of how a section starts and of its columns, where
// they differ from Word's defaults.
QByteArray sectionLayoutSprms(const PageSetup& page);

// The header and footer stories of a section, in the order the file stores them.
enum HeaderKind { EvenHeader = 0, OddHeader, EvenFooter, OddFooter, FirstHeader, FirstFooter };
inline constexpr int kHeaderKinds = 6;

// The story of `kind` that section `section` (0 for the first) holds in the
// model, whether or not the page set-up shows it; null where it has none.
const QTextDocument* sectionStory(const Document& doc, size_t section, HeaderKind kind);

// The story of `kind` in force in section `section`: its own, or, where it
// has none, the one in force in the section before.
const QTextDocument* storyInForce(const Document& doc, size_t section, HeaderKind kind);

// The header or footer on a page: `firstOfSection` when the page is the first
// of its section, `evenPage` when its number is even. Null when it has none.
const QTextDocument* storyOnPage(const Document& doc, size_t section, bool header, bool firstOfSection, bool evenPage);

// Reads every section's headers and footers into `doc`, whose sections are
// in place. `storyOf(section, kind, budget)` gives the stored story (null
// where it is empty or missing) and takes its length from `budget`; a
// section without a story of its own gets a copy of the one before, while
// the budget lasts. Stories the page set-up never shows (first-page ones
// without a title page, even-page ones without doc.oddAndEvenHeaders) are
// not kept, though a later section may go on with them.
using StoredStory = std::function<std::unique_ptr<QTextDocument>(size_t section, HeaderKind kind, qint64& budget)>;
void readSectionStories(Document& doc, const StoredStory& storyOf, qint64 budget);

// What the writer stores for section `section`'s story of `kind`, when the
// section stored before it is `before` (for the first, `section` itself): the
// story, or null for an empty one, which goes on with the one in force
// before. A story the same as that one is stored empty; a first section
// without a story stores none either.
const QTextDocument* storyToStore(const Document& doc, size_t section, size_t before, HeaderKind kind);

// The section table for sections ending at `ends`, their properties at `fcSepx`.
QByteArray sectionTableBytes(const std::vector<int32_t>& ends, const std::vector<uint32_t>& fcSepx);

} // namespace talvora::word
