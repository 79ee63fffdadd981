#pragma once
// The document-type chooser shown when a document is stored.

#include "ui/workstation_window.h"

namespace talvora::data {
class TDM;
}

namespace talvora {

class TForm7 : public ui::WorkstationWindow {
    Q_OBJECT

public:
    explicit TForm7(data::TDM& dm, QWidget* parent = nullptr);

private:
    data::TDM& dm_;
};

} // namespace talvora
