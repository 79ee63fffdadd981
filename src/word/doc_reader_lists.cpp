#include "word/doc_reader_lists.h"

#include "word/doc_reader_file.h"
#include "word/fib.h"
#include "word/word6_lists.h"

#include <algorithm>

namespace talvora::word {

namespace {

// Limits no real list reaches; a count past them comes from a damaged file.
constexpr int kMaxLists = 4096;

// Reads the level at `at`: its fixed part (LVLF), the paragraph and
// character modifiers, then the number text with its length. Returns where
// the next level starts, or -1 when the level runs past the end.
qint64 readListLevel(ByteView v, qint64 at, StoredLevel& out)
{
    if (!v.ok(at, 28))
        return -1;
    ListLevel& l = out.level;
    l.start = v.i32(at);
    l.numberFormat = v.u8(at + 4);
    l.alignment = std::min(v.u8(at + 5) & 0x03, 2);
    l.follow = std::min<int>(v.u8(at + 15), 2);
    // A level that does not restart after every higher one names the first
    // level whose items no longer restart it.
    l.restartLimit = (v.u8(at + 5) & 0x08) ? std::min<int>(v.u8(at + 26), 8) : -1;
    const int cbChpx = v.u8(at + 24);
    const int cbPapx = v.u8(at + 25);
    qint64 p = at + 28;
    if (!v.ok(p, qint64(cbPapx) + cbChpx + 2))
        return -1;
    out.papx = v.sub(p, cbPapx);
    p += cbPapx + cbChpx;
    const int cch = v.u16(p);
    p += 2;
    if (!v.ok(p, 2 * qint64(cch)))
        return -1;
    l.text.clear();
    for (int k = 0; k < cch; ++k) {
        const char16_t c = v.u16(p + 2 * k);
        // Placeholders name levels 1–9; anything else below a space is dropped.
        if (c < 9 || c >= 0x20)
            l.text.append(QChar(c));
    }
    return p + 2 * qint64(cch);
}

} // namespace

ListTable::ListTable(const WordFile& file)
{
    readDefinitions(file);
    readOverrides(file);
    std::vector<int> firstUse(definitions_.size(), 0);
    for (size_t i = 0; i < uses_.size(); ++i) {
        const int d = uses_[i].definition;
        if (d >= 0 && firstUse[size_t(d)] == 0)
            firstUse[size_t(d)] = int(i) + 1;
        sequences_.push_back(d >= 0 ? firstUse[size_t(d)] : int(i) + 1);
    }
}

int ListTable::sequenceOf(int listIndex) const
{
    if (listIndex <= 0 || size_t(listIndex) > sequences_.size())
        return listIndex;
    return sequences_[size_t(listIndex) - 1];
}

bool ListTable::restartsLevel(const ParaProps& pap) const
{
    if (pap.listIndex <= 0 || size_t(pap.listIndex) > uses_.size())
        return false;
    return uses_[size_t(pap.listIndex) - 1].start[size_t(std::clamp(pap.listLevel, 0, 8))].has_value();
}

void ListTable::readDefinitions(const WordFile& file)
{
    const ByteView tv = file.tableStream();
    const auto [fcLst, lcbLst] = file.fcLcb(fib::PlfLst);
    if (lcbLst >= 2 && tv.ok(fcLst, lcbLst)) {
        const int count = tv.i16(fcLst);
        // The definitions (LSTF, 28 bytes each), then the levels of all of
        // them one after another, right after the definitions.
        if (count > 0 && count <= kMaxLists && 2 + 28 * qint64(count) <= qint64(lcbLst)) {
            qint64 levelAt = qint64(fcLst) + lcbLst;
            for (int i = 0; i < count; ++i) {
                const qint64 at = fcLst + 2 + 28 * qint64(i);
                Definition def;
                def.id = tv.i32(at);
                const bool simple = tv.u8(at + 26) & 0x01;
                const int levels = simple ? 1 : 9;
                bool whole = true;
                for (int k = 0; k < levels; ++k) {
                    StoredLevel level;
                    const qint64 next = readListLevel(tv, levelAt, level);
                    if (next < 0) {
                        whole = false;
                        break;
                    }
                    levelAt = next;
                    def.levels.push_back(level);
                }
                if (!def.levels.empty())
                    definitions_.push_back(std::move(def));
                if (!whole)
                    break;
            }
        }
    }
}

void ListTable::readOverrides(const WordFile& file)
{
    const ByteView tv = file.tableStream();
    const auto [fcLfo, lcbLfo] = file.fcLcb(fib::PlfLfo);
    if (lcbLfo < 4 || !tv.ok(fcLfo, lcbLfo))
        return;
    const ByteView lfo = tv.sub(fcLfo, lcbLfo);
    const uint32_t count = lfo.u32(0);
    if (count == 0 || count > uint32_t(kMaxLists) || !lfo.ok(4, 16 * qint64(count)))
        return;
    std::vector<int> overrides(count, 0);
    for (uint32_t i = 0; i < count; ++i) {
        const qint64 at = 4 + 16 * qint64(i);
        const int32_t id = lfo.i32(at);
        Use use;
        for (size_t d = 0; d < definitions_.size(); ++d)
            if (definitions_[d].id == id) {
                use.definition = int(d);
                break;
            }
        overrides[i] = lfo.u8(at + 12);
        uses_.push_back(use);
    }
    // After the lists, for each of them: a position, then its overridden
    // levels, each with a new start value or a whole new level.
    qint64 at = 4 + 16 * qint64(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!lfo.ok(at, 4))
            return;
        at += 4;
        for (int k = 0; k < overrides[i]; ++k) {
            if (!lfo.ok(at, 8))
                return;
            const int32_t start = lfo.i32(at);
            const uint32_t flags = lfo.u32(at + 4);
            at += 8;
            const size_t level = flags & 0x0F;
            std::optional<StoredLevel> replaced;
            if (flags & 0x20) {
                StoredLevel l;
                at = readListLevel(lfo, at, l);
                if (at < 0)
                    return;
                replaced = l;
            }
            if (level >= 9)
                continue;
            if (flags & 0x10)
                uses_[i].start[level] = start;
            if (replaced)
                uses_[i].replaced[level] = replaced;
        }
    }
}

