#include "word/fields.h"

#include "word/text_formats.h"

#include <QHash>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace talvora::word {

namespace {

// Field types as Word numbers them.
const QHash<QString, int>& fieldTypes()
{
    static const QHash<QString, int> types = [] {
        static const std::pair<const char*, int> list[] = {
            {"REF", 3},           {"FTNREF", 5},        {"SET", 6},           {"IF", 7},
            {"INDEX", 8},         {"STYLEREF", 10},     {"SEQ", 12},          {"TOC", 13},
            {"INFO", 14},         {"TITLE", 15},        {"SUBJECT", 16},      {"AUTHOR", 17},
            {"KEYWORDS", 18},     {"COMMENTS", 19},     {"LASTSAVEDBY", 20},  {"CREATEDATE", 21},
            {"SAVEDATE", 22},     {"PRINTDATE", 23},    {"REVNUM", 24},       {"EDITTIME", 25},
            {"NUMPAGES", 26},     {"NUMWORDS", 27},     {"NUMCHARS", 28},     {"FILENAME", 29},
            {"TEMPLATE", 30},     {"DATE", 31},         {"TIME", 32},         {"PAGE", 33},
            {"=", 34},            {"QUOTE", 35},        {"INCLUDE", 36},      {"PAGEREF", 37},
            {"ASK", 38},          {"FILLIN", 39},       {"DATA", 40},         {"NEXT", 41},
            {"NEXTIF", 42},       {"SKIPIF", 43},       {"MERGEREC", 44},     {"DDE", 45},
            {"DDEAUTO", 46},      {"GLOSSARY", 47},     {"PRINT", 48},        {"EQ", 49},
            {"GOTOBUTTON", 50},   {"MACROBUTTON", 51},  {"AUTONUMOUT", 52},   {"AUTONUMLGL", 53},
            {"AUTONUM", 54},      {"IMPORT", 55},       {"LINK", 56},         {"SYMBOL", 57},
            {"EMBED", 58},        {"MERGEFIELD", 59},   {"USERNAME", 60},     {"USERINITIALS", 61},
            {"USERADDRESS", 62},  {"BARCODE", 63},      {"DOCVARIABLE", 64},  {"SECTION", 65},
            {"SECTIONPAGES", 66}, {"INCLUDEPICTURE", 67}, {"INCLUDETEXT", 68}, {"FILESIZE", 69},
            {"FORMTEXT", 70},     {"FORMCHECKBOX", 71}, {"NOTEREF", 72},      {"TOA", 73},
            {"TA", 74},           {"MERGESEQ", 75},     {"PRIVATE", 77},      {"DATABASE", 78},
            {"AUTOTEXT", 79},     {"COMPARE", 80},      {"ADDIN", 81},        {"FORMDROPDOWN", 83},
            {"ADVANCE", 84},      {"DOCPROPERTY", 85},  {"CONTROL", 87},      {"HYPERLINK", 88},
            {"AUTOTEXTLIST", 89}, {"LISTNUM", 90},      {"HTMLCONTROL", 91},  {"BIDIOUTLINE", 92},
            {"ADDRESSBLOCK", 93}, {"GREETINGLINE", 94}, {"SHAPE", 95},
        };
        QHash<QString, int> h;
        for (auto [name, type] : list)
            h.insert(QString::fromLatin1(name), type);
        return h;
    }();
    return types;
}

// A code whose first word Word cannot name is stored as "not parsed".
constexpr int kUnknownFieldType = 1;

// Field end flags.
constexpr uint8_t kEndNested = 0x40;
constexpr uint8_t kEndHasSeparator = 0x80;
// The separator's entry carries nothing; Word fills it so.
constexpr uint8_t kSeparatorData = 0xFF;

// A character of a code as stored: tabs and printable characters; other
// control characters have meanings of their own in the text.
char16_t storedCodeChar(char16_t c)
{
    if (c == u'\t' || isFieldMark(c))
        return c;
    if (c < 0x20 || c == 0xFFFC || c == kFieldPlaceholder || c == 0x2028 || c == 0x2029)
        return 0;
    return c;
}

} // namespace

