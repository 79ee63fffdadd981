#include "demo_command.h"

#include "demo_texts.h"
#include "boilerplates/boilerplate_selection.h"
#include "common/errors.h"
#include "data/data_module.h"
#include "data/query_dataset.h"
#include "data/unit_of_work.h"
#include "data/values.h"
#include "db_tool.h"
#include "patient/patient_card.h"
#include "service/department_import.h"
#include "templates/document_assembly.h"
#include "ui/dialog_service.h"
#include "word/document_io.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"
#include "word/view/text_edits.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace talvora::tools {

namespace {

using data::Params;

// Nobody to ask while the demo is written: questions answer No, and what
// would be shown is kept for the report.
class QuietDialogs : public DialogService {
public:
    explicit QuietDialogs(QStringList& notices) : notices_(notices) {}
    bool confirm(const QString&, const QString&) override { return false; }
    bool confirmOrCancel(const QString&, const QString&) override { return false; }
    void notice(const QString& text, const QString&) override { notices_ << text; }
    void error(const QString& text, const QString&) override { notices_ << text; }
    QString input(const QString&, const QString&, const QString& defaultText) override { return defaultText; }
    QString openFileName(const FileDialogRequest&) override { return {}; }
    QString saveFileName(const FileDialogRequest&) override { return {}; }

private:
    QStringList& notices_;
};

class DialogsInUse {
public:
    explicit DialogsInUse(DialogService* service) : before_(setDialogs(service)) {}
    ~DialogsInUse() { setDialogs(before_); }
    DialogsInUse(const DialogsInUse&) = delete;
    DialogsInUse& operator=(const DialogsInUse&) = delete;

private:
    DialogService* before_;
};

enum Sex { Male = 1, Female = 2 };

// The seeded draws.
class Dice {
public:
    explicit Dice(quint32 seed) : g_(seed) {}
    // lo..hi, both included.
    int between(int lo, int hi) { return hi <= lo ? lo : lo + int(g_.bounded(quint32(hi - lo + 1))); }
    bool percent(int share) { return between(1, 100) <= share; }
    QString pick(const QJsonArray& texts) { return texts.at(between(0, int(texts.size()) - 1)).toString(); }
    QJsonValue pickValue(const QJsonArray& values) { return values.at(between(0, int(values.size()) - 1)); }

private:
    QRandomGenerator g_;
};

QJsonObject demoData()
{
    QFile f(QStringLiteral(":/starter/demo.json"));
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Нет данных демонстрационных пациентов (demo.json) в программе"));
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &e);
    if (!doc.isObject())
        throw Error(QStringLiteral("demo.json: %1").arg(e.errorString()));
    return doc.object();
}

// A value of a form's row or blank: a text, a choice of texts ([…]), a
// number range ("4.0..5.0", decimals as written, shown with a comma), or
// either of them by sex ({"male": …, "female": …}).
QString drawValue(const QJsonValue& spec, Dice& dice, int sex)
{
    if (spec.isObject())
        return drawValue(spec.toObject().value(sex == Female ? QStringLiteral("female") : QStringLiteral("male")), dice, sex);
    if (spec.isArray())
        return drawValue(dice.pickValue(spec.toArray()), dice, sex);
    const QString text = spec.toString();
    const qsizetype dots = text.indexOf(QStringLiteral(".."));
    if (dots <= 0)
        return text;
    const QString lo = text.left(dots), hi = text.mid(dots + 2);
    const auto decimals = [](const QString& n) { return n.contains(u'.') ? int(n.size() - n.indexOf(u'.') - 1) : 0; };
    const int places = std::max(decimals(lo), decimals(hi));
    const double scale = std::pow(10.0, places);
    const int from = int(std::lround(lo.toDouble() * scale)), to = int(std::lround(hi.toDouble() * scale));
    return QString::number(dice.between(from, to) / scale, 'f', places).replace(u'.', u',');
}

QString cellText(const QTextTableCell& cell)
{
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c.selectedText().trimmed();
}

// A paragraph's text changed in place: only the part that differs is
// replaced, in the format of its first character, so that a bold heading
// before it stays bold.
void replaceInBlock(QTextBlock block, const QString& before, const QString& after)
{
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(before.size(), after.size());
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const int from = block.position() + int(prefix);
    QTextCursor c(block);
    c.setPosition(from);
    c.setPosition(from + int(before.size() - prefix - suffix), QTextCursor::KeepAnchor);
    QTextCharFormat format = c.charFormat();
    if (c.hasSelection()) {
        QTextCursor first(block);
        first.setPosition(from + 1);
        format = first.charFormat();
    }
    c.insertText(after.mid(prefix, after.size() - prefix - suffix), format);
}

struct FilledBoilerplate {
    QByteArray document;
    QString text;
};

