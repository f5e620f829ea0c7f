#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "sound_test_support.h"

// A sound server of a test's own: PulseAudio with a null sink, or PipeWire with
// a driver that paces the graph without a device. No device, no network,
// nothing of the user's.
namespace quillet::testing {

// The full path of `program` along PATH, or empty.
std::string findProgram(const std::string& program);

// Starts `arguments` (a full path first) with exactly `environment`, its
// output and errors going to `output`. The program is killed if this process
// dies first, so that nothing outlives a test stopped by ctest's timeout.
pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            int output);

struct ProgramRun {
    bool succeeded = false;
    std::string output;
};

// Runs a program to its end, for at most five seconds, and gathers what it wrote.
ProgramRun runProgram(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment);

// The properties of a stream, by key.
using Properties = std::map<std::string, std::string>;

// The properties in pactl's listing of one sink input, lines such as
// `		media.name = "Sound cues"`.
Properties pactlProperties(const std::string& listing);

// The string properties of the first playback stream in pw-dump's JSON, whose
// "props" object lists them one a line, such as `"media.name": "Sound cues",`.
// Empty when there is no such stream.
Properties pipewireStreamProperties(const std::string& dump);

// A sound server with a sink that plays to nowhere and a socket in a temporary
// folder, which also serves as its home, runtime, configuration and state
// folder. Killed when the object goes. As root it runs in the ordinary
// per-user mode too.
class PrivateSoundServer {
public:
    virtual ~PrivateSoundServer();

    // Empty when the server runs and answers; otherwise why it does not.
    virtual std::string start() = 0;

    // What the player's process needs to play through the server, beside
    // environment(): "NAME=value" each.
    virtual std::vector<std::string> clientVariables() const = 0;

    // The properties of the server's one playback stream, or nothing yet.
    virtual Properties streamProperties() const = 0;

    // The command line of a program that records, as raw 16-bit stereo at
    // 44.1 kHz on its standard output, what the server plays; empty when the
    // program is not installed.
    virtual std::vector<std::string> recorder() const = 0;

    // Whether the recorder hears a stream only once connectRecorder() has
    // joined them, so that a stream must be open before what is to be heard.
    virtual bool recorderNeedsConnecting() const { return false; }

    // Joins the open playback stream to the running recorder. Empty when it
    // did; otherwise why not.
    virtual std::string connectRecorder() const { return {}; }

    // Everything a client or the server would otherwise look for in the
    // user's home, runtime folder or session bus points into the folder.
    std::vector<std::string> environment() const;

    // Sets environment() and clientVariables() in this process, for a forked
    // child that plays through the server.
    void enter() const;

    // Stops the server as SIGSTOP does: it holds its connections and answers
    // nothing until it resumes.
    void stall();
    void resume();

    // Ends the server as a desktop's update does, with SIGTERM; start()
    // then starts a new one in its place.
    void end();

protected:
    std::string folder() const { return m_folder.path().string(); }

    // Starts the server, `arguments` with a full path first, and waits until
    // `answers` says it does. Empty when it does; otherwise why not.
    std::string launch(const std::vector<std::string>& arguments,
                       const std::function<bool()>& answers);

private:
    TempFolder m_folder;
    pid_t m_server = -1;
};

// PulseAudio with a null sink; pactl reads the stream's properties.
class PrivatePulseAudio : public PrivateSoundServer {
public:
    std::string start() override;
    std::vector<std::string> clientVariables() const override;
    Properties streamProperties() const override;

    // parec on the null sink's monitor, which hears every stream the sink plays.
    std::vector<std::string> recorder() const override;

private:
    std::string socket() const { return folder() + "/native"; }
    ProgramRun pactl(std::vector<std::string> arguments) const;

    std::string m_pactl;
};

// PipeWire with its own protocol, its PulseAudio server, a null sink and a
// driver that paces the graph without a device; pw-dump reads the stream's
// properties. With no session manager to set a stream's ports up and link
// them, the configuration gives every stream its ports, and a linker of the
// test's own (pw-link watching the ports) links every new playback port to
// the sink: PipeWire's PulseAudio server answers a new stream only once it is
// linked. Both configurations are in tests/sound/pipewire/.
class PrivatePipeWire : public PrivateSoundServer {
public:
    ~PrivatePipeWire() override;
    std::string start() override;
    std::vector<std::string> clientVariables() const override;
    Properties streamProperties() const override;

    // pw-record, which nothing links to the sink but connectRecorder().
    std::vector<std::string> recorder() const override;
    bool recorderNeedsConnecting() const override { return true; }
    // Links each monitor port of the sink to pw-record's input port of the
    // same channel, with pw-link.
    std::string connectRecorder() const override;

private:
    // Watches the server's output ports and links each new one of a stream
    // to the sink, until the watcher ends with the server.
    void link(int ports);
    void stopLinker();

    std::string m_dump;
    std::string m_link;
    pid_t m_watcher = -1;
    std::thread m_linker;
};

}  // namespace quillet::testing
