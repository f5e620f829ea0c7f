#include "sound/audio_device.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "sound/stream_latency.h"

namespace quillet {

namespace {

// Device settings: CD-rate stereo with a buffer of 512 frames (12 ms), so a cue
// reaches the device within a buffer of being asked for: a click that sounds
// at once, and a merge heard with the tick that made it. SDL's audio thread
// wakes once per buffer while the device is open, four times as often as with
// the 2,048 frames used before; see BENCHMARKS.md for what that costs. SDL may
// give another rate or channel count where the device prefers one: cues are
// converted to whatever it gives. PulseAudio gets a larger buffer, below.
constexpr int DeviceFrequency = 44100;
constexpr SDL_AudioFormat DeviceFormat = AUDIO_S16SYS;
constexpr Uint8 DeviceChannels = 2;
constexpr Uint16 DeviceFrames = 512;
// SDL's PulseAudio driver asks the server to keep one buffer ahead and writes
// only once all of it has been played, so the stream runs empty at every
// write: with 512 frames a late wake-up of SDL's thread, even on a quiet
// machine, left a gap inside a cue that a player hears as a crackle. With
// twice that there was none under SDL 2.26. From SDL 2.30 on, the driver
// hears the server's requests through a thread of libpulse's own, and 1,024
// frames still left gaps on a quiet machine; 2,048 left none. See
// BENCHMARKS.md.
constexpr Uint16 PulseAudioDeviceFrames = 1024;
constexpr Uint16 ThreadedPulseAudioDeviceFrames = 2048;

bool isPulseAudio(const char* driver) {
    return driver && std::string_view(driver) == "pulseaudio";
}

Uint16 deviceFrames(const char* driver, const SDL_version& version) {
    if (!isPulseAudio(driver)) {
        return DeviceFrames;
    }
    const bool threaded = version.major > 2 || (version.major == 2 && version.minor >= 30);
    return threaded ? ThreadedPulseAudioDeviceFrames : PulseAudioDeviceFrames;
}

// After a device that could not be opened, cues are silent for this long
// before one tries again; each failure in a row doubles the pause, up to the
// longest. A sound server still starting at login is found a second later,
// and a machine without sound pays for one failed open a minute at most.
constexpr std::chrono::milliseconds FirstRetryPause{1000};
constexpr std::chrono::milliseconds LongestRetryPause{64000};

// Once the callback has handed on a cue's last sample, the sound server still
// has that buffer to play: closing the device any earlier cut the end of a cue
// off. The device says when it has: each later run of the callback is the
// server asking for more, having taken in what it had. The cue counts as heard
// once the callback has run this many times after the run that handed on its
// last sample: then the server has played that buffer and the one after it,
// whatever its buffer or its pace, and a recording of a PulseAudio sink finds
// the click whole.
constexpr int PlayOutRuns = 2;

// A PulseAudio stream that the user's PULSE_LATENCY_MSEC makes longer than one
// buffer (see stream_latency.h) holds that much more after the cue's last
// buffer: each run of the callback means one more buffer has gone into the
// stream, so the cue has left it once the buffers after it fill the stream's
// whole length.
int playOutRuns(const char* driver, AudioDevice::Clock::duration buffer) {
    if (!isPulseAudio(driver) || buffer <= AudioDevice::Clock::duration::zero()) {
        return PlayOutRuns;
    }
    const std::optional<std::chrono::milliseconds> latency =
        streamLatencyAskedBy(std::getenv("PULSE_LATENCY_MSEC"));
    if (!latency) {
        return PlayOutRuns;
    }
    const auto buffersInStream = (*latency + buffer - AudioDevice::Clock::duration(1)) / buffer;
    return std::max(PlayOutRuns, static_cast<int>(buffersInStream) + 1);
}

// A callback late by more than a buffer and this much is not a busy machine but
// a device that no longer plays: a PipeWire server that was restarted never
// calls it again, one stopped by a signal not until it resumes.
constexpr std::chrono::milliseconds StallMargin{750};

// A new stream may take a while to get under way: on a PulseAudio null sink,
// the server asked for the second buffer 0.9 s after the device opened.
constexpr std::chrono::seconds StartLimit{3};

// SDL starts its threads (the one that feeds the device, and the loop threads
// of its sound-server drivers) with the scheduling policy of the thread that
// asks for them. The cue thread is a batch thread, so that reading and
// decoding a cue never preempts the game's thread; SDL's threads must not be
// batch threads, or the device could run dry while the game is busy. So the
// SDL calls that may start threads are made under the ordinary policy, and the
// cue thread goes back to batch afterwards.
class OrdinaryScheduling {
public:
    OrdinaryScheduling() {
        const sched_param none{};
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &none);
    }
    ~OrdinaryScheduling() {
        const sched_param none{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
    }
    OrdinaryScheduling(const OrdinaryScheduling&) = delete;
    OrdinaryScheduling& operator=(const OrdinaryScheduling&) = delete;
};

}  // namespace

AudioDevice::AudioDevice(const SdlFunctions& sdl, MixerIdentity identity)
    : m_sdl(sdl),
      m_identity(std::move(identity)),
      m_playOutRuns(PlayOutRuns),
      m_retryPause(FirstRetryPause) {}

AudioDevice::~AudioDevice() {
    stop();
}

bool AudioDevice::open() {
    if (m_device != 0) {
        return true;
    }
    if (Clock::now() < m_nextTry) {
        return false;
    }
    // SDL's audio may still be tied to a sound server that has gone away since
    // (a PulseAudio that was restarted): then it is started afresh once.
    const bool wasRunning = m_audioStarted;
    if (!tryOpen() && wasRunning) {
        stopAudio();
        tryOpen();
    }
    if (m_device == 0) {
        stopAudio();
        m_nextTry = Clock::now() + m_retryPause;
        m_retryPause = std::min(m_retryPause * 2, LongestRetryPause);
        return false;
    }
    m_nextTry = {};
    m_retryPause = FirstRetryPause;
    return true;
}

bool AudioDevice::tryOpen() {
    if (!m_hintsGiven) {
        // With SDL's own SIGINT and SIGTERM handlers the signals would only
        // turn into SDL quit events that nobody reads, and the game would no
        // longer end on them.
        m_sdl.setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // Read by SDL's sound-server drivers: the name when SDL connects,
        // in SDL_InitSubSystem, the stream's name and role when a device
        // opens (the role only by the PipeWire driver; PulseAudio gets it
        // from exportMixerIdentity). Set like this, an SDL_AUDIO_DEVICE_*
        // environment variable of the user's still wins.
        const std::pair<const char*, const std::string*> hints[] = {
            {SDL_HINT_AUDIO_DEVICE_APP_NAME, &m_identity.applicationName},
            {SDL_HINT_AUDIO_DEVICE_STREAM_NAME, &m_identity.streamName},
            {SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, &m_identity.role},
        };
        for (const auto& [hint, value] : hints) {
            if (!value->empty()) {
                m_sdl.setHint(hint, value->c_str());
            }
        }
        m_hintsGiven = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = DeviceFrequency;
    wanted.format = DeviceFormat;
    wanted.channels = DeviceChannels;
    wanted.callback = &CallbackFeed::fill;
    wanted.userdata = &m_feed;
    const char* driver = nullptr;
    {
        OrdinaryScheduling ordinary;
        if (!m_audioStarted && m_sdl.initSubSystem(SDL_INIT_AUDIO) == 0) {
            m_audioStarted = true;
        }
        if (m_audioStarted) {
            driver = m_sdl.currentAudioDriver();
            SDL_version version{};
            m_sdl.getVersion(&version);
            wanted.samples = deviceFrames(driver, version);
            m_device = m_sdl.openAudioDevice(
                nullptr, 0, &wanted, &m_spec,
                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
        }
    }
    if (m_device == 0) {
        return false;
    }
    m_playOutRuns = playOutRuns(driver, bufferLength());
    // A device opens paused: the callback does not run before this.
    m_feed.start(m_spec.silence);
    m_openedAt = Clock::now();
    m_sdl.pauseAudioDevice(m_device, 0);
    return true;
}

void AudioDevice::close() {
    if (m_device == 0) {
        return;
    }
    m_sdl.closeAudioDevice(m_device);
    m_device = 0;
    // The callback runs no more: the cue's buffer can go.
    std::vector<Uint8> none;
    m_feed.replace(none);
}

void AudioDevice::stop() {
    close();
    stopAudio();
}

void AudioDevice::stopAudio() {
    if (m_audioStarted) {
        m_sdl.quitSubSystem(SDL_INIT_AUDIO);
        m_audioStarted = false;
    }
}

AudioDevice::Clock::duration AudioDevice::lengthOf(std::size_t bytes) const {
    const std::size_t bytesPerSecond = static_cast<std::size_t>(m_spec.freq) * m_spec.channels *
                                       (SDL_AUDIO_BITSIZE(m_spec.format) / 8);
    if (bytesPerSecond == 0) {
        return Clock::duration::zero();
    }
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / bytesPerSecond));
}

AudioDevice::Clock::duration AudioDevice::bufferLength() const {
    return lengthOf(m_spec.size);
}

bool AudioDevice::handOver(std::vector<Uint8>& samples, const std::function<bool()>& accept) {
    if (m_device == 0) {
        return false;
    }
    m_sdl.lockAudioDevice(m_device);
    const bool accepted = !accept || accept();
    if (accepted) {
        m_feed.replace(samples);
    }
    m_sdl.unlockAudioDevice(m_device);
    return accepted;
}

bool AudioDevice::hasPlayedOut() const {
    return m_feed.runsSinceLastSample() >= m_playOutRuns;
}

std::optional<AudioDevice::Clock::time_point> AudioDevice::playOutDueAt() const {
    const std::optional<Clock::time_point> given = m_feed.lastSampleGiven();
    if (!given) {
        return std::nullopt;
    }
    return *given + bufferLength() * m_playOutRuns;
}

bool AudioDevice::hasStalled(Clock::time_point now) const {
    return m_device != 0 &&
           (m_sdl.getAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED || now >= stallsAt());
}

AudioDevice::Clock::time_point AudioDevice::stallsAt() const {
    const std::optional<Clock::time_point> lastRun = m_feed.lastRun();
    return lastRun ? *lastRun + bufferLength() + StallMargin : m_openedAt + StartLimit;
}

}  // namespace quillet
