#include "db_tool.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int rc;
    QString out, err;
};

ToolRun tool(const QStringList& args)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    const int rc = talvora::tools::runCommandLine(args, o, e);
    o.flush();
    e.flush();
    return {rc, out, err};
}

} // namespace

TEST(DbTool, InitRefusesAnExistingDatabaseAndSqlPrintsRows)
{
    QTemporaryDir dir;
    const QStringList where = {QStringLiteral("--alias"), QStringLiteral("pacientdata=") + dir.path() + QStringLiteral("/p"),
                               QStringLiteral("--alias"), QStringLiteral("Errors=") + dir.path() + QStringLiteral("/e")};
    // The starter department needs Qt's GUI classes, which this program does not run.
    EXPECT_EQ(tool(QStringList{QStringLiteral("init"), QStringLiteral("--empty")} + where).rc, 0);
    const ToolRun again = tool(QStringList{QStringLiteral("init")} + where);
    EXPECT_EQ(again.rc, 1);
    EXPECT_FALSE(again.err.isEmpty());
    EXPECT_EQ(tool(QStringList{QStringLiteral("init"), QStringLiteral("--if-missing")} + where).rc, 0);

    auto sql = [&](const QStringList& extra) { return tool(QStringList{QStringLiteral("sql")} + where + extra); };
    EXPECT_EQ(sql({QStringLiteral("--param"), QStringLiteral("d=13.12.2002"),
                   QStringLiteral("insert into Vipis (Vpac, Vdate, Vres) values (3, :d, \"abcdef\")")})
                  .out,
              QStringLiteral("1\n"));
    const ToolRun rows = sql({QStringLiteral("select VID, Vdate, Vres from Vipis")});
    EXPECT_EQ(rows.rc, 0);
    EXPECT_EQ(rows.out, QStringLiteral("VID\tVdate\tVres\n1\t13.12.2002 00:00:00\t6\n"));
    const ToolRun bad = sql({QStringLiteral("select nothing from nowhere")});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("nowhere")));
    EXPECT_EQ(sql({QStringLiteral("--alias"), QStringLiteral("Errors"), QStringLiteral("select count(*) from Errors")}).out,
              QStringLiteral("count(*)\n0\n"));
}