// A boilerplate document with its blanks filled in for the patient, and
// its plain text as the boilerplate's own is kept (paragraphs separated by
// '\r').
FilledBoilerplate filledBoilerplate(const QByteArray& blob, const DemoTexts& texts, const DemoCase& patient, QRandomGenerator& random)
{
    word::Document doc = word::documentFromBlob(blob);
    QTextDocument& text = doc.text();
    std::vector<QTextBlock> blocks;
    QStringList before;
    for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
        blocks.push_back(b);
        before << b.text();
    }
    const QStringList after = texts.fill(before, patient, random);
    for (size_t i = blocks.size(); i-- > 0;) {
        const QTextBlock b = blocks[i];
        if (!after[qsizetype(i)].isNull()) {
            if (after[qsizetype(i)] != before[qsizetype(i)])
                replaceInBlock(b, before[qsizetype(i)], after[qsizetype(i)]);
            continue;
        }
        // A paragraph left with nothing to say goes with its paragraph mark.
        QTextCursor c(b);
        if (b.next().isValid()) {
            c.setPosition(b.position());
            c.setPosition(b.next().position(), QTextCursor::KeepAnchor);
        } else if (b.previous().isValid()) {
            c.setPosition(b.previous().position() + b.previous().length() - 1);
            c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
        } else {
            c.setPosition(b.position());
            c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
        }
        c.removeSelectedText();
    }
    QTextCursor all(&text);
    all.setPosition(word::lastPosition(text), QTextCursor::KeepAnchor);
    return {word::blobFromDocument(doc), word::wordText(all)};
}

// The form filled in as a doctor fills it: the empty result cells of the
// rows `rows` names, and the "____" blank after each prefix `blanks` names
// ("$date" is the day of the investigation).
QByteArray filledForm(const QByteArray& form, const QJsonObject& rows, const QJsonObject& blanks, Dice& dice, int sex,
                      const QDate& date)
{
    word::Document doc = word::documentFromBlob(form);
    QTextDocument& text = doc.text();
    for (QTextFrame* frame : text.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        for (int r = 1; r < table->rows(); ++r) {
            const QJsonValue spec = rows.value(cellText(table->cellAt(r, 0)));
            if (spec.isUndefined())
                continue;
            for (int c = 1; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.column() != c || cell.row() != r || !cellText(cell).isEmpty())
                    continue;
                QTextCursor at = cell.firstCursorPosition();
                at.insertText(drawValue(spec, dice, sex));
            }
        }
    }
    for (auto it = blanks.begin(); it != blanks.end(); ++it) {
        const QString value = it.value().toString() == u"$date" ? date.toString(QStringLiteral("dd.MM.yyyy"))
                                                                : drawValue(it.value(), dice, sex);
        for (QTextBlock b = text.begin(); b.isValid(); b = b.next()) {
            const QString line = b.text();
            const qsizetype at = line.indexOf(it.key());
            if (at < 0)
                continue;
            const qsizetype from = line.indexOf(u'_', at + it.key().size());
            if (from < 0)
                break;
            qsizetype to = from;
            while (to < line.size() && line[to] == u'_')
                ++to;
            QTextCursor c(b);
            c.setPosition(b.position() + int(from));
            c.setPosition(b.position() + int(to), QTextCursor::KeepAnchor);
            c.insertText(value);
            break;
        }
    }
    return word::blobFromDocument(doc);
}

QJsonObject merged(QJsonObject base, const QJsonObject& over)
{
    for (auto it = over.begin(); it != over.end(); ++it)
        base.insert(it.key(), it.value());
    return base;
}

struct FormTemplate {
    qint64 type = 0;
    QByteArray document;
};

struct Boilerplate {
    QString text;
    QByteArray document;
};

struct Department {
    qint64 key = 0;
    QHash<QString, FormTemplate> forms; // by name, the first in key order
    QByteArray defaultTemplate;
    qint64 summaryType = 0;
    std::map<std::tuple<int, int, int>, std::optional<Boilerplate>> boilerplates; // kind, age, sex
    std::map<int, int> lastCaseNumber;                                              // by year
    std::vector<QByteArray> assembled; // summaries to copy for patients not assembled
    int patients = 0;
};