QString fieldKeyword(QStringView code)
{
    qsizetype i = 0;
    while (i < code.size() && code[i].isSpace())
        ++i;
    // "=" is a keyword of its own and may touch what follows it.
    if (i < code.size() && code[i] == u'=')
        return QStringLiteral("=");
    const qsizetype start = i;
    while (i < code.size() && !code[i].isSpace() && code[i].unicode() >= 0x20 && code[i] != u'\\')
        ++i;
    return code.mid(start, i - start).toString().toUpper();
}

int fieldTypeOfKeyword(const QString& keyword)
{
    return fieldTypes().value(keyword, 0);
}

QString readableFieldCode(const QString& code)
{
    QString out;
    out.reserve(code.size());
    int depth = 0;
    int hiddenFrom = -1; // the depth whose result is being left out
    for (QChar c : code) {
        switch (c.unicode()) {
        case kFieldBegin:
            ++depth;
            if (hiddenFrom < 0)
                out += QLatin1Char('{');
            break;
        case kFieldSeparator:
            if (depth > 0 && hiddenFrom < 0)
                hiddenFrom = depth;
            break;
        case kFieldEnd:
            if (depth == 0)
                break;
            if (hiddenFrom == depth)
                hiddenFrom = -1;
            if (hiddenFrom < 0)
                out += QLatin1Char('}');
            --depth;
            break;
        default:
            if (hiddenFrom < 0)
                out += c;
        }
    }
    for (; depth > 0; --depth)
        out += QLatin1Char('}');
    return out;
}

QString balancedFieldCode(const QString& code)
{
    QString out;
    out.reserve(code.size() + 4);
    std::vector<bool> separated; // per open nested field
    for (QChar c : code) {
        switch (c.unicode()) {
        case kFieldBegin:
            separated.push_back(false);
            out += c;
            break;
        case kFieldSeparator:
            if (!separated.empty() && !separated.back()) {
                separated.back() = true;
                out += c;
            }
            break;
        case kFieldEnd:
            if (!separated.empty()) {
                separated.pop_back();
                out += c;
            }
            break;
        default: out += c;
        }
    }
    out += QString(qsizetype(separated.size()), QChar(kFieldEnd));
    return out;
}

namespace {

// The number as the code's format switch asks for it.
QString formattedFieldNumber(int n, const QString& code)
{
    const qsizetype at = code.indexOf(QLatin1String("\\*"));
    if (at >= 0) {
        const QString format = fieldKeyword(QStringView(code).mid(at + 2));
        const bool lower = !format.isEmpty() && code.mid(at + 2).trimmed().front().isLower();
        if (format == QLatin1String("ROMAN"))
            return formatListNumber(n, lower ? NumberLowerRoman : NumberUpperRoman);
        if (format == QLatin1String("ALPHABETIC"))
            return formatListNumber(n, lower ? NumberLowerLetter : NumberUpperLetter);
    }
    return QString::number(n);
}

} // namespace

void setPageFieldResults(QTextDocument& story, int page, int pageCount)
{
    struct Result {
        int id;
        int from, to;
        QTextCharFormat format;
        QString text;
    };
    std::vector<Result> results;
    for (QTextBlock b = story.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            // A page number may also stand inside another field's result.
            const std::optional<FieldInfo> field = innermostFieldOf(frag.charFormat());
            if (!field)
                continue;
            const QString keyword = fieldKeyword(field->code);
            const int n = keyword == QLatin1String("PAGE") ? page
                : keyword == QLatin1String("NUMPAGES") || keyword == QLatin1String("SECTIONPAGES") ? pageCount
                                                                                                 : -1;
            if (n < 0)
                continue;
            const int end = frag.position() + frag.length();
            if (!results.empty() && results.back().id == field->id) {
                results.back().to = end;
                continue;
            }
            QTextCharFormat format = frag.charFormat();
            if (std::vector<FieldInfo> nested = nestedFieldsOf(format); !nested.empty()) {
                nested.back().placeholder = false;
                nested.back().withoutSeparator = false;
                setNestedFields(format, nested);
            } else {
                format.clearProperty(FieldPlaceholderProperty);
                format.clearProperty(FieldWithoutSeparatorProperty);
            }
            results.push_back({field->id, frag.position(), end, format, formattedFieldNumber(n, field->code)});
        }
    }
    QTextCursor cursor(&story);
    for (auto r = results.rbegin(); r != results.rend(); ++r) {
        cursor.setPosition(r->from);
        cursor.setPosition(r->to, QTextCursor::KeepAnchor);
        cursor.insertText(r->text, r->format);
    }
}

