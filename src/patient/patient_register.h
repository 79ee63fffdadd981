#pragma once
// The patient register: the operations of the patient card and of the
// patient list over the data module. The patient window shows what this
// class tells it and hands it what the doctor typed; it holds no statement
// and no rule of its own.
//
// The card's values are read from the shared query Pac_q (positioned on the
// patient selected in the list) and written through the patient table Pac_t.
// A card the doctor changed is stored before anything moves the list away
// from it, so typed text is never lost; a card that cannot be stored keeps
// the list where it is.

#include "patient_card.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace talvora::data {
class TDM;
}

namespace talvora::patient {

class PatientFilters;

class PatientRegister : public QObject {
    Q_OBJECT

public:
    // Installs the patient hooks of the data module.
    explicit PatientRegister(data::TDM& dm, QObject* parent = nullptr);
    ~PatientRegister() override;

    // What the card shows now; the window provides it. Without it the card
    // is stored as it was loaded.
    std::function<PatientCard()> readCard;
    // The course and recommendation texts of the investigations and
    // treatment window when the doctor changed them there for the patient on
    // the card; without them the stored texts stay as they are. A card with
    // such texts is stored like an edited card, and treatmentTextsStored is
    // told once they are.
    std::function<std::optional<TreatmentTexts>()> treatmentTexts;
    std::function<void()> treatmentTextsStored;

    // --- the card
    // Positions Pac_q on the patient selected in the list and shows the card.
    void LoadPatientCard();
    // Checks and stores the card, re-reads the list and shows the card again.
    void SavePatientCard();
    // Re-reads the list and shows `key` on the card again (its row was
    // written by another operation).
    void ReloadPatient(const QVariant& key);
    // Inserts a new patient "АА_Новый" admitted today and selects it by its key.
    void CreatePatient();
    // Asks, then deletes the selected patient with its investigations,
    // prescriptions and documents, all or nothing.
    void DeletePatient();

    // --- the list
    // Re-reads the list for the department under the department cursor and
    // loads the card of its first row. A filtered list stays filtered.
    void RefreshPatientList();
    // A department was chosen on the start window: a filtered list goes back
    // to the statement saved with the filters, then the list is re-read.
    void DepartmentChanged();

    // The doctor changed something on the card since it was loaded.
    void setCardEdited() { edited_ = true; }
    bool cardEdited() const { return edited_; }
    // The texts-touched flag: a patient text lost the focus since the
    // window was created or a patient was created.
    bool textsTouched() const { return textsTouched_; }
    void setTextsTouched() { textsTouched_ = true; }

    // Stores the card when the doctor changed it (or the treatment texts);
    // nothing otherwise.
    void StoreCardIfEdited();
    bool hasUnstoredChanges() const;

    // The department of the list, taken when the list is re-read; null without one.
    const QVariant& department() const { return department_; }
    QString departmentText() const;
    // The patient on the card; null when the card is empty.
    const QVariant& patientKey() const { return patientKey_; }
    const PatientCard& loadedCard() const { return loaded_; }
    // The display name of the row selected in the list.
    QString selectedName() const;

    PatientFilters& filters() { return *filters_; }
    data::TDM& dataModule() const { return dm_; }

    // Runs `f` with list moves loading no card (moves made by the program).
    void quietly(const std::function<void()>& f);

signals:
    // The card's values with the age and stay labels; an empty card when no
    // patient is selected.
    void cardLoaded(const talvora::patient::PatientCard& card, const QString& age, const QString& stay);
    void foundCountChanged(int count);
    // A department change dropped the extra filters: the panel is cleared.
    void extraFiltersDropped();

private:
    void showPatient(const QVariant& key);
    void showEmptyCard();
    void fillEmptySurname(const QVariant& key);
    void writeCard(const QVariant& key);
    // Re-reads Pac_q and the list for the current department; no card is loaded.
    void rereadList();
    void positionList(const QVariant& key);
    void leavingPatient();
    void refreshListNames();

    data::TDM& dm_;
    std::unique_ptr<PatientFilters> filters_;
    QVariant department_;
    QVariant patientKey_;
    PatientCard loaded_;
    bool edited_ = false;
    bool textsTouched_ = false;
    int quiet_ = 0; // > 0: list moves made by the register load no card
};

} // namespace talvora::patient
