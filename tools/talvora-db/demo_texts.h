#pragma once
// The demo patients' texts written as a doctor writes them.
//
// The department's boilerplates are forms: blanks "___", choices
// "___ (живые / ослаблены)", "сохранено / ___", numbers to measure
// ("АД ___/___ мм рт. ст."). `DemoTexts` turns such a text into a finished
// one for a fictional patient:
//
// - rules, tried in order, find a piece of a paragraph and put a phrase in
//   its place: first those of the patient's clinical variant, then those of
//   the diagnosis (its findings replace the normal lines they are about),
//   then the general phrase tables (starter/demo_texts.json);
// - a choice nobody wrote a rule for takes its normal (first) alternative,
//   "X / ___" keeps X, and the hint in brackets after a filled blank goes;
// - whatever blank is left is taken out with its sentence, so that no "___"
//   and no half-sentence stays.
//
// A rule is {"find": PATTERN, "put": PHRASE} or {"find": PATTERN, "cases":
// [{"if": [TAG, "!TAG", …], "age": [FROM, TO], "put": PHRASE}, …]} (the
// first case that holds). PATTERN is the text itself, where "___" is any
// blank, "(…)" a bracketed hint, "…" any text (up to the rest of the
// pattern, or to the paragraph's end when it ends the pattern) and
// "{a|b}" either word; the case of letters does not matter, but a pattern
// that begins with a capital matches only where no word comes before it. PHRASE is a
// text or a list of texts to draw from, where "{a|b}" is the word for a man
// or a woman, "{n:2..5}" a number, "{date:-7..-2}" a day counted from
// admission, "{ddate:1..1}" from discharge, "{year:-10..-2}" a year
// (never before the patient was 16) and "{name}" a value of the patient
// (blood pressure, pulse, scales, …, see `DemoCase`). A replacement keeps
// the case of the first letter it replaces.
//
// Pure: everything drawn comes from the generator given, so a seed makes
// the same texts.

#include <QDate>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>

#include <memory>
#include <vector>

namespace talvora::tools {

struct DemoPerson {
    int sex = 1; // 1 a man, 2 a woman, as Pmale
    int age = 0;
    QDate admission;
    QDate discharge; // null: still in hospital
    QString profession;
    QString diagnosis; // the key of an entry of demo.json's "diagnoses"
    int variant = 0;   // which of its "clinical" entries
    QStringList comorbidities; // keys of demo.json's "comorbidities"
    QStringList homeDrugs;     // taken before admission, with the dose
    QStringList lastingDrugs;  // prescribed to be taken on after discharge
};

struct DemoTextRule;

// A patient as the texts see it: the person, the tags the rules ask for and
// the values drawn once, so that every text of the patient tells the same.
struct DemoCase {
    DemoPerson person;
    QSet<QString> tags;
    QHash<QString, QString> values;
    std::vector<const std::vector<DemoTextRule>*> rules; // variant's, diagnosis's, general
};

class DemoTexts {
public:
    // `phrases`: the general rules and tables (demo_texts.json);
    // `diagnoses`: demo.json's "diagnoses" with their own rules.
    // Throws talvora::Error on a rule that cannot be read.
    DemoTexts(const QJsonObject& phrases, const QJsonArray& diagnoses);
    ~DemoTexts();
    DemoTexts(const DemoTexts&) = delete;
    DemoTexts& operator=(const DemoTexts&) = delete;

    // The built-in tables (starter/demo_texts.json and starter/demo.json).
    static QJsonObject resource(const QString& name);

    // Draws the patient's values. Throws talvora::Error for an unknown
    // diagnosis.
    DemoCase prepare(const DemoPerson& person, QRandomGenerator& random) const;

    // The paragraphs filled in; a paragraph left with nothing to say (a
    // heading whose only sentence was an unknown blank) is a null string.
    QStringList fill(const QStringList& paragraphs, const DemoCase& patient, QRandomGenerator& random) const;
    // A memo text: paragraphs separated by '\r' (or line ends).
    QString fillText(const QString& text, const DemoCase& patient, QRandomGenerator& random) const;

    // The diagnosis's findings summed up after the neurological status.
    QString focal(const DemoCase& patient) const;

private:
    struct Diagnosis;
    const Diagnosis& diagnosis(const QString& key) const;
    QString paragraph(QString text, const DemoCase& patient, QRandomGenerator& random) const;
    QString expand(const QString& phrase, const DemoCase& patient, QRandomGenerator& random) const;

    std::vector<DemoTextRule> general_;
    std::vector<std::unique_ptr<Diagnosis>> diagnoses_;
    QJsonObject tables_;
};

// Number words agreed with their numbers: "21 балл", "23 балла",
// "стаж 22 года", "с 51 года", "в течение 3 лет".
QString agreeNumbers(QString text);

} // namespace talvora::tools