std::optional<FieldInfo> fieldOf(const QTextFormat& f)
{
    if (!f.hasProperty(FieldCodeProperty))
        return std::nullopt;
    FieldInfo info;
    info.code = f.stringProperty(FieldCodeProperty);
    info.id = f.intProperty(FieldIdProperty);
    info.type = f.intProperty(FieldTypeProperty);
    info.placeholder = f.boolProperty(FieldPlaceholderProperty);
    info.withoutSeparator = f.boolProperty(FieldWithoutSeparatorProperty);
    return info;
}

void setField(QTextCharFormat& f, const FieldInfo& field)
{
    f.setProperty(FieldCodeProperty, field.code);
    f.setProperty(FieldIdProperty, field.id);
    if (field.type)
        f.setProperty(FieldTypeProperty, field.type);
    else
        f.clearProperty(FieldTypeProperty);
    if (field.placeholder)
        f.setProperty(FieldPlaceholderProperty, true);
    else
        f.clearProperty(FieldPlaceholderProperty);
    if (field.withoutSeparator)
        f.setProperty(FieldWithoutSeparatorProperty, true);
    else
        f.clearProperty(FieldWithoutSeparatorProperty);
}

namespace {

constexpr int kNestedPlaceholder = 1;
constexpr int kNestedWithoutSeparator = 2;

} // namespace

std::vector<FieldInfo> nestedFieldsOf(const QTextFormat& f)
{
    std::vector<FieldInfo> out;
    if (!f.hasProperty(FieldNestingProperty))
        return out;
    const QVariantList list = f.property(FieldNestingProperty).toList();
    out.reserve(size_t(std::min<qsizetype>(list.size(), kMaxFieldNesting)));
    for (const QVariant& v : list) {
        if (v.typeId() != QMetaType::QVariantList || out.size() + 1 >= kMaxFieldNesting)
            break;
        const QVariantList entry = v.toList();
        if (entry.size() < 4)
            break;
        FieldInfo info;
        info.code = entry[0].toString();
        info.id = entry[1].toInt();
        info.type = entry[2].toInt();
        const int flags = entry[3].toInt();
        info.placeholder = flags & kNestedPlaceholder;
        info.withoutSeparator = flags & kNestedWithoutSeparator;
        out.push_back(info);
    }
    return out;
}

void setNestedFields(QTextCharFormat& f, const std::vector<FieldInfo>& nested)
{
    if (nested.empty()) {
        f.clearProperty(FieldNestingProperty);
        return;
    }
    QVariantList list;
    list.reserve(qsizetype(nested.size()));
    for (const FieldInfo& info : nested) {
        const int flags = (info.placeholder ? kNestedPlaceholder : 0) | (info.withoutSeparator ? kNestedWithoutSeparator : 0);
        list.push_back(QVariantList{info.code, info.id, info.type, flags});
    }
    f.setProperty(FieldNestingProperty, list);
}

std::vector<FieldInfo> fieldChainOf(const QTextFormat& f)
{
    std::vector<FieldInfo> chain;
    const std::optional<FieldInfo> outer = fieldOf(f);
    if (!outer)
        return chain;
    chain.push_back(*outer);
    const std::vector<FieldInfo> nested = nestedFieldsOf(f);
    chain.insert(chain.end(), nested.begin(), nested.end());
    // Only the field nearest the text may stand for an empty result.
    for (size_t k = 0; k + 1 < chain.size(); ++k) {
        chain[k].placeholder = false;
        chain[k].withoutSeparator = false;
    }
    return chain;
}

std::optional<FieldInfo> innermostFieldOf(const QTextFormat& f)
{
    std::vector<FieldInfo> chain = fieldChainOf(f);
    if (chain.empty())
        return std::nullopt;
    return chain.back();
}

void readFieldTable(ByteView plc, int32_t base, FieldTypes& out)
{
    // n + 1 CPs, then n entries of two bytes.
    if (plc.size() < 4 + 4 + 2)
        return;
    const qint64 n = (plc.size() - 4) / 6;
    for (qint64 i = 0; i < n; ++i) {
        const uint8_t ch = plc.u8(4 * (n + 1) + 2 * i) & 0x1F;
        if (ch != kFieldBegin)
            continue;
        const qint64 cp = qint64(base) + plc.i32(4 * i);
        if (cp < 0 || cp > INT32_MAX)
            continue;
        out.emplace_back(int32_t(cp), plc.u8(4 * (n + 1) + 2 * i + 1));
    }
}

FieldReader::FieldReader(const char16_t* text, int32_t from, int32_t to, const FieldTypes& types, int& nextId)
    : types_(types), nextId_(nextId)
{
    // Pair the marks the way the reading will: what is left without a
    // partner is read as nothing.
    struct Open {
        int32_t begin;
        int32_t separator = -1;
    };
    std::vector<Open> stack;
    for (int32_t cp = from; cp < to; ++cp) {
        switch (text[cp]) {
        case kFieldBegin: stack.push_back({cp}); break;
        case kFieldSeparator:
            if (stack.empty() || stack.back().separator >= 0)
                ignored_.push_back(cp);
            else
                stack.back().separator = cp;
            break;
        case kFieldEnd:
            if (stack.empty())
                ignored_.push_back(cp);
            else
                stack.pop_back();
            break;
        default: break;
        }
    }
    for (const Open& o : stack) {
        ignored_.push_back(o.begin);
        if (o.separator >= 0)
            ignored_.push_back(o.separator);
    }
    std::sort(ignored_.begin(), ignored_.end());
}

bool FieldReader::ignored(int32_t cp)
{
    while (ignoredAt_ < ignored_.size() && ignored_[ignoredAt_] < cp)
        ++ignoredAt_;
    return ignoredAt_ < ignored_.size() && ignored_[ignoredAt_] == cp;
}

QString* FieldReader::code()
{
    if (levels_.empty() || !open_[levels_.back().open].inCode)
        return nullptr;
    return &levels_.back().info.code;
}

void FieldReader::updateNesting()
{
    if (levels_.size() < 2) {
        nesting_ = QVariant();
        return;
    }
    std::vector<FieldInfo> nested;
    nested.reserve(levels_.size() - 1);
    for (size_t k = 1; k < levels_.size(); ++k)
        nested.push_back(levels_[k].info);
    QTextCharFormat f;
    setNestedFields(f, nested);
    nesting_ = f.property(FieldNestingProperty);
}

bool FieldReader::mark(int32_t cp, char16_t ch, bool deleted, int position)
{
    // Marks are paired beforehand; should the reader skip some text, an
    // end or separator with nothing open still counts for nothing.
    if (ignored(cp) || (ch != kFieldBegin && open_.empty()))
        return false;
    switch (ch) {
    case kFieldBegin: begin(cp, deleted); return false;
    case kFieldSeparator: separator(deleted, position); return false;
    default: return end(deleted, position);
    }
}

void FieldReader::begin(int32_t cp, bool deleted)
{
    // A field begun in a result (or the first one) is kept as a field of its
    // own; one begun in a code is part of that code.
    if (openCodes_ == 0 && levels_.size() < kMaxFieldNesting) {
        Level level;
        level.info.id = ++nextId_;
        auto it = std::lower_bound(types_.begin(), types_.end(), std::make_pair(cp, uint8_t(0)));
        if (it != types_.end() && it->first == cp)
            level.info.type = it->second;
        level.info.withoutSeparator = true;
        level.open = open_.size();
        levels_.push_back(level);
        open_.push_back({true, true});
    } else {
        if (QString* c = code(); c && !deleted)
            *c += QChar(kFieldBegin);
        open_.push_back({true, false});
    }
    ++openCodes_;
}

