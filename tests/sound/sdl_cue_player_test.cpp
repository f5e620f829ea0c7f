#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sound_test_support.h"
#include "sound/sdl_cue_player.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::WaitUntil;
using testing::WriteBytes;
using testing::WriteCue;

// Cue lengths: "click" and "short" end quickly; "medium" ends while the test
// still watches; "long" outlasts every test (the player halts it when it goes).
constexpr int kClickMs = 100;
constexpr int kShortMs = 200;
constexpr int kMediumMs = 400;
constexpr int kLongMs = 30000;

class SdlCuePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // ctest sets the same; this lets the binary also run on its own.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        WriteCue(folder_.Path(), "click", kClickMs);
        WriteCue(folder_.Path(), "short", kShortMs);
        WriteCue(folder_.Path(), "medium", kMediumMs);
        WriteCue(folder_.Path(), "long", kLongMs);
    }

    std::unique_ptr<SdlCuePlayer> MakePlayer() {
        const std::string directory = folder_.Path().string();
        return std::make_unique<SdlCuePlayer>([directory] { return directory; });
    }

    TempFolder folder_;
};

TEST_F(SdlCuePlayerTest, PlayCueReturnsOnlyAfterTheCueHasFinished) {
    auto player = MakePlayer();
    player->playAndWait("short");
    EXPECT_EQ(player->PlaysStarted(), 1);
    EXPECT_FALSE(player->IsSounding());
}

TEST_F(SdlCuePlayerTest, PlayCueAsyncReturnsWhileItsCueGoesOnSounding) {
    auto player = MakePlayer();
    player->play("long");
    EXPECT_TRUE(WaitUntil([&] { return player->IsSounding(); }));
    EXPECT_EQ(player->PlaysStarted(), 1);
}

TEST_F(SdlCuePlayerTest, PlayCueIsSkippedWhileAnAsyncCueSounds) {
    auto player = MakePlayer();
    player->play("long");
    ASSERT_TRUE(WaitUntil([&] { return player->IsSounding(); }));
    player->playAndWait("click");
    EXPECT_EQ(player->PlaysStarted(), 1);
    EXPECT_TRUE(player->IsSounding()) << "the skipped click must not stop the cue";
}

TEST_F(SdlCuePlayerTest, PlayCueRightAfterPlayCueAsyncIsDecidedAfterTheAsyncCueStarted) {
    auto player = MakePlayer();
    player->play("long");
    player->playAndWait("click");
    EXPECT_EQ(player->PlaysStarted(), 1);
    EXPECT_TRUE(player->IsSounding());
}

TEST_F(SdlCuePlayerTest, PlayCuePlaysOnceTheAsyncCueHasEnded) {
    auto player = MakePlayer();
    player->play("short");
    ASSERT_TRUE(WaitUntil([&] { return player->PlaysStarted() == 1 && !player->IsSounding(); }));
    player->playAndWait("click");
    EXPECT_EQ(player->PlaysStarted(), 2);
    EXPECT_FALSE(player->IsSounding());
}

TEST_F(SdlCuePlayerTest, SecondAsyncCueReplacesTheFirstAndOutlivesItsEnd) {
    auto player = MakePlayer();
    player->play("medium");
    ASSERT_TRUE(WaitUntil([&] { return player->IsSounding(); }));
    player->play("long");
    ASSERT_TRUE(WaitUntil([&] { return player->PlaysStarted() == 2; }));
    // Past the point where "medium" would have ended on its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * kMediumMs));
    EXPECT_TRUE(player->IsSounding());
    player->playAndWait("click");
    EXPECT_EQ(player->PlaysStarted(), 2);
}

TEST_F(SdlCuePlayerTest, AsyncCueWithAMissingFileStillStopsTheSoundingCue) {
    auto player = MakePlayer();
    player->play("long");
    ASSERT_TRUE(WaitUntil([&] { return player->IsSounding(); }));
    player->play("missing");
    // Decided once the missing cue has been handled: nothing sounds any more.
    player->playAndWait("click");
    EXPECT_EQ(player->PlaysStarted(), 2);
    EXPECT_FALSE(player->IsSounding());
}

