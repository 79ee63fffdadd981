#include "word/document.h"

namespace talvora::word {

namespace {
std::unique_ptr<QTextDocument> newTextDocument()
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->setDocumentMargin(0);
    return doc;
}
} // namespace

Document::Document() : text_(newTextDocument()) {}

Document::Document(std::unique_ptr<QTextDocument> text, const PageSetup& page)
    : page(page), text_(text ? std::move(text) : newTextDocument())
{
}

Document::~Document() = default;

std::unique_ptr<QTextDocument> Document::takeText()
{
    auto t = std::move(text_);
    text_ = newTextDocument();
    return t;
}

Document Document::clone() const
{
    std::unique_ptr<QTextDocument> copy(text_->clone());
    Document d(std::move(copy), page);
    auto copyOf = [](const std::unique_ptr<QTextDocument>& t) {
        return t ? std::unique_ptr<QTextDocument>(t->clone()) : nullptr;
    };
    d.header = copyOf(header);
    d.footer = copyOf(footer);
    d.firstHeader = copyOf(firstHeader);
    d.firstFooter = copyOf(firstFooter);
    d.evenHeader = copyOf(evenHeader);
    d.evenFooter = copyOf(evenFooter);
    d.oddAndEvenHeaders = oddAndEvenHeaders;
    d.laterSections.reserve(laterSections.size());
    for (const Section& s : laterSections)
        d.laterSections.push_back({s.page, copyOf(s.header), copyOf(s.footer), copyOf(s.firstHeader),
                                   copyOf(s.firstFooter), copyOf(s.evenHeader), copyOf(s.evenFooter)});
    return d;
}

} // namespace talvora::word