void FieldReader::separator(bool deleted, int position)
{
    Open& o = open_.back();
    if (!o.kept) {
        // A mark of a field inside a code belongs to the code.
        if (QString* c = code(); c && !deleted)
            *c += QChar(kFieldSeparator);
    }
    if (!o.inCode)
        return; // a second separator
    o.inCode = false;
    --openCodes_;
    if (o.kept) {
        levels_.back().info.withoutSeparator = false;
        levels_.back().resultPosition = position;
        updateNesting();
    }
}

bool FieldReader::end(bool deleted, int position)
{
    const Open o = open_.back();
    if (o.inCode)
        --openCodes_;
    open_.pop_back();
    if (!o.kept) {
        if (QString* c = code(); c && !deleted)
            *c += QChar(kFieldEnd);
        return false;
    }
    const Level level = levels_.back();
    levels_.pop_back();
    ended_.clear();
    for (const Level& l : levels_)
        ended_.push_back(l.info);
    ended_.push_back(level.info);
    updateNesting();
    return !deleted && (level.resultPosition < 0 || level.resultPosition == position);
}

void FieldReader::codeChar(char16_t ch, bool deleted)
{
    QString* c = code();
    if (deleted || !c)
        return;
    if (const char16_t stored = storedCodeChar(ch))
        *c += QChar(stored);
}

QTextCharFormat FieldReader::resultFormat(const QTextCharFormat& plain) const
{
    QTextCharFormat f = plain;
    FieldInfo info = levels_.front().info;
    info.withoutSeparator = false;
    setField(f, info);
    if (nesting_.isValid())
        f.setProperty(FieldNestingProperty, nesting_);
    return f;
}

QTextCharFormat FieldReader::placeholderFormat(const QTextCharFormat& plain) const
{
    // The placeholder stands for the field that ended; the fields around it
    // are in their results.
    QTextCharFormat f = plain;
    std::vector<FieldInfo> chain = ended_;
    chain.back().placeholder = true;
    for (size_t k = 0; k + 1 < chain.size(); ++k)
        chain[k].withoutSeparator = false;
    setField(f, chain.front());
    chain.erase(chain.begin());
    setNestedFields(f, chain);
    return f;
}

FieldWriter::FieldWriter(Append append, std::function<int32_t()> position)
    : append_(std::move(append)), position_(std::move(position))
{
}

void FieldWriter::markAt(char16_t ch, uint8_t data, const CharProps& chp)
{
    entries_.push_back({position_(), uint8_t(ch), data});
    CharProps special = chp;
    special.special = true;
    append_(QString(QChar(ch)), special);
}

void FieldWriter::writeCode(const QString& code, const CharProps& chp)
{
    // Nested fields: each mark goes into the table, begin marks with the
    // type of the code that follows them.
    std::vector<bool> separated;
    QString run;
    auto flush = [&] {
        if (!run.isEmpty())
            append_(run, chp);
        run.clear();
    };
    const QString balanced = balancedFieldCode(code);
    for (qsizetype i = 0; i < balanced.size(); ++i) {
        const char16_t c = storedCodeChar(balanced[i].unicode());
        if (!c)
            continue;
        if (!isFieldMark(c)) {
            run += QChar(c);
            continue;
        }
        flush();
        if (c == kFieldBegin) {
            const int type = fieldTypeOfKeyword(fieldKeyword(QStringView(balanced).mid(i + 1)));
            markAt(c, uint8_t(type ? type : kUnknownFieldType), chp);
            separated.push_back(false);
        } else if (c == kFieldSeparator) {
            markAt(c, kSeparatorData, chp);
            separated.back() = true;
        } else {
            markAt(c, uint8_t(kEndNested | (separated.back() ? kEndHasSeparator : 0)), chp);
            separated.pop_back();
        }
    }
    flush();
}

