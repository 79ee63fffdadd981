#pragma once
// Investigations, the drug reference and the treatment scheme.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm6 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm6(data::TDM& dm, QWidget* parent = nullptr);

private:
    data::TDM& dm_;
};

} // namespace talvora
