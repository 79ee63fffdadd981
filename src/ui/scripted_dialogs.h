#pragma once
// A DialogService for tests: the answers are given in advance, in the order
// the questions will come, and every dialog shown is recorded.
//
//     ScriptedDialogs dialogs;          // now in use by dialogs()
//     dialogs.yes().type("Новый");      // first a confirmation, then an input box
//     window.deleteSomething();
//     EXPECT_EQ(dialogs.problems(), "");
//     EXPECT_EQ(dialogs.asked().at(0).text, "Удалить документ ?");
//
// Notices and error boxes need no answer; they are only recorded. A question
// with no answer left, or with an answer of the wrong sort (text typed into a
// Yes/No box), throws UnscriptedDialog and is kept in problems(), so a test
// fails even when the code under test swallows the exception.

#include "ui/dialog_service.h"

#include <QList>
#include <QStringList>

#include <stdexcept>

namespace talvora {

enum class DialogKind { Confirm, ConfirmOrCancel, Notice, Error, Input, OpenFile, SaveFile, Folder };

// "confirm", "confirmOrCancel", "notice", "error", "input", "openFile", "saveFile", "folder"
QString dialogKindName(DialogKind kind);

struct AskedDialog {
    DialogKind kind;
    QString caption;
    // The message, or the prompt of an input box.
    QString text;
    // The default text of an input box.
    QString defaultText;
    // What a file dialog was opened with.
    FileDialogRequest file;
};

class UnscriptedDialog : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class ScriptedDialogs : public DialogService {
public:
    // Puts itself in use as dialogs(); the destructor puts back the one before.
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // The next answers, used in the order given.
    ScriptedDialogs& yes();                      // confirm, confirmOrCancel
    ScriptedDialogs& no();                       // confirm
    ScriptedDialogs& cancel();                   // confirmOrCancel, input, file dialogs
    ScriptedDialogs& type(const QString& text);  // input: OK with this text
    ScriptedDialogs& choose(const QString& path); // file and folder dialogs: this path

    // Every dialog shown so far, the unscripted ones included.
    const QList<AskedDialog>& asked() const { return asked_; }
    // The texts of the dialogs shown, in order.
    QStringList texts() const;
    // Answers not yet used.
    int pending() const { return int(answers_.size()); }
    // One line per unscripted question and per answer left unused; empty when
    // the script and the dialogs shown matched exactly.
    QString problems() const;
    // Forgets what was asked, the answers left and the problems.
    void clear();

    bool confirm(const QString& text, const QString& caption = QString()) override;
    bool confirmOrCancel(const QString& text, const QString& caption = QString()) override;
    void notice(const QString& text, const QString& caption = QString()) override;
    void error(const QString& text, const QString& caption = QString()) override;
    QString input(const QString& caption, const QString& prompt,
                  const QString& defaultText) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    QString folderName(const FileDialogRequest& request) override;

private:
    enum class Reply { Yes, No, Cancel, Text, File };
    struct Answer {
        Reply reply;
        QString value;
    };

    // Records the dialog and takes the next answer, which must be one of
    // `allowed`; otherwise records the problem and throws.
    Answer take(AskedDialog dialog, std::initializer_list<Reply> allowed);
    static QString replyName(const Answer& answer);

    QList<AskedDialog> asked_;
    QList<Answer> answers_;
    QStringList unscripted_;
    DialogService* previous_;
};

} // namespace talvora
