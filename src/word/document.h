#pragma once
// The in-memory document: a QTextDocument with the text, paragraph and
// character formats, and the page set-up and headers/footers of its section beside it.

#include <QTextDocument>

#include <QTextFormat>

#include <cstdint>
#include <memory>
#include <vector>

namespace talvora::word {

// Where a section starts, after the section before it (Word's kinds of section break).
enum class SectionStart : uint8_t { Continuous = 0, NewColumn = 1, NewPage = 2, EvenPage = 3, OddPage = 4 };

// Whether a section of this kind starts on a page of its own.
inline constexpr bool startsNewPage(SectionStart start)
{
    return start != SectionStart::Continuous && start != SectionStart::NewColumn;
}

// Page size, orientation and margins, all in twips (1/1440 inch), and how
// the section starts and how many columns its text runs in.
struct PageSetup {
    int pageWidth = 11906;  // A4
    int pageHeight = 16838;
    bool landscape = false;
    int marginTop = 1134;    // 2 cm
    int marginBottom = 1134; // 2 cm
    int marginLeft = 1701;   // 3 cm
    int marginRight = 850;   // 1.5 cm
    int headerDistance = 709;
    int footerDistance = 709;
    int gutter = 0;
    bool titlePage = false; // the first page has a header and footer of its own
    SectionStart start = SectionStart::NewPage;
    int columns = 1;          // evenly spaced
    int columnSpacing = 720;  // between the columns
    bool columnLine = false;  // a line between the columns

    bool operator==(const PageSetup&) const = default;
};

// A section after the first: its page set-up and its headers and footers
// (null where it has none). A section whose file gives it none of its own
// goes on with those of the section before: they are copied in here.
struct Section {
    PageSetup page;
    std::unique_ptr<QTextDocument> header;
    std::unique_ptr<QTextDocument> footer;
    std::unique_ptr<QTextDocument> firstHeader;
    std::unique_ptr<QTextDocument> firstFooter;
    std::unique_ptr<QTextDocument> evenHeader; // of even pages, when the document has such
    std::unique_ptr<QTextDocument> evenFooter;
};

// int k >= 1, on the first block of a later section: it starts laterSections[k - 1].
inline constexpr int SectionStartProperty = QTextFormat::UserProperty + 0x700;

class Document {
public:
    Document();
    Document(std::unique_ptr<QTextDocument> text, const PageSetup& page);
    Document(Document&&) noexcept = default;
    Document& operator=(Document&&) noexcept = default;
    ~Document();

    QTextDocument& text() { return *text_; }
    const QTextDocument& text() const { return *text_; }
    // Hands the QTextDocument over (to a view, say); the Document is left empty.
    std::unique_ptr<QTextDocument> takeText();

    PageSetup page;

    // Headers and footers of the section, beside the main text; null where
    // the document has none. The first-page ones count when page.titlePage,
    // the even-page ones when oddAndEvenHeaders (then `header` and `footer`
    // are those of odd pages).
    std::unique_ptr<QTextDocument> header;
    std::unique_ptr<QTextDocument> footer;
    std::unique_ptr<QTextDocument> firstHeader;
    std::unique_ptr<QTextDocument> firstFooter;
    std::unique_ptr<QTextDocument> evenHeader;
    std::unique_ptr<QTextDocument> evenFooter;
    // Even pages have headers and footers of their own, in every section
    // (Word's "different odd and even").
    bool oddAndEvenHeaders = false;

    // Sections 2…n, in order; the text names where each starts with
    // SectionStartProperty on a block.
    std::vector<Section> laterSections;

    Document clone() const;

private:
    std::unique_ptr<QTextDocument> text_;
};

// Model conventions shared by the reader and the writer:
// - one QTextBlock per paragraph; a line break inside it is U+2028;
// - lengths in the formats are points (twips / 20);
// - a page break in the text starts a new block whose format breaks the page before it;
// - an optional hyphen is U+00AD, a non-breaking hyphen U+2011;
// - fields and footnote or endnote references are runs with the properties
//   of FieldProperty and NoteProperty (text_formats.h);
// - a table is a QTextTable with merged cells; a nested table sits in its
//   cell as a QTextTable; the empty block a story or cell keeps before a
//   table that opens it is marked and not written; row heights, stored
//   border kinds and patterned shading are properties of the cell formats
//   (TableProperty, table_format.h);
// - the first block of each later section carries SectionStartProperty; when
//   the section starts on a new page (PageSetup::start) the block also breaks
//   the page before it, a continuous section's does not. A section that
//   starts with a table names it on the first block of the table's first
//   cell, and the table breaks the page;
// - a later section's header or footer that is null goes on with the one in
//   force in the section before (Word's "same as previous");
// - bookmarks and comments ride on the characters (marks.h): the characters a
//   bookmark covers carry its name (BookmarksProperty), an empty bookmark is
//   one U+200B marker naming it (BookmarkPointProperty); a comment is one
//   U+FFFC reference character of CommentObjectType carrying its text, author
//   and initials, and the text it comments on carries its id
//   (CommentRangesProperty). Edits carry them along; deleting all their
//   characters deletes them.
// Lengths in the model (margins, indents, spacing, line heights, table and
// picture sizes) are in the units of Qt's text layout: 1/96 inch, which the
// layout draws at the screen's and the printer's resolution alike. Fonts
// stay in points.
inline constexpr double kTwipsPerLength = 15.0;
inline constexpr double twipsToLength(int twips) { return twips / kTwipsPerLength; }
inline int lengthToTwips(double length)
{
    return int(length * kTwipsPerLength + (length >= 0 ? 0.5 : -0.5));
}

} // namespace talvora::word
