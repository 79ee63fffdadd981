#include "application.h"

#include "ui/error_display.h"

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
    // The installed desktop entry: the window manager shows its name and icon.
    setDesktopFileName(QStringLiteral("talvora"));
    setUpRussianLocale(*this);
}

bool TalvoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ui::showGeneralError(std::current_exception());
        return false;
    }
}

} // namespace talvora
