#pragma once
// The character and paragraph properties of the text of a Word 97–2003
// file: the runs of its formatted disk pages, applied over the styles, the
// lists and what the pieces add.

#include "word/binary.h"
#include "word/sprm.h"
#include "word/table_format.h"

#include <QByteArray>
#include <QHash>

#include <cstdint>
#include <functional>
#include <vector>

namespace talvora::word {

class ListTable;
class StyleSheet;
class TextPieces;
class WordFile;

// A run of a formatted disk page: bytes [fcStart, fcEnd) of the text carry `grpprl`.
struct FkpRun {
    uint32_t fcStart = 0, fcEnd = 0;
    ByteView grpprl;
    uint16_t istd = 0;
};

// One stretch of text whose character formatting is the same.
struct Segment {
    int32_t cpStart = 0, cpEnd = 0;
    ByteView grpprl;
    int piece = 0;
};

class TextProperties {
public:
    // Reads the formatted disk pages; throws talvora::Error when they hold
    // more runs than a sound file can.
    TextProperties(const WordFile& file, const TextPieces& text, StyleSheet& styles, const ListTable& lists);
    TextProperties(const TextProperties&) = delete;
    TextProperties& operator=(const TextProperties&) = delete;

    // The text in stretches of the same character formatting, in order.
    const std::vector<Segment>& segments() const { return segments_; }

    // The properties of the paragraph whose mark is at `markCp`.
    ParaProps paraProps(int32_t markCp);
    // The table row a row mark at `markCp` defines.
    TableRowDef rowDef(int32_t markCp) const;
    // The properties of the characters of `seg` in a paragraph with `pap`.
    CharProps charProps(const ParaProps& pap, const Segment& seg);

private:
    std::vector<FkpRun> readFkps(const WordFile& file, bool paragraphs);
    std::vector<uint32_t> pageNumbers(const WordFile& file, bool paragraphs) const;
    // The group as Word 97 writes it (Word 6.0/95 groups are translated once).
    ByteView sprms(ByteView stored);
    void buildSegments();
    void forEachParaSprm(int32_t markCp, uint16_t* istd, const std::function<void(uint16_t, ByteView)>& visit) const;

    ByteView wv_, dv_;
    const TextPieces& text_;
    StyleSheet& styles_;
    const ListTable& lists_;
    std::vector<FkpRun> chpRuns_, papRuns_;
    std::vector<Segment> segments_;
    bool word6_ = false;
    std::vector<QByteArray> translated_;
    QHash<const char*, ByteView> translatedAt_;
};

} // namespace talvora::word