Department describeDepartment(data::Database& db, qint64 key)
{
    Department d;
    d.key = key;
    {
        data::QueryDataset q(QStringLiteral("forms"), db);
        q.setLazyMemos(false);
        q.setSqlText(QStringLiteral("select ShId, ShName, ShType, Sh_def, ShRes from SHablon where ShOtd = :o order by ShId"));
        q.setParam(QStringLiteral("o"), key);
        q.open();
        for (int r = 0; r < q.recordCount(); ++r) {
            q.moveTo(r);
            const QString name = q.field(QStringLiteral("ShName")).asString();
            if (!d.forms.contains(name))
                d.forms.insert(name, {q.field(QStringLiteral("ShType")).value().toLongLong(),
                                      q.field(QStringLiteral("ShRes")).asBytes()});
            if (d.defaultTemplate.isEmpty() && q.field(QStringLiteral("Sh_def")).asInteger() == 1)
                d.defaultTemplate = q.field(QStringLiteral("ShRes")).asBytes();
        }
    }
    if (d.defaultTemplate.isEmpty())
        throw Error(QStringLiteral("В отделении %1 нет шаблона выписки по умолчанию").arg(key));
    {
        // The summary's type: "Выписка" as the starter department names it, or
        // the wizard's "Выписки".
        data::QueryDataset q(QStringLiteral("types"), db);
        q.setSqlText(QStringLiteral("select VTid, VTName from VipisType where VTOtd = :o order by VTid"));
        q.setParam(QStringLiteral("o"), key);
        q.open();
        for (int r = 0; r < q.recordCount(); ++r) {
            q.moveTo(r);
            const QString name = q.field(QStringLiteral("VTName")).asString().trimmed();
            const qint64 type = q.field(QStringLiteral("VTid")).value().toLongLong();
            if (name == u"Выписка") {
                d.summaryType = type;
                break;
            }
            if (d.summaryType == 0 && name.startsWith(QStringLiteral("Выписк")))
                d.summaryType = type;
        }
    }
    if (d.summaryType == 0)
        throw Error(QStringLiteral("В отделении %1 нет типа документа «Выписка»").arg(key));
    return d;
}

// The first department in key order, and the second neurology department:
// found by its name, or made as the wizard makes it.
std::pair<qint64, qint64> departments(data::TDM& dm, const QJsonObject& second, bool& made)
{
    data::Database& db = *dm.Pacents;
    data::QueryDataset all(QStringLiteral("departments"), db);
    all.setSqlText(QStringLiteral("select OID, Oboln, Ootd from Otdelen order by OID"));
    all.open();
    if (all.isEmpty())
        throw Error(QStringLiteral("В базе нет ни одного отделения: сначала talvora-db init"));
    all.first();
    const qint64 first = all.field(QStringLiteral("OID")).value().toLongLong();
    const QString hospital = all.field(QStringLiteral("Oboln")).asString();
    const QString name = second.value(QStringLiteral("department")).toString();
    for (int r = 1; r < all.recordCount(); ++r) {
        all.moveTo(r);
        if (all.field(QStringLiteral("Oboln")).asString() == hospital && all.field(QStringLiteral("Ootd")).asString() == name)
            return {first, all.field(QStringLiteral("OID")).value().toLongLong()};
    }
    all.close();
    service::NewWorkplace workplace;
    workplace.hospital = hospital;
    workplace.department = name;
    for (const QJsonValue& t : second.value(QStringLiteral("documentTypes")).toArray())
        workplace.documentTypes << t.toString();
    service::SetupWizard wizard(dm);
    wizard.CreateWorkplace(workplace);
    service::DepartmentImport(dm).Import(first, wizard.newDepartmentKey());
    made = true;
    return {first, wizard.newDepartmentKey()};
}

int wholeYears(const QDate& from, const QDate& to)
{
    int years = to.year() - from.year();
    if (to.month() < from.month() || (to.month() == from.month() && to.day() < from.day()))
        --years;
    return years;
}

struct Drug {
    qint64 key = 0;
    QString name;
};

class DemoWriter {
public:
    DemoWriter(data::TDM& dm, const QJsonObject& data, const DemoOptions& options, DemoSummary& summary)
        : dm_(dm), db_(*dm.Pacents), data_(data), options_(options), summary_(summary), dice_(options.seed),
          texts_(DemoTexts::resource(QStringLiteral("demo_texts.json")), data.value(QStringLiteral("diagnoses")).toArray())
    {
        today_ = options.today.isValid() ? options.today : QDate::currentDate();
        data::QueryDataset drugs(QStringLiteral("drugs"), db_);
        drugs.setSqlText(QStringLiteral("select Tid, Tname_r from Treat order by Tid"));
        drugs.open();
        for (int r = 0; r < drugs.recordCount(); ++r) {
            drugs.moveTo(r);
            const QString name = drugs.field(QStringLiteral("Tname_r")).asString();
            if (!drugs_.contains(name))
                drugs_.insert(name, {drugs.field(QStringLiteral("Tid")).value().toLongLong(), name});
        }
        for (const QJsonValue& d : data.value(QStringLiteral("diagnoses")).toArray()) {
            const QJsonObject dx = d.toObject();
            diagnoses_.push_back(dx);
            totalWeight_ += std::max(1, dx.value(QStringLiteral("weight")).toInt(1));
        }
        if (totalWeight_ <= 0)
            throw Error(QStringLiteral("demo.json: нет диагнозов"));
        // The assembly reads the patient from Pac_q: one row at a time, by key.
        dm_.Pac_q->close();
        dm_.Pac_q->setSql(data::TDM::pacQStatement() << QStringLiteral("where pID = :demoPid"));
    }

    ~DemoWriter()
    {
        dm_.Pac_q->close();
        dm_.Pac_q->setSql(data::TDM::pacQStatement());
    }

