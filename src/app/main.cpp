#include "application.h"
#include "common/errors.h"
#include "ui/dialog_service.h"
#include "workstation.h"

int main(int argc, char** argv)
{
    talvora::TalvoraApplication app(argc, argv);
    std::unique_ptr<talvora::Workstation> workstation;
    try {
        workstation = std::make_unique<talvora::Workstation>();
    } catch (const talvora::Error& e) {
        talvora::dialogs().error(talvora::startupFailureMessage(e.message()), QStringLiteral("Talvora"));
        return 1;
    }
    workstation->show();
    return app.exec();
}
