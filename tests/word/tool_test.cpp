// The talvora-doc command line: every command on a .doc and on a BLOB, and
// failures reported on stderr with exit status 1.

#include "test_support.h"
#include "word/document_blob.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace talvora::word;

namespace {

struct Result {
    int status = -1;
    QByteArray out, err;
};

Result tool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TALVORA_DOC_TOOL), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

TEST(Tool, CommandsOnDocAndBlob)
{
    QTemporaryDir dir;
    const QString doc = test::dataPath(QStringLiteral("plain_ru.doc"));
    const QString blob = dir.filePath(QStringLiteral("plain_ru.blob"));
    const QString unwrapped = dir.filePath(QStringLiteral("unwrapped.doc"));
    const QString again = dir.filePath(QStringLiteral("again.doc"));

    const Result text = tool({QStringLiteral("text"), doc});
    ASSERT_EQ(text.status, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.startsWith("Выписной эпикриз\n"));
    EXPECT_TRUE(text.err.isEmpty()) << text.err.toStdString();

    ASSERT_EQ(tool({QStringLiteral("wrap"), doc, blob}).status, 0);
    EXPECT_EQ(unwrapDocumentBlob(fileBytes(blob)), fileBytes(doc));
    EXPECT_EQ(tool({QStringLiteral("text"), blob}).out, text.out);
    ASSERT_EQ(tool({QStringLiteral("unwrap"), blob, unwrapped}).status, 0);
    EXPECT_EQ(fileBytes(unwrapped), fileBytes(doc));

    ASSERT_EQ(tool({QStringLiteral("roundtrip"), blob, again}).status, 0);
    EXPECT_EQ(tool({QStringLiteral("text"), again}).out, text.out);
    const Result dump = tool({QStringLiteral("dump"), again});
    ASSERT_EQ(dump.status, 0);
    EXPECT_TRUE(dump.out.contains("\"paragraphs\""));
    EXPECT_TRUE(dump.out.contains("\"marginLeft\""));
}

TEST(Tool, FromHtml)
{
    QTemporaryDir dir;
    const QString html = dir.filePath(QStringLiteral("t.html"));
    const QString out = dir.filePath(QStringLiteral("t.doc"));
    QFile f(html);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body><h1>Выписка</h1><p align=center><b>Заголовок</b></p><p>Текст <i>курсив</i></p>"
            "<table><tr><td>ячейка</td></tr></table></body></html>");
    f.close();
    ASSERT_EQ(tool({QStringLiteral("from-html"), html, out}).status, 0);
    // Table cells become paragraphs of their own for now.
    EXPECT_EQ(tool({QStringLiteral("text"), out}).out, QByteArray("Выписка\nЗаголовок\nТекст курсив\nячейка\n\n"));
    const QByteArray dump = tool({QStringLiteral("dump"), out}).out;
    EXPECT_TRUE(dump.contains("\"alignment\": \"center\""));
    EXPECT_TRUE(dump.contains("\"italic\": true"));
    // A first-level heading is twice the normal 12 pt, as Qt shows it.
    EXPECT_TRUE(dump.contains("\"headingLevel\": 1"));
    EXPECT_TRUE(dump.contains("\"size\": 24"));
}

TEST(Tool, FromHtmlFindsPicturesBesideThePage)
{
    QTemporaryDir dir;
    QImage logo(24, 16, QImage::Format_RGB32);
    logo.fill(Qt::darkGreen);
    ASSERT_TRUE(logo.save(dir.filePath(QStringLiteral("logo.png"))));
    const QString html = dir.filePath(QStringLiteral("p.html"));
    QFile f(html);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body><p>Логотип: <img src=\"logo.png\" width=48 height=32></p></body></html>");
    f.close();
    // The tool runs elsewhere than the page's folder.
    const QString out = dir.filePath(QStringLiteral("p.doc"));
    ASSERT_EQ(tool({QStringLiteral("from-html"), html, out}).status, 0);
    const QByteArray dump = tool({QStringLiteral("dump"), out}).out;
    EXPECT_TRUE(dump.contains("\"picture\"")) << dump.toStdString();
    EXPECT_TRUE(dump.contains("\"pixelWidth\": 24"));
}

TEST(Tool, FailuresGoToStderrWithStatusOne)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.blob"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("XXXX\1\0\0\0\0\0\0\0", 12);
    f.close();
    // Not "BDOC" and not a compound file: read as a .doc, it is refused.
    Result r = tool({QStringLiteral("text"), bad});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(r.err.isEmpty());
    r = tool({QStringLiteral("unwrap"), test::dataPath(QStringLiteral("plain_ru.doc")), dir.filePath(QStringLiteral("x"))});
    EXPECT_EQ(r.status, 0); // a raw .doc unwraps to itself
    r = tool({QStringLiteral("text"), dir.filePath(QStringLiteral("missing.doc"))});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("missing.doc"));
    r = tool({QStringLiteral("frobnicate")});
    EXPECT_EQ(r.status, 1);
    r = tool({QStringLiteral("wrap"), bad, dir.filePath(QStringLiteral("y"))});
    EXPECT_EQ(r.status, 1);
}
