#include <dirent.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sound/pulse_cue_player.h"
#include "sound/pulse_library.h"
#include "sound_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::waitUntil;
using testing::writeBytes;
using testing::writeCue;

// Cue lengths: "click" and "short" end quickly; "medium" ends while the test
// still watches; "long" outlasts every test (the player halts it when it goes).
constexpr int ClickMs = 100;
constexpr int ShortMs = 200;
constexpr int MediumMs = 400;
constexpr int LongMs = 30000;

// The scheduling policy of every thread of this process, by thread id, with
// its name.
std::map<std::string, std::pair<std::string, int>> threadPolicies() {
    std::map<std::string, std::pair<std::string, int>> policies;
    DIR* tasks = opendir("/proc/self/task");
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        policies[entry->d_name] = {name, sched_getscheduler(std::stoi(entry->d_name))};
    }
    closedir(tasks);
    return policies;
}

// libpulse as the player loads it, but with a connection that fails the first
// two times: a sound server not up yet at login. Counts the tries.
std::atomic<int> connectTries{0};

int connectFailingTwice(pa_context* context, const char* server, pa_context_flags_t flags,
                        const pa_spawn_api* api) {
    if (connectTries.fetch_add(1) < 2) {
        return -1;
    }
    return pulse()->contextConnect(context, server, flags, api);
}

class PulseCuePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeCue(m_folder.path(), "click", ClickMs);
        writeCue(m_folder.path(), "short", ShortMs);
        writeCue(m_folder.path(), "medium", MediumMs);
        writeCue(m_folder.path(), "long", LongMs);
    }

    std::unique_ptr<PulseCuePlayer> makePlayer() {
        const std::string directory = m_folder.path().string();
        return std::make_unique<PulseCuePlayer>([directory] { return directory; });
    }

    TempFolder m_folder;
};

TEST_F(PulseCuePlayerTest, PlayAndWaitReturnsOnlyAfterTheCueHasFinished) {
    auto player = makePlayer();
    player->playAndWait("short");
    EXPECT_EQ(player->playsStarted(), 1);
    EXPECT_FALSE(player->isSounding());
}

TEST_F(PulseCuePlayerTest, PlayReturnsWhileItsCueGoesOnSounding) {
    auto player = makePlayer();
    player->play("long");
    EXPECT_TRUE(waitUntil([&] { return player->isSounding(); }));
    EXPECT_EQ(player->playsStarted(), 1);
}

TEST_F(PulseCuePlayerTest, PlayAndWaitIsSkippedWhileAnAsyncCueSounds) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 1);
    EXPECT_TRUE(player->isSounding()) << "the skipped click must not stop the cue";
}

TEST_F(PulseCuePlayerTest, PlayAndWaitRightAfterPlayIsDecidedAfterTheAsyncCueStarted) {
    auto player = makePlayer();
    // Loading libpulse and opening the stream come first, so that on a busy
    // machine they cannot outlast playAndWait's margin: what is tested is the
    // order of the two calls, not how soon the first cue starts.
    player->play("click");
    ASSERT_TRUE(waitUntil([&] { return player->playsStarted() == 1 && !player->isSounding(); }));
    player->play("long");
    player->playAndWait("click");
    EXPECT_TRUE(player->isSounding());
    // The click was skipped, not played before "long" or after it.
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    EXPECT_EQ(player->playsStarted(), 2);
}

TEST_F(PulseCuePlayerTest, PlayAndWaitPlaysOnceTheAsyncCueHasEnded) {
    auto player = makePlayer();
    player->play("short");
    ASSERT_TRUE(waitUntil([&] { return player->playsStarted() == 1 && !player->isSounding(); }));
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 2);
    EXPECT_FALSE(player->isSounding());
}

TEST_F(PulseCuePlayerTest, SecondAsyncCueReplacesTheFirstAndOutlivesItsEnd) {
    auto player = makePlayer();
    player->play("medium");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->playsStarted() == 2; }));
    // Past the point where "medium" would have ended on its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * MediumMs));
    EXPECT_TRUE(player->isSounding());
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 2);
}

TEST_F(PulseCuePlayerTest, AsyncCueWithAMissingFileStillStopsTheSoundingCue) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    player->play("missing");
    // Decided once the missing cue has been handled: nothing sounds any more.
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 2);
    EXPECT_FALSE(player->isSounding());
}

TEST_F(PulseCuePlayerTest, AsyncCueWithAMissingFileDoesNotCountAsSounding) {
    auto player = makePlayer();
    player->play("missing");
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 1);
}

TEST_F(PulseCuePlayerTest, FileIsReadAnewAtEveryPlay) {
    auto player = makePlayer();
    const fs::path file = m_folder.path() / "cue.wav";
    player->playAndWait("cue");
    EXPECT_EQ(player->playsStarted(), 0);
    writeCue(m_folder.path(), "cue", ClickMs);
    player->playAndWait("cue");
    EXPECT_EQ(player->playsStarted(), 1);
    writeBytes(file, {'n', 'o', 'i', 's', 'e'});
    player->playAndWait("cue");
    EXPECT_EQ(player->playsStarted(), 1);
    fs::remove(file);
    player->play("cue");
    player->playAndWait("cue");
    EXPECT_EQ(player->playsStarted(), 1);
    writeCue(m_folder.path(), "cue", ClickMs);
    player->playAndWait("cue");
    EXPECT_EQ(player->playsStarted(), 2);
}

