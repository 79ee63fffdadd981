#include "error_display.h"

#include "common/errors.h"
#include "dialog_service.h"

#include <QString>

namespace talvora::ui {

void showGeneralError(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const SilentAbort&) {
    } catch (const Error& e) {
        dialogs().error(e.message(), QStringLiteral("Talvora"));
    } catch (const std::exception& e) {
        dialogs().error(QString::fromLocal8Bit(e.what()), QStringLiteral("Talvora"));
    } catch (...) {
        dialogs().error(QStringLiteral("Непредвиденная ошибка программы."), QStringLiteral("Talvora"));
    }
}

} // namespace talvora::ui
