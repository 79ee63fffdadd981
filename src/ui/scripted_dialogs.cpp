#include "scripted_dialogs.h"

#include <QtGlobal>

#include <algorithm>

namespace talvora {

QString dialogKindName(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Confirm: return QStringLiteral("confirm");
    case DialogKind::ConfirmOrCancel: return QStringLiteral("confirmOrCancel");
    case DialogKind::Notice: return QStringLiteral("notice");
    case DialogKind::Error: return QStringLiteral("error");
    case DialogKind::Input: return QStringLiteral("input");
    case DialogKind::OpenFile: return QStringLiteral("openFile");
    case DialogKind::SaveFile: return QStringLiteral("saveFile");
    case DialogKind::Folder: return QStringLiteral("folder");
    }
    return QStringLiteral("?");
}

ScriptedDialogs::ScriptedDialogs() : previous_(setDialogs(this)) {}

ScriptedDialogs::~ScriptedDialogs()
{
    setDialogs(previous_);
    const QString left = problems();
    if (!left.isEmpty())
        qWarning("ScriptedDialogs: the script did not match the dialogs shown:\n%s",
                 qPrintable(left));
}

ScriptedDialogs& ScriptedDialogs::yes()
{
    answers_.append({Reply::Yes, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::no()
{
    answers_.append({Reply::No, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::cancel()
{
    answers_.append({Reply::Cancel, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::type(const QString& text)
{
    answers_.append({Reply::Text, text});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::choose(const QString& path)
{
    answers_.append({Reply::File, path});
    return *this;
}

QStringList ScriptedDialogs::texts() const
{
    QStringList result;
    for (const AskedDialog& dialog : asked_)
        result << dialog.text;
    return result;
}

QString ScriptedDialogs::problems() const
{
    QStringList lines = unscripted_;
    for (const Answer& answer : answers_)
        lines << QStringLiteral("unused answer: %1").arg(replyName(answer));
    return lines.join(u'\n');
}

void ScriptedDialogs::clear()
{
    asked_.clear();
    answers_.clear();
    unscripted_.clear();
}

QString ScriptedDialogs::replyName(const Answer& answer)
{
    switch (answer.reply) {
    case Reply::Yes: return QStringLiteral("yes");
    case Reply::No: return QStringLiteral("no");
    case Reply::Cancel: return QStringLiteral("cancel");
    case Reply::Text: return QStringLiteral("type \"%1\"").arg(answer.value);
    case Reply::File: return QStringLiteral("choose \"%1\"").arg(answer.value);
    }
    return QStringLiteral("?");
}

ScriptedDialogs::Answer ScriptedDialogs::take(AskedDialog dialog,
                                              std::initializer_list<Reply> allowed)
{
    asked_.append(dialog);
    QString problem;
    if (answers_.isEmpty()) {
        problem = QStringLiteral("unscripted %1 \"%2\": no answer left")
                      .arg(dialogKindName(dialog.kind), dialog.text);
    } else if (std::find(allowed.begin(), allowed.end(), answers_.first().reply)
               == allowed.end()) {
        problem = QStringLiteral("unscripted %1 \"%2\": the next answer is %3")
                      .arg(dialogKindName(dialog.kind), dialog.text, replyName(answers_.first()));
    }
    if (!problem.isEmpty()) {
        unscripted_ << problem;
        throw UnscriptedDialog(problem.toStdString());
    }
    return answers_.takeFirst();
}

bool ScriptedDialogs::confirm(const QString& text, const QString& caption)
{
    return take({DialogKind::Confirm, caption, text, {}, {}}, {Reply::Yes, Reply::No}).reply
           == Reply::Yes;
}

bool ScriptedDialogs::confirmOrCancel(const QString& text, const QString& caption)
{
    return take({DialogKind::ConfirmOrCancel, caption, text, {}, {}},
                {Reply::Yes, Reply::Cancel})
               .reply
           == Reply::Yes;
}

void ScriptedDialogs::notice(const QString& text, const QString& caption)
{
    asked_.append({DialogKind::Notice, caption, text, {}, {}});
}

void ScriptedDialogs::error(const QString& text, const QString& caption)
{
    asked_.append({DialogKind::Error, caption, text, {}, {}});
}

QString ScriptedDialogs::input(const QString& caption, const QString& prompt,
                               const QString& defaultText)
{
    const Answer answer =
        take({DialogKind::Input, caption, prompt, defaultText, {}}, {Reply::Text, Reply::Cancel});
    return answer.reply == Reply::Text ? answer.value : defaultText;
}

QString ScriptedDialogs::openFileName(const FileDialogRequest& request)
{
    const Answer answer = take({DialogKind::OpenFile, request.caption, request.caption, {}, request},
                               {Reply::File, Reply::Cancel});
    return answer.reply == Reply::File ? answer.value : QString();
}

QString ScriptedDialogs::saveFileName(const FileDialogRequest& request)
{
    const Answer answer = take({DialogKind::SaveFile, request.caption, request.caption, {}, request},
                               {Reply::File, Reply::Cancel});
    return answer.reply == Reply::File ? answer.value : QString();
}

QString ScriptedDialogs::folderName(const FileDialogRequest& request)
{
    const Answer answer = take({DialogKind::Folder, request.caption, request.caption, {}, request},
                               {Reply::File, Reply::Cancel});
    return answer.reply == Reply::File ? answer.value : QString();
}

} // namespace talvora