void FieldWriter::open(const FieldInfo& field, const CharProps& chp)
{
    // The type comes from the code, which may have been edited; the
    // stored one stands for codes this table does not know.
    int type = fieldTypeOfKeyword(fieldKeyword(field.code));
    if (!type)
        type = field.type > 0 && field.type < 0x100 ? field.type : kUnknownFieldType;
    markAt(kFieldBegin, uint8_t(type), chp);
    writeCode(field.code, chp);
    FieldInfo opened = field;
    opened.withoutSeparator = field.withoutSeparator && field.placeholder;
    if (!opened.withoutSeparator)
        markAt(kFieldSeparator, kSeparatorData, chp);
    open_.push_back(opened);
}

void FieldWriter::writeWhole(const QString& code, const CharProps& chp, const CharProps& separator,
                             const std::function<void()>& result)
{
    enterResult(chp);
    const int type = fieldTypeOfKeyword(fieldKeyword(code));
    markAt(kFieldBegin, uint8_t(type ? type : kUnknownFieldType), chp);
    writeCode(code, chp);
    markAt(kFieldSeparator, kSeparatorData, separator);
    result();
    markAt(kFieldEnd, kEndHasSeparator, chp);
}

void FieldWriter::enterResult(const CharProps& chp)
{
    if (open_.empty() || !open_.back().withoutSeparator)
        return;
    markAt(kFieldSeparator, kSeparatorData, chp);
    open_.back().withoutSeparator = false;
}

void FieldWriter::closeTo(size_t keep)
{
    while (open_.size() > keep) {
        markAt(kFieldEnd, open_.back().withoutSeparator ? 0 : kEndHasSeparator, openProps_);
        open_.pop_back();
    }
}

namespace {

bool sameField(const FieldInfo& a, const FieldInfo& b)
{
    return a.id == b.id && a.code == b.code;
}

// How many of the open fields the run at `chain` goes on with.
size_t commonFields(const std::vector<FieldInfo>& open, const std::vector<FieldInfo>& chain)
{
    size_t k = 0;
    while (k < open.size() && k < chain.size() && sameField(open[k], chain[k]))
        ++k;
    return k;
}

} // namespace

QString FieldWriter::beforeRun(const QTextCharFormat& format, const CharProps& chp, const QString& text)
{
    const std::vector<FieldInfo> chain = fieldChainOf(format);
    closeTo(commonFields(open_, chain));
    if (chain.empty())
        return text;
    for (size_t k = open_.size(); k < chain.size(); ++k) {
        // A field nested in another goes into its result.
        enterResult(chp);
        open(chain[k], chp);
    }
    openProps_ = chp;
    QString result = text;
    if (chain.back().placeholder)
        result.remove(QChar(kFieldPlaceholder));
    // Text typed into a field that had no result: it becomes one.
    if (!result.isEmpty())
        enterResult(chp);
    return result;
}

void FieldWriter::beforeBlockEnd(const QTextBlock& block, bool cellEnd)
{
    if (open_.empty())
        return;
    // Fields go on into the next paragraph of the same frame as far as its
    // first run continues them; the others end here.
    size_t keep = 0;
    const QTextBlock next = block.next();
    if (!cellEnd && next.isValid() && next.begin() != next.end()
        && QTextCursor(block).currentFrame() == QTextCursor(next).currentFrame())
        keep = commonFields(open_, fieldChainOf(next.begin().fragment().charFormat()));
    closeTo(keep);
}

void FieldWriter::close()
{
    closeTo(0);
}

QByteArray FieldWriter::table(int32_t from, int32_t to) const
{
    auto first = std::lower_bound(entries_.begin(), entries_.end(), from,
                                  [](const Entry& e, int32_t cp) { return e.cp < cp; });
    auto last = std::lower_bound(first, entries_.end(), to, [](const Entry& e, int32_t cp) { return e.cp < cp; });
    if (first == last)
        return {};
    QByteArray out;
    ByteWriter w(out);
    for (auto it = first; it != last; ++it)
        w.i32(it->cp - from);
    w.i32(to - from);
    for (auto it = first; it != last; ++it) {
        w.u8(it->ch);
        w.u8(it->data);
    }
    return out;
}

} // namespace talvora::word