    DemoWriter(const DemoWriter&) = delete;
    DemoWriter& operator=(const DemoWriter&) = delete;

    void addDepartment(Department d) { departments_.push_back(std::move(d)); }

    void run();

private:
    struct Patient {
        int sex = Male;
        QString surname, firstName, patronymic, profession;
        QDate birth, admission, discharge; // discharge null: still in hospital
        int ward = 0, weight = 0, age = 0;
        const QJsonObject* diagnosis = nullptr;
        int variant = 0; // of the diagnosis's clinical texts
        QString clinical, concomitant, complaints;
        QStringList drugs;
        QStringList comorbidities;           // their keys
        QStringList homeDrugs, lastingDrugs; // taken before admission; to go on with after discharge
        size_t department = 0;
    };

    std::vector<QDate> admissions();
    Patient draw(const QDate& admission);
    const std::optional<Boilerplate>& boilerplate(Department& d, int kind, int age, int sex);
    int caseNumber(Department& d, int year);
    void useDepartment(qint64 key);
    void write(const Patient& p, bool assemble, quint32 ordinal);
    QByteArray assembleSummary(const Department& d, qint64 patient);

    data::TDM& dm_;
    data::Database& db_;
    const QJsonObject& data_;
    const DemoOptions& options_;
    DemoSummary& summary_;
    Dice dice_;
    DemoTexts texts_;
    QDate today_;
    QHash<QString, Drug> drugs_;
    std::vector<QJsonObject> diagnoses_;
    int totalWeight_ = 0;
    std::vector<Department> departments_;
    qint64 currentDepartment_ = -1;
};

// Admission days spread evenly over the span, oldest first, so that keys and
// case-history numbers rise with time.
std::vector<QDate> DemoWriter::admissions()
{
    const int span = options_.years > 0 ? int(QDate(today_.year() - options_.years, today_.month(), 1).daysTo(today_))
                                        : 42;
    std::vector<QDate> days;
    days.reserve(size_t(options_.patients));
    for (int i = 0; i < options_.patients; ++i)
        days.push_back(today_.addDays(-dice_.between(0, span)));
    std::sort(days.begin(), days.end());
    return days;
}

