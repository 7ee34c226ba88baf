// The main of every test program linked with the library: headless SDL drivers unless
// the caller chose others (as ctest sets them), the library returned to its start
// values before each test (fresh_library.h), and a fatal failure that stops the test
// wherever it happens.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/fresh_library.h"

namespace {

class FreshLibraryForEachTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ReturnLibraryToStartValues(); }
};

// An ASSERT_* in a helper (a set-up routine called from the test body) ends only the
// helper; the test would go on with what the helper did not make. Thrown, the failure
// ends the test as it does in the test body itself.
class FatalFailureEndsTheTest : public ::testing::EmptyTestEventListener {
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (result.fatally_failed()) throw ::testing::AssertionException(result);
    }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    RememberLibraryStartValues();
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(new FreshLibraryForEachTest);
    listeners.Append(new FatalFailureEndsTheTest);  // after the printer, so the failure is shown first
    return RUN_ALL_TESTS();
}
