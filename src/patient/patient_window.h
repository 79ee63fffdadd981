#pragma once
// The patient window: the card, the patient list with its filters, the documents.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm3 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    // Building the window reads the patient list of the current department.
    explicit TForm3(data::TDM& dm, QWidget* parent = nullptr);

    // Re-reads the patient list for the department under the department
    // cursor and loads its first patient into the card.
    void RefreshPatientList();
    // The department key of the list, taken when the list is re-read.
    const QVariant& currentDepartment() const { return department_; }

private:
    data::TDM& dm_;
    QVariant department_;
};

} // namespace talvora
