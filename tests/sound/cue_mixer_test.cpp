// The cue stream as the desktop's volume mixer sees it. A private PulseAudio
// server with a null sink (no device, no network, nothing of the user's) takes
// a cue from the real player, and pactl reads the stream's properties while it
// sounds. Mixers list a stream by these: GNOME's and KDE's sound settings and
// pavucontrol, and PipeWire's PulseAudio server reads the same ones.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sound/sdl_cue_player.h"
#include "sound_test_support.h"

namespace quillet {
namespace {

using testing::reapChild;
using testing::TempFolder;
using testing::waitUntil;
using testing::writeCue;

using Clock = std::chrono::steady_clock;

// The full path of `program` along PATH, or empty.
std::string findProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = folders.find(':', start);
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (end == std::string::npos) {
            return {};
        }
        start = end + 1;
    }
}

// Starts `arguments` (a full path first) with exactly `environment`, its
// output and errors going to `output`. The program is killed if this process
// dies first, so that nothing outlives a test stopped by ctest's timeout.
pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            int output) {
    // Built before the fork: the child only calls what is safe after one.
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& variable : environment) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
        dup2(nothing, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return child;
}

struct ProgramRun {
    bool succeeded = false;
    std::string output;
};

// Runs a program to its end, for at most five seconds, and gathers what it wrote.
ProgramRun runProgram(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment) {
    ProgramRun run;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return run;
    }
    const pid_t child = spawn(arguments, environment, pipeEnds[1]);
    close(pipeEnds[1]);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) != 1) {
            break;
        }
        char buffer[4096];
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        run.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    run.succeeded = child > 0 && reapChild(child, deadline, status) && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0;
    return run;
}

// The value of `key` in pactl's listing of properties, a line such as
// `		media.name = "Sound cues"`, or "(not set)".
std::string property(const std::string& listing, const std::string& key) {
    const std::string start = "\t" + key + " = \"";
    const std::string::size_type at = listing.find(start);
    if (at == std::string::npos) {
        return "(not set)";
    }
    const std::string::size_type valueStart = at + start.size();
    const std::string::size_type lineEnd = listing.find('\n', valueStart);
    const std::string::size_type valueEnd = listing.rfind('"', lineEnd);
    return listing.substr(valueStart, valueEnd - valueStart);
}

// A PulseAudio server of the test's own, with a null sink and a socket in a
// temporary folder, which also serves as its home, runtime and state folder.
// Killed when the object goes. As root it runs in the ordinary per-user mode
// too: it only warns that it is not meant to.
class PrivateSoundServer {
public:
    // Empty when the server runs and answers; otherwise why it does not.
    std::string start() {
        const std::string server = findProgram("pulseaudio");
        m_pactl = findProgram("pactl");
        if (server.empty() || m_pactl.empty()) {
            return "pulseaudio or pactl is not installed (packages pulseaudio, pulseaudio-utils)";
        }
        const std::string folder = m_folder.path().string();
        const std::string logFile = folder + "/server.log";
        const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (log < 0) {
            return "cannot write " + logFile;
        }
        m_server = spawn(
            {server, "-n", "--daemonize=no", "--system=no", "--use-pid-file=no",
             "--exit-idle-time=-1", "--disable-shm=yes", "--high-priority=no", "--realtime=no",
             "--no-cpu-limit=yes", "--log-target=stderr", "-L", "module-null-sink", "-L",
             "module-native-protocol-unix socket=" + socket() + " auth-anonymous=1"},
            environment(), log);
        close(log);
        if (m_server < 0) {
            return "cannot start pulseaudio";
        }
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_server, &status, WNOHANG) == m_server) {
                m_server = -1;
                return "pulseaudio ended at once: " + readLog(logFile);
            }
            if (access(socket().c_str(), F_OK) == 0 && pactl({"info"}).succeeded) {
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "pulseaudio did not answer within ten seconds: " + readLog(logFile);
    }

    ~PrivateSoundServer() {
        if (m_server > 0) {
            kill(m_server, SIGTERM);
            int status = 0;
            reapChild(m_server, Clock::now() + std::chrono::seconds(5), status);
        }
    }

    std::string address() const { return "unix:" + socket(); }

    // Everything a client or the server would otherwise look for in the
    // user's home, runtime folder or session bus points into the folder.
    std::vector<std::string> environment() const {
        const std::string folder = m_folder.path().string();
        const char* path = std::getenv("PATH");
        return {"PATH=" + std::string(path != nullptr ? path : "/usr/bin:/bin"),
                "HOME=" + folder,
                "XDG_CONFIG_HOME=" + folder,
                "XDG_RUNTIME_DIR=" + folder,
                "PULSE_RUNTIME_PATH=" + folder,
                "PULSE_STATE_PATH=" + folder,
                "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/no-bus",
                "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + folder + "/no-bus"};
    }

    ProgramRun pactl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {m_pactl, "-s", address()});
        return runProgram(arguments, environment());
    }