TEST_F(SdlCuePlayerTest, AsyncCueWithAMissingFileDoesNotCountAsSounding) {
    auto player = MakePlayer();
    player->play("missing");
    player->playAndWait("click");
    EXPECT_EQ(player->PlaysStarted(), 1);
}

TEST_F(SdlCuePlayerTest, FileIsReadAnewAtEveryPlay) {
    auto player = MakePlayer();
    const fs::path file = folder_.Path() / "cue.wav";
    player->playAndWait("cue");
    EXPECT_EQ(player->PlaysStarted(), 0);
    WriteCue(folder_.Path(), "cue", kClickMs);
    player->playAndWait("cue");
    EXPECT_EQ(player->PlaysStarted(), 1);
    WriteBytes(file, {'n', 'o', 'i', 's', 'e'});
    player->playAndWait("cue");
    EXPECT_EQ(player->PlaysStarted(), 1);
    fs::remove(file);
    player->play("cue");
    player->playAndWait("cue");
    EXPECT_EQ(player->PlaysStarted(), 1);
    WriteCue(folder_.Path(), "cue", kClickMs);
    player->playAndWait("cue");
    EXPECT_EQ(player->PlaysStarted(), 2);
}

TEST_F(SdlCuePlayerTest, DirectoryIsAskedAnewAtEveryCall) {
    TempFolder other;
    WriteCue(other.Path(), "only-there", kClickMs);
    std::string directory = folder_.Path().string();
    SdlCuePlayer player([&directory] { return directory; });
    player.playAndWait("only-there");
    EXPECT_EQ(player.PlaysStarted(), 0);
    directory = other.Path().string();
    player.playAndWait("only-there");
    EXPECT_EQ(player.PlaysStarted(), 1);
    player.play("only-there");
    EXPECT_TRUE(WaitUntil([&] { return player.PlaysStarted() == 2; }));
}

TEST_F(SdlCuePlayerTest, CueInADirectoryWithAJapaneseNamePlays) {
    // ケーキの音 in UTF-8, the bytes the file system holds.
    const fs::path japanese =
        folder_.Path() / "\xE3\x82\xB1\xE3\x83\xBC\xE3\x82\xAD\xE3\x81\xAE\xE9\x9F\xB3";
    fs::create_directory(japanese);
    WriteCue(japanese, "add2", kClickMs);
    SdlCuePlayer player([&japanese] { return japanese.string(); });
    player.playAndWait("add2");
    EXPECT_EQ(player.PlaysStarted(), 1);
}

TEST_F(SdlCuePlayerTest, SecondPlayerAliveAtTheSameTimeStaysSilent) {
    auto first = MakePlayer();
    auto second = MakePlayer();
    second->playAndWait("click");
    second->play("long");
    second->playAndWait("click");
    EXPECT_EQ(second->PlaysStarted(), 0);
    EXPECT_FALSE(second->IsSounding());
    first->playAndWait("click");
    EXPECT_EQ(first->PlaysStarted(), 1);
}

// A destructor that waited for the cue would run into the test's timeout.
TEST_F(SdlCuePlayerTest, DestroyingWhileALongCueSoundsLeavesTheDeviceToTheNextPlayer) {
    auto player = MakePlayer();
    player->play("long");
    ASSERT_TRUE(WaitUntil([&] { return player->IsSounding(); }));
    player.reset();
    auto next = MakePlayer();
    next->playAndWait("click");
    EXPECT_EQ(next->PlaysStarted(), 1);
}

TEST_F(SdlCuePlayerTest, DestroyingRightAfterConstructionOrWithCuesQueuedReturns) {
    for (int round = 0; round < 5; ++round) {
        MakePlayer().reset();
        auto player = MakePlayer();
        player->play("long");
        player->play("medium");
        player->play("long");
    }
    auto player = MakePlayer();
    player->playAndWait("click");
    EXPECT_EQ(player->PlaysStarted(), 1);
}

}  // namespace
}  // namespace quillet
