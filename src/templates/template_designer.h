#pragma once
// The operations of the template designer, without its widgets: showing a
// template of the list in the designer's document, storing the document as a
// new template or into the template shown, deleting a template, the test
// assembly for the patient selected in the patient window and its cancel,
// and putting markers in at the document's selection.
//
// A template is named by its key (ShId) everywhere: the list's current row
// gives the key, and showing, deleting and the nested-template marker go
// through that key, never through a name (names repeat and may begin one
// another).
//
// The document in the view may hold edits not yet stored. Before anything
// puts another document in its place (another template shown, a new empty
// one, a test assembly) the designer asks, and only Yes goes on.

#include "templates/document_assembly.h"

#include <QObject>
#include <QString>

namespace talvora::data {
class TDM;
}

namespace talvora::word {
class DocumentView;
class MarkerTextBox;
}

namespace talvora::templates {

class TemplateOperations;

// The field number a patient window control stands for, by the column name
// it carries ("Pname_f", "PdB", "PanM", …; "age" for the age, "stay" for the
// days in hospital); letter case is ignored. 0 for a column no marker stands
// for (the sex).
int fieldNumberOfColumn(const QString& column);

// The designer's document and the hidden pieces its assembly works with.
struct DesignerViews {
    word::DocumentView* document = nullptr;
    word::DocumentView* aux = nullptr;
    word::MarkerTextBox* markerBox = nullptr;
};

class TemplateDesigner : public QObject {
    Q_OBJECT

public:
    TemplateDesigner(data::TDM& dm, TemplateOperations& operations, DocumentAssembly& assembly, DesignerViews views,
                     QObject* parent = nullptr);

    // "режим вставки полей": one switch for the whole program.
    static bool insertionMode();
    static void setInsertionMode(bool on);

    // --- markers

    // Inserts `text` after the document's selection, which grows over it, so
    // that consecutive insertions follow one another. False, and nothing
    // said, when there is no document to insert into.
    bool InsertMarker(const QString& text);
    // <!fld_N>, <!grp_N>: only while the insertion mode is on.
    bool InsertFieldMarker(int number);
    bool InsertFieldMarkerOfColumn(const QString& column);
    bool InsertGroupMarker(qint64 typeId);
    // Asks in which form the treatment is to be written: Yes <!trt_1>, No <!trt_2>.
    // Only while the insertion mode is on.
    bool InsertTreatmentMarker();
    // <!shabl_N> for the template selected in the list; nothing when none is.
    bool InsertTemplateMarker();

    // --- templates

    // The key of the template the list's current row shows (Sh_q); 0 when none.
    qint64 selectedTemplate() const;
    // The key of the template the document was shown from or stored as; 0 for
    // a new template.
    qint64 shownTemplate() const { return shown_; }

    // Re-reads the list of templates of the current department and type.
    void OpenTemplates();

    // Loads the selected template into the document (asking first when the
    // document holds unsaved edits). False when there was nothing to show or
    // the user kept the document. Throws talvora::Error when the template is
    // gone or its document cannot be read; the view is then left empty.
    bool ShowDesignerTemplate();
    // An empty document in place of the one shown (asking first, as above).
    bool NewTemplate();

    // Stores the document as a new template of the current type and
    // department under the name asked for (" .." when the question is
    // cancelled; cut to 50 characters) and returns its key. Nothing is
    // stored when anything fails: throws talvora::Error saying why (no
    // document, no name, no template type or one deleted meanwhile, the
    // database's refusal).
    qint64 StoreNewTemplate();
    // Stores the document into the template it was shown from, keeping its
    // name and type. Throws talvora::Error when no template is shown, it was
    // deleted meanwhile, or the database refuses.
    void ReplaceShownTemplate();

    // Asks "Удалить шаблон?" and on Yes deletes the selected template.
    bool DeleteSelectedTemplate();

    // Whether the document holds edits that are stored nowhere.
    bool hasUnsavedEdits() const;

    // --- the test assembly

    // Assembles the document for the patient selected in the patient
    // window, with that window's progress panel (asking first when the
    // document holds unsaved edits). Throws talvora::Error when there is no
    // document or no patient, or the assembly stops.
    bool AssembleForSelectedPatient(const AssemblyProgress& progress);
    // "<-": puts back the document as it was before the latest assembly.
    void CancelAssembly();

    static QString treatmentQuestion();
    static QString deleteQuestion();
    static QString unsavedEditsQuestion();
    static QString defaultTemplateName();

signals:
    // A template was stored or deleted: the lists of templates are read again.
    void templatesChanged();

private:
    bool mayReplaceDocument();
    void documentReplaced(qint64 shown);
    QByteArray documentToStore() const;

    data::TDM& dm_;
    TemplateOperations& operations_;
    DocumentAssembly& assembly_;
    DesignerViews views_;
    qint64 shown_ = 0;
    // The document is an assembly's result, not a template.
    bool assembled_ = false;
    // Edits that were unsaved when the latest assembly began: "<-" brings
    // them back still unsaved.
    bool unsavedBeforeAssembly_ = false;
    bool restoredUnsaved_ = false;
};

} // namespace talvora::templates
