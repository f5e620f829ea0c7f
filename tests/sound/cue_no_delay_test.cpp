// The game never waits for its sound: an asynchronous cue only hands its name
// to the audio thread, so a burst of cues, broken ones included, costs the
// game nothing even while the audio machinery is stuck. And a cue that the
// player may not read stays silent, also when the tests run as root.
//
// Everything here is judged by counts and order, never by a duration.
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
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sound/pulse_cue_player.h"
#include "sound/pulse_library.h"
#include "sound_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::reapChild;
using testing::TempFolder;
using testing::waitUntil;
using testing::writeBytes;
using testing::writeCue;

// libpulse as the player loads it, but with a flush that waits while the test
// holds this lock: the cue thread flushes the stream as it hands it a cue, so
// holding the lock holds the cue thread in libpulse, as a slow or hung sound
// system would.
std::mutex heldUp;

pa_operation* flushHeldUp(pa_stream* stream, pa_stream_success_cb_t done, void* data) {
    const std::lock_guard<std::mutex> wait(heldUp);
    return pulse()->streamFlush(stream, done, data);
}

class CueNoDelayTest : public ::testing::Test {
protected:
    void SetUp() override {
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
    PulseFunctions holding = *pulse();
    holding.streamFlush = &flushHeldUp;
    PulseCuePlayer player([directory] { return directory; }, {}, [&holding] { return &holding; });
    player.play("long");
    ASSERT_TRUE(waitUntil([&] { return player.isSounding(); }));

    // The next cue the audio thread hands the stream holds it up.
    heldUp.lock();
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
    heldUp.unlock();
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

    // The user nobody reaches the test's sound server too.
    const std::string server = std::getenv("PULSE_SERVER");
    const fs::path socketFolder = fs::path(server.substr(server.find(':') + 1)).parent_path();
    fs::permissions(socketFolder, fs::perms::others_exec | fs::perms::group_exec,
                    fs::perm_options::add);

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
            PulseCuePlayer player([directory] { return directory; });
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
