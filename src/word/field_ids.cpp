#include "word/field_ids.h"

#include "word/fields.h"
#include "word/text_formats.h"

#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace talvora::word {

namespace {

void addIds(const QTextFormat& format, QSet<int>& ids)
{
    for (const FieldInfo& field : fieldChainOf(format))
        ids.insert(field.id);
}

} // namespace

void separateFieldIds(QTextDocument& doc, int from, int to)
{
    if (from >= to)
        return;
    // The part of each fragment inside the range with its fields; the ids
    // used anywhere outside it.
    struct Span {
        int from, to;
        QTextCharFormat format;
    };
    std::vector<Span> inside;
    QSet<int> insideIds, outsideIds;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat format = frag.charFormat();
            if (!format.hasProperty(FieldCodeProperty))
                continue;
            const int start = frag.position();
            const int end = start + frag.length();
            const int inFrom = std::max(start, from);
            const int inTo = std::min(end, to);
            if (inFrom < inTo) {
                inside.push_back({inFrom, inTo, format});
                addIds(format, insideIds);
            }
            if (start < from || end > to)
                addIds(format, outsideIds);
        }
    }
    if (!insideIds.intersects(outsideIds))
        return;
    QSet<int> used = insideIds + outsideIds;
    QHash<int, int> renamed;
    int next = 1;
    auto fresh = [&](int id) {
        if (!outsideIds.contains(id))
            return id;
        auto it = renamed.find(id);
        if (it == renamed.end()) {
            while (used.contains(next))
                ++next;
            used.insert(next);
            it = renamed.insert(id, next);
        }
        return *it;
    };
    for (const Span& s : inside) {
        std::vector<FieldInfo> nested = nestedFieldsOf(s.format);
        const int outer = s.format.intProperty(FieldIdProperty);
        bool changed = fresh(outer) != outer;
        for (FieldInfo& f : nested) {
            const int id = fresh(f.id);
            changed = changed || id != f.id;
            f.id = id;
        }
        if (!changed)
            continue;
        QTextCharFormat change;
        change.setProperty(FieldIdProperty, fresh(outer));
        if (!nested.empty())
            setNestedFields(change, nested);
        QTextCursor c(&doc);
        c.setPosition(s.from);
        c.setPosition(s.to, QTextCursor::KeepAnchor);
        c.mergeCharFormat(change);
    }
}

} // namespace talvora::word
