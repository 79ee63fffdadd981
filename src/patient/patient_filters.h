#pragma once
// The patient list's filter band: all patients or those not discharged, the
// extra filters (a word in the diagnosis, an admission date, an age range, a
// case-history range, the whole database), the found count and the title
// sorting. The filters rewrite the list statement line by line; the word and
// age conditions are worked out here and enter it as a chain of keys.

#include "list_filters.h"

#include <QStringList>

namespace talvora::data {
class TDM;
}

namespace talvora::patient {

class PatientRegister;

class PatientFilters {
public:
    PatientFilters(data::TDM& dm, PatientRegister& patients);

    // The list statement is copied aside ("показать не выписанных", the extra
    // filters opened).
    void SaveListStatement();
    // Puts the saved statement back and re-reads the list; its first patient
    // is shown.
    void RestoreListStatement();
    // "показать не выписанных" after the statement was saved: only patients
    // without a discharge date, the selected patient kept.
    void ShowNotDischarged();
    // "Дополнительные фильтры" checked (the statement is saved) or unchecked
    // (the saved statement comes back).
    void ExtraFiltersShown(bool shown);
    // "Включить фильтр!": reads the panel and rewrites the WHERE line; the
    // values read tell the panel what to colour and clear.
    ExtraFilterValues ApplyExtraFilters(const ExtraFilterInput& input);

    // Narrow the key list to the matching patients; false (list unchanged)
    // when none matches.
    bool FindByDiagnosisWord(const QString& word, bool wholeDatabase);
    bool FindByAge(int from, int to);
    QString KeyListCondition(const QString& column) const;

    // A click on a column title of the list.
    void SortByColumn(const QString& field);

    // The patient key list (decimal keys), as the last filter left it.
    const QStringList& keyList() const { return keys_; }
    void setKeyList(QStringList keys) { keys_ = std::move(keys); }
    // The keys of every row of the list, in its order.
    QStringList listedKeys() const;

    const QStringList& savedStatement() const { return saved_; }
    // Whether the list's WHERE line was rewritten by the extra filters.
    bool listRewritten() const;
    // A department change: the list goes back to the saved statement (or the
    // stored one) without being run.
    void dropRewrittenStatement();

private:
    void runList();

    data::TDM& dm_;
    PatientRegister& patients_;
    QStringList saved_;
    QStringList keys_;
};

} // namespace talvora::patient
