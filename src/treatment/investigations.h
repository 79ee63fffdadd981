#pragma once
// The investigations of the current patient (the page "Исследования"): the
// investigation list and the template lists, by template type or all of
// them, showing an investigation or a template in the page's editor,
// storing the editor's document as a new investigation or a new template,
// and deleting either.
//
// A list row names its row by its key (Iid, ShId): showing and deleting use
// that key, and a new row is found by the key its insert returned, never by
// a name that another row may begin with.
//
// Automatic display: a move of the investigation list (while automatic
// display is on) or of the template list Sh_q shows the new row in the
// editor. It never throws away the doctor's work: when the editor's
// document was changed since it was loaded, an automatic display leaves it
// in place; asked for with a button, the replacement is confirmed first.

#include <QObject>
#include <QString>
#include <QVariant>

class QDateTime;

namespace talvora::data {
class TDM;
class QueryDataset;
class TableDataset;
}
namespace talvora::templates {
class TemplateOperations;
}
namespace talvora::word {
class DocumentView;
}

namespace talvora::treatment {

class Investigations : public QObject {
    Q_OBJECT

public:
    enum class Display {
        Automatic, // a list moved: a changed document stays, errors are shown, not thrown
        OnRequest, // a button: a changed document is replaced only on Yes
    };

    // Installs the data module's hooks of automatic display (Issled_q and
    // Sh_q moved) and gives `editor` an empty document when it has none;
    // the destructor takes the hooks away again.
    Investigations(data::TDM& dm, templates::TemplateOperations& templates, word::DocumentView& editor,
                   QObject* parent = nullptr);
    ~Investigations() override;

    word::DocumentView& editor() const { return editor_; }

    // The filter switch: off means every investigation and template of the
    // patient and department, on only those of the current template type.
    bool filterOff() const { return filterOff_; }
    // Sets the switch and applies it (ApplyInvestigationFilter).
    void setFilterOff(bool off);
    bool autoDisplay() const { return autoDisplay_; }

    // Re-reads the template list and the investigation list after the
    // filter switch (the template list first, so that the investigation
    // shown wins over the template).
    void ApplyInvestigationFilter();
    // A type was chosen in the type list: its templates and investigations.
    void ApplyTypeFilter();

    // Loads the current investigation's result into the editor.
    void ShowInvestigationResult(Display how = Display::OnRequest);
    // Loads the template selected in the list shown (Sh_q, or Sh_q_all with
    // the filter off) into the editor.
    void ShowSelectedTemplate(Display how = Display::OnRequest);

    // Asks for a name and stores the editor's document as a new
    // investigation of the current patient under the current template type
    // (also with the filter off): the row and its document in one
    // statement. Returns the new Iid; the list stands on it. Throws
    // talvora::Error, storing nothing, when there is no patient or the
    // editor holds nothing.
    qint64 AddInvestigation();
    // Writes the editor's document and the current time into investigation
    // `iid`. Throws talvora::Error when the editor holds nothing or the row
    // is gone.
    void StoreInvestigationResult(qint64 iid);
    // Asks, then deletes the current investigation and re-reads the lists.
    void DeleteInvestigation();

    // With the filter on: asks for a name and stores the editor's document
    // as a new template of the current type and department; returns its
    // ShId, and the template list stands on it. With the filter off: says
    // that a type is needed, stores nothing, switches the filter on and
    // returns 0.
    qint64 AddTemplate();
    // Asks, then deletes the template selected in the list shown, and only
    // that one.
    void DeleteSelectedTemplate();

    // The lists the page shows: the template types of the department
    // (ShType), the investigations (Issled_q) and the template list shown:
    // Sh_q_all with the filter off, Sh_q with it on.
    data::TableDataset& templateTypes() const;
    data::QueryDataset& investigationList() const;
    data::QueryDataset& templateList() const;
    // The name of the current patient (Pac_q's current row); empty without one.
    QString patientName() const;

    static QString deleteInvestigationQuestion(const QString& name);
    static QString deleteTemplateQuestion();
    static QString templateTypeNeeded();

signals:
    // The filter switch was applied; the page shows the matching lists.
    void filterApplied(bool off);

private:
    struct AutoDisplayPause;

    void showAutomatically(Display what);
    bool mayReplaceEditorDocument(Display how, const QString& what) const;
    void loadIntoEditor(const QByteArray& blob, const QString& what);
    QByteArray editorDocument() const;
    void writeResult(qint64 iid, const QByteArray& document, const QDateTime& when);
    void reopenInvestigations();

    data::TDM& dm_;
    templates::TemplateOperations& templates_;
    word::DocumentView& editor_;
    bool filterOff_ = false;
    bool autoDisplay_ = true;
};

} // namespace talvora::treatment