const StoredLevel* ListTable::level(const ParaProps& pap, int* start) const
{
    if (pap.listIndex <= 0 || size_t(pap.listIndex) > uses_.size())
        return nullptr;
    const Use& use = uses_[size_t(pap.listIndex) - 1];
    const size_t level = size_t(std::clamp(pap.listLevel, 0, 8));
    const StoredLevel* l = nullptr;
    if (use.replaced[level])
        l = &*use.replaced[level];
    else if (use.definition >= 0) {
        const auto& levels = definitions_[size_t(use.definition)].levels;
        l = &levels[std::min(level, levels.size() - 1)];
    }
    if (l && start)
        *start = use.start[level].value_or(l->level.start);
    return l;
}

void ListTable::addWord6Lists(const Word6Numbering& numbering)
{
    const int first = int(uses_.size());
    for (const Word6Numbering::Levels& levels : numbering.lists()) {
        Definition def;
        for (int k = 0; k < 9; ++k) {
            StoredLevel level;
            if (levels[size_t(k)]) {
                level.level = *levels[size_t(k)];
            } else {
                level.level.text = QString(QChar(char16_t(k))) + QLatin1Char('.');
            }
            def.levels.push_back(level);
        }
        definitions_.push_back(std::move(def));
        Use use;
        use.definition = int(definitions_.size()) - 1;
        uses_.push_back(use);
        sequences_.push_back(int(uses_.size()));
    }
    for (const auto& [mark, item] : numbering.items())
        word6Items_[mark] = {first + item.list, item.level};
}

void ListTable::applyWord6List(int32_t markCp, ParaProps& pap) const
{
    const auto it = word6Items_.find(markCp);
    if (it == word6Items_.end())
        return;
    pap.listIndex = it->second.first;
    pap.listLevel = it->second.second;
}

} // namespace talvora::word