DemoWriter::Patient DemoWriter::draw(const QDate& admission)
{
    Patient p;
    int w = dice_.between(1, totalWeight_);
    for (const QJsonObject& dx : diagnoses_) {
        w -= std::max(1, dx.value(QStringLiteral("weight")).toInt(1));
        if (w <= 0) {
            p.diagnosis = &dx;
            break;
        }
    }
    const QJsonObject& dx = *p.diagnosis;
    const bool vascular = dx.value(QStringLiteral("vascular")).toBool();
    // The second department takes most of the vascular patients.
    p.department = departments_.size() > 1 && dice_.percent(vascular ? 65 : 20) ? 1 : 0;

    p.sex = dice_.percent(48) ? Male : Female;
    const int side = p.sex == Male ? 0 : 1;
    p.surname = dice_.pickValue(data_.value(QStringLiteral("surnames")).toArray()).toArray().at(side).toString();
    p.firstName = dice_.pick(data_.value(p.sex == Male ? QStringLiteral("maleNames") : QStringLiteral("femaleNames")).toArray());
    p.patronymic = dice_.pickValue(data_.value(QStringLiteral("patronymics")).toArray()).toArray().at(side).toString();

    const QJsonArray ages = dx.value(QStringLiteral("age")).toArray();
    // Two draws averaged: ages gather in the middle of the diagnosis's range.
    const int lo = ages.at(0).toInt(40), hi = ages.at(1).toInt(85);
    p.age = (dice_.between(lo, hi) + dice_.between(lo, hi) + 1) / 2;
    p.birth = admission.addYears(-p.age).addDays(-dice_.between(1, 360));
    p.age = wholeYears(p.birth, admission);
    p.admission = admission;
    const QDate discharge = admission.addDays(dice_.between(7, 21));
    // Admitted in the last week: still in hospital; otherwise discharged by today.
    if (admission.daysTo(today_) >= 7)
        p.discharge = std::min(discharge, today_);

    const QJsonObject professions = data_.value(QStringLiteral("professions")).toObject();
    if (p.age >= professions.value(QStringLiteral("retiredFrom")).toInt(63) && dice_.percent(80))
        p.profession = professions.value(QStringLiteral("retired")).toArray().at(side).toString();
    else
        p.profession = dice_.pick(professions.value(p.sex == Male ? QStringLiteral("male") : QStringLiteral("female")).toArray());

    p.ward = dice_.between(1, 20);
    const QJsonArray weights = data_.value(QStringLiteral("weight")).toObject().value(p.sex == Male ? QStringLiteral("male") : QStringLiteral("female")).toArray();
    p.weight = dice_.between(weights.at(0).toInt(), weights.at(1).toInt());

    // A clinical text is a text, or a variant of the diagnosis with its own
    // findings and complaints. (The draws are those of a plain list, so
    // that the same seed keeps making the same patients.)
    const QJsonArray clinical = dx.value(QStringLiteral("clinical")).toArray();
    p.variant = dice_.between(0, int(clinical.size()) - 1);
    const QJsonObject variant = clinical.at(p.variant).toObject();
    p.clinical = clinical.at(p.variant).isObject() ? variant.value(QStringLiteral("text")).toString()
                                                   : clinical.at(p.variant).toString();
    const QString complaint = dice_.pick(variant.contains(QStringLiteral("complaints")) ? variant.value(QStringLiteral("complaints")).toArray()
                                                                                       : dx.value(QStringLiteral("complaints")).toArray());
    p.complaints = QStringLiteral("на ") + complaint + u'.';
    for (const QJsonValue& d : dx.value(QStringLiteral("drugs")).toArray())
        if (p.drugs.size() < 2 || dice_.percent(70))
            p.drugs << d.toString();
    const auto lower = [](QString name) {
        if (!name.isEmpty())
            name[0] = name[0].toLower();
        return name;
    };
    const QJsonObject regimens = data_.value(QStringLiteral("regimens")).toObject();
    // A comorbidity the variant needs (a diabetic polyneuropathy needs the
    // diabetes) is written whether drawn or not; only a drawn one draws its drug.
    QStringList needed;
    for (const QJsonValue& k : variant.value(QStringLiteral("comorbidities")).toArray())
        needed << k.toString();
    QStringList comorbid;
    for (const QJsonValue& c : data_.value(QStringLiteral("comorbidities")).toArray()) {
        const QJsonObject co = c.toObject();
        const QString key = co.value(QStringLiteral("key")).toString();
        const bool drawn = p.age >= co.value(QStringLiteral("from")).toInt() && dice_.percent(co.value(QStringLiteral("share")).toInt());
        if (!drawn && !needed.contains(key))
            continue;
        comorbid << co.value(QStringLiteral("text")).toString();
        p.comorbidities << key;
        const QJsonArray drugs = co.value(QStringLiteral("drugs")).toArray();
        if (drawn && !drugs.isEmpty()) {
            const QString drug = dice_.pick(drugs);
            if (!p.drugs.contains(drug))
                p.drugs << drug;
            p.homeDrugs << lower(drug) + u' ' + regimens.value(drug).toArray().at(0).toString();
        }
        // Taken at home and not prescribed here (metformin): goes on after discharge.
        const QJsonObject home = co.value(QStringLiteral("home")).toObject();
        if (!home.isEmpty()) {
            p.homeDrugs << home.value(QStringLiteral("name")).toString() + u' ' + home.value(QStringLiteral("dose")).toString();
            p.lastingDrugs << home.value(QStringLiteral("name")).toString();
        }
    }
    p.concomitant = comorbid.isEmpty() ? QStringLiteral("нет") : comorbid.join(u' ');
    // A clinical text that names a comorbidity the patient has not got
    // ("…гипертоническая") gives way to its other wording.
    const QJsonObject without = variant.value(QStringLiteral("textWithout")).toObject();
    for (auto it = without.begin(); it != without.end(); ++it)
        if (!p.comorbidities.contains(it.key()))
            p.clinical = it.value().toString();
    for (const QJsonValue& h : dx.value(QStringLiteral("homeDrugs")).toArray()) {
        const QJsonObject home = h.toObject();
        p.homeDrugs << home.value(QStringLiteral("name")).toString() + u' ' + home.value(QStringLiteral("dose")).toString();
        p.lastingDrugs << home.value(QStringLiteral("name")).toString();
    }
    for (const QString& d : p.drugs)
        if (regimens.value(d).toArray().at(1).toString() == u"постоянно" && !p.lastingDrugs.contains(lower(d)))
            p.lastingDrugs << lower(d);
    return p;
}

const std::optional<Boilerplate>& DemoWriter::boilerplate(Department& d, int kind, int age, int sex)
{
    const auto key = std::make_tuple(kind, age, sex);
    auto it = d.boilerplates.find(key);
    if (it != d.boilerplates.end())
        return it->second;
    std::optional<Boilerplate> found;
    if (boilerplates::SelectBoilerplates(dm_, kind, age, sex))
        found = Boilerplate{dm_.Fish_q->field(QStringLiteral("Fmem")).asString(), dm_.Fish_q->field(QStringLiteral("Fres")).asBytes()};
    return d.boilerplates.emplace(key, std::move(found)).first->second;
}

// Case-history numbers run from 1 each year in each department, after those
// a department already has for that year.
int DemoWriter::caseNumber(Department& d, int year)
{
    auto it = d.lastCaseNumber.find(year);
    if (it == d.lastCaseNumber.end()) {
        data::QueryDataset q(QStringLiteral("caseNumbers"), db_);
        q.setSqlText(QStringLiteral("select max(Phist) as n from pacient where Potd = :o and PdP >= :f and PdP <= :t"));
        q.setParam(QStringLiteral("o"), d.key);
        q.setParam(QStringLiteral("f"), QDate(year, 1, 1));
        q.setParam(QStringLiteral("t"), QDate(year, 12, 31));
        q.open();
        it = d.lastCaseNumber.emplace(year, q.isEmpty() ? 0 : q.fieldAt(0).asInteger()).first;
    }
    it->second = it->second % 32767 + 1; // a Smallint
    return it->second;
}

