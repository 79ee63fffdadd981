#pragma once
// What the patient window asks of the other windows. The start-up code hands
// these in (see Workstation); each does nothing until the window it reaches
// is built, so the patient window builds and is tested alone.

#include "patient_card.h"

#include <QString>

#include <functional>
#include <optional>

class QProgressBar;
class QWidget;

namespace talvora::word {
class DocumentView;
class MarkerTextBox;
}

namespace talvora::patient {

struct PendingDocument;

// The pieces of the tab "Отчеты" an assembly works with.
struct AssemblyParts {
    word::DocumentView* target = nullptr;
    word::DocumentView* aux = nullptr;
    word::MarkerTextBox* markerBox = nullptr;
    QWidget* progressPanel = nullptr;
    QProgressBar* progressBar = nullptr;
};

struct PatientWindowLinks {
    // The panel "Исследования и лечение".
    std::function<void()> openTreatment;
    // "редактировать" and the double-clicks on the status texts: the text
    // editor for text kind 1 (anamnesis) to 5.
    std::function<void(int kind)> editPatientText;
    // The birth date, the admission date or the sex was left: the age label
    // and the texts the card gets from the boilerplates for what it holds now.
    std::function<std::optional<FilledTexts>(const PatientCard& card)> autoFillTexts;
    // A click on the anamnesis caption: the text of the stored anamnesis
    // document; nothing when there is none (the memo keeps its text).
    std::function<std::optional<QString>()> anamnesisText;
    // A right-click on a card control or patient text while the designer's
    // insertion mode is on; `column` is the patient field it shows.
    std::function<void(const QString& column)> insertFieldMarker;
    // "Собрать документ": the document assembly on the tab's view.
    std::function<void(const AssemblyParts& parts)> assemble;
    // "Отменить сборку": the view gets back what it held before the latest assembly.
    std::function<void(word::DocumentView& view)> cancelAssembly;
    // "Сохранить": the document-type dialog, which then stores the document.
    std::function<void(const PendingDocument& document)> chooseDocumentType;
};

} // namespace talvora::patient
