// The cue stream as the desktop's volume mixer sees it, and as a sound server
// that stops answering, restarts, or records it finds it. A private sound
// server with a sink that plays to nowhere (no device, no network, nothing of
// the user's) takes cues from the real player, which runs in a forked child.
// Mixers list a stream by its properties: GNOME's and KDE's sound settings and
// pavucontrol. Two servers: PulseAudio, and PipeWire through its PulseAudio
// server, the default of the desktops the game runs on.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "private_sound_server.h"
#include "sound/pulse_cue_player.h"
#include "sound_test_support.h"

namespace quillet {
namespace {

using testing::PrivatePipeWire;
using testing::PrivatePulseAudio;
using testing::PrivateSoundServer;
using testing::Properties;
using testing::reapChild;
using testing::TempFolder;
using testing::waitUntil;
using testing::writeCue;

using Clock = std::chrono::steady_clock;

// A forked child that plays through a private server, and the parent's talk
// with it: one line at a time each way, each awaited for 15 seconds at most.
class PlayerChild {
public:
    // Runs `body` in a child that has entered `server`'s environment.
    PlayerChild(const PrivateSoundServer& server, const std::function<void(PlayerChild&)>& body) {
        int down[2];
        int up[2];
        if (pipe(down) != 0 || pipe(up) != 0) {
            return;
        }
        m_child = fork();
        if (m_child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(down[1]);
            close(up[0]);
            m_in = down[0];
            m_out = up[1];
            server.enter();
            body(*this);
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        m_in = up[0];
        m_out = down[1];
    }
    ~PlayerChild() { endedCleanly(); }
    PlayerChild(const PlayerChild&) = delete;
    PlayerChild& operator=(const PlayerChild&) = delete;

    void say(const std::string& line) {
        const std::string whole = line + "\n";
        (void)!write(m_out, whole.data(), whole.size());
    }

    // The next line from the other side, or empty after 15 seconds.
    std::string hear() {
        std::string line;
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(15);
        char c = 0;
        while (true) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd readable{m_in, POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) != 1 ||
                read(m_in, &c, 1) != 1 || c == '\n') {
                return c == '\n' ? line : std::string();
            }
            line += c;
        }
    }

    // Lets the child go on to its end, and tells whether it ends by itself,
    // and well, within five seconds.
    bool endedCleanly() {
        close(m_in);
        close(m_out);
        m_in = m_out = -1;
        int status = 0;
        const bool ended =
            m_child > 0 && reapChild(m_child, Clock::now() + std::chrono::seconds(5), status);
        m_child = -1;
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_child = -1;
    int m_in = -1;
    int m_out = -1;
};

// Milliseconds from `from` to `to`, as text.
std::string millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

// The value of `key` in `properties`, or "(not set)".
std::string property(const Properties& properties, const std::string& key) {
    const auto found = properties.find(key);
    return found != properties.end() ? found->second : "(not set)";
}

struct SoundServerKind {
    const char* name;
    std::function<std::unique_ptr<PrivateSoundServer>()> make;
};

// Names the server in test output.
// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const SoundServerKind& kind, std::ostream* out) {
    *out << kind.name;
}

const SoundServerKind SoundServers[] = {
    {"PulseAudio", [] { return std::make_unique<PrivatePulseAudio>(); }},
    {"PipeWire", [] { return std::make_unique<PrivatePipeWire>(); }},
};

// Each test has a private server of the row's kind, and a folder for its cues.
class CueMixerTest : public ::testing::TestWithParam<SoundServerKind> {
protected:
    void SetUp() override {
        m_server = GetParam().make();
        const std::string whyNot = m_server->start();
        if (!whyNot.empty()) {
            GTEST_SKIP() << "no private " << GetParam().name << " server: " << whyNot;
        }
    }

