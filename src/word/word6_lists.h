#pragma once
// Numbered and bulleted paragraphs of Word 6.0/95 files. Those files have no
// list tables: each paragraph carries its autonumber level (ParaProps::anlLevel)
// and a description of its number (ANLD: format, first number, the text
// before and after it, its font). The reader makes lists of the model from
// them as Word 6 numbered them:
// - numbered (level 10) and bulleted (11) paragraphs that follow one another
//   with the same description make one list; a paragraph without numbering
//   ends it, one whose numbering is skipped (12) does not; a different
//   description (another format or first number) starts a new list;
// - outline-numbered paragraphs (levels 1–9, usually headings) make one list
//   for the whole story, whatever lies between them, each level described by
//   its first paragraph. The section's outline table is not read, so a level
//   no paragraph describes counts in decimal.

#include "word/binary.h"
#include "word/sprm.h"
#include "word/text_formats.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

namespace talvora::word {

class CodePage;

namespace word6 {
inline constexpr int kAnldSize = 52;
inline constexpr uint8_t kAnlNumbered = 10;
inline constexpr uint8_t kAnlBulleted = 11;
inline constexpr uint8_t kAnlSkipped = 12;
} // namespace word6

// How the 8-bit text of a description reads: the code page of the document
// and the character set of each font (2 for a symbol font, whose codes are
// its own glyphs).
struct Word6TextSource {
    const CodePage& documentPage;
    std::function<uint8_t(int font)> charsetOf;
};

// The list level a paragraph of autonumber level `anlLevel` (1–11) with
// description `anld` shows; a description cut short reads as the default
// one of its kind ("1." or "•").
ListLevel word6ListLevel(ByteView anld, uint8_t anlLevel, const Word6TextSource& text);

// The lists of a document's paragraphs.
class Word6Numbering {
public:
    using Levels = std::array<std::optional<ListLevel>, 9>;
    struct Item {
        int list = 0;  // from 1
        int level = 0; // 0–8
    };

    explicit Word6Numbering(const Word6TextSource& text) : text_(text) {}
    // The paragraphs come in order; `newStory` for the first of each story.
    void paragraph(int32_t markCp, const ParaProps& pap, bool newStory);

    const std::vector<Levels>& lists() const { return lists_; }
    // The list and level of the paragraph whose mark is at `markCp`, or null.
    const Item* itemAt(int32_t markCp) const;
    // Those of all numbered paragraphs, by the CPs of their marks.
    const std::unordered_map<int32_t, Item>& items() const { return items_; }

private:
    const Word6TextSource& text_;
    std::vector<Levels> lists_;
    std::unordered_map<int32_t, Item> items_;
    int run_ = -1;     // the numbered or bulleted list going on, as an index into lists_
    uint8_t runKind_ = 0;
    int outline_ = -1; // the story's outline list
};

// Goes through the paragraphs of `text` (`length` characters, all stories;
// the stories start at `storyStarts`) and numbers them; `paraAt` gives the
// properties of the paragraph whose mark is at a CP.
Word6Numbering numberWord6Paragraphs(const char16_t* text, int32_t length, const std::vector<int32_t>& storyStarts,
                                     const std::function<ParaProps(int32_t)>& paraAt, const Word6TextSource& source);

} // namespace talvora::word
