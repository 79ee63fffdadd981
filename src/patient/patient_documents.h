#pragma once
// The patient's documents (the tab "Отчеты"): the list of stored documents
// of the patient on the card, the templates to assemble them from, storing
// the document view's content as a new document of a chosen type, deleting
// one, copying one into a separate window, and the default discharge
// summary in one step.
//
// A list row names one row by its key: showing, flagging and deleting use
// that key, never a name that another row may begin with.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

namespace talvora::data {
class TDM;
}
namespace talvora::word {
class DocumentView;
}

namespace talvora::patient {

class PatientRegister;

// What "Сохранить" took: the document the view held and the patient it
// belongs to, at that moment.
struct PendingDocument {
    QVariant patient;
    QString patientName;
    QByteArray blob;
};

class PatientDocuments : public QObject {
    Q_OBJECT

public:
    // Installs the data module's hooks of the documents (Pac_q moved: the
    // list follows the patient; Sh_q moved: the default flag is shown).
    PatientDocuments(data::TDM& dm, const PatientRegister& patients, QObject* parent = nullptr);
    ~PatientDocuments() override;

    // Re-reads the document list for the patient on the card.
    void OpenPatientDocuments();
    // Loads the selected document into the view.
    void ShowStoredDocument(word::DocumentView& view);
    // The template list: the templates of the current type and department.
    void OpenTemplatesOfType();
    // Loads the template selected in the template list into the view.
    void ShowTemplate(word::DocumentView& view);
    // Marks the selected template as a default discharge summary of its
    // department, or not; errors are ignored.
    void SetDefaultTemplateFlag(bool on);

    // The view's document and the patient on the card, for "Сохранить".
    // Throws talvora::Error when there is no patient or the view is empty.
    PendingDocument CaptureDocument(const word::DocumentView& view) const;
    // Stores the captured document as a new document of the type (0 when
    // the department has none): the row and its body in one unit of work.
    // Returns the new document's key; the list shows it when it is the
    // patient on the card.
    int SaveAssembledDocument(const PendingDocument& document, const QVariant& type);
    // Asks, then deletes the selected document.
    void DeleteDocument();
    // Copies the selected document into a new separate window through the
    // auxiliary view, which is closed afterwards.
    void ExportToSeparateWord(word::DocumentView& aux);

    // The template list becomes the department's default templates, lowest
    // key first; false when there is none.
    bool OpenDefaultTemplates();

signals:
    // The selected template's default flag ("Выписка по умолч").
    void defaultFlagShown(bool on);

private:
    QVariant selectedDocument() const;
    QVariant selectedTemplate() const;

    data::TDM& dm_;
    const PatientRegister& patients_;
};

} // namespace talvora::patient
