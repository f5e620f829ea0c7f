// The cue stream as the desktop's volume mixer sees it. A private sound server
// with a sink that plays to nowhere (no device, no network, nothing of the
// user's) takes a cue from the real player, and the server's own tool reads
// the stream's properties while it sounds. Mixers list a stream by these:
// GNOME's and KDE's sound settings and pavucontrol. Two servers: PulseAudio,
// whose protocol PipeWire's PulseAudio server speaks too, and PipeWire with
// its own protocol.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
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

// The properties of a stream, by key.
using Properties = std::map<std::string, std::string>;

// The value of `key` in `properties`, or "(not set)".
std::string property(const Properties& properties, const std::string& key) {
    const auto found = properties.find(key);
    return found != properties.end() ? found->second : "(not set)";
}

// The properties in pactl's listing of one sink input, lines such as
// `		media.name = "Sound cues"`.
Properties pactlProperties(const std::string& listing) {
    Properties properties;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string::size_type equals = line.find(" = \"");
        if (line.rfind("\t\t", 0) != 0 || equals == std::string::npos || line.back() != '"') {
            continue;
        }
        properties[line.substr(2, equals - 2)] =
            line.substr(equals + 4, line.size() - equals - 5);
    }
    return properties;
}

// The string properties of the first playback stream in pw-dump's JSON, whose
// "props" object lists them one a line, such as `"media.name": "Sound cues",`.
// Empty when there is no such stream.
Properties pipewireStreamProperties(const std::string& dump) {
    Properties properties;
    const std::string::size_type stream = dump.find("\"media.class\": \"Stream/Output/Audio\"");
    if (stream == std::string::npos) {
        return properties;
    }
    const std::string::size_type start = dump.rfind("\"props\": {", stream);
    const std::string::size_type end = dump.find('}', stream);
    if (start == std::string::npos || end == std::string::npos) {
        return properties;
    }
    std::istringstream lines(dump.substr(start, end - start));
    std::string line;
    while (std::getline(lines, line)) {
        const std::string::size_type keyStart = line.find('"');
        const std::string::size_type keyEnd = line.find("\": \"", keyStart + 1);
        const std::string::size_type valueEnd = line.rfind('"');
        if (keyStart == std::string::npos || keyEnd == std::string::npos || valueEnd <= keyEnd + 3) {
            continue;
        }
        properties[line.substr(keyStart + 1, keyEnd - keyStart - 1)] =
            line.substr(keyEnd + 4, valueEnd - keyEnd - 4);
    }
    return properties;
}

std::string readLog(const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A sound server of the test's own, with a sink that plays to nowhere and a
// socket in a temporary folder, which also serves as its home, runtime,
// configuration and state folder. No device, no network, nothing of the
// user's. Killed when the object goes. As root it runs in the ordinary
// per-user mode too.
class PrivateSoundServer {
public:
    virtual ~PrivateSoundServer() {
        if (m_server > 0) {
            kill(m_server, SIGTERM);
            int status = 0;
            reapChild(m_server, Clock::now() + std::chrono::seconds(5), status);
        }
    }

    // Empty when the server runs and answers; otherwise why it does not.
    virtual std::string start() = 0;

    // What the player's process needs to play through the server, beside
    // environment(): "NAME=value" each.
    virtual std::vector<std::string> clientVariables() const = 0;

    // The properties of the server's one playback stream, or nothing yet.
    virtual Properties streamProperties() const = 0;

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
                "PIPEWIRE_RUNTIME_DIR=" + folder,
                "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/no-bus",
                "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + folder + "/no-bus"};
    }

protected:
    std::string folder() const { return m_folder.path().string(); }

    // Starts the server, `arguments` with a full path first, and waits until
    // `answers` says it does. Empty when it does; otherwise why not.
    std::string launch(const std::vector<std::string>& arguments,
                       const std::function<bool()>& answers) {
        const std::string name = arguments.front().substr(arguments.front().rfind('/') + 1);
        const std::string logFile = folder() + "/server.log";
        const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (log < 0) {
            return "cannot write " + logFile;
        }
        m_server = spawn(arguments, environment(), log);
        close(log);
        if (m_server < 0) {
            return "cannot start " + name;
        }
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_server, &status, WNOHANG) == m_server) {
                m_server = -1;
                return name + " ended at once: " + readLog(logFile);
            }
            if (answers()) {
                return {};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return name + " did not answer within ten seconds: " + readLog(logFile);
    }

private:
    TempFolder m_folder;
    pid_t m_server = -1;
};

// PulseAudio with a null sink; pactl reads the stream's properties.
class PrivatePulseAudio : public PrivateSoundServer {
public:
    std::string start() override {
        const std::string server = findProgram("pulseaudio");
        m_pactl = findProgram("pactl");
        if (server.empty() || m_pactl.empty()) {
            return "pulseaudio or pactl is not installed (packages pulseaudio, pulseaudio-utils)";
        }
        return launch({server, "-n", "--daemonize=no", "--system=no", "--use-pid-file=no",
                       "--exit-idle-time=-1", "--disable-shm=yes", "--high-priority=no",
                       "--realtime=no", "--no-cpu-limit=yes", "--log-target=stderr", "-L",
                       "module-null-sink", "-L",
                       "module-native-protocol-unix socket=" + socket() + " auth-anonymous=1"},
                      [this] {
                          return access(socket().c_str(), F_OK) == 0 && pactl({"info"}).succeeded;
                      });
    }

    std::vector<std::string> clientVariables() const override {
        return {"PULSE_SERVER=unix:" + socket(), "SDL_AUDIODRIVER=pulseaudio"};
    }

