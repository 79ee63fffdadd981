// Widget tests need an application object; CTest runs them offscreen.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform warns about every dialog it sizes; that says nothing
// about the program.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    defaultHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
