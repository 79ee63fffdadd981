#pragma once
// The font table and the style sheet of a Word file, with the properties
// each style gives once its base styles are applied.

#include "word/binary.h"
#include "word/sprm.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace talvora::word {

class WordFile;

struct StyleDef {
    bool present = false;
    uint16_t sti = 0x0FFE;
    uint8_t kind = 0; // 1 paragraph, 2 character, 3 table, 4 list
    uint16_t base = 0x0FFF;
    QString name;
    ByteView papx;
    ByteView chpx;
};

class StyleSheet {
public:
    explicit StyleSheet(const WordFile& file);
    StyleSheet(const StyleSheet&) = delete;
    StyleSheet& operator=(const StyleSheet&) = delete;

    // Font names by index; a font without a readable name is empty.
    const QStringList& fonts() const { return fonts_; }
    // The character set of font `index` as stored (0 ANSI, 2 symbol, 204 Cyrillic, …);
    // 1 (the default set) for a font the table does not have.
    uint8_t fontCharset(uint16_t index) const { return index < charsets_.size() ? charsets_[index] : 1; }

    // The paragraph and character properties of style `istd` with those of
    // its bases; a missing style gives the defaults.
    const ParaProps& paraProps(uint16_t istd) { return styleParaProps(istd, 0); }
    const CharProps& charProps(uint16_t istd) { return styleCharProps(istd, 0); }
    // `base` with the character style `charStyle` (and its bases) applied
    // over it; unchanged when `charStyle` names no character style.
    CharProps withCharStyle(const CharProps& base, uint16_t charStyle) const;
    // 1–9 for the built-in heading styles, 0 otherwise.
    int headingLevel(uint16_t istd) const;

private:
    void readFonts(const WordFile& file);
    void readWord6Fonts(const WordFile& file);
    void readStyles(const WordFile& file);
    // A modifier group of the file in the Word 97 form.
    ByteView sprms(const WordFile& file, ByteView stored);
    const ParaProps& styleParaProps(uint16_t istd, int depth);
    const CharProps& styleCharProps(uint16_t istd, int depth);

    QStringList fonts_;
    std::vector<uint8_t> charsets_;
    std::vector<QByteArray> translated_; // groups of a Word 6.0/95 file, as Word 97 writes them
    std::vector<StyleDef> styles_;
    uint16_t defaultFont_ = 0;
    std::vector<std::optional<ParaProps>> stylePap_;
    std::vector<std::optional<CharProps>> styleChp_;
    std::vector<char> resolving_;
};

} // namespace talvora::word
