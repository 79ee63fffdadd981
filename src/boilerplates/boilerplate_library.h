#pragma once
// The department's boilerplate library as the settings page keeps it: the
// list of one kind (Fish_q), the page's editor following its current row,
// saving and deleting a boilerplate, and creating one through the creation
// dialog.
//
// The page's editor and its edited-document buffer belong to one
// boilerplate at a time: the one whose document the editor was loaded with.
// Saving stores the buffer only into that boilerplate, and leaving it for
// another one with unsaved changes asks first.
//
// While the page's window is hidden its editor does not follow the list
// (nothing to see, nothing to ask); showing the window reads the list again
// and the editor catches up. Others that show boilerplates are told of every
// move all the same.
//
// A new boilerplate is a begun row of the table Fish_t: BeginBoilerplate
// starts it, StoreNewBoilerplate stores it and CancelNewBoilerplate drops
// it, so that nothing half-made is ever left behind.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

namespace talvora::data {
class TDM;
class QueryDataset;
}
namespace talvora::word {
class DocumentView;
}

namespace talvora::boilerplates {

// What the creation dialog hands over on "Сохранить ".
struct NewBoilerplate {
    QString name;
    QString minText; // "от "
    QString maxText; // "до"
    int sex = 1;     // 1 "Мужской", 2 "Женский", 3 "Не важно"
    QByteArray document;
    QString text;    // the document's plain text
};

class BoilerplateLibrary : public QObject {
    Q_OBJECT

public:
    // Installs the data module's boilerplate hooks (Fish_q moved, a Fish_t
    // row about to be stored, the department moved) and gives `editor` an
    // empty document when it has none; the destructor takes them away again.
    BoilerplateLibrary(data::TDM& dm, word::DocumentView& editor, QObject* parent = nullptr);
    ~BoilerplateLibrary() override;

    word::DocumentView& editor() const { return editor_; }
    data::QueryDataset& list() const;

    // The settings page's list: every boilerplate of the current department
    // and `kind` with both bounds given. On success the kind becomes the
    // current one (kindSelected); a failure leaves the list closed and says
    // nothing. Unsaved changes in the editor are settled first (once the
    // window is shown, when it is closed).
    bool ListBoilerplates(int kind);
    // 1 to 5 after the kind chosen on the settings page, 0 when none is.
    int CurrentKind() const { return kind_; }
    // The settings window is shown: the list of the chosen kind is read
    // again and the editor brought up to date.
    void ShowSettings();

    // Loads the current boilerplate's document into the page's editor and
    // sends it to whoever else shows boilerplates (boilerplateShown). A
    // boilerplate without a document leaves the editor empty and throws
    // talvora::Error saying so; the stored row is not touched.
    void ShowCurrentBoilerplate();

    // Before a row of Fish_t is stored: reversed bounds are put in order (an
    // empty bound counts as 0).
    void FishTBeforePost();

    // "Сохранить изменения": the current boilerplate's bounds from the two
    // texts (digits only; anything else, or 999999, keeps the stored bound),
    // its name and sex from the list's current row, and the edited document
    // with its text when they are this boilerplate's. Storing is tried twice;
    // when both fail the list is read again and talvora::Error is thrown.
    void SaveBoilerplateChanges(const QString& minText, const QString& maxText);
    // "Удалить шаблон": deletes the current boilerplate at once.
    void DeleteBoilerplate();

    // "Создать шаблон ": closes the list and begins a new row for the current
    // department. Does nothing when one is begun already.
    void BeginBoilerplate();
    // "Сохранить ": stores the begun row. Returns false, storing nothing and
    // keeping the row, when the bounds are not digits and the user chooses
    // to correct them. Throws (keeping the row) when the table refuses it.
    bool StoreNewBoilerplate(const NewBoilerplate& input);
    // "Cancel" or the dialog closed: drops the begun row, reads the list again.
    void CancelNewBoilerplate();
    bool creating() const { return creating_; }

    // The edited-document buffer: the editor's document and text taken at
    // its last deactivation, and the boilerplate (FID) they belong to.
    const QByteArray& editedDocument() const { return buffer_; }
    const QString& editedText() const { return bufferText_; }
    qint64 editedBoilerplate() const { return bufferFid_; }
    // The boilerplate whose document the editor holds; 0 for none.
    qint64 shownBoilerplate() const { return shownFid_; }
    // Whether the editor holds changes not stored yet.
    bool hasUnsavedChanges() const;

    static QString boundsQuestion();
    static QString saveChangesQuestion(const QString& name);
    static QString noDocumentMessage(const QString& name);

    // The highest bound the page takes; the page's "not given" value.
    static constexpr int kNotGiven = 999999;

signals:
    // The list shows this kind now.
    void kindSelected(int kind);
    // A boilerplate became current; its document (never empty).
    void boilerplateShown(const QByteArray& blob);
    // The begun row was stored or dropped: the creation dialog is done.
    void creationFinished();

private:
    struct Quiet;

    void listMoved();
    bool editorShown() const;
    void offerToOthers();
    bool settleUnsavedChanges();
    void storeEditedDocument(qint64 fid);
    void captureEditor();
    void dropEdits();
    void loadIntoEditor(const QByteArray& blob);
    bool locateInTable(qint64 fid);
    void reopenList(qint64 stayOn);
    qint64 currentFid() const;
    QVariant currentDepartment() const;

    data::TDM& dm_;
    word::DocumentView& editor_;
    int kind_ = 1;
    bool creating_ = false;
    bool quiet_ = false;   // list moves that are not the user's: the editor is brought up to date after
    bool loading_ = false; // the editor is being loaded: its state changes are no deactivation
    bool wasActive_ = false;
    qint64 shownFid_ = 0;
    QString shownName_;
    QByteArray buffer_;
    QString bufferText_;
    qint64 bufferFid_ = 0;
};

} // namespace talvora::boilerplates