void DemoWriter::run()
{
    const std::vector<QDate> days = admissions();
    std::vector<Patient> patients;
    patients.reserve(days.size());
    for (const QDate& day : days)
        patients.push_back(draw(day));

    // Which discharged patients get an assembled summary: the most recent
    // ones and the first few of each department (copied for the others).
    constexpr int kCopiedFrom = 8;
    std::vector<bool> assemble(patients.size(), false);
    int recent = options_.assembledRecent;
    std::vector<int> firsts(departments_.size(), 0);
    for (size_t i = patients.size(); i-- > 0;)
        if (patients[i].discharge.isValid() && recent > 0) {
            assemble[i] = true;
            --recent;
        }
    for (size_t i = 0; i < patients.size(); ++i)
        if (patients[i].discharge.isValid() && firsts[patients[i].department] < kCopiedFrom) {
            assemble[i] = true;
            ++firsts[patients[i].department];
        }

    // Patients stand or fall whole; a batch of them shares one commit to the disk.
    constexpr size_t kBatch = 100;
    for (size_t from = 0; from < patients.size(); from += kBatch) {
        data::UnitOfWork batch(db_);
        for (size_t i = from; i < std::min(patients.size(), from + kBatch); ++i)
            write(patients[i], assemble[i], quint32(i));
        batch.commit();
        if (options_.progress)
            options_.progress(summary_.patients, int(patients.size()));
    }
}

// The department becomes the current one, with its template types (the
// group markers name them).
void DemoWriter::useDepartment(qint64 key)
{
    if (currentDepartment_ == key)
        return;
    if (!dm_.Otd->locate(QStringLiteral("OID"), key))
        throw Error(QStringLiteral("Нет отделения %1").arg(key));
    if (dm_.ShType->active())
        dm_.ShType->refresh();
    else
        dm_.ShType->open();
    currentDepartment_ = key;
}

QByteArray DemoWriter::assembleSummary(const Department& d, qint64 patient)
{
    useDepartment(d.key);
    data::QueryDataset& pac = *dm_.Pac_q;
    pac.close();
    pac.setParam(QStringLiteral("demoPid"), patient);
    pac.open();
    if (dm_.Nazn->active())
        dm_.Nazn->refresh();
    else
        dm_.Nazn->open();
    word::DocumentView target, aux;
    word::MarkerTextBox box;
    target.loadFromBlob(d.defaultTemplate);
    templates::DocumentAssembly(dm_).AssembleDocument(target, aux, box, {});
    return target.saveToBlob();
}

