#pragma once
// The document assembly: the template shown in a document view becomes the
// current patient's document in place. Its markers (markers.h) are replaced
// phase by phase: nested templates first, pass after pass until none is
// left, then the fields of the patient row, the investigation documents of
// the group markers and the treatment scheme. The patient window runs it on
// its document view, the template designer on its own.
//
// The investigations are read through the assembly's own list (the data
// module's Issled_q2): a run never moves the investigations page's list nor
// loads anything into that page's editor.
//
// Documents are driven only through the views' automation calls and view
// operations; their content passes between views through the program's
// transfer buffer, never the system clipboard.
//
// A template that includes itself, directly or through others, is expanded
// once on each path: where it would come in again a blank is put instead,
// and after the run a notice (dialogs()) names the templates that loop.

#include <QByteArray>

class QProgressBar;
class QWidget;

namespace talvora::data {
class TDM;
}

namespace talvora::word {
class DocumentView;
class MarkerTextBox;
}

namespace talvora::templates {

// The patient window's progress panel "Прогресс сборки:"; either pointer may be null.
struct AssemblyProgress {
    QWidget* panel = nullptr;
    QProgressBar* bar = nullptr;
};

class DocumentAssembly {
public:
    explicit DocumentAssembly(data::TDM& dm);
    // Assembles the template held by `target` for the current patient (Pac_q's current row) in place.
    // Throws talvora::Error with the message after a run stopped by an error; the view keeps what was
    // replaced so far, and the progress panel and the verb menu are as after a normal run.
    void AssembleDocument(word::DocumentView& target, word::DocumentView& aux, word::MarkerTextBox& box,
                          const AssemblyProgress& progress);
    // Puts back the document `view` held before the latest assembly (from either window). Before any
    // assembly: throws talvora::Error saying there is nothing to undo, and leaves the view as it is.
    void CancelAssembly(word::DocumentView& view);

private:
    class Run;
    // The program's before-assembly buffer while the designer keeps one
    // (beforeAssemblyBuffer()), this object's own otherwise.
    QByteArray& beforeAssembly();

    data::TDM& dm_;
    QByteArray ownBeforeAssembly_;
};

} // namespace talvora::templates
