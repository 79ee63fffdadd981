#include "app/application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    talvora::TalvoraApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