    Properties streamProperties() const override {
        const std::string listing = pactl({"list", "sink-inputs"}).output;
        if (listing.find("Sink Input #") == std::string::npos) {
            return {};
        }
        return pactlProperties(listing);
    }

private:
    std::string socket() const { return folder() + "/native"; }

    ProgramRun pactl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {m_pactl, "-s", "unix:" + socket()});
        return runProgram(arguments, environment());
    }

    std::string m_pactl;
};

// PipeWire with nothing but its own protocol and a driver that paces the
// graph without a device; pw-dump reads the stream's properties. With no
// session manager to set a stream's ports up and link them, the clients'
// configuration (in the folder) gives every stream its ports, which the
// driver then runs: SDL waits for its stream to run before its device opens.
class PrivatePipeWire : public PrivateSoundServer {
public:
    std::string start() override {
        const std::string server = findProgram("pipewire");
        m_dump = findProgram("pw-dump");
        if (server.empty() || m_dump.empty()) {
            return "pipewire or pw-dump is not installed (package pipewire-bin)";
        }
        const std::string configuration = folder() + "/server.conf";
        std::ofstream(configuration) << ServerConfiguration;
        std::filesystem::create_directories(folder() + "/pipewire/client.conf.d");
        std::ofstream(folder() + "/pipewire/client.conf.d/ports.conf") << ClientConfiguration;
        return launch({server, "-c", configuration}, [this] {
            return access((folder() + "/pipewire-0").c_str(), F_OK) == 0 &&
                   runProgram({m_dump}, environment()).succeeded;
        });
    }

    std::vector<std::string> clientVariables() const override {
        return {"SDL_AUDIODRIVER=pipewire"};
    }

    Properties streamProperties() const override {
        return pipewireStreamProperties(runProgram({m_dump}, environment()).output);
    }

private:
    static constexpr const char* ServerConfiguration = R"(
context.properties = { core.daemon = true core.name = pipewire-0 }
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
]
context.objects = [
    { factory = spa-node-factory
        args = { factory.name = support.node.driver node.name = Dummy-Driver priority.driver = 20000 }
    }
]
)";
    static constexpr const char* ClientConfiguration = R"(
stream.properties = {
    adapter.auto-port-config = { mode = dsp monitor = false control = false position = preserve }
}
)";

    std::string m_dump;
};

struct SoundServerKind {
    const char* name;
    std::function<std::unique_ptr<PrivateSoundServer>()> make;
    // The key of the icon's name: PulseAudio's and PipeWire's spell it apart.
    const char* iconKey;
};

// Names the server in test output.
// NOLINTNEXTLINE(readability-identifier-naming): GoogleTest looks for this name.
void PrintTo(const SoundServerKind& kind, std::ostream* out) {
    *out << kind.name;
}

const SoundServerKind SoundServers[] = {
    {"PulseAudio", [] { return std::make_unique<PrivatePulseAudio>(); }, "application.icon_name"},
    // SDL's own PipeWire driver, which newer SDL releases prefer where the
    // server is recent enough: its streams have no icon but PIPEWIRE_PROPS.
    {"PipeWire", [] { return std::make_unique<PrivatePipeWire>(); }, "application.icon-name"},
};

class CueMixerTest : public ::testing::TestWithParam<SoundServerKind> {};

TEST_P(CueMixerTest, TheStreamCarriesTheNameIconStreamNameAndRoleItWasGiven) {
    const std::unique_ptr<PrivateSoundServer> server = GetParam().make();
    const std::string whyNot = server->start();
    if (!whyNot.empty()) {
        GTEST_SKIP() << "no private " << GetParam().name << " server: " << whyNot;
    }
    TempFolder cues;
    writeCue(cues.path(), "long", 30000);
    const std::string directory = cues.path().string();
    MixerIdentity identity;
    identity.applicationName = "ヌビロケーキ試験";
    identity.iconName = "io.github.quillet.QuilletTest";
    identity.streamName = "Test cues";
    identity.role = "music";
    std::vector<std::string> variables = server->environment();
    for (const std::string& variable : server->clientVariables()) {
        variables.push_back(variable);
    }

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
        for (const std::string& variable : variables) {
            const std::string::size_type equals = variable.find('=');
            setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
        }
        // A value of the user's would win over the identity.
        for (const char* own : {"PULSE_PROP_application.icon_name", "PULSE_PROP_media.role",
                                "PIPEWIRE_PROPS", "SDL_AUDIO_DEVICE_APP_NAME",
                                "SDL_AUDIO_DEVICE_STREAM_NAME", "SDL_AUDIO_DEVICE_STREAM_ROLE"}) {
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

    Properties stream;
    if (answer == 'y') {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (stream.empty() && Clock::now() < deadline) {
            stream = server->streamProperties();
        }
    }
    close(finish[1]);
    int status = 0;
    const bool ended = reapChild(child, Clock::now() + std::chrono::seconds(5), status);

    ASSERT_EQ(answer, 'y') << "the cue never sounded through the server";
    ASSERT_FALSE(stream.empty()) << "no stream while the cue sounded";
    EXPECT_EQ(property(stream, "application.name"), identity.applicationName);
    EXPECT_EQ(property(stream, GetParam().iconKey), identity.iconName);
    EXPECT_EQ(property(stream, "media.name"), identity.streamName);
    EXPECT_EQ(property(stream, "media.role"), identity.role);
    EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the player did not end cleanly";
}

INSTANTIATE_TEST_SUITE_P(EveryServer, CueMixerTest, ::testing::ValuesIn(SoundServers),
                         [](const ::testing::TestParamInfo<SoundServerKind>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillet
