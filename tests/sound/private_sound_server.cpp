#include "private_sound_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

namespace quillet::testing {

using Clock = std::chrono::steady_clock;

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

Properties pactlProperties(const std::string& listing) {
    Properties properties;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string::size_type equals = line.find(" = \"");
        if (line.rfind("\t\t", 0) != 0 || equals == std::string::npos || line.back() != '"') {
            continue;
        }
        properties[line.substr(2, equals - 2)] = line.substr(equals + 4, line.size() - equals - 5);
    }
    return properties;
}

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
        if (keyStart == std::string::npos || keyEnd == std::string::npos ||
            valueEnd <= keyEnd + 3) {
            continue;
        }
        std::string key = line.substr(keyStart + 1, keyEnd - keyStart - 1);
        std::string value = line.substr(keyEnd + 4, valueEnd - keyEnd - 4);
        // PipeWire's PulseAudio server keeps a client's icon under its own
        // key, and PulseAudio's roles under its own capitalised names
        // ("game" as "Game"): named back as the client gave them.
        if (key == "application.icon-name") {
            key = "application.icon_name";
        }
        if (key == "media.role") {
            std::transform(value.begin(), value.end(), value.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        }
        properties[key] = value;
    }
    return properties;
}

namespace {

std::string readLog(const std::string& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

PrivateSoundServer::~PrivateSoundServer() {
    end();
}

void PrivateSoundServer::end() {
    if (m_server > 0) {
        // A stopped server would not see SIGTERM until it resumes.
        kill(m_server, SIGCONT);
        kill(m_server, SIGTERM);
        int status = 0;
        reapChild(m_server, Clock::now() + std::chrono::seconds(5), status);
        m_server = -1;
    }
}

std::vector<std::string> PrivateSoundServer::environment() const {
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

void PrivateSoundServer::enter() const {
    std::vector<std::string> variables = environment();
    for (const std::string& variable : clientVariables()) {
        variables.push_back(variable);
    }
    for (const std::string& variable : variables) {
        const std::string::size_type equals = variable.find('=');
        setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
    }
}

void PrivateSoundServer::stall() {
    kill(m_server, SIGSTOP);
}

void PrivateSoundServer::resume() {
    kill(m_server, SIGCONT);
}

std::string PrivateSoundServer::launch(const std::vector<std::string>& arguments,
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

std::string PrivatePulseAudio::start() {
    const std::string server = findProgram("pulseaudio");
    m_pactl = findProgram("pactl");
    if (server.empty() || m_pactl.empty()) {
        return "pulseaudio or pactl is not installed (packages pulseaudio, pulseaudio-utils)";
    }
    return launch(
        {server, "-n", "--daemonize=no", "--system=no", "--use-pid-file=no", "--exit-idle-time=-1",
         "--disable-shm=yes", "--high-priority=no", "--realtime=no", "--no-cpu-limit=yes",
         "--log-target=stderr", "-L", "module-null-sink", "-L",
         "module-native-protocol-unix socket=" + socket() + " auth-anonymous=1"},
        [this] { return access(socket().c_str(), F_OK) == 0 && pactl({"info"}).succeeded; });
}

std::vector<std::string> PrivatePulseAudio::clientVariables() const {
    return {"PULSE_SERVER=unix:" + socket()};
}

Properties PrivatePulseAudio::streamProperties() const {
    const std::string listing = pactl({"list", "sink-inputs"}).output;
    if (listing.find("Sink Input #") == std::string::npos) {
        return {};
    }
    return pactlProperties(listing);
}

std::vector<std::string> PrivatePulseAudio::recorder() const {
    const std::string parec = findProgram("parec");
    if (parec.empty()) {
        return {};
    }
    // The null sink's monitor, which module-null-sink names after its sink.
    return {parec,
            "-s",
            "unix:" + socket(),
            "-d",
            "null.monitor",
            "--raw",
            "--format=s16le",
            "--rate=44100",
            "--channels=2",
            "--latency-msec=20"};
}

ProgramRun PrivatePulseAudio::pactl(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {m_pactl, "-s", "unix:" + socket()});
    return runProgram(arguments, environment());
}

std::string PrivatePipeWire::start() {
    const std::string server = findProgram("pipewire");
    m_dump = findProgram("pw-dump");
    if (server.empty() || m_dump.empty()) {
        return "pipewire or pw-dump is not installed (package pipewire-bin)";
    }
    // The configuration is bench.sh's too.
    const std::filesystem::path shipped = QUILLET_TEST_PIPEWIRE_CONFIGURATION;
    const std::string configuration = folder() + "/server.conf";
    // The PulseAudio server's streams read server.conf, pw-record's client-rt.conf.
    const std::pair<const char*, std::string> copies[] = {
        {"server.conf", configuration},
        {"ports.conf", folder() + "/pipewire/client.conf.d/ports.conf"},
        {"ports.conf", folder() + "/pipewire/client-rt.conf.d/ports.conf"},
    };
    for (const auto& [from, to] : copies) {
        std::error_code failed;
        std::filesystem::create_directories(std::filesystem::path(to).parent_path(), failed);
        if (!failed) {
            std::filesystem::copy_file(shipped / from, to,
                                       std::filesystem::copy_options::overwrite_existing, failed);
        }
        if (failed) {
            return "cannot copy " + (shipped / from).string() + ": " + failed.message();
        }
    }
    stopLinker();
    const std::string started = launch({server, "-c", configuration}, [this] {
        return access((folder() + "/pipewire-0").c_str(), F_OK) == 0 &&
               access((folder() + "/native").c_str(), F_OK) == 0 &&
               runProgram({m_dump}, environment()).succeeded;
    });
    if (!started.empty()) {
        return started;
    }
    // The sink's ports as a session manager would set them: a playback port
    // and a monitor port for each channel. PipeWire 0.3 takes them from the
    // sink's adapter.auto-port-config; PipeWire 1.x leaves an object of the
    // configuration with its one port until it is told.
    const std::string cli = findProgram("pw-cli");
    if (cli.empty()) {
        return "pw-cli is not installed (package pipewire-bin)";
    }
    if (!runProgram({cli, "set-param", "quillet-sink", "PortConfig",
                     R"({ "direction": "Input", "mode": "dsp", "monitor": true, "format": {)"
                     R"( "mediaType": "audio", "mediaSubtype": "raw", "format": "F32P",)"
                     R"( "rate": 44100, "channels": 2, "position": [ "FL", "FR" ] } })"},
                    environment())
             .succeeded) {
        return "pw-cli could not set the sink's ports";
    }
    m_link = findProgram("pw-link");
    int ports[2];
    if (m_link.empty() || pipe2(ports, O_CLOEXEC) != 0) {
        return "pw-link is not installed (package pipewire-bin)";
    }
    m_watcher = spawn({m_link, "--monitor", "--output"}, environment(), ports[1]);
    close(ports[1]);
    m_linker = std::thread([this, read = ports[0]] { link(read); });
    return {};
}

PrivatePipeWire::~PrivatePipeWire() {
    stopLinker();
}

void PrivatePipeWire::stopLinker() {
    if (m_watcher > 0) {
        kill(m_watcher, SIGKILL);
        int status = 0;
        waitpid(m_watcher, &status, 0);
        m_watcher = -1;
    }
    if (m_linker.joinable()) {
        m_linker.join();
    }
}

// pw-link --monitor writes a line for each port: "= node:port" for those
// already there, "+ node:port" for a new one, "- node:port" for one gone.
// Both of the first are linked: a player may have opened its stream on a
// restarted server before the linker started. A mono stream's one port goes
// to both of the sink's channels.
void PrivatePipeWire::link(int ports) {
    std::string pending;
    char buffer[1024];
    for (ssize_t got; (got = read(ports, buffer, sizeof buffer)) > 0;) {
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::string::size_type end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const std::string port = line.size() > 2 ? line.substr(2) : std::string();
            const bool there = line.rfind("+ ", 0) == 0 || line.rfind("= ", 0) == 0;
            if (!there || port.rfind("quillet-sink:", 0) == 0) {
                continue;
            }
            const std::string channel = port.substr(port.rfind('_') + 1);
            for (const char* sinkChannel : {"FL", "FR"}) {
                if (channel == sinkChannel || channel == "MONO") {
                    runProgram({m_link, port, std::string("quillet-sink:playback_") + sinkChannel},
                               environment());
                }
            }
        }
    }
    close(ports);
}

// PipeWire's PulseAudio server, a module of the server, listens on "native" in
// PULSE_RUNTIME_PATH, the folder.
std::vector<std::string> PrivatePipeWire::clientVariables() const {
    return {"PULSE_SERVER=unix:" + folder() + "/native"};
}

Properties PrivatePipeWire::streamProperties() const {
    return pipewireStreamProperties(runProgram({m_dump}, environment()).output);
}

std::vector<std::string> PrivatePipeWire::recorder() const {
    const std::string record = findProgram("pw-record");
    if (record.empty()) {
        return {};
    }
    return {record, "--rate", "44100", "--channels", "2", "--format", "s16", "-"};
}

std::string PrivatePipeWire::connectRecorder() const {
    const std::string recorderPort = "pw-record:input_";
    const bool found = waitUntil([&] {
        const std::string inputs = runProgram({m_link, "-i"}, environment()).output;
        return inputs.find(recorderPort + "FR") != std::string::npos;
    });
    if (!found) {
        return "pw-record's ports did not show";
    }
    for (const char* channel : {"FL", "FR"}) {
        if (!runProgram({m_link, std::string("quillet-sink:monitor_") + channel,
                         recorderPort + channel},
                        environment())
                 .succeeded) {
            return std::string("pw-link could not link the sink's monitor ") + channel +
                   " to pw-record";
        }
    }
    return {};
}

}  // namespace quillet::testing
