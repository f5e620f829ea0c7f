// Tests that need a process of their own: a sound server that does not exist,
// and the game being ended by a signal while a cue sounds. Each runs in a
// forked child, so that the child's environment and fate stay its own.
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "sound/pulse_cue_player.h"
#include "sound_test_support.h"

namespace quillet {
namespace {

using testing::reapChild;
using testing::TempFolder;
using testing::waitUntil;
using testing::writeCue;

// How long a child may take to end once it should.
std::chrono::steady_clock::time_point endDeadline() {
    return std::chrono::steady_clock::now() + std::chrono::seconds(5);
}

class CuePlayerProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeCue(m_folder.path(), "click", 100);
        writeCue(m_folder.path(), "long", 30000);
        m_directory = m_folder.path().string();
    }

    // Forks a child that plays a long cue asynchronously and then sleeps,
    // sends it `signalNumber` once the cue sounds, and checks that the signal's
    // default action ended it.
    void expectSignalEndsTheGameWhileACueSounds(int signalNumber) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            close(ready[0]);
            std::signal(signalNumber, SIG_DFL);
            const std::string directory = m_directory;
            PulseCuePlayer player([directory] { return directory; });
            player.play("long");
            const char answer = waitUntil([&] { return player.isSounding(); }) ? 'y' : 'n';
            (void)!write(ready[1], &answer, 1);
            for (;;) {
                pause();
            }
        }
        close(ready[1]);
        pollfd waitReady{ready[0], POLLIN, 0};
        char answer = 'n';
        if (poll(&waitReady, 1, 10 * 1000) == 1) {
            (void)!read(ready[0], &answer, 1);
        }
        close(ready[0]);
        EXPECT_EQ(answer, 'y') << "the child's cue never started";

        kill(child, signalNumber);
        int status = 0;
        ASSERT_TRUE(reapChild(child, endDeadline(), status)) << "the signal did not end the child";
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signalNumber);
    }

    TempFolder m_folder;
    std::string m_directory;
};

// No sound server at all: silence, and one line on standard error however
// many cues are asked for.
TEST_F(CuePlayerProcessTest, WithoutASoundServerEveryCallReturnsAndNothingSounds) {
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        setenv("PULSE_SERVER", (m_directory + "/no-server").c_str(), 1);
        bool silent = false;
        const std::string said = testing::capturedOutput([&] {
            const std::string directory = m_directory;
            PulseCuePlayer player([directory] { return directory; });
            player.playAndWait("click");
            player.play("long");
            player.playAndWait("click");
            player.play("long");
            silent = player.playsStarted() == 0 && !player.isSounding();
        });
        const bool saidOnce =
            said ==
            "quillet: no sound server answers: the sound cues stay silent until one does.\n";
        _exit(silent ? (saidOnce ? 0 : 3) : 1);
    }
    int status = 0;
    ASSERT_TRUE(reapChild(child, endDeadline(), status)) << "a call hung without a sound server";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 1) << "something sounded without a sound server";
    EXPECT_NE(WEXITSTATUS(status), 3) << "not said once, on one line, that no server answers";
}

TEST_F(CuePlayerProcessTest, SigtermEndsTheGameWhileACueSounds) {
    expectSignalEndsTheGameWhileACueSounds(SIGTERM);
}

TEST_F(CuePlayerProcessTest, SigintEndsTheGameWhileACueSounds) {
    expectSignalEndsTheGameWhileACueSounds(SIGINT);
}

}  // namespace
}  // namespace quillet
