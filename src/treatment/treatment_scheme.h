#pragma once
// The treatment scheme of the current patient: the drugs prescribed from
// the drug reference (the table Nazn, which follows the patient), their
// regimens written by hand or by the dose calculator, and the patient's two
// free texts kept beside it, the recommendations at discharge and the course
// of treatment.
//
// A prescription copies the drug's name, so renaming or deleting the drug
// later leaves the scheme as it was written. Nothing is written when there
// is no prescription to write into: no half-made row is ever left behind.

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace talvora::data {
class TDM;
}

namespace talvora::treatment {

struct DoseResult;

// The patient the page shows, as the card stores it.
struct SchemePatient {
    QVariant key; // null: no patient
    QString name;
    QString weight; // Pves as text; empty when not given
    QString recommendations; // Precom
    QString course;          // PanV
};

// The two texts edited on the page.
struct SchemeTexts {
    QString recommendations;
    QString course;
};

class TreatmentScheme : public QObject {
    Q_OBJECT

public:
    // Installs the data module's NaznAfterInsert hook.
    explicit TreatmentScheme(data::TDM& dm, QObject* parent = nullptr);
    ~TreatmentScheme() override;

    // What the page's two memos hold now; the window provides it.
    std::function<SchemeTexts()> readTexts;
    // Stores the patient record with the card (which takes readTexts).
    std::function<void()> savePatientCard;

    // --- prescriptions
    // "Добавить в лечение": prescribes the current drug of the reference;
    // says "Сначала выбрать препарат !" and adds nothing without one.
    // Returns the new prescription's key (0 when none was added).
    qint64 AddToTreatment();
    // Fills and stores a row just inserted into Nazn from the current drug.
    void NaznAfterInsert();
    // "Убрать из схемы": asks, then deletes the current prescription.
    void RemoveFromTreatment();
    // The regimen field was left: its text becomes the current
    // prescription's regimen.
    void WriteRegimen(const QString& text);
    // A dose calculation: the regimen and both doses of the current prescription.
    void WriteDoseResult(const DoseResult& result);
    // "Сохранить изменения": the pending change of the current prescription
    // is stored, and the patient record when its texts were changed.
    void SaveChanges();

    bool hasPrescription() const;
    QString currentRegimen() const;

    // --- the patient's texts
    // Reads the patient the scheme follows (the current row of Pac_q).
    SchemePatient CurrentPatient() const;
    // The page shows `patient`; the changed mark is cleared.
    void patientShown(const QVariant& key);
    const QVariant& shownPatient() const { return shownPatient_; }
    // Any change of either memo, and the double-click on the recommendations.
    void setTextsChanged() { textsChanged_ = true; }
    bool textsChanged() const { return textsChanged_; }
    // The texts to store with the card of `patient`: only when they were
    // changed on this page for that patient.
    std::optional<SchemeTexts> PendingTexts(const QVariant& patient) const;
    // The card stored them.
    void TextsStored() { textsChanged_ = false; }

    static QString defaultRegimen(const QVariant& dosePerKg, const QVariant& intakes);

signals:
    // The scheme was re-read; the page shows the current prescription again.
    void schemeChanged();

private:
    bool requirePrescription(const QString& what) const;

    data::TDM& dm_;
    QVariant shownPatient_;
    bool textsChanged_ = false;
};

} // namespace talvora::treatment
