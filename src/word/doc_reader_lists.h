#pragma once
// The list tables of a Word 97–2003 file: list definitions with their
// levels, and the lists paragraphs name, which may restart or replace levels.

#include "word/binary.h"
#include "word/sprm.h"
#include "word/text_formats.h"

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace talvora::word {

class WordFile;
class Word6Numbering;

// A level of a list definition with the paragraph properties it brings.
struct StoredLevel {
    ListLevel level;
    ByteView papx;
};

class ListTable {
public:
    explicit ListTable(const WordFile& file);
    ListTable(const ListTable&) = delete;
    ListTable& operator=(const ListTable&) = delete;

    // The level a paragraph's list and level name, or null when the
    // paragraph is in no list (or one the file does not define); `start`
    // receives the number the level starts with.
    const StoredLevel* level(const ParaProps& pap, int* start = nullptr) const;
    // The numbering a list takes part in. Lists that use one definition
    // count together, as Word numbers them: a list continued in another list
    // instance goes on with its numbers, upper levels included. The first
    // list (from 1) of the definition names it; a list without one, itself.
    int sequenceOf(int listIndex) const;
    // Whether the list restarts the paragraph's level where the list is first
    // used at that level (the list instance sets a start for it).
    bool restartsLevel(const ParaProps& pap) const;

    // Word 6.0/95 files: the lists their numbered paragraphs make
    // (word6_lists.h), each a list of its own after those the file defines.
    void addWord6Lists(const Word6Numbering& numbering);
    // Puts the paragraph whose mark is at `markCp` into its list, if it has one.
    void applyWord6List(int32_t markCp, ParaProps& pap) const;

private:
    struct Definition {
        int32_t id = 0;
        std::vector<StoredLevel> levels; // one for a simple list, nine otherwise
    };
    // A list as paragraphs refer to it: a definition, with levels that may be
    // restarted or replaced.
    struct Use {
        int definition = -1;
        std::array<std::optional<int>, 9> start;
        std::array<std::optional<StoredLevel>, 9> replaced;
    };

    void readDefinitions(const WordFile& file);
    void readOverrides(const WordFile& file);

    std::vector<Definition> definitions_;
    std::vector<Use> uses_; // paragraphs name them from 1
    std::vector<int> sequences_; // of each use
    std::unordered_map<int32_t, std::pair<int, int>> word6Items_; // list and level by paragraph mark
};

} // namespace talvora::word
