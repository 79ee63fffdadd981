#pragma once
// The document-type chooser "Тип документа при сохранении", shown without
// blocking the patient window when a document is stored. It keeps the
// document and the patient taken at "Сохранить", and says whose document it
// stores, so that choosing another patient meanwhile changes nothing.

#include "patient/patient_documents.h"
#include "ui/workstation_window.h"

#include <functional>

class QLabel;
class QPushButton;

namespace talvora::data {
class TDM;
}
namespace talvora::ui {
class DBGrid;
}

namespace talvora {

class TForm7 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm7(data::TDM& dm, QWidget* parent = nullptr);

    // Shows the dialog for this document.
    void ask(const patient::PendingDocument& document);
    // "OK": stores the document with the chosen type (0 when the department
    // has none); set by the start-up.
    std::function<void(const patient::PendingDocument& document, const QVariant& type)> store;

    const patient::PendingDocument& pending() const { return pending_; }
    ui::DBGrid* typeGrid() const { return grid_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* whose() const { return whose_; }

private:
    void accept();

    data::TDM& dm_;
    ui::DBGrid* grid_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* whose_ = nullptr;
    patient::PendingDocument pending_;
};

} // namespace talvora
