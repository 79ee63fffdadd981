#include "ui/scripted_dialogs.h"

#include <gtest/gtest.h>

using namespace talvora;

TEST(ScriptedDialogs, AnswersInOrderAndRecordsEveryDialog)
{
    ScriptedDialogs script;
    script.yes().no().cancel().type("Выписка").cancel().choose("/tmp/a.rar").cancel();

    EXPECT_TRUE(dialogs().confirm("Удалить документ ?"));
    EXPECT_FALSE(dialogs().confirm("Удалить шаблон?", "Шаблоны"));
    EXPECT_FALSE(dialogs().confirmOrCancel("Импортировать?"));
    dialogs().notice("Готово");
    EXPECT_EQ(dialogs().input("Новый", "Имя", "Шаблон"), "Выписка");
    EXPECT_EQ(dialogs().input("Новый", "Имя", "Шаблон"), "Шаблон");
    dialogs().error("Сбой", "Ошибка");
    const FileDialogRequest request{"Архив", "/tmp", "base", "RAR files (*.rar)", "rar"};
    EXPECT_EQ(dialogs().openFileName(request), "/tmp/a.rar");
    EXPECT_EQ(dialogs().saveFileName(request), "");

    EXPECT_EQ(script.problems(), "");
    EXPECT_EQ(script.pending(), 0);
    ASSERT_EQ(script.asked().size(), 9);
    const QList<DialogKind> kinds{DialogKind::Confirm, DialogKind::Confirm,
                                  DialogKind::ConfirmOrCancel, DialogKind::Notice,
                                  DialogKind::Input, DialogKind::Input, DialogKind::Error,
                                  DialogKind::OpenFile, DialogKind::SaveFile};
    for (int i = 0; i < kinds.size(); ++i)
        EXPECT_EQ(script.asked()[i].kind, kinds[i]) << i;
    EXPECT_EQ(script.asked()[1].caption, "Шаблоны");
    EXPECT_EQ(script.asked()[4].caption, "Новый");
    EXPECT_EQ(script.asked()[4].text, "Имя");
    EXPECT_EQ(script.asked()[4].defaultText, "Шаблон");
    EXPECT_EQ(script.asked()[6].caption, "Ошибка");
    EXPECT_EQ(script.asked()[8].file.fileName, "base");
    EXPECT_EQ(script.asked()[8].file.defaultSuffix, "rar");
    EXPECT_EQ(script.texts().first(), "Удалить документ ?");
}

TEST(ScriptedDialogs, AnUnscriptedQuestionFailsLoudlyEvenWhenSwallowed)
{
    ScriptedDialogs script;
    EXPECT_THROW(dialogs().confirm("Удалить?"), UnscriptedDialog);
    try {
        dialogs().input("Новый", "Имя", "Шаблон");
    } catch (...) {
        // code under test that swallows every failure
    }
    ASSERT_EQ(script.asked().size(), 2);
    EXPECT_EQ(script.problems(), "unscripted confirm \"Удалить?\": no answer left\n"
                                 "unscripted input \"Имя\": no answer left");
    script.clear();
    EXPECT_EQ(script.problems(), "");
    EXPECT_TRUE(script.asked().isEmpty());
}

TEST(ScriptedDialogs, AnAnswerOfTheWrongSortIsAProblem)
{
    ScriptedDialogs script;
    script.type("x");
    EXPECT_THROW(dialogs().confirm("Удалить?"), UnscriptedDialog);
    EXPECT_TRUE(script.problems().startsWith("unscripted confirm \"Удалить?\": the next answer is type \"x\""));
    script.clear();

    // No is not a button of the Yes/Cancel box; Yes is not an answer to an input box.
    script.no();
    EXPECT_THROW(dialogs().confirmOrCancel("?"), UnscriptedDialog);
    script.clear();
    script.yes();
    EXPECT_THROW(dialogs().input("c", "p", "d"), UnscriptedDialog);
    script.clear();
    script.cancel();
    EXPECT_THROW(dialogs().confirm("?"), UnscriptedDialog);
    script.clear();
    script.type("/tmp/x");
    EXPECT_THROW(dialogs().openFileName({}), UnscriptedDialog);
    script.clear();
}

TEST(ScriptedDialogs, AnswersLeftOverAreProblems)
{
    ScriptedDialogs script;
    script.yes().choose("/tmp/a");
    EXPECT_TRUE(dialogs().confirm("?"));
    EXPECT_EQ(script.pending(), 1);
    EXPECT_EQ(script.problems(), "unused answer: choose \"/tmp/a\"");
    script.clear();
}

TEST(ScriptedDialogs, PutsItselfInUseAndPutsBackTheOneBefore)
{
    DialogService* real = &dialogs();
    {
        ScriptedDialogs outer;
        EXPECT_EQ(&dialogs(), &outer);
        {
            ScriptedDialogs inner;
            EXPECT_EQ(&dialogs(), &inner);
        }
        EXPECT_EQ(&dialogs(), &outer);
    }
    EXPECT_EQ(&dialogs(), real);
}
