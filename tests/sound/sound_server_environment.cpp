// Every test of this binary plays through a private PulseAudio server with a
// null sink, which the player finds as it finds a desktop's server: no sound
// card, nothing of the user's. Tests that need a server of their own (the
// mixer's, the recorder's) start one in a child, which enters its own.
//
// A null sink with nothing to play sleeps up to 2 s between rounds, and a new
// stream may wait for the round to end before it is heard; a desktop's sink
// does not. So a recorder listens to the sink all along, as a desktop's level
// meter would, and keeps the sink's rounds short: a cue is then heard at once,
// and a cue's caller waits for its cue, not for the sink.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "private_sound_server.h"

namespace quillet::testing {
namespace {

class SoundServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string whyNot = m_server.start();
        ASSERT_EQ(whyNot, "") << "the private PulseAudio server the sound tests play through";
        m_server.enter();
        const std::string heard = (m_folder.path() / "heard").string();
        const int output = open(heard.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        m_listener = spawn(m_server.recorder(), m_server.environment(), output);
        close(output);
        // Listening once it has heard something.
        ASSERT_TRUE(waitUntil([&heard] {
            struct stat status {};
            return stat(heard.c_str(), &status) == 0 && status.st_size > 0;
        })) << "the listener on the private PulseAudio server heard nothing";
    }
    void TearDown() override {
        if (m_listener > 0) {
            kill(m_listener, SIGTERM);
            int status = 0;
            reapChild(m_listener, std::chrono::steady_clock::now() + std::chrono::seconds(5),
                      status);
        }
        m_server.end();
    }

private:
    PrivatePulseAudio m_server;
    TempFolder m_folder;
    pid_t m_listener = -1;
};

// NOLINTNEXTLINE(cert-err58-cpp): registered before main, as GoogleTest wants.
::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new SoundServerEnvironment);

}  // namespace
}  // namespace quillet::testing
