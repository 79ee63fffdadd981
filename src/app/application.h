#pragma once
// The application object: the program's title and Russian locale, Qt's own
// texts in Russian, and the general error display — an error that an event
// handler lets through is shown in one box and the window stays usable; a
// silent abort ends the operation without a word.

#include <QApplication>


namespace talvora {

class TalvoraApplication : public QApplication {
    Q_OBJECT

public:
    TalvoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Sets the Russian locale for the program (dates dd.MM.yyyy, decimal comma)
// whatever the system's, and installs Qt's Russian translation.
void setUpRussianLocale(QCoreApplication& app);

} // namespace talvora