TEST_F(PulseCuePlayerTest, DirectoryIsAskedAnewAtEveryCall) {
    TempFolder other;
    writeCue(other.path(), "only-there", ClickMs);
    std::string directory = m_folder.path().string();
    PulseCuePlayer player([&directory] { return directory; });
    player.playAndWait("only-there");
    EXPECT_EQ(player.playsStarted(), 0);
    directory = other.path().string();
    player.playAndWait("only-there");
    EXPECT_EQ(player.playsStarted(), 1);
    player.play("only-there");
    EXPECT_TRUE(waitUntil([&] { return player.playsStarted() == 2; }));
}

TEST_F(PulseCuePlayerTest, CueInADirectoryWithAJapaneseNamePlays) {
    // ケーキの音 in UTF-8, the bytes the file system holds.
    const fs::path japanese =
        m_folder.path() / "\xE3\x82\xB1\xE3\x83\xBC\xE3\x82\xAD\xE3\x81\xAE\xE9\x9F\xB3";
    fs::create_directory(japanese);
    writeCue(japanese, "add2", ClickMs);
    PulseCuePlayer player([&japanese] { return japanese.string(); });
    player.playAndWait("add2");
    EXPECT_EQ(player.playsStarted(), 1);
}

TEST_F(PulseCuePlayerTest, SecondPlayerAliveAtTheSameTimeStaysSilent) {
    auto first = makePlayer();
    auto second = makePlayer();
    second->playAndWait("click");
    second->play("long");
    second->playAndWait("click");
    EXPECT_EQ(second->playsStarted(), 0);
    EXPECT_FALSE(second->isSounding());
    first->playAndWait("click");
    EXPECT_EQ(first->playsStarted(), 1);
}

// The cue thread, which also feeds the server, is a batch thread, so that it
// never preempts the game's thread when woken; no other thread of the process
// takes its policy.
TEST_F(PulseCuePlayerTest, OnlyTheCueThreadIsABatchThread) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    int cueThreads = 0;
    for (const auto& [id, thread] : threadPolicies()) {
        const auto& [name, policy] = thread;
        if (name == "quillet-cues") {
            ++cueThreads;
            EXPECT_EQ(policy, SCHED_BATCH) << "the cue thread " << id;
        } else {
            EXPECT_EQ(policy, SCHED_OTHER) << "thread " << id << ", " << name;
        }
    }
    EXPECT_EQ(cueThreads, 1);
}

// Each failure in a row pauses the tries longer; the player says once in the
// run that no server answers, not at every failure.
TEST_F(PulseCuePlayerTest, ServerThatFailsToConnectIsTriedAgainByALaterCueNotByEach) {
    connectTries = 0;
    PulseFunctions failing = *pulse();
    failing.contextConnect = &connectFailingTwice;
    const std::string directory = m_folder.path().string();
    const std::string said = testing::capturedOutput([&] {
        PulseCuePlayer player([directory] { return directory; }, {},
                              [&failing] { return &failing; });
        for (int cue = 0; cue < 20; ++cue) {
            player.playAndWait("click");
            player.play("click");
        }
        EXPECT_EQ(player.playsStarted(), 0);
        EXPECT_EQ(connectTries, 1) << "cues right after a failed connection tried again";
        EXPECT_TRUE(waitUntil([&] {
            player.playAndWait("click");
            return player.playsStarted() == 1;
        })) << "no later cue tried the server again";
        EXPECT_EQ(connectTries, 3);
    });
    EXPECT_EQ(said,
              "quillet: no sound server answers: the sound cues stay silent until one does.\n");
}

// A destructor that waited for the cue would run into the test's timeout.
TEST_F(PulseCuePlayerTest, DestroyingWhileALongCueSoundsLeavesTheDeviceToTheNextPlayer) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    player.reset();
    auto next = makePlayer();
    next->playAndWait("click");
    EXPECT_EQ(next->playsStarted(), 1);
}

TEST_F(PulseCuePlayerTest, DestroyingRightAfterConstructionOrWithCuesQueuedReturns) {
    for (int round = 0; round < 5; ++round) {
        makePlayer().reset();
        auto player = makePlayer();
        player->play("long");
        player->play("medium");
        player->play("long");
    }
    auto player = makePlayer();
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 1);
}

// A cue that a player put in place of one of the game's plays whatever shape of
// wave it has, as long as the server takes its samples as they are stored.
struct CueShape {
    const char* name;
    testing::WaveShape shape;
};

// Names the shape in test output.
// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const CueShape& shape, std::ostream* out) {
    *out << shape.name;
}

const CueShape CueShapes[] = {
    {"EightBitMonoAt11kHz", {1, 11025, 1, 8}},
    {"SixteenBitStereoAt48kHz", {1, 48000, 2, 16}},
    {"TwentyFourBitStereoAt96kHz", {1, 96000, 2, 24}},
    // Frames of six bytes, and a channel map of the wave's own.
    {"SixteenBitThreeChannels", {1, 44100, 3, 16}},
    {"FloatMonoAt44kHz", {3, 44100, 1, 32}},
};

class CueShapeTest : public ::testing::TestWithParam<CueShape> {
protected:
    TempFolder m_folder;
};

TEST_P(CueShapeTest, CueOfAnyShapeTheServerTakesPlaysToItsEnd) {
    writeBytes(m_folder.path() / "cue.wav", testing::makeWave(ShortMs, GetParam().shape));
    const std::string directory = m_folder.path().string();
    PulseCuePlayer player([directory] { return directory; });
    player.playAndWait("cue");
    EXPECT_EQ(player.playsStarted(), 1);
    EXPECT_FALSE(player.isSounding());
}

INSTANTIATE_TEST_SUITE_P(EveryShape, CueShapeTest, ::testing::ValuesIn(CueShapes),
                         [](const ::testing::TestParamInfo<CueShape>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillet
