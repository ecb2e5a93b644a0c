#include <gtest/gtest.h>
#include <windows.h>

TEST(Startup, Placeholder) { EXPECT_TRUE(true); }
