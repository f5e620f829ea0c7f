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

#include "sound/sdl_cue_player.h"
#include "sound/sdl_library.h"
#include "sound/stream_latency.h"
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

// SDL as the player loads it, but with a device that fails to open the first
// time: a sound server not up yet at login, or a sound card another program
// holds. Counts the tries.
std::atomic<int> openTries{0};

SDL_AudioDeviceID openFailingFirst(const char* device, int capture, const SDL_AudioSpec* wanted,
                                   SDL_AudioSpec* obtained, int allowedChanges) {
    if (openTries.fetch_add(1) == 0) {
        return 0;
    }
    return sdl()->openAudioDevice(device, capture, wanted, obtained, allowedChanges);
}

class SdlCuePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // ctest sets the same; this lets the binary also run on its own.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        writeCue(m_folder.path(), "click", ClickMs);
        writeCue(m_folder.path(), "short", ShortMs);
        writeCue(m_folder.path(), "medium", MediumMs);
        writeCue(m_folder.path(), "long", LongMs);
    }

    std::unique_ptr<SdlCuePlayer> makePlayer() {
        const std::string directory = m_folder.path().string();
        return std::make_unique<SdlCuePlayer>([directory] { return directory; });
    }

    TempFolder m_folder;
};

TEST_F(SdlCuePlayerTest, PlayAndWaitReturnsOnlyAfterTheCueHasFinished) {
    auto player = makePlayer();
    player->playAndWait("short");
    EXPECT_EQ(player->playsStarted(), 1);
    EXPECT_FALSE(player->isSounding());
}

TEST_F(SdlCuePlayerTest, PlayReturnsWhileItsCueGoesOnSounding) {
    auto player = makePlayer();
    player->play("long");
    EXPECT_TRUE(waitUntil([&] { return player->isSounding(); }));
    EXPECT_EQ(player->playsStarted(), 1);
}

TEST_F(SdlCuePlayerTest, PlayAndWaitIsSkippedWhileAnAsyncCueSounds) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 1);
    EXPECT_TRUE(player->isSounding()) << "the skipped click must not stop the cue";
}

TEST_F(SdlCuePlayerTest, PlayAndWaitRightAfterPlayIsDecidedAfterTheAsyncCueStarted) {
    auto player = makePlayer();
    // Loading SDL and opening the device come first, so that on a busy
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

TEST_F(SdlCuePlayerTest, PlayAndWaitPlaysOnceTheAsyncCueHasEnded) {
    auto player = makePlayer();
    player->play("short");
    ASSERT_TRUE(waitUntil([&] { return player->playsStarted() == 1 && !player->isSounding(); }));
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 2);
    EXPECT_FALSE(player->isSounding());
}

TEST_F(SdlCuePlayerTest, SecondAsyncCueReplacesTheFirstAndOutlivesItsEnd) {
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

TEST_F(SdlCuePlayerTest, AsyncCueWithAMissingFileStillStopsTheSoundingCue) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    player->play("missing");
    // Decided once the missing cue has been handled: nothing sounds any more.
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 2);
    EXPECT_FALSE(player->isSounding());
}

TEST_F(SdlCuePlayerTest, AsyncCueWithAMissingFileDoesNotCountAsSounding) {
    auto player = makePlayer();
    player->play("missing");
    player->playAndWait("click");
    EXPECT_EQ(player->playsStarted(), 1);
}