    std::unique_ptr<PrivateSoundServer> m_server;
    TempFolder m_cues;
    const std::string m_directory = m_cues.path().string();
};

TEST_P(CueMixerTest, TheStreamCarriesTheNameIconStreamNameAndRoleItWasGiven) {
    writeCue(m_cues.path(), "long", 30000);
    const std::string directory = m_directory;
    MixerIdentity identity;
    identity.applicationName = "ヌビロケーキ試験";
    identity.iconName = "io.github.quillet.QuilletTest";
    identity.streamName = "Test cues";
    identity.role = "music";

    // The player runs in a child, whose environment is its own to change.
    PlayerChild child(*m_server, [&](PlayerChild& talk) {
        // The identity reaches the server through the properties alone.
        for (const char* own :
             {"PULSE_PROP_application.icon_name", "PULSE_PROP_media.role", "PULSE_PROP"}) {
            unsetenv(own);
        }
        PulseCuePlayer player([directory] { return directory; }, identity);
        player.play("long");
        talk.say(waitUntil([&] { return player.isSounding(); }) ? "sounding" : "silent");
        talk.hear();
    });
    const std::string answer = child.hear();
    Properties stream;
    if (answer == "sounding") {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (stream.empty() && Clock::now() < deadline) {
            stream = m_server->streamProperties();
        }
    }
    const bool ended = child.endedCleanly();

    ASSERT_EQ(answer, "sounding") << "the cue never sounded through the server";
    ASSERT_FALSE(stream.empty()) << "no stream while the cue sounded";
    EXPECT_EQ(property(stream, "application.name"), identity.applicationName);
    EXPECT_EQ(property(stream, "application.icon_name"), identity.iconName);
    EXPECT_EQ(property(stream, "media.name"), identity.streamName);
    EXPECT_EQ(property(stream, "media.role"), identity.role);
    EXPECT_TRUE(ended) << "the player did not end cleanly";
}

// A server stopped by a signal holds every connection and answers nothing, for
// as long as it stays stopped. The game waits for its cues only as the cue
// lasts and half a second more, and End ends the game within a second.
TEST_P(CueMixerTest, AServerThatStopsAnsweringHoldsNeitherACueNorTheEnd) {
    constexpr int ClickMs = 100;
    writeCue(m_cues.path(), "click", ClickMs);
    const std::string directory = m_directory;

    PlayerChild child(*m_server, [&](PlayerChild& talk) {
        auto player = std::make_unique<PulseCuePlayer>([directory] { return directory; });
        player->playAndWait("click");
        const bool heard =
            player->playsStarted() == 1 && waitUntil([&] { return !player->isSounding(); });
        talk.say(heard ? "heard" : "silent");
        talk.hear();
        // The stream is open when the server stops; the first click plays into
        // it and is never heard, the second finds the cue thread waiting.
        const Clock::time_point calledAt = Clock::now();
        player->playAndWait("click");
        const Clock::time_point returnedAt = Clock::now();
        player->playAndWait("click");
        const Clock::time_point secondReturnedAt = Clock::now();
        player.reset();
        const Clock::time_point goneAt = Clock::now();
        talk.say(millisecondsBetween(calledAt, returnedAt) + " " +
                 millisecondsBetween(returnedAt, secondReturnedAt) + " " +
                 millisecondsBetween(secondReturnedAt, goneAt));
    });
    ASSERT_EQ(child.hear(), "heard") << "the click did not sound while the server answered";
    m_server->stall();
    child.say("stalled");
    std::istringstream times(child.hear());
    m_server->resume();
    long first = -1;
    long second = -1;
    long destruction = -1;
    times >> first >> second >> destruction;

    ASSERT_GE(destruction, 0) << "the player was held by the stopped server";
    EXPECT_LT(first, ClickMs + 500) << "the first click held the game";
    EXPECT_LT(second, ClickMs + 500) << "the second click held the game";
    EXPECT_LT(destruction, 1000) << "the player's end held the game";
}

// A desktop's update restarts its sound server under the running game. The cue
// that sounded ends with the old server, and the next one opens a stream on
// the new server.
TEST_P(CueMixerTest, TheNextCueAfterTheServerRestartsOpensAStreamOnTheNewServer) {
    writeCue(m_cues.path(), "long", 30000);
    const std::string directory = m_directory;

    PlayerChild child(*m_server, [&](PlayerChild& talk) {
        PulseCuePlayer player([directory] { return directory; });
        player.play("long");
        talk.say(waitUntil([&] { return player.isSounding(); }) ? "sounding" : "silent");
        talk.hear();
        talk.say(waitUntil([&] { return !player.isSounding(); }) ? "ended" : "still sounding");
        talk.hear();
        player.play("long");
        talk.say(waitUntil([&] { return player.isSounding(); }) ? "sounding" : "silent");
        talk.hear();
    });
    ASSERT_EQ(child.hear(), "sounding") << "the cue did not sound on the first server";
    m_server->end();
    child.say("ended");
    ASSERT_EQ(child.hear(), "ended") << "the cue went on sounding on a server that had gone";
    const std::string whyNotAgain = m_server->start();
    ASSERT_EQ(whyNotAgain, "");
    child.say("restarted");
    const std::string answer = child.hear();
    Properties stream;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    while (answer == "sounding" && stream.empty() && Clock::now() < deadline) {
        stream = m_server->streamProperties();
    }
    EXPECT_EQ(answer, "sounding");
    EXPECT_FALSE(stream.empty()) << "no stream on the new server";
}

INSTANTIATE_TEST_SUITE_P(EveryServer, CueMixerTest, ::testing::ValuesIn(SoundServers),
                         [](const ::testing::TestParamInfo<SoundServerKind>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// A click whose every frame tells its place: frame n holds FirstClickValue + n
// in both channels, 16-bit stereo at 44.1 kHz, which the device plays as it is.
constexpr int FirstClickValue = 1000;

std::vector<std::uint8_t> makeCountingClick(int frames) {
    std::vector<std::uint8_t> wave = testing::makeWave(0, testing::WaveShape{1, 44100, 2, 16});
    const auto put = [&wave](std::size_t at, std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            wave[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    for (int frame = 0; frame < frames; ++frame) {
        const auto value = static_cast<std::uint16_t>(FirstClickValue + frame);
        for (int byte = 0; byte < 4; ++byte) {
            wave.push_back(static_cast<std::uint8_t>(value >> (8 * (byte % 2))));
        }
    }
    put(4, static_cast<std::uint32_t>(wave.size() - 8), 4);
    put(40, static_cast<std::uint32_t>(frames * 4), 4);
    return wave;
}

// The last frame of the click that `recording` (16-bit stereo) holds, counted
// from 0, or -1 for none. The sink's monitor may miss the click's first
// frames, when the sink rewinds to start the new stream at once, but never its
// last ones unless the stream was closed before the sink played them.
long lastClickFrameHeard(const std::string& recording) {
    long last = -1;
    for (std::size_t at = 0; at + 4 <= recording.size(); at += 4) {
        std::int16_t left = 0;
        std::memcpy(&left, recording.data() + at, 2);
        if (left >= FirstClickValue) {
            last = left - FirstClickValue;
        }
    }
    return last;
}

// End plays the click and the game ends as soon as the call returns: the whole
// click must have been played by then, as a recording of what the server
// plays shows. PulseAudio's recorder hears the stream that opens for the
// click. PipeWire's hears a stream only once linked to it, so there a quiet
// cue opens the stream first and the click plays on it.
TEST_P(CueMixerTest, TheClickOfEndIsHeardInFullBeforeTheGameEnds) {
    const std::vector<std::string> recorder = m_server->recorder();
    if (recorder.empty()) {
        GTEST_SKIP() << "no recorder for " << GetParam().name
                     << " (packages pulseaudio-utils, pipewire-bin)";
    }
    constexpr int ClickFrames = 44100 * 60 / 1000;
    testing::writeBytes(m_cues.path() / "click.wav", makeCountingClick(ClickFrames));
    const bool connecting = m_server->recorderNeedsConnecting();
    if (connecting) {
        writeCue(m_cues.path(), "hush", 20);
    }
    const std::string directory = m_directory;
    const std::string recording = (m_cues.path() / "recording").string();
    const int output = open(recording.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(output, 0);
    const pid_t recorderProcess = testing::spawn(recorder, m_server->environment(), output);
    close(output);
    ASSERT_GT(recorderProcess, 0);
    const auto recorded = [&recording] {
        struct stat status {};
        return stat(recording.c_str(), &status) == 0 ? static_cast<long>(status.st_size) : 0L;
    };
    if (!connecting) {
        EXPECT_TRUE(waitUntil([&] { return recorded() > 0; })) << "the recorder recorded nothing";
    }

    bool ended = false;
    {
        PlayerChild child(*m_server, [&](PlayerChild& parent) {
            PulseCuePlayer player([directory] { return directory; });
            player.prepare();
            if (connecting) {
                player.play("hush");
                waitUntil([&] { return player.playsStarted() > 0 && !player.isSounding(); });
                parent.say("open");
                parent.hear();
            }
            player.playAndWait("click");
        });
        if (connecting) {
            EXPECT_EQ(child.hear(), "open");
            EXPECT_EQ(m_server->connectRecorder(), "");
            EXPECT_TRUE(waitUntil([&] { return recorded() > 0; }))
                << "the recorder recorded nothing";
            child.say("go");
        }
        ended = child.endedCleanly();
    }
    // What the sink plays from now on is silence; half a second of it makes
    // sure that the recorder has written out all before it.
    const long before = recorded();
    waitUntil([&] { return recorded() > before + 44100 * 4 / 2; });
    kill(recorderProcess, SIGTERM);
    int status = 0;
    reapChild(recorderProcess, Clock::now() + std::chrono::seconds(5), status);
    std::ifstream in(recording, std::ios::binary);
    const std::string sound((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const long last = lastClickFrameHeard(sound);

    EXPECT_TRUE(ended) << "the player did not end cleanly";
    ASSERT_GE(last, 0) << "the click was not heard at all";
    EXPECT_EQ(last, ClickFrames - 1) << "the click was cut short";
}

}  // namespace
}  // namespace quillet
