#pragma once
// Property modifiers ("sprms") of Word 97–2003 documents and the character,
// paragraph and section properties they change.

#include "word/binary.h"

#include <QRgb>

#include <cstdint>
#include <functional>
#include <optional>

namespace talvora::word {

namespace sprm {
// Character properties.
inline constexpr uint16_t CFRMarkDel = 0x0800;
inline constexpr uint16_t CFRMarkIns = 0x0801;
inline constexpr uint16_t CFFldVanish = 0x0802;
inline constexpr uint16_t CPicLocation = 0x6A03;
inline constexpr uint16_t CFData = 0x0806;
inline constexpr uint16_t CFOle2 = 0x080A;
inline constexpr uint16_t CFObj = 0x0856; // the character is an object (an embedded one with CFOle2)
inline constexpr uint16_t CSymbol = 0x6A09; // a symbol: font index and character code
inline constexpr uint16_t CHighlight = 0x2A0C;
inline constexpr uint16_t CIstd = 0x4A30;
inline constexpr uint16_t CFBold = 0x0835;
inline constexpr uint16_t CFItalic = 0x0836;
inline constexpr uint16_t CFStrike = 0x0837;
inline constexpr uint16_t CFOutline = 0x0838;
inline constexpr uint16_t CFShadow = 0x0839;
inline constexpr uint16_t CFSmallCaps = 0x083A;
inline constexpr uint16_t CFCaps = 0x083B;
inline constexpr uint16_t CFVanish = 0x083C;
inline constexpr uint16_t CKul = 0x2A3E;
inline constexpr uint16_t CIco = 0x2A42;
inline constexpr uint16_t CHps = 0x4A43;
inline constexpr uint16_t CHpsInc = 0x2A44;
inline constexpr uint16_t CIss = 0x2A48;
inline constexpr uint16_t CHpsPos = 0x4845;
inline constexpr uint16_t CRgFtc0 = 0x4A4F;
inline constexpr uint16_t CRgFtc1 = 0x4A50;
inline constexpr uint16_t CRgFtc2 = 0x4A51;
inline constexpr uint16_t CFDStrike = 0x2A53;
inline constexpr uint16_t CFSpec = 0x0855;
inline constexpr uint16_t CFBoldBi = 0x085C;
inline constexpr uint16_t CFItalicBi = 0x085D;
inline constexpr uint16_t CHpsBi = 0x4A61;
inline constexpr uint16_t CShd80 = 0x4866;
inline constexpr uint16_t CCv = 0x6870;
inline constexpr uint16_t CShd = 0xCA71;
// Paragraph properties.
inline constexpr uint16_t PIstd = 0x4600;
inline constexpr uint16_t PJc80 = 0x2403;
inline constexpr uint16_t PFKeep = 0x2405;
inline constexpr uint16_t PFKeepFollow = 0x2406;
inline constexpr uint16_t PFPageBreakBefore = 0x2407;
inline constexpr uint16_t PIlvl = 0x260A;
inline constexpr uint16_t PIlfo = 0x460B;
inline constexpr uint16_t PChgTabsPapx = 0xC60D;
inline constexpr uint16_t PDxaRight80 = 0x840E;
inline constexpr uint16_t PDxaLeft80 = 0x840F;
inline constexpr uint16_t PNest80 = 0x4610;
inline constexpr uint16_t PDxaLeft1_80 = 0x8411;
inline constexpr uint16_t PDyaLine = 0x6412;
inline constexpr uint16_t PDyaBefore = 0xA413;
inline constexpr uint16_t PDyaAfter = 0xA414;
inline constexpr uint16_t PChgTabs = 0xC615;
inline constexpr uint16_t PFInTable = 0x2416;
inline constexpr uint16_t PFTtp = 0x2417;
inline constexpr uint16_t POutLvl = 0x2640;
// Autonumbering of Word 6.0/95 paragraphs (word6_lists.h).
inline constexpr uint16_t PNLvlAnm80 = 0x240D;
inline constexpr uint16_t PAnld80 = 0xC63E;
inline constexpr uint16_t PHugePapx = 0x6646;
inline constexpr uint16_t PItap = 0x6649;
inline constexpr uint16_t PDtap = 0x664A;
inline constexpr uint16_t PFInnerTableCell = 0x244B;
inline constexpr uint16_t PFInnerTtp = 0x244C;
inline constexpr uint16_t PDxaRight = 0x845D;
inline constexpr uint16_t PDxaLeft = 0x845E;
inline constexpr uint16_t PNest = 0x465F;
inline constexpr uint16_t PDxaLeft1 = 0x8460;
inline constexpr uint16_t PJc = 0x2461;
// Section properties.
inline constexpr uint16_t SDyaHdrTop = 0xB017;
inline constexpr uint16_t SDyaHdrBottom = 0xB018;
inline constexpr uint16_t SBOrientation = 0x301D;
inline constexpr uint16_t SXaPage = 0xB01F;
inline constexpr uint16_t SYaPage = 0xB020;
inline constexpr uint16_t SDxaLeft = 0xB021;
inline constexpr uint16_t SDxaRight = 0xB022;
inline constexpr uint16_t SDyaTop = 0x9023;
inline constexpr uint16_t SDyaBottom = 0x9024;
inline constexpr uint16_t SDzaGutter = 0xB025;
inline constexpr uint16_t SFTitlePage = 0x300A;
inline constexpr uint16_t SGprfIhdt = 0x3014; // which header and footer stories a section has
inline constexpr uint16_t SBkc = 0x3009;      // how the section starts
inline constexpr uint16_t SCcolumns = 0x500B; // columns less one
inline constexpr uint16_t SDxaColumns = 0x900C;
inline constexpr uint16_t SLBetween = 0x3019; // a line between the columns
inline constexpr uint16_t SNfcFtnRef = 0x5040;
inline constexpr uint16_t SNfcEdnRef = 0x5042;
// Table properties.
inline constexpr uint16_t TDefTable10 = 0xD606;
inline constexpr uint16_t TDefTable = 0xD608;
inline constexpr uint16_t TDxaGapHalf = 0x9602;
inline constexpr uint16_t TVertMerge = 0xD62B;
inline constexpr uint16_t TJc90 = 0x5400;
inline constexpr uint16_t TJc = 0x548A;
inline constexpr uint16_t TDxaLeft = 0x9601;
inline constexpr uint16_t TFCantSplit90 = 0x3403;
inline constexpr uint16_t TFCantSplit = 0x3466;
inline constexpr uint16_t TTableHeader = 0x3404;
inline constexpr uint16_t TTableBorders80 = 0xD605;
inline constexpr uint16_t TTableBorders = 0xD613;
inline constexpr uint16_t TDyaRowHeight = 0x9407;
inline constexpr uint16_t TDefTableShd80 = 0xD609;
inline constexpr uint16_t TDefTableShd = 0xD612;     // cells 0–21
inline constexpr uint16_t TDefTableShd2nd = 0xD616;  // cells 22–43
inline constexpr uint16_t TDefTableShd3rd = 0xD60C;  // cells 44–62
inline constexpr uint16_t TDefTableShdRaw = 0xD670;
inline constexpr uint16_t TDefTableShdRaw2nd = 0xD671;
inline constexpr uint16_t TDefTableShdRaw3rd = 0xD672;
inline constexpr uint16_t TSetBrc80 = 0xD620;
inline constexpr uint16_t TSetBrc = 0xD62F;
inline constexpr uint16_t TVertAlign = 0xD62C;
} // namespace sprm

// Calls `visit(sprm, operand)` for each modifier in a group; a modifier cut
// short by the end of the group ends the walk (what precedes it still counts).
void forEachSprm(ByteView grpprl, const std::function<void(uint16_t, ByteView)>& visit);

// Underline kinds, as stored.
enum class Underline : uint8_t { None = 0, Single = 1, Words = 2, Double = 3, Dotted = 4, Thick = 6, Dash = 7, Wave = 11 };

struct CharProps {
    uint16_t font = 0;       // index into the font table (ASCII text)
    int halfPoints = 20;     // size
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool doubleStrike = false;
    bool caps = false;
    bool smallCaps = false;
    bool hidden = false;
    uint8_t underline = 0;   // Underline values
    uint8_t ico = 0;         // 0 = automatic colour
    std::optional<QRgb> color; // exact colour; wins over ico
    uint8_t highlight = 0;   // ico of the highlight, 0 = none
    std::optional<QRgb> shading; // background colour from shading
    uint8_t iss = 0;         // 1 superscript, 2 subscript
    int16_t hpsPos = 0;      // raised (> 0) or lowered (< 0), half-points
    bool special = false;    // the character is a special object (picture, footnote mark, field char)
    bool fieldVanish = false;
    bool deleted = false;    // a tracked deletion
    std::optional<uint32_t> picLocation; // of a picture (or other data) in the Data stream
    bool data = false;       // picLocation names other data than a picture
    bool ole2 = false;       // an embedded object: picLocation names its storage (embedded_objects.h)
    uint16_t charStyle = 10; // "Default Paragraph Font"
    // An inserted symbol: the character is drawn from the font at this index
    // with this code (see symbol_fonts.h), whatever the text holds.
    struct Symbol {
        uint16_t font = 0;
        uint16_t code = 0;
        bool operator==(const Symbol&) const = default;
    };
    std::optional<Symbol> symbol;
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    uint16_t style = 0;
    uint8_t jc = 0;          // 0 left, 1 centre, 2 right, 3 justified, 4 distributed
    int left = 0, right = 0, firstLine = 0; // twips
    int before = 0, after = 0;              // twips
    int lineSpacing = 240;   // twips, or 240ths of a line when lineMultiple
    bool lineMultiple = true;
    bool pageBreakBefore = false;
    bool keep = false, keepNext = false;
    uint8_t outlineLevel = 9; // 9 = body text
    bool inTable = false, tableRowEnd = false;
    bool innerCell = false;  // the mark ends a cell of a nested table
    int tableDepth = 0;
    int listLevel = 0, listIndex = 0;
    // Word 6.0/95 autonumbering: the level (0 none, 1–9 outline, 10 numbered,
    // 11 bulleted, 12 skipped) and the description as stored (word6_lists.h).
    uint8_t anlLevel = 0;
    QByteArray anld;
    bool operator==(const ParaProps&) const = default;
};

struct SectionProps {
    int pageWidth = 12240, pageHeight = 15840;
    bool landscape = false;
    int left = 1800, right = 1800, top = 1440, bottom = 1440;
    int headerTop = 720, footerBottom = 720;
    int gutter = 0;
    bool titlePage = false; // the first page has its own header and footer
    uint8_t headerStories = 0; // bits of the stories the section stores, for files that store only those
    uint8_t bkc = 2;           // how the section starts: SectionStart
    int columns = 1;
    int columnSpacing = 720;
    bool columnLine = false;
    std::optional<int> footnoteFormat, endnoteFormat; // how notes are numbered, when the section says
};

// Applies one character modifier. `styleBase` is what the text would have
// without its direct formatting: toggles 0x80/0x81 refer to it.
void applyCharSprm(CharProps& chp, const CharProps& styleBase, uint16_t sprm, ByteView operand);
void applyParaSprm(ParaProps& pap, uint16_t sprm, ByteView operand);
void applySectionSprm(SectionProps& sep, uint16_t sprm, ByteView operand);

// The 16 colours of `ico`; index 0 (automatic) gives black.
QRgb icoColor(uint8_t ico);
// The ico that names `rgb` exactly, or 0.
uint8_t icoForColor(QRgb rgb);

} // namespace talvora::word