TEST_F(SdlCuePlayerTest, FileIsReadAnewAtEveryPlay) {
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

TEST_F(SdlCuePlayerTest, DirectoryIsAskedAnewAtEveryCall) {
    TempFolder other;
    writeCue(other.path(), "only-there", ClickMs);
    std::string directory = m_folder.path().string();
    SdlCuePlayer player([&directory] { return directory; });
    player.playAndWait("only-there");
    EXPECT_EQ(player.playsStarted(), 0);
    directory = other.path().string();
    player.playAndWait("only-there");
    EXPECT_EQ(player.playsStarted(), 1);
    player.play("only-there");
    EXPECT_TRUE(waitUntil([&] { return player.playsStarted() == 2; }));
}

TEST_F(SdlCuePlayerTest, CueInADirectoryWithAJapaneseNamePlays) {
    // ケーキの音 in UTF-8, the bytes the file system holds.
    const fs::path japanese =
        m_folder.path() / "\xE3\x82\xB1\xE3\x83\xBC\xE3\x82\xAD\xE3\x81\xAE\xE9\x9F\xB3";
    fs::create_directory(japanese);
    writeCue(japanese, "add2", ClickMs);
    SdlCuePlayer player([&japanese] { return japanese.string(); });
    player.playAndWait("add2");
    EXPECT_EQ(player.playsStarted(), 1);
}

TEST_F(SdlCuePlayerTest, SecondPlayerAliveAtTheSameTimeStaysSilent) {
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

// Only SDL itself may make its threads: the device's, and the loop threads of
// the sound-server drivers. They take the scheduling policy of the thread that
// starts them, and the cue thread, a batch thread, must not hand its policy on
// to the thread that feeds the sound card.
TEST_F(SdlCuePlayerTest, ThreadsThatSdlStartsAreNotBatchThreadsLikeTheCueThread) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    int sdlThreads = 0;
    int cueThreads = 0;
    for (const auto& [id, thread] : threadPolicies()) {
        const auto& [name, policy] = thread;
        if (name == "quillet-cues") {
            ++cueThreads;
            EXPECT_EQ(policy, SCHED_BATCH) << "the cue thread " << id;
        } else {
            sdlThreads += name.rfind("SDL", 0) == 0 ? 1 : 0;
            EXPECT_EQ(policy, SCHED_OTHER) << "thread " << id << ", " << name;
        }
    }
    EXPECT_EQ(cueThreads, 1);
    EXPECT_GE(sdlThreads, 1) << "SDL's audio thread was not found";
}

TEST_F(SdlCuePlayerTest, DeviceThatFailsItsFirstOpenIsTriedAgainByALaterCueNotByEachCue) {
    openTries = 0;
    SdlFunctions failing = *sdl();
    failing.openAudioDevice = &openFailingFirst;
    const std::string directory = m_folder.path().string();
    SdlCuePlayer player([directory] { return directory; }, {}, [&failing] { return &failing; });
    for (int cue = 0; cue < 20; ++cue) {
        player.playAndWait("click");
        player.play("click");
    }
    EXPECT_EQ(player.playsStarted(), 0);
    EXPECT_EQ(openTries, 1) << "cues right after a failed open tried the device again";
    EXPECT_TRUE(waitUntil([&] {
        player.playAndWait("click");
        return player.playsStarted() == 1;
    })) << "no later cue tried the device again";
    EXPECT_EQ(openTries, 2);
}

// The device as the player opens it, with every run of its callback counted
// and the last run whose buffer held sound noted, on SDL's audio thread.
std::atomic<int> deviceRuns{0};
std::atomic<int> lastRunWithSound{-1};
SDL_AudioCallback playerCallback = nullptr;

void SDLCALL countingCallback(void* feed, Uint8* stream, int length) {
    playerCallback(feed, stream, length);
    const int run = deviceRuns.fetch_add(1);
    for (int i = 0; i < length; ++i) {
        if (stream[i] != 0) {
            lastRunWithSound = run;
            break;
        }
    }
}

SDL_AudioDeviceID openCounting(const char* device, int capture, const SDL_AudioSpec* wanted,
                               SDL_AudioSpec* obtained, int allowedChanges) {
    SDL_AudioSpec counted = *wanted;
    playerCallback = wanted->callback;
    counted.callback = &countingCallback;
    return sdl()->openAudioDevice(device, capture, &counted, obtained, allowedChanges);
}

// The click's last buffer is heard only once the device has played it: a
// device that asks for more has taken in what it had, so playAndWait returns
// only after the device asked twice more since the buffer with the click's end.
TEST_F(SdlCuePlayerTest, PlayAndWaitReturnsOnlyOnceTheDeviceAskedTwiceMoreAfterTheCuesEnd) {
    SdlFunctions counting = *sdl();
    counting.openAudioDevice = &openCounting;
    const std::string directory = m_folder.path().string();
    SdlCuePlayer player([directory] { return directory; }, {}, [&counting] { return &counting; });
    for (int cue = 0; cue < 3; ++cue) {
        player.playAndWait("click");
        const int runs = deviceRuns;
        const int lastSound = lastRunWithSound;
        ASSERT_EQ(player.playsStarted(), cue + 1);
        ASSERT_GE(lastSound, 0) << "the click never reached the device";
        EXPECT_GE(runs - 1 - lastSound, 2) << "click " << cue << " was cut short";
    }
}

// The driver and version SDL reports, and the buffer the player asked it for.
const char* reportedDriver = nullptr;
SDL_version reportedVersion{};
std::atomic<int> askedFrames{0};

const char* reportDriver() { return reportedDriver; }
void reportVersion(SDL_version* version) { *version = reportedVersion; }

SDL_AudioDeviceID openNotingFrames(const char* device, int capture, const SDL_AudioSpec* wanted,
                                   SDL_AudioSpec* obtained, int allowedChanges) {
    askedFrames = wanted->samples;
    return openCounting(device, capture, wanted, obtained, allowedChanges);
}

// SDL's PulseAudio driver lets its stream run empty at every write, so a
// buffer as small as the other drivers get left audible gaps inside cues; the
// driver of SDL 2.30 and later needs a larger one still. A PulseAudio stream
// that PULSE_LATENCY_MSEC makes longer than one buffer still holds the click's
// end after two more runs: the player waits until the buffers after it fill
// the stream.
TEST_F(SdlCuePlayerTest, PulseAudioAloneGetsTheLargerBuffer) {
    struct Row {
        const char* driver;
        Uint8 minor;          // of SDL 2
        const char* latency;  // PULSE_LATENCY_MSEC, or unset
        std::optional<int> countedMs;
        int frames;
        int runsAfterTheClick;
    };
    // The dummy driver's buffer of 1,024 frames at 44.1 kHz lasts 23.2 ms, of
    // 2,048 frames 46.4 ms.
    const Row rows[] = {
        {"pulseaudio", 26, nullptr, {}, 1024, 2},
        {"pulseaudio", 29, nullptr, {}, 1024, 2},
        {"pulseaudio", 30, nullptr, {}, 2048, 2},
        {"pulseaudio", 32, nullptr, {}, 2048, 2},
        {"pulseaudio", 26, "46", 46, 1024, 3},
        {"pulseaudio", 26, "200", 200, 1024, 10},
        {"pulseaudio", 32, "200", 200, 2048, 6},
        // Counted as a second, longer than playAndWait's margin lets it wait.
        {"pulseaudio", 26, "99999999999999999999999", 1000, 1024, 2},
        // Values libpulse ignores, or reads in another base: SDL's one buffer.
        {"pulseaudio", 26, "0", {}, 1024, 2},
        {"pulseaudio", 26, "046", {}, 1024, 2},
        {"pulseaudio", 26, "46ms", {}, 1024, 2},
        {"pulseaudio", 26, "-46", {}, 1024, 2},
        {"pulseaudio", 26, "", {}, 1024, 2},
        // Only libpulse reads the variable.
        {"pipewire", 32, "200", 200, 512, 2},
        {"alsa", 32, nullptr, {}, 512, 2},
        {"dummy", 26, nullptr, {}, 512, 2},
        {nullptr, 32, nullptr, {}, 512, 2}};
    for (const Row& row : rows) {
        const std::string name = std::string(row.driver ? row.driver : "no driver") + " of 2." +
                                 std::to_string(row.minor) + " with " +
                                 (row.latency ? row.latency : "no latency");
        const std::optional<std::chrono::milliseconds> counted = streamLatencyAskedBy(row.latency);
        EXPECT_EQ(counted ? std::optional<int>(static_cast<int>(counted->count())) : std::nullopt,
                  row.countedMs)
            << name;
        if (row.latency) {
            setenv("PULSE_LATENCY_MSEC", row.latency, 1);
        } else {
            unsetenv("PULSE_LATENCY_MSEC");
        }
        reportedDriver = row.driver;
        reportedVersion = SDL_version{2, row.minor, 0};
        askedFrames = 0;
        deviceRuns = 0;
        lastRunWithSound = -1;
        SdlFunctions reporting = *sdl();
        reporting.currentAudioDriver = &reportDriver;
        reporting.getVersion = &reportVersion;
        reporting.openAudioDevice = &openNotingFrames;
        const std::string directory = m_folder.path().string();
        SdlCuePlayer player([directory] { return directory; }, {},
                            [&reporting] { return &reporting; });
        player.playAndWait("click");
        const int runs = deviceRuns;
        const int lastSound = lastRunWithSound;
        EXPECT_EQ(player.playsStarted(), 1) << name;
        EXPECT_EQ(askedFrames, row.frames) << name;
        EXPECT_GE(runs - 1 - lastSound, row.runsAfterTheClick) << name << ": the click was cut short";
    }
    unsetenv("PULSE_LATENCY_MSEC");
}

// A destructor that waited for the cue would run into the test's timeout.
TEST_F(SdlCuePlayerTest, DestroyingWhileALongCueSoundsLeavesTheDeviceToTheNextPlayer) {
    auto player = makePlayer();
    player->play("long");
    ASSERT_TRUE(waitUntil([&] { return player->isSounding(); }));
    player.reset();
    auto next = makePlayer();
    next->playAndWait("click");
    EXPECT_EQ(next->playsStarted(), 1);
}

TEST_F(SdlCuePlayerTest, DestroyingRightAfterConstructionOrWithCuesQueuedReturns) {
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
// wave it has, as long as SDL decodes it: the player converts it for the device.
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
    // Frames of six bytes, which do not divide the pieces SDL converts.
    {"SixteenBitThreeChannels", {1, 44100, 3, 16}},
    {"FloatMonoAt44kHz", {3, 44100, 1, 32}},
};

class CueShapeTest : public ::testing::TestWithParam<CueShape> {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 0); }

    TempFolder m_folder;
};

TEST_P(CueShapeTest, CueOfAnyShapeSdlDecodesPlaysToItsEnd) {
    writeBytes(m_folder.path() / "cue.wav", testing::makeWave(ShortMs, GetParam().shape));
    const std::string directory = m_folder.path().string();
    SdlCuePlayer player([directory] { return directory; });
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
