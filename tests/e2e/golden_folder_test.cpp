// The golden folder holds only the files the scripted runs are compared against, so a
// stale checksum or picture (a renamed script, a mismatch picture committed by mistake)
// cannot sit there unnoticed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "golden_files.h"
#include "support/scratch_directory.h"

TEST(GoldenFolder, HoldsOnlyTheFilesTheTestsRead) { EXPECT_TRUE(HoldsOnlyGoldenFilesInUse(ZQ_GOLDEN_DIR)); }

// A copy of the files in use passes; a stray beside them, or a file taken away, is named.
TEST(GoldenFolder, AStrayOrMissingFileIsNamed) {
    ScratchDirectory scratch("zq_golden_check");
    ASSERT_FALSE(scratch.path().empty());
    const std::filesystem::path folder = scratch.path();
    for (const std::string& file : GoldenFilesInUse()) std::ofstream(folder / file) << "x";
    EXPECT_TRUE(HoldsOnlyGoldenFilesInUse(folder.string()));

    std::ofstream(folder / "full_game-690.new.png") << "x";
    ::testing::AssertionResult stray = HoldsOnlyGoldenFilesInUse(folder.string());
    EXPECT_FALSE(stray);
    EXPECT_NE(std::string::npos, std::string(stray.message()).find("no test reads (remove them, or list their set "
                                                                    "in GoldenSets): full_game-690.new.png\n"))
        << stray.message();

    std::filesystem::remove(folder / "full_game-690.new.png");
    std::filesystem::remove(folder / "title-6.png");
    ::testing::AssertionResult missing = HoldsOnlyGoldenFilesInUse(folder.string());
    EXPECT_FALSE(missing);
    EXPECT_NE(std::string::npos, std::string(missing.message()).find("lacks golden files the tests read: title-6.png"))
        << missing.message();
}
