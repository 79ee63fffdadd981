#pragma once
// The numbers that keep fields apart (FieldIdProperty and the ids of the
// fields nested in results, text_formats.h) when content is copied: a copy
// of a field is a field of its own.

class QTextDocument;

namespace talvora::word {

// Gives the fields of `doc` within [from, to) — the outermost ones and those
// nested in their results — whose ids also occur outside that range fresh
// ids, the same for all runs of one field. Pasted or inserted content is a
// copy: sharing ids with the field beside it (a second table of contents
// pasted after the first), it would be written as part of that field.
void separateFieldIds(QTextDocument& doc, int from, int to);

} // namespace talvora::word
