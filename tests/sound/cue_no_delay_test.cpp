// The game never waits for its sound: an asynchronous cue only hands its name
// to the audio thread, so a burst of cues, broken ones included, costs the
// game nothing even while the audio machinery is stuck. And a cue that the
// player may not read stays silent, also when the tests run as root.
//
// Everything here is judged by counts and order, never by a duration.
#include <dlfcn.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sound/sdl_cue_player.h"
#include "sound_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::reapChild;
using testing::TempFolder;
using testing::waitUntil;
using testing::writeBytes;
using testing::writeCue;

// The player opens its device with SDL_OpenAudioDevice, and SDL numbers the
// first device opened that way 2 (1 is kept for the old single-device calls).
constexpr std::uint32_t CueDevice = 2;
constexpr int AudioPlaying = 1;  // SDL_AUDIO_PLAYING

// The three SDL calls this test makes, looked up in the SDL library that the
// player has brought into the process, whether the program links it or loads
// it while running. Null where SDL is not loaded.
struct SdlDeviceLock {
    using DeviceCall = void (*)(std::uint32_t);
    using StatusCall = int (*)(std::uint32_t);
    DeviceCall lock = nullptr;
    DeviceCall unlock = nullptr;
    StatusCall status = nullptr;
};

SdlDeviceLock findSdlDeviceLock() {
    SdlDeviceLock found;
    void* sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (sdl == nullptr) {
        return found;
    }
    found.lock = reinterpret_cast<SdlDeviceLock::DeviceCall>(dlsym(sdl, "SDL_LockAudioDevice"));
    found.unlock = reinterpret_cast<SdlDeviceLock::DeviceCall>(dlsym(sdl, "SDL_UnlockAudioDevice"));
    found.status =
        reinterpret_cast<SdlDeviceLock::StatusCall>(dlsym(sdl, "SDL_GetAudioDeviceStatus"));
    // Only the reference taken just now goes: the player's own stays.
    dlclose(sdl);
    return found;
}

class CueNoDelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        writeCue(m_folder.path(), "click", 100);
        writeCue(m_folder.path(), "long", 30000);
        writeBytes(m_folder.path() / "empty.wav", {});
        writeBytes(m_folder.path() / "noise.wav", {'n', 'o', 'i', 's', 'e'});
        fs::create_directory(m_folder.path() / "folder.wav");
        m_directory = m_folder.path().string();
    }

    TempFolder m_folder;
    std::string m_directory;
};

TEST_F(CueNoDelayTest, AsyncCuesReturnWhileTheAudioThreadIsHeldUp) {
    const std::string directory = m_directory;
    SdlCuePlayer player([directory] { return directory; });
    player.play("long");
    ASSERT_TRUE(waitUntil([&] { return player.isSounding(); }));
    const SdlDeviceLock sdl = findSdlDeviceLock();
    ASSERT_TRUE(sdl.lock && sdl.unlock && sdl.status) << "SDL is not loaded while a cue sounds";
    ASSERT_EQ(sdl.status(CueDevice), AudioPlaying)
        << "the player's device is not the one this test holds";

    // Holding the device's lock stops the audio thread when it next hands the
    // device a cue, as a slow or hung sound system would.
    sdl.lock(CueDevice);
    std::atomic<bool> returned{false};
    std::thread game([&] {
        // Many ticks' worth of cues that cannot play (missing or broken files),
        // then "long". The first one the audio thread takes stops it, as it
        // halts the sounding cue.
        for (int tick = 0; tick < 100; ++tick) {
            for (const char* cue : {"add0", "add", "add2", "missing", "empty", "noise", "folder"}) {
                player.play(cue);
            }
        }
        player.play("long");
        returned = true;
    });
    const bool returnedWhileHeld = waitUntil([&] { return returned.load(); });
    const int startedWhileHeld = player.playsStarted();
    sdl.unlock(CueDevice);
    game.join();

    EXPECT_TRUE(returnedWhileHeld) << "the game waited for the audio thread";
    EXPECT_EQ(startedWhileHeld, 1) << "the audio thread was not held up";
    // Set free, it plays only the last cue of the burst: each cue still
    // waiting is replaced by the next. The click asked for now is skipped
    // while that one sounds.
    player.playAndWait("click");
    EXPECT_EQ(player.playsStarted(), 2);
    EXPECT_TRUE(player.isSounding());
}

// Root reads every file, so the player that may not read a cue is played by a
// child that has become the user nobody.
TEST_F(CueNoDelayTest, CueThePlayerMayNotReadIsSilentAndLaterCuesPlay) {
    const fs::path unreadable = m_folder.path() / "unreadable.wav";
    writeCue(m_folder.path(), "unreadable", 100);
    fs::permissions(unreadable, fs::perms::none);
    fs::permissions(m_folder.path(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 ||
                               setuid(65534) != 0 || geteuid() == 0)) {
            _exit(2);
        }
        int result = 1;
        {
            const std::string directory = m_directory;
            SdlCuePlayer player([directory] { return directory; });
            player.playAndWait("unreadable");
            player.play("unreadable");
            player.playAndWait("unreadable");
            const bool silent = player.playsStarted() == 0 && !player.isSounding();
            player.playAndWait("click");
            if (silent && player.playsStarted() == 1) result = 0;
        }
        _exit(result);
    }
    int status = 0;
    ASSERT_TRUE(
        reapChild(child, std::chrono::steady_clock::now() + std::chrono::seconds(10), status))
        << "a call hung on the unreadable cue";
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not become the user nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "the unreadable cue sounded, or the click after it did not";
}

}  // namespace
}  // namespace quillet
