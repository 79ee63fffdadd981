#pragma once
// The template designer: templates are viewed, edited, stored and test-assembled here.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm2 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    // Built before the data module; attachData connects it once that exists.
    // Creates the program's before-assembly buffer; the destructor frees it.
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;
    void attachData(data::TDM& dm);

private:
    data::TDM* dm_ = nullptr;
};

} // namespace talvora
