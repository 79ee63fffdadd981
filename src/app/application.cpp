#include "application.h"

#include "common/errors.h"
#include "ui/dialog_service.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace talvora {

void setUpRussianLocale(QCoreApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

TalvoraApplication::TalvoraApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Talvora"));
    setApplicationDisplayName(QStringLiteral("Talvora"));
    setUpRussianLocale(*this);
}

void showGeneralError(const std::exception& e)
{
    if (dynamic_cast<const SilentAbort*>(&e))
        return;
    if (const auto* err = dynamic_cast<const Error*>(&e)) {
        dialogs().error(err->message(), QStringLiteral("Talvora"));
        return;
    }
    dialogs().error(QString::fromLocal8Bit(e.what()), QStringLiteral("Talvora"));
}

void showGeneralError(const std::exception_ptr& e)
{
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        showGeneralError(ex);
    } catch (...) {
        dialogs().error(QStringLiteral("Непредвиденная ошибка программы."), QStringLiteral("Talvora"));
    }
}

bool TalvoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showGeneralError(std::current_exception());
        return false;
    }
}

} // namespace talvora
