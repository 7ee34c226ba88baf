// The main of every test program linked with the library: headless SDL drivers unless
// the caller chose others (as ctest sets them), and the library returned to its start
// values before each test (fresh_library.h).
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/fresh_library.h"

namespace {

class FreshLibraryForEachTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ReturnLibraryToStartValues(); }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    RememberLibraryStartValues();
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshLibraryForEachTest);
    return RUN_ALL_TESTS();
}
