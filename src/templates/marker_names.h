#pragma once
// What a marker stands for, in words a template author reads: the names of
// the field numbers and of the treatment forms, and the description of any
// marker text with the reason when the assembly would leave it untouched or
// stop at it.
//
// Template types and templates are named from the department's rows, which
// the caller hands in as a MarkerCatalog (the data module's lists, or plain
// lists in tests).

#include "templates/markers.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace talvora::templates {

// The Russian name of a field number ("Фамилия", "Клинический диагноз");
// empty for a number that stands for nothing.
QString fieldName(int number);

// The name of a treatment marker's form: "Лечение — одной строкой" for 1,
// "Лечение — в столбик" for any other number (the assembly writes a drug a
// line for every number but 1).
QString treatmentName(int number);

// The most digits the reading rule lets the number of a marker of this kind
// have: 7 after "<!fld_", "<!grp_" and "<!trt_", 5 after "<!shabl_".
int maxMarkerDigits(MarkerKind kind);

// A row a marker can name: a template type (ShTID, ShTName) or a template
// (ShId, ShName).
struct NamedKey {
    qint64 key = 0;
    QString name;
};

// The rows the markers of one department can name.
struct MarkerCatalog {
    // The department's template types: the assembly looks a group marker up
    // among these only.
    std::vector<NamedKey> templateTypes;
    // Templates a nested-template marker can pull in.
    std::vector<NamedKey> templates;

    const NamedKey* findType(qint64 key) const;
    const NamedKey* findTemplate(qint64 key) const;
};

struct MarkerDescription {
    // What the marker stands for ("Клинический диагноз",
    // "Исследования типа «ЭКГ»", "Шаблон «Шапка выписки»"); empty when broken.
    QString name;
    // Why the assembly would leave the marker as it is, put a blank in its
    // place or stop at it; empty when the marker is sound.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Describes the marker of this kind whose number part (everything between
// the prefix and the ">") is `number`, as written: no digits, other
// characters than digits, more digits than the reading rule allows and
// numbers that name nothing are errors.
MarkerDescription describeMarker(MarkerKind kind, QStringView number, const MarkerCatalog& catalog);
// The same for a number written as the program writes it.
MarkerDescription describeMarker(MarkerKind kind, qint64 number, const MarkerCatalog& catalog);

// A marker found in a text, positions in that text.
struct FoundMarker {
    int start = 0;
    int length = 0;
    MarkerKind kind = MarkerKind::Field;
    MarkerDescription description;

    int end() const { return start + length; }
};

// Every marker of one paragraph's text, in order. A marker is found by its
// prefix, letter case ignored, as the assembly finds it; a sound one runs to
// its ">". One that breaks the reading rule is found too: when its ">"
// follows its digits, up to that ">"; when other characters come between,
// up to the first ">" within the characters the assembly reads; without any
// such ">", the prefix and the digits after it.
std::vector<FoundMarker> findMarkers(QStringView paragraph, const MarkerCatalog& catalog);

// "<!fld_12> — клинический диагноз" for a sound marker, the marker and the
// reason for a broken one: what a tooltip shows over the marker's text.
QString markerToolTip(QStringView markerText, const MarkerDescription& description);

} // namespace talvora::templates
