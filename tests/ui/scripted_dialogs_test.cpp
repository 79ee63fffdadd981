#include "ui/scripted_dialogs.h"

#include <gtest/gtest.h>

using namespace talvora;

TEST(ScriptedDialogs, AnswersInOrderAndRecordsEveryDialog)
{
    DialogService* real = &dialogs();
    {
        ScriptedDialogs script;
        script.yes().no().cancel().type("Выписка").cancel().choose("/tmp/a.rar").cancel();

        EXPECT_TRUE(dialogs().confirm("Удалить документ ?"));
        EXPECT_FALSE(dialogs().confirm("Удалить шаблон?", "Шаблоны"));
        EXPECT_FALSE(dialogs().confirmOrCancel("Импортировать?"));
        dialogs().notice("Готово");
        EXPECT_EQ(dialogs().input("Новый", "Имя", "Шаблон"), "Выписка");
        EXPECT_EQ(dialogs().input("Новый", "Имя", "Шаблон"), "Шаблон");
        dialogs().error("Сбой");
        const FileDialogRequest request{"Архив", "/tmp", "base", "RAR files (*.rar)", "rar"};
        EXPECT_EQ(dialogs().openFileName(request), "/tmp/a.rar");
        EXPECT_EQ(dialogs().saveFileName(request), "");

        EXPECT_EQ(script.problems(), "");
        ASSERT_EQ(script.asked().size(), 9);
        EXPECT_EQ(script.asked()[1].caption, "Шаблоны");
        EXPECT_EQ(script.asked()[3].kind, DialogKind::Notice);
        EXPECT_EQ(script.asked()[4].kind, DialogKind::Input);
        EXPECT_EQ(script.asked()[4].text, "Имя");
        EXPECT_EQ(script.asked()[4].defaultText, "Шаблон");
        EXPECT_EQ(script.asked()[8].kind, DialogKind::SaveFile);
        EXPECT_EQ(script.asked()[8].file.defaultSuffix, "rar");
        EXPECT_EQ(script.texts().first(), "Удалить документ ?");
    }
    EXPECT_EQ(&dialogs(), real);
}

TEST(ScriptedDialogs, UnscriptedQuestionsAndLeftoverAnswersAreProblems)
{
    ScriptedDialogs script;
    EXPECT_THROW(dialogs().confirm("Удалить?"), UnscriptedDialog);
    try {
        dialogs().input("Новый", "Имя", "Шаблон");
    } catch (...) {
        // code under test that swallows every failure
    }
    EXPECT_EQ(script.problems(), "unscripted confirm \"Удалить?\": no answer left\n"
                                 "unscripted input \"Имя\": no answer left");
    script.clear();

    // Each answer fits only the dialogs that have that button.
    script.type("x");
    EXPECT_THROW(dialogs().confirm("?"), UnscriptedDialog);
    script.clear();
    script.no();
    EXPECT_THROW(dialogs().confirmOrCancel("?"), UnscriptedDialog);
    script.clear();
    script.yes();
    EXPECT_THROW(dialogs().input("c", "p", "d"), UnscriptedDialog);
    script.clear();

    script.yes().choose("/tmp/a");
    EXPECT_TRUE(dialogs().confirm("?"));
    EXPECT_EQ(script.problems(), "unused answer: choose \"/tmp/a\"");
    script.clear();
}
