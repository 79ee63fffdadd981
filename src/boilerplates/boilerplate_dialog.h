#pragma once
// The boilerplate creation dialog.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm10 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm10(data::TDM& dm, QWidget* parent = nullptr);

private:
    data::TDM& dm_;
};

} // namespace talvora
