#pragma once
// The settings window: departments, template and document types, the boilerplate library.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm5 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm5(data::TDM& dm, QWidget* parent = nullptr);

private:
    data::TDM& dm_;
};

} // namespace talvora
