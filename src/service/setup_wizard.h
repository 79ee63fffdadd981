#pragma once
// The first-run setup wizard.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm11 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm11(data::TDM& dm, QWidget* parent = nullptr);

private:
    data::TDM& dm_;
};

} // namespace talvora