void DemoWriter::write(const Patient& p, bool assemble, quint32 ordinal)
{
    Department& d = departments_[p.department];
    useDepartment(d.key); // the boilerplates are the department's
    const QJsonObject& dx = *p.diagnosis;
    const auto anamnesis = boilerplate(d, boilerplates::Anamnesis, p.age, p.sex);
    const auto neuro = boilerplate(d, boilerplates::NeuroStatus, p.age, p.sex);
    const auto somatic = boilerplate(d, boilerplates::SomaticStatus, p.age, p.sex);
    const auto advice = boilerplate(d, boilerplates::Recommendations, p.age, p.sex);
    // The texts draw from their own generator, so that what they say
    // changes no other draw of the run.
    const quint32 textSeed[] = {options_.seed, ordinal, 0x7e575u};
    QRandomGenerator textDice(textSeed);
    DemoPerson person;
    person.sex = p.sex;
    person.age = p.age;
    person.admission = p.admission;
    person.discharge = p.discharge;
    person.profession = p.profession;
    person.diagnosis = dx.value(QStringLiteral("key")).toString();
    person.variant = p.variant;
    person.comorbidities = p.comorbidities;
    person.homeDrugs = p.homeDrugs;
    person.lastingDrugs = p.lastingDrugs;
    const DemoCase patient = texts_.prepare(person, textDice);
    const auto text = [&](const std::optional<Boilerplate>& b) { return b ? texts_.fillText(b->text, patient, textDice) : QString(); };
    FilledBoilerplate history;
    if (anamnesis && !anamnesis->document.isEmpty())
        history = filledBoilerplate(anamnesis->document, texts_, patient, textDice);
    else
        history.text = text(anamnesis);
    const QString focal = texts_.focal(patient);
    const QString status = text(neuro);

    data::UnitOfWork unit(db_);
    Params row;
    row.set(QStringLiteral("Pname"), patient::DisplayName(p.surname, p.firstName, p.patronymic));
    row.set(QStringLiteral("Phist"), caseNumber(d, p.admission.year()));
    row.set(QStringLiteral("Potd"), d.key);
    row.set(QStringLiteral("PdP"), p.admission);
    row.set(QStringLiteral("PdV"), p.discharge.isValid() ? p.discharge : data::emptyDate());
    row.set(QStringLiteral("PdiaK"), p.clinical);
    row.set(QStringLiteral("PdiaV"), p.concomitant);
    row.set(QStringLiteral("PanM"), history.text);
    row.set(QStringLiteral("PanW"), history.document);
    row.set(QStringLiteral("PanV"), p.discharge.isValid() ? dx.value(QStringLiteral("course")).toString() : QString());
    row.set(QStringLiteral("Palat"), p.ward);
    row.set(QStringLiteral("Pname_f"), p.surname);
    row.set(QStringLiteral("Pname_n"), p.firstName);
    row.set(QStringLiteral("Pname_o"), p.patronymic);
    row.set(QStringLiteral("Pprof"), p.profession);
    row.set(QStringLiteral("Pmale"), p.sex);
    row.set(QStringLiteral("PdB"), p.birth);
    row.set(QStringLiteral("Pjal"), p.complaints);
    row.set(QStringLiteral("Psomat"), text(somatic));
    row.set(QStringLiteral("Pnst"), focal.isEmpty() ? status : status + u'\r' + focal);
    row.set(QStringLiteral("Pves"), p.weight);
    row.set(QStringLiteral("Precom"), text(advice));
    const qint64 key = db_.insertRow(
        QStringLiteral("insert into pacient (Pname, Phist, Potd, PdP, PdV, PdiaK, PdiaV, PanM, PanW, PanV, Palat, Pname_f, "
                       "Pname_n, Pname_o, Pprof, Pmale, PdB, Pjal, Psomat, Pnst, Pves, Precom) values (:Pname, :Phist, "
                       ":Potd, :PdP, :PdV, :PdiaK, :PdiaV, :PanM, :PanW, :PanV, :Palat, :Pname_f, :Pname_n, :Pname_o, "
                       ":Pprof, :Pmale, :PdB, :Pjal, :Psomat, :Pnst, :Pves, :Precom)"),
        row);

    // Investigations in the first days of the stay, each written into the department's form.
    const QJsonObject forms = data_.value(QStringLiteral("forms")).toObject();
    const QJsonObject findings = dx.value(QStringLiteral("findings")).toObject();
    const QDate lastDay = p.discharge.isValid() ? p.discharge : today_;
    int n = 0;
    for (const QJsonValue& v : dx.value(QStringLiteral("investigations")).toArray()) {
        const QString name = v.toString();
        const auto form = d.forms.constFind(name);
        if (form == d.forms.constEnd())
            throw Error(QStringLiteral("В отделении %1 нет бланка «%2»").arg(d.key).arg(name));
        const QDate day = std::min(p.admission.addDays(n++ / 3), lastDay);
        const QJsonObject spec = forms.value(name).toObject();
        const QJsonObject extra = findings.value(name).toObject();
        Params inv;
        inv.set(QStringLiteral("p"), key);
        inv.set(QStringLiteral("d"), QDateTime(day, QTime(9 + dice_.between(0, 6), dice_.between(0, 59))));
        inv.set(QStringLiteral("t"), form->type);
        inv.set(QStringLiteral("n"), name);
        inv.set(QStringLiteral("r"),
                filledForm(form->document, merged(spec.value(QStringLiteral("rows")).toObject(), extra.value(QStringLiteral("rows")).toObject()),
                           merged(spec.value(QStringLiteral("blanks")).toObject(), extra.value(QStringLiteral("blanks")).toObject()),
                           dice_, p.sex, day));
        db_.insertRow(QStringLiteral("insert into Issled (Ipac, Idate, Itype, Iname, Ires) values (:p, :d, :t, :n, :r)"), inv);
        ++summary_.investigations;
    }

    // The treatment scheme, prescribed on the day of admission.
    const QJsonObject regimens = data_.value(QStringLiteral("regimens")).toObject();
    for (const QString& name : p.drugs) {
        const auto drug = drugs_.constFind(name);
        if (drug == drugs_.constEnd())
            continue; // the doctors may have taken it out of the reference
        const QJsonArray regimen = regimens.value(name).toArray();
        Params rx;
        rx.set(QStringLiteral("p"), key);
        rx.set(QStringLiteral("t"), drug->key);
        rx.set(QStringLiteral("r"), regimen.at(0).toString());
        rx.set(QStringLiteral("d"), p.admission);
        rx.set(QStringLiteral("k"), regimen.at(1).toString());
        rx.set(QStringLiteral("n"), drug->name.left(50));
        db_.insertRow(QStringLiteral("insert into Nazn (Npac, Ntr, Nrej, Ndate, Nkurs, Nname) values (:p, :t, :r, :d, :k, :n)"), rx);
        ++summary_.prescriptions;
    }

    // The discharge summary, made on the day of discharge.
    if (p.discharge.isValid()) {
        QByteArray summary;
        if (assemble || d.assembled.empty()) {
            summary = assembleSummary(d, key);
            if (d.assembled.size() < 8)
                d.assembled.push_back(summary);
            ++summary_.summariesAssembled;
        } else {
            summary = d.assembled[size_t(d.patients) % d.assembled.size()];
            ++summary_.summariesCopied;
        }
        Params doc;
        doc.set(QStringLiteral("p"), key);
        doc.set(QStringLiteral("t"), d.summaryType);
        doc.set(QStringLiteral("d"), QDateTime(p.discharge, QTime(11 + dice_.between(0, 4), dice_.between(0, 59))));
        doc.set(QStringLiteral("r"), summary);
        db_.insertRow(QStringLiteral("insert into Vipis (Vpac, Vtype, Vdate, Vres) values (:p, :t, :d, :r)"), doc);
    } else {
        ++summary_.notDischarged;
    }
    unit.commit();
    ++d.patients;
    ++summary_.patients;
}

