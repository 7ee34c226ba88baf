// The tests' scratch directories: made under $TMPDIR when it is set, and removed with
// everything in them when they go, also when a failure unwinds the test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/scratch_directory.h"

TEST(ScratchDirectory, IsMadeUnderTmpdirAndGoesWithItsTree) {
    ScratchDirectory outer("zq-scratch-outer");
    ASSERT_FALSE(outer.path().empty());
    setenv("TMPDIR", outer.path().c_str(), 1);  // the test program puts it back
    char before[4096], after[4096];
    ASSERT_NE(nullptr, getcwd(before, sizeof before));
    std::string made;
    try {
        ScratchDirectory inner("zq-scratch-inner");
        made = inner.path();
        inner.write("sub/file.bin", "bytes");
        ASSERT_TRUE(inner.enter());
        throw std::runtime_error("a failing test");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(outer.path() + "/zq-scratch-inner-", made.substr(0, outer.path().size() + 18));
    EXPECT_FALSE(std::filesystem::exists(made)) << made;
    ASSERT_NE(nullptr, getcwd(after, sizeof after));
    EXPECT_STREQ(before, after) << "back where it was entered from";
    EXPECT_TRUE(std::filesystem::is_empty(outer.path()));
}
