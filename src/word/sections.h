#pragma once
// The section table: where each section of the main text ends and the page
// set-up it carries.

#include "word/binary.h"
#include "word/document.h"
#include "word/sprm.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

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

// The section table for sections ending at `ends`, their properties at `fcSepx`.
QByteArray sectionTableBytes(const std::vector<int32_t>& ends, const std::vector<uint32_t>& fcSepx);

} // namespace talvora::word