struct CommandOptions {
    data::AliasResolver aliases;
    DemoOptions demo;
};

CommandOptions parse(const QStringList& args)
{
    CommandOptions o;
    auto number = [](const QString& flag, const QString& v, int from) {
        bool ok = false;
        const int n = v.toInt(&ok);
        if (!ok || n < from)
            throw Error(QStringLiteral("%1: ожидается целое число не меньше %2, а не «%3»").arg(flag).arg(from).arg(v));
        return n;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (i + 1 >= args.size())
            throw Error(QStringLiteral("После %1 нет значения").arg(a));
        const QString v = args[++i];
        if (a == u"--patients")
            o.demo.patients = number(a, v, 1);
        else if (a == u"--years")
            o.demo.years = number(a, v, 0);
        else if (a == u"--seed")
            o.demo.seed = quint32(number(a, v, 0));
        else if (a == u"--assembled")
            o.demo.assembledRecent = number(a, v, 0);
        else if (a == u"--alias" && v.indexOf(u'=') > 0)
            o.aliases.setDirectory(v.left(v.indexOf(u'=')), v.mid(v.indexOf(u'=') + 1));
        else
            throw Error(QStringLiteral("Неизвестный параметр «%1»").arg(a));
    }
    if (o.demo.years > 100)
        throw Error(QStringLiteral("--years: не больше 100"));
    return o;
}

} // namespace

DemoSummary addDemoPatients(const data::AliasResolver& aliases, const DemoOptions& options)
{
    requireDocumentWriter();
    DemoSummary summary;
    QuietDialogs quiet(summary.notices);
    DialogsInUse use(&quiet);
    if (!QFileInfo::exists(aliases.databaseFile(QString::fromLatin1(data::kWorkstationAlias))))
        initDatabases(aliases, true, InitContent::StarterDepartment);

    const QJsonObject data = demoData();
    data::TDM dm(aliases);
    const auto [first, second] = departments(dm, data.value(QStringLiteral("secondDepartment")).toObject(), summary.secondDepartmentMade);
    summary.departments = {first, second};
    if (dm.Sh->active())
        dm.Sh->refresh(); // the imported templates
    else
        dm.Sh->open();
    DemoWriter writer(dm, data, options, summary);
    for (qint64 key : summary.departments)
        writer.addDepartment(describeDepartment(*dm.Pacents, key));
    writer.run();
    return summary;
}

int runDemoCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    try {
        CommandOptions o = parse(args);
        if (o.demo.patients >= 2000)
            o.demo.progress = [&out, step = 0](int done, int total) mutable {
                if (done * 20 / total > step || done == total) {
                    step = done * 20 / total;
                    out << QStringLiteral("  %1 из %2").arg(done).arg(total) << Qt::endl;
                }
            };
        const DemoSummary s = addDemoPatients(o.aliases, o.demo);
        out << QStringLiteral("Добавлено пациентов: %1 (в стационаре: %2) в отделения %3 и %4%5")
                   .arg(s.patients)
                   .arg(s.notDischarged)
                   .arg(s.departments.value(0))
                   .arg(s.departments.value(1))
                   .arg(s.secondDepartmentMade ? QStringLiteral(" (второе создано)") : QString())
            << Qt::endl;
        out << QStringLiteral("Исследований: %1, назначений: %2, выписок собрано: %3, скопировано: %4")
                   .arg(s.investigations)
                   .arg(s.prescriptions)
                   .arg(s.summariesAssembled)
                   .arg(s.summariesCopied)
            << Qt::endl;
        for (const QString& n : s.notices)
            err << n << Qt::endl;
        return 0;
    } catch (const Error& e) {
        err << e.message() << Qt::endl;
    } catch (const std::exception& e) {
        err << QString::fromLocal8Bit(e.what()) << Qt::endl;
    }
    return 1;
}

} // namespace talvora::tools
