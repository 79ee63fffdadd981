#pragma once
// The dose calculator.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm8 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm8(data::TDM& dm, QWidget* parent = nullptr);

private:
    data::TDM& dm_;
};

} // namespace talvora
