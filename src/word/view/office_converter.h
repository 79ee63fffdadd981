#pragma once
// Documents the program does not read itself (.docx, .odt, .rtf) are turned
// into Word 97 documents by LibreOffice, when it is installed: started
// headless with a profile of its own in a temporary folder, so that a
// LibreOffice the user has open is neither used nor disturbed, and given a
// time limit. The program needs no office suite for anything else.

#include <QByteArray>
#include <QString>

#include <chrono>

namespace talvora::word {

class OfficeConverter {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{60000};

    // `program` is the LibreOffice program to run; empty: `soffice` (or
    // `libreoffice`) looked up on PATH each time a file is converted, so a
    // LibreOffice installed while the program runs is found.
    explicit OfficeConverter(QString program = {}, std::chrono::milliseconds timeLimit = kDefaultTimeLimit);

    // The program a conversion would run now; empty when LibreOffice is not
    // installed (or the given program is not an executable file).
    QString program() const;
    bool installed() const { return !program().isEmpty(); }
    std::chrono::milliseconds timeLimit() const { return timeLimit_; }

    // The file at `path` as the bytes of a Word 97 document. The file is
    // copied into a temporary folder first (LibreOffice never touches the
    // original, whatever its name), and the folder is removed afterwards.
    // Throws talvora::Error with a Russian message when LibreOffice is not
    // installed, cannot be started, runs past the time limit (it is stopped
    // with everything it started) or makes no document.
    QByteArray convertToDoc(const QString& path) const;

private:
    QString program_;
    std::chrono::milliseconds timeLimit_;
};

} // namespace talvora::word
