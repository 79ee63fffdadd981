#include <QApplication>
#include <gtest/gtest.h>

// The starter department's templates are written with Qt's GUI classes.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
