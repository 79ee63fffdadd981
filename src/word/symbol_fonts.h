#pragma once
// Characters inserted as symbols: a font and the character's code in it, as
// Word's Insert → Symbol stores them. The fonts Symbol and Wingdings draw
// their own glyphs at codes that Unicode puts elsewhere (Symbol's "m" is µ);
// the codes with a Unicode character read as that character.

#include <QString>

#include <cstdint>

namespace talvora::word {

// A font whose codes name its own glyphs rather than Unicode characters
// (Symbol, Wingdings, Webdings, …).
bool isSymbolEncodedFont(const QString& family);

struct SymbolText {
    QString text;        // what the symbol reads as; empty when the code names no character
    bool inFont = false; // `text` is the font's own code (U+F020–U+F0FF), readable only in that font
};

// What the symbol `code` of font `family` reads as. The code is as stored:
// a symbol font's code (0x20–0xFF, or the same plus 0xF000), or a Unicode
// character of an ordinary font.
SymbolText symbolText(const QString& family, uint16_t code);

} // namespace talvora::word
