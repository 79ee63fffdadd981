#pragma once
// The patient's five free texts written with the help of boilerplates: the
// anamnesis (kept as a Word document and as its plain text), the
// neurological and somatic statuses, the recommendations at discharge and
// the treatment comments. A text opens in the text editor prefilled with
// what is stored or, when nothing is, with the first boilerplate that fits
// the patient; the editor's text is written back into the patient row. The
// three card texts also fill themselves while a new patient's card is typed.
//
// The editor is not modal: what it stores goes to the patient it was opened
// for, whoever is selected meanwhile. The automatic filling never
// overwrites what the doctor wrote: it fills a text that is empty or still
// holds, unchanged, the boilerplate it was filled with.

#include "patient/patient_card.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

namespace talvora::data {
class TDM;
class TableDataset;
}
namespace talvora::patient {
class PatientRegister;
}
namespace talvora::word {
class DocumentView;
}

namespace talvora::boilerplates {

// Who and what the text editor was opened for.
struct EditorSession {
    QVariant patient; // null: not opened yet
    QString patientName;
    int kind = 0;
};

class PatientTexts : public QObject {
    Q_OBJECT

public:
    // `editor` is the text editor window's document view.
    PatientTexts(data::TDM& dm, patient::PatientRegister& patients, word::DocumentView& editor,
                 QObject* parent = nullptr);

    // "Анамнез. ", "Неврологический статус", … for a kind; empty for another number.
    static QString editorCaption(int kind);
    // The caption the editor shows: the kind's and the patient's name.
    QString windowCaption() const;

    // Fish_q becomes the boilerplates of `kind` for the patient on the card,
    // by the age today and the sex; false when none fits.
    bool SelectBoilerplatesForPatient(int kind);
    // Opens the text editor on the patient's text of `kind`.
    void EditPatientText(int kind);
    // Writes the editor's text into the patient row it was opened for and
    // shows the card again when it shows that patient.
    void StoreEditedText();
    // The age label and the three card texts for the card as typed; nothing
    // when the birth date is not a valid date.
    std::optional<patient::FilledTexts> AutoFillTexts(const patient::PatientCard& card);
    // The plain text of the patient's stored anamnesis document; nothing
    // when there is none or it cannot be read.
    std::optional<QString> RefreshAnamnesisText() const;

    const EditorSession& session() const { return session_; }

signals:
    // The editor must show itself for `kind`, titled `caption`, not saved yet.
    void editorOpened(int kind, const QString& caption);
    // A text was written into the patient row.
    void textStored(int kind, const QVariant& patient);

private:
    QVariant cardPatient() const;
    // Pac_t on the row of the patient the editor was opened for.
    data::TableDataset& patientRow() const;
    QString storedText(const char* column) const;
    std::optional<QString> firstBoilerplateText() const;
    QByteArray firstBoilerplateDocument() const;
    void showText(const QString& text);

    data::TDM& dm_;
    patient::PatientRegister& patients_;
    word::DocumentView& editor_;
    EditorSession session_;
    // The boilerplate texts the card was last filled with, and for whom.
    QVariant filledFor_;
    patient::FilledTexts filled_;
};

// A card text after a filling: the boilerplate when the text is empty or
// still the one it was last filled with; otherwise, or without a
// boilerplate, the text as it is.
QString refilled(const QString& current, const QString& lastFilled, const std::optional<QString>& boilerplate);

// The patient row's column for a text kind ("PanM", "Pnst", "Psomat",
// "Precom", "PanV"); null for another number.
const char* textColumn(int kind);

} // namespace talvora::boilerplates
