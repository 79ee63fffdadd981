#pragma once
// The text editor of the patient's anamnesis and status texts.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm4 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm4(data::TDM& dm, QWidget* parent = nullptr);

private:
    data::TDM& dm_;
};

} // namespace talvora