private:
    std::string socket() const { return m_folder.path().string() + "/native"; }

    static std::string readLog(const std::string& file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    TempFolder m_folder;
    std::string m_pactl;
    pid_t m_server = -1;
};

TEST(CueMixerTest, TheStreamCarriesTheNameIconStreamNameAndRoleItWasGiven) {
    PrivateSoundServer server;
    const std::string whyNot = server.start();
    if (!whyNot.empty()) {
        GTEST_SKIP() << "no private PulseAudio server: " << whyNot;
    }
    TempFolder cues;
    writeCue(cues.path(), "long", 30000);
    const std::string directory = cues.path().string();
    MixerIdentity identity;
    identity.applicationName = "ヌビロケーキ試験";
    identity.iconName = "io.github.quillet.QuilletTest";
    identity.streamName = "Test cues";
    identity.role = "music";

    // The player runs in a child, whose environment is its own to change.
    int ready[2];
    int finish[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(finish), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        close(ready[0]);
        close(finish[1]);
        for (const std::string& variable : server.environment()) {
            const std::string::size_type equals = variable.find('=');
            setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
        }
        setenv("PULSE_SERVER", server.address().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        // A value of the user's would win over the identity.
        for (const char* own : {"PULSE_PROP_application.icon_name", "PULSE_PROP_media.role",
                                "SDL_AUDIO_DEVICE_APP_NAME", "SDL_AUDIO_DEVICE_STREAM_NAME",
                                "SDL_AUDIO_DEVICE_STREAM_ROLE"}) {
            unsetenv(own);
        }
        exportMixerIdentity(identity);
        {
            SdlCuePlayer player([directory] { return directory; }, identity);
            player.play("long");
            const char answer = waitUntil([&] { return player.isSounding(); }) ? 'y' : 'n';
            (void)!write(ready[1], &answer, 1);
            pollfd done{finish[0], POLLIN, 0};
            poll(&done, 1, 15 * 1000);
        }
        _exit(0);
    }
    close(ready[1]);
    close(finish[0]);
    pollfd waitReady{ready[0], POLLIN, 0};
    char answer = 'n';
    if (poll(&waitReady, 1, 15 * 1000) == 1) {
        (void)!read(ready[0], &answer, 1);
    }
    close(ready[0]);

    std::string listing;
    if (answer == 'y') {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (listing.find("Sink Input #") == std::string::npos && Clock::now() < deadline) {
            listing = server.pactl({"list", "sink-inputs"}).output;
        }
    }
    close(finish[1]);
    int status = 0;
    const bool ended = reapChild(child, Clock::now() + std::chrono::seconds(5), status);

    ASSERT_EQ(answer, 'y') << "the cue never sounded through the server";
    ASSERT_NE(listing.find("Sink Input #"), std::string::npos)
        << "no stream while the cue sounded:\n"
        << listing;
    EXPECT_EQ(property(listing, "application.name"), identity.applicationName) << listing;
    EXPECT_EQ(property(listing, "application.icon_name"), identity.iconName) << listing;
    EXPECT_EQ(property(listing, "media.name"), identity.streamName) << listing;
    EXPECT_EQ(property(listing, "media.role"), identity.role) << listing;
    EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the player did not end cleanly";
}

}  // namespace
}  // namespace quillet
