#include "patient_filters.h"

#include "common/dates.h"
#include "common/errors.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "data/sort_query.h"
#include "data/unit_of_work.h"
#include "patient_register.h"

#include <QHash>

#include <algorithm>
#include <vector>


namespace talvora::patient {

namespace {

const QString kPid = QStringLiteral("Pid");
const QString kPotd = QStringLiteral("potd");

// Calls `row` with every patient's key (column 0) and `columns`, in one pass.
// The pass reads an index that holds those columns where there is one (the
// diagnoses, the dates), not the long rows of the cards.
template <typename Row>
void scanPatients(data::Database& db, const QString& columns, Row row)
{
    data::SqliteStatement st = db.prepareBound(
        db.translate(QStringLiteral("select PID, ") + columns + QStringLiteral(" from pacient"), data::TranslateOptions{false}),
        {});
    while (st.step())
        row(st);
}

// The keys of `keys`, in their order, whose patients pass `test` on `columns`.
template <typename Test>
QStringList keysPassing(data::Database& db, const QStringList& keys, const QString& columns, Test test)
{
    QHash<qint64, bool> passed;
    passed.reserve(keys.size());
    for (const QString& key : keys)
        passed.insert(key.toLongLong(), false);
    scanPatients(db, columns, [&](const data::SqliteStatement& st) {
        const auto it = passed.find(st.int64(0));
        if (it != passed.end())
            *it = test(st);
    });
    QStringList found;
    for (const QString& key : keys)
        if (passed.value(key.toLongLong()))
            found << key;
    return found;
}

QDate dateAt(const data::SqliteStatement& st, int col)
{
    const QVariant v = data::valueFromStatement(st, col, data::FieldType::Date);
    return v.isNull() ? EmptyDate() : v.toDate();
}

} // namespace

PatientFilters::PatientFilters(data::TDM& dm, PatientRegister& patients) : dm_(dm), patients_(patients) {}

void PatientFilters::SaveListStatement() { saved_ = dm_.pac_q1->sql(); }

bool PatientFilters::listRewritten() const { return !dm_.pac_q1->hasParam(kPotd); }

void PatientFilters::dropRewrittenStatement()
{
    data::QueryDataset& list = *dm_.pac_q1;
    list.close();
    // The saved statement may itself be a filtered one; the stored one never is.
    list.setSql(saved_.isEmpty() ? data::TDM::pacQ1Statement() : saved_);
    if (listRewritten())
        list.setSql(data::TDM::pacQ1Statement());
    saved_.clear();
    keys_.clear();
}

void PatientFilters::runList()
{
    data::QueryDataset& list = *dm_.pac_q1;
    list.run();
    list.open();
    patients_.foundCountChanged(list.recordCount());
}

void PatientFilters::RestoreListStatement()
{
    patients_.StoreCardIfEdited();
    data::QueryDataset& list = *dm_.pac_q1;
    list.close();
    list.setSql(saved_.isEmpty() ? data::TDM::pacQ1Statement() : saved_);
    if (list.hasParam(kPotd))
        list.setParam(kPotd, patients_.department());
    if (!dm_.Pac_q->active())
        dm_.Pac_q->open();
    runList();
    if (list.isEmpty())
        patients_.LoadPatientCard();
}

void PatientFilters::ShowNotDischarged()
{
    patients_.StoreCardIfEdited();
    data::QueryDataset& list = *dm_.pac_q1;
    const QVariant key = list.active() && !list.isEmpty() ? list.field(kPid).value() : QVariant();
    try {
        patients_.quietly([&] {
            list.close();
            list.setSqlLine(list.sqlLineCount() - 2, kNotDischargedLine);
            list.run();
            list.open();
            if (!key.isNull())
                list.locate(kPid, key);
        });
        patients_.foundCountChanged(list.recordCount());
        patients_.LoadPatientCard();
    } catch (const std::exception&) {
        RestoreListStatement();
    }
}

void PatientFilters::ExtraFiltersShown(bool shown)
{
    if (shown)
        SaveListStatement();
    else
        RestoreListStatement();
}

QStringList PatientFilters::listedKeys() const
{
    const data::QueryDataset& list = *dm_.pac_q1;
    QStringList keys;
    if (!list.active())
        return keys;
    const int pid = list.fieldIndex(kPid);
    if (pid < 0)
        return keys;
    keys.reserve(list.recordCount());
    for (int r = 0; r < list.recordCount(); ++r)
        keys << QString::number(list.rowValue(r, pid).toLongLong());
    return keys;
}

ExtraFilterValues PatientFilters::ApplyExtraFilters(const ExtraFilterInput& input)
{
    const ExtraFilterValues v = ReadExtraFilters(input, QDate::currentDate().year());
    RestoreListStatement();

    // The keys of the list as restored; the card does not follow this walk.
    programSwitches().CardFollowsList = false;
    keys_ = listedKeys();
    programSwitches().CardFollowsList = true;
    const QStringList all = keys_;

    WhereParts where;
    where.department = patients_.departmentText();
    where.wholeDatabase = v.wholeDatabase;
    if (!v.word.isEmpty() && FindByDiagnosisWord(v.word, v.wholeDatabase))
        where.nameCondition = KeyListCondition(kPid);
    where.admittedAfter = v.admittedAfter;
    keys_ = all;
    if ((v.ageFrom != 0 || v.ageTo != 0) && FindByAge(v.ageFrom, v.ageTo))
        where.ageCondition = KeyListCondition(kPid);
    where.historyFrom = v.historyFrom;
    where.historyTo = v.historyTo;

    data::QueryDataset& list = *dm_.pac_q1;
    const QString line = WhereLine(where);
    try {
        list.close();
        list.setSqlLine(list.sqlLineCount() - 3, line);
        runList();
        if (list.isEmpty())
            patients_.LoadPatientCard();
    } catch (const std::exception&) {
        RestoreListStatement();
    }
    return v;
}

bool PatientFilters::FindByDiagnosisWord(const QString& word, bool wholeDatabase)
{
    const QString upper = UpperCased(word);
    QStringList found;
    data::Database& db = *dm_.Pacents;
    const data::ReadTransaction snapshot(db);
    if (wholeDatabase) {
        // Every patient of every department, both diagnoses, in key order.
        std::vector<qint64> keys;
        scanPatients(db, QStringLiteral("PdiaK, PdiaV"), [&](const data::SqliteStatement& st) {
            if (DiagnosisContains(st.text(1), upper) || DiagnosisContains(st.text(2), upper))
                keys.push_back(st.int64(0));
        });
        std::sort(keys.begin(), keys.end());
        for (qint64 key : keys)
            found << QString::number(key);
    } else {
        found = keysPassing(db, keys_, QStringLiteral("PdiaK"),
                            [&](const data::SqliteStatement& st) { return DiagnosisContains(st.text(1), upper); });
    }
    if (found.isEmpty())
        return false;
    keys_ = found;
    return true;
}

bool PatientFilters::FindByAge(int from, int to)
{
    const data::ReadTransaction snapshot(*dm_.Pacents);
    const QStringList found = keysPassing(*dm_.Pacents, keys_, QStringLiteral("PdB, PdP"), [&](const data::SqliteStatement& st) {
        return AgeWithin(dateAt(st, 1), dateAt(st, 2), from, to);
    });
    if (found.isEmpty())
        return false;
    keys_ = found;
    return true;
}

QString PatientFilters::KeyListCondition(const QString& column) const
{
    return patient::KeyListCondition(keys_, column);
}

void PatientFilters::SortByColumn(const QString& field)
{
    patients_.StoreCardIfEdited();
    data::QueryDataset& list = *dm_.pac_q1;
    const QVariant key = list.active() && !list.isEmpty() ? list.field(kPid).value() : QVariant();
    patients_.quietly([&] {
        data::SortQueryByColumn(list, field);
        if (!key.isNull())
            list.locate(kPid, key);
    });
    patients_.LoadPatientCard();
}

} // namespace talvora::patient
