// Checks the build conventions every other test relies on.
#include <gtest/gtest.h>

#include <cstring>

#include "library/core/version.h"

TEST(BuildConventions, NarrowLiteralsAreShiftJis) {
    // "ロード完了" in CP932.
    const char* text = "ロード完了";
    const unsigned char expected[] = {0x83, 0x8D, 0x81, 0x5B, 0x83, 0x68, 0x8A, 0xAE, 0x97, 0xB9, 0};
    ASSERT_EQ(std::strlen(text), sizeof(expected) - 1);
    EXPECT_EQ(0, std::memcmp(text, expected, sizeof(expected)));
}

TEST(BuildConventions, VersionTextIsSet) { EXPECT_GT(std::strlen(LibraryVersionText), 0u); }
