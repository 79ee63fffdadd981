#pragma once
// Every message box, confirmation, input box and file dialog of the program
// goes through DialogService, so that tests can answer them from a script and
// read back what was asked (see ScriptedDialogs).
//
// Windows call dialogs() to get the service in use.

#include <QString>

class QWidget;

namespace talvora {

struct FileDialogRequest {
    QString caption;
    // The folder the dialog starts in; empty: the working directory.
    QString directory;
    // The name proposed in a save dialog (or preselected in an open dialog).
    QString fileName;
    // Qt's filter text, entries separated by ";;": "RAR files (*.rar)".
    QString filter;
    // Added to a typed name that has no extension: "rar".
    QString defaultSuffix;
};

class DialogService {
public:
    virtual ~DialogService() = default;

    // Question icon with Yes and No. True only for Yes; No, Escape and
    // closing the box are all false.
    virtual bool confirm(const QString& text, const QString& caption = QString()) = 0;
    // Question icon with Yes and Cancel. True only for Yes.
    virtual bool confirmOrCancel(const QString& text, const QString& caption = QString()) = 0;
    // A plain message box with OK.
    virtual void notice(const QString& text, const QString& caption = QString()) = 0;
    // An error box with OK.
    virtual void error(const QString& text, const QString& caption = QString()) = 0;
    // A one-line input box. Cancelling gives back `defaultText`.
    virtual QString input(const QString& caption, const QString& prompt,
                          const QString& defaultText) = 0;
    // The chosen file's path; empty when the user cancels.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    virtual QString saveFileName(const FileDialogRequest& request) = 0;
    // A folder chooser (caption and starting folder of the request); the
    // chosen folder, empty when the user cancels. By default the folder of a
    // file picked in an open dialog.
    virtual QString folderName(const FileDialogRequest& request);
};

// The dialogs a user sees: QMessageBox, QInputDialog, QFileDialog, modal to
// the active window (or to `parent` when one is given). Button texts are
// Qt's standard ones, translated with Qt's own translations.
class QtDialogService : public DialogService {
public:
    explicit QtDialogService(QWidget* parent = nullptr);

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
    QWidget* parentWidget() const;
    QWidget* parent_;
};

// The service in use: a QtDialogService unless another was set.
DialogService& dialogs();
// Puts `service` in use; nullptr goes back to the QtDialogService. The caller
// keeps ownership. Returns the service that was set before (nullptr for the
// default one).
DialogService* setDialogs(DialogService* service);

} // namespace talvora
