#include "sound/sdl_cue_player.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "sound/cue_files.h"
#include "sound/sdl_library.h"

namespace quillet {

namespace {

using Clock = std::chrono::steady_clock;

// Device settings: CD-rate stereo with a buffer of 46 ms, so a cue starts within
// a few tens of milliseconds of being asked for. SDL's audio thread wakes once
// per buffer while the device is open; a buffer half as long doubled the
// player's share of the CPU in play for little gain in promptness. SDL may
// give another rate or channel count where the device prefers one: cues are
// converted to whatever it gives.
constexpr int DeviceFrequency = 44100;
constexpr SDL_AudioFormat DeviceFormat = AUDIO_S16SYS;
constexpr Uint8 DeviceChannels = 2;
constexpr Uint16 DeviceFrames = 2048;

// While the device is open, SDL's own audio thread wakes every few milliseconds
// even when nothing sounds. So the device is open only while cues come: it is
// closed once nothing has sounded for this long, and opened again by the next
// cue, which costs that cue about a millisecond.
constexpr std::chrono::seconds KeepDeviceOpen{5};

// After a device that could not be opened, cues are silent for this long
// before one tries again; each failure in a row doubles the pause, up to the
// longest. A sound server still starting at login is found a second later,
// and a machine without sound pays for one failed open a minute at most.
constexpr std::chrono::milliseconds FirstRetryPause{1000};
constexpr std::chrono::milliseconds LongestRetryPause{64000};

// Decoded sound is converted for the device in pieces of this many bytes, so
// that converting never holds more than the cue's decoded and converted sound.
// SDL's working buffer grows with the piece: at 64 kB it took fresh memory
// for every cue, and writing to fresh memory (a page fault every 4 kB) made
// converting a cue fifty times slower than at 4 kB.
constexpr Uint32 ConversionPieceBytes = 4 * 1024;

// SDL starts its threads (the one that feeds the device, and the loop threads
// of its sound-server drivers) with the scheduling policy of the thread that
// asks for them. The audio thread is a batch thread, so that reading and
// decoding a cue never preempts the game's thread; SDL's threads must not be
// batch threads, or the device could run dry while the game is busy. So the
// audio thread makes the SDL calls that may start threads under the ordinary
// policy, and goes back to batch afterwards.
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

// A value in PipeWire's notation for properties: a quoted string with its
// quotes and backslashes escaped.
std::string pipewireString(const std::string& value) {
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

// Threads and locks. The audio thread (run) is the only one that calls SDL.
// Callers only touch the queue and the flags under m_mutex. SDL's own audio
// thread runs the device callback (fill) with SDL's device lock held; the
// callback takes m_mutex when a cue ends. The audio thread takes the device
// lock to hand a cue to the callback, and m_mutex within it: so the device
// lock always comes first, and m_mutex is never held while calling SDL.
//
// The device. Nothing is loaded and nothing is opened until Prepare is called
// or the first cue is asked for. Then the audio thread loads SDL and opens the
// device, to learn whether sound can be played; unless a cue is already
// waiting it closes the device again at once. From then on a cue opens the
// device when it is closed, and it stays open until nothing has sounded for
// KeepDeviceOpen. An open that fails shuts SDL's audio down and sets the time
// of the next try; until then every cue returns at once.
class SdlCuePlayer::Impl {
public:
    Impl(std::function<std::string()> directory, MixerIdentity identity,
         std::function<const SdlFunctions*()> loadSdl)
        : m_directory(directory ? std::move(directory)
                                : std::function<std::string()>(programDirectory)),
          m_identity(std::move(identity)),
          m_loadSdl(loadSdl ? std::move(loadSdl) : std::function<const SdlFunctions*()>(sdl)) {
        // Only one player at a time owns SDL's audio in the process; claimed
        // here rather than on the audio thread, so that the player made first
        // is the one that sounds.
        Impl* noOwner = nullptr;
        if (!s_owner.compare_exchange_strong(noOwner, this)) {
            m_silentForGood = true;
            return;
        }
        try {
            m_worker = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            s_owner.store(nullptr);
            m_silentForGood = true;
        }
    }

    ~Impl() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_cv.notify_all();
        if (m_worker.joinable()) {
            m_worker.join();
        }
    }

    void prepare() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_prepare = true;
        }
        m_cv.notify_all();
    }

    // Both calls only hand the cue's name over: the audio thread looks for its
    // file and reads it. The fall tick can ask for three cues in a row, and the
    // game's thread should spend on each no more than a lock and a wake-up.
    void playAndWait(const std::string& cue) {
        SyncRequest request;
        std::unique_lock<std::mutex> lock(m_mutex);
        if (isSilentNow()) {
            return;
        }
        m_queue.push_back(Command{cue, &request});
        // Woken after the lock is let go, the audio thread does not run
        // straight into it.
        lock.unlock();
        m_cv.notify_all();
        lock.lock();
        m_cv.wait(lock, [&request] { return request.done; });
    }

    void play(const std::string& cue) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (isSilentNow()) {
                return;
            }
            // An asynchronous cue that has not started yet would be stopped by
            // this one at once: drop it, so that a burst of cues costs one play.
            while (!m_queue.empty() && m_queue.back().request == nullptr) {
                m_queue.pop_back();
            }
            m_queue.push_back(Command{cue, nullptr});
        }
        m_cv.notify_all();
    }

    bool isSounding() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sounding;
    }

    int playsStarted() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_playsStarted;
    }

private:
    // A playAndWait caller waits on this until its cue has been skipped or has ended.
    struct SyncRequest {
        bool done = false;
    };

    // The cue to play and, for playAndWait, its waiting caller (null for play).
    struct Command {
        std::string cue;
        SyncRequest* request = nullptr;
    };

    // Whether a cue asked for now cannot sound: the player is going, it is not
    // the process's player or SDL is missing, or the device failed and its
    // next try is still to come. Requires m_mutex.
    bool isSilentNow() const {
        return m_stopping || m_silentForGood || (m_retryPending && Clock::now() < m_retryAt);
    }

    // Lets a waiting playAndWait return. Requires m_mutex.
    void release(SyncRequest* request) {
        if (request != nullptr) {
            request->done = true;
            m_cv.notify_all();
        }
    }

    void run() {
        // Named, so that top -H and /proc tell this thread's time apart.
        pthread_setname_np(pthread_self(), "quillet-cues");
        // Reading and decoding a cue is never urgent next to the game's own
        // thread: as a batch thread, this one does not preempt it when woken.
        const sched_param batch{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_stopping || m_prepare || !m_queue.empty(); });
        if (!m_stopping) {
            lock.unlock();
            m_sdl = m_loadSdl();
            const bool opened = m_sdl != nullptr && openDevice();
            lock.lock();
            if (m_sdl == nullptr) {
                // Silent for good: another player may try its luck.
                m_silentForGood = true;
                s_owner.store(nullptr);
            }
            if (opened && m_queue.empty()) {
                lock.unlock();
                closeDevice();
                lock.lock();
            }
        }
        const auto asked = [this] { return m_stopping || !m_queue.empty(); };
        while (!m_stopping && m_sdl != nullptr) {
            if (m_device == 0) {
                m_cv.wait(lock, asked);
            } else if (m_sounding) {
                // Woken by the cue's end too, to start timing the silence.
                m_cv.wait(lock, [&] { return asked() || !m_sounding; });
            } else if (!m_cv.wait_for(lock, KeepDeviceOpen, asked)) {
                lock.unlock();
                closeDevice();
                lock.lock();
                continue;
            }
            if (m_stopping) {
                break;
            }
            if (m_queue.empty()) {
                continue;
            }
            Command command = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            if (m_device == 0 && !openDeviceIfDue()) {
                std::lock_guard<std::mutex> relock(m_mutex);
                release(command.request);
            } else if (command.request != nullptr) {
                handlePlayAndWait(command);
            } else {
                handlePlay(command);
            }
            lock.lock();
        }
        lock.unlock();
        if (m_sdl != nullptr) {
            closeDevice();
            stopAudio();
            // SDL keeps per-thread data (its error text, for one) that it frees
            // by itself only for threads it started.
            m_sdl->tlsCleanup();
        }
        lock.lock();
        for (Command& left : m_queue) {
            release(left.request);
        }
        m_queue.clear();
        release(m_cueRequest);
        m_cueRequest = nullptr;
        m_sounding = false;
        if (s_owner.load() == this) {
            s_owner.store(nullptr);
        }
    }

    // Opens the device unless its next try is still to come. A failed try
    // may have taken some time, so the clock is read anew.
    bool openDeviceIfDue() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_retryPending && Clock::now() < m_retryAt) {
                return false;
            }
        }
        return openDevice();
    }

    // Starts SDL's audio when it is not running and opens the device; on
    // failure shuts SDL's audio down again, so that the next try starts
    // afresh and may find a sound server that has come up meanwhile, and
    // sets the time of that try.
    bool openDevice() {
        if (!m_hintsGiven) {
            // With SDL's own SIGINT and SIGTERM handlers the signals would only
            // turn into SDL quit events that nobody reads, and the game would no
            // longer end on them.
            m_sdl->setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            // Read by SDL's sound-server drivers: the name when SDL connects,
            // in SDL_InitSubSystem, the stream's name and role when a device
            // opens (the role only by the PipeWire driver; PulseAudio gets it
            // from exportMixerIdentity). Set like this, an SDL_AUDIO_DEVICE_*
            // environment variable of the user's still wins.
            setHintIfGiven(SDL_HINT_AUDIO_DEVICE_APP_NAME, m_identity.applicationName);
            setHintIfGiven(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, m_identity.streamName);
            setHintIfGiven(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, m_identity.role);
            m_hintsGiven = true;
        }
        SDL_AudioSpec wanted{};
        wanted.freq = DeviceFrequency;
        wanted.format = DeviceFormat;
        wanted.channels = DeviceChannels;
        wanted.samples = DeviceFrames;
        wanted.callback = &Impl::fill;
        wanted.userdata = this;
        {
            OrdinaryScheduling ordinary;
            if (!m_audioStarted && m_sdl->initSubSystem(SDL_INIT_AUDIO) == 0) {
                m_audioStarted = true;
            }
            if (m_audioStarted) {
                m_device = m_sdl->openAudioDevice(
                    nullptr, 0, &wanted, &m_spec,
                    SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
            }
        }
        if (m_device == 0) {
            stopAudio();
        } else {
            m_sdl->pauseAudioDevice(m_device, 0);
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_device == 0) {
            m_retryAt = Clock::now() + m_retryPause;
            m_retryPending = true;
            m_retryPause = std::min(m_retryPause * 2, LongestRetryPause);
            return false;
        }
        m_retryPending = false;
        m_retryPause = FirstRetryPause;
        return true;
    }

    void setHintIfGiven(const char* hint, const std::string& value) {
        if (!value.empty()) {
            m_sdl->setHint(hint, value.c_str());
        }
    }

    void closeDevice() {
        if (m_device == 0) {
            return;
        }
        // Ending the cue lets a waiting playAndWait go.
        m_spare.clear();
        handOver(m_spare, nullptr);
        m_sdl->closeAudioDevice(m_device);
        m_device = 0;
        // The device's callback is gone: the buffers can go.
        m_samples = std::vector<Uint8>();
        m_spare = std::vector<Uint8>();
        m_file = std::vector<std::uint8_t>();
    }

    void stopAudio() {
        if (m_audioStarted) {
            m_sdl->quitSubSystem(SDL_INIT_AUDIO);
            m_audioStarted = false;
        }
    }

    // playAndWait: "no-stop". Everything queued before it has been handled, so
    // whether a cue sounds is settled: skip if one does, play otherwise.
    void handlePlayAndWait(const Command& command) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_sounding) {
                release(command.request);
                return;
            }
        }
        if (!loadCue(command.cue, m_spare)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            release(command.request);
            return;
        }
        handOver(m_spare, command.request);
    }

    // play: whatever sounds stops, even when the new cue cannot be played.
    void handlePlay(const Command& command) {
        loadCue(command.cue, m_spare);
        handOver(m_spare, nullptr);
    }

    // Hands `samples` to the device in place of whatever it plays, and takes
    // back the buffer it played from, emptied; empty samples stop the device's
    // cue. The cue that stops counts as ended. `request` is the playAndWait
    // caller that waits for the new cue's end, or null.
    void handOver(std::vector<Uint8>& samples, SyncRequest* request) {
        if (m_device != 0) {
            m_sdl->lockAudioDevice(m_device);
        }
        m_samples.swap(samples);
        m_played = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            release(m_cueRequest);
            m_sounding = !m_samples.empty();
            m_cueRequest = m_sounding ? request : nullptr;
            m_playsStarted += m_sounding ? 1 : 0;
            if (!m_sounding) {
                release(request);
            }
        }
        if (m_device != 0) {
            m_sdl->unlockAudioDevice(m_device);
        }
        // Kept with its memory for the next cue: memory the process already
        // has costs nothing to write to, while fresh memory costs a page
        // fault every 4 kB, which made converting a cue ten times slower.
        samples.clear();
    }

    // Puts the cue's sound into `samples` in the device's format, and tells
    // whether there is any. The file is looked up, read and decoded anew at
    // every play.
    bool loadCue(const std::string& cue, std::vector<Uint8>& samples) {
        samples.clear();
        std::vector<std::uint8_t>& file = m_file;
        readCueFile(cueFilePath(m_directory(), cue), file);
        const std::optional<WaveHeader> header = readWaveHeader(file);
        if (!header) {
            return false;
        }
        const DecodedSize most = mostDecodedSize(*header);
        if (most.frames == 0) {
            return false;
        }
        // What the device will be handed: the same length at its own rate and
        // channels.
        const std::uint64_t converted =
            static_cast<std::uint64_t>(most.seconds * m_spec.freq + 1) * m_spec.channels *
            (SDL_AUDIO_BITSIZE(m_spec.format) / 8);
        const std::uint64_t bytes = std::max(most.bytes, converted);
        if (most.seconds > MaxCueSeconds || bytes > MaxCueBytes) {
            reportOversized(cue, most.seconds, bytes);
            return false;
        }
        SDL_RWops* source = m_sdl->rwFromConstMem(file.data(), static_cast<int>(file.size()));
        if (source == nullptr) {
            return false;
        }
        SDL_AudioSpec spec{};
        Uint8* decoded = nullptr;
        Uint32 decodedBytes = 0;
        if (m_sdl->loadWav(source, 1, &spec, &decoded, &decodedBytes) == nullptr) {
            return false;
        }
        if (decodedBytes <= most.bytes) {
            samples.reserve(converted);
            convert(spec, decoded, decodedBytes, samples);
        }
        m_sdl->freeWav(decoded);
        return !samples.empty();
    }

    // Appends `decoded`, in the device's format, to the empty `converted`,
    // through an SDL audio stream fed in pieces: the result's size follows the
    // cue's length, which is bounded. Leaves `converted` empty on failure.
    void convert(const SDL_AudioSpec& from, const Uint8* decoded, Uint32 length,
                 std::vector<Uint8>& converted) {
        SDL_AudioStream* stream = m_sdl->newAudioStream(from.format, from.channels, from.freq,
                                                        m_spec.format, m_spec.channels, m_spec.freq);
        if (stream == nullptr) {
            return;
        }
        const auto drain = [&]() {
            const int available = m_sdl->audioStreamAvailable(stream);
            if (available <= 0) {
                return true;
            }
            const size_t at = converted.size();
            converted.resize(at + static_cast<size_t>(available));
            const int got = m_sdl->audioStreamGet(stream, converted.data() + at, available);
            converted.resize(at + static_cast<size_t>(std::max(got, 0)));
            return got >= 0;
        };
        // SDL takes whole frames only: three channels of 16 bits do not divide
        // a piece of 4 kB.
        const Uint32 frameBytes = std::max(1u, SDL_AUDIO_BITSIZE(from.format) / 8u * from.channels);
        const Uint32 pieceBytes = std::max(1u, ConversionPieceBytes / frameBytes) * frameBytes;
        bool fine = true;
        for (Uint32 at = 0; fine && at < length; at += pieceBytes) {
            const int piece = static_cast<int>(std::min(pieceBytes, length - at));
            fine = m_sdl->audioStreamPut(stream, decoded + at, piece) == 0 && drain();
        }
        fine = fine && m_sdl->audioStreamFlush(stream) == 0 && drain();
        m_sdl->freeAudioStream(stream);
        if (!fine) {
            converted.clear();
        }
    }

    // One line on standard error, the first time in the run that a cue is
    // turned away for its length: a player who put a long sound in its place
    // learns why it stays silent, and a game that asks for it again and again
    // does not fill the terminal.
    void reportOversized(const std::string& cue, double seconds, std::uint64_t bytes) {
        if (!m_reported.insert(cue).second) {
            return;
        }
        constexpr double MiB = 1024.0 * 1024.0;
        std::fprintf(stderr,
                     "quillet: the sound cue %s.wav is not played: it would last %.0f s and "
                     "take %.1f MiB, and a cue may last at most %.0f s and take at most "
                     "%.0f MiB.\n",
                     cue.c_str(), seconds, static_cast<double>(bytes) / MiB, MaxCueSeconds,
                     static_cast<double>(MaxCueBytes) / MiB);
    }

    // The device's callback, on SDL's audio thread with the device lock held:
    // copies the next samples of the cue, then silence. No SDL call may be
    // made here. The cue ends when its last sample has been handed over.
    static void SDLCALL fill(void* userdata, Uint8* stream, int length) {
        Impl* self = static_cast<Impl*>(userdata);
        const size_t wanted = static_cast<size_t>(length);
        const size_t left = self->m_samples.size() - self->m_played;
        const size_t copied = std::min(wanted, left);
        if (copied > 0) {
            std::memcpy(stream, self->m_samples.data() + self->m_played, copied);
            self->m_played += copied;
        }
        std::memset(stream + copied, self->m_spec.silence, wanted - copied);
        if (copied > 0 && self->m_played == self->m_samples.size()) {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_sounding = false;
            self->release(self->m_cueRequest);
            self->m_cueRequest = nullptr;
            // Wakes the audio thread, which starts timing the silence.
            self->m_cv.notify_all();
        }
    }

    static std::atomic<Impl*> s_owner;

    const std::function<std::string()> m_directory;
    const MixerIdentity m_identity;
    const std::function<const SdlFunctions*()> m_loadSdl;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    // Guarded by m_mutex.
    std::deque<Command> m_queue;
    bool m_prepare = false;
    bool m_stopping = false;
    bool m_silentForGood = false;
    bool m_sounding = false;
    bool m_retryPending = false;
    Clock::time_point m_retryAt;
    std::chrono::milliseconds m_retryPause = FirstRetryPause;
    SyncRequest* m_cueRequest = nullptr;
    int m_playsStarted = 0;

    // Audio thread only.
    const SdlFunctions* m_sdl = nullptr;
    bool m_hintsGiven = false;
    bool m_audioStarted = false;
    SDL_AudioDeviceID m_device = 0;
    std::set<std::string> m_reported;
    // The buffer that the next cue is converted into; once handed to the
    // device, the device's last buffer takes its place. Both keep their memory
    // until the device closes.
    std::vector<Uint8> m_spare;
    // The last cue file read, kept for its memory as well.
    std::vector<std::uint8_t> m_file;

    // The cue the device plays, and how much of it it has played. Changed by
    // the audio thread only under the device lock, read by the callback
    // under it; m_spec is set when the device opens, before the callback runs.
    SDL_AudioSpec m_spec{};
    std::vector<Uint8> m_samples;
    size_t m_played = 0;

    std::thread m_worker;
};

std::atomic<SdlCuePlayer::Impl*> SdlCuePlayer::Impl::s_owner{nullptr};

void exportMixerIdentity(const MixerIdentity& identity) {
    if (!identity.iconName.empty()) {
        setenv("PULSE_PROP_application.icon_name", identity.iconName.c_str(), 0);
        const std::string properties =
            "{ application.icon-name = " + pipewireString(identity.iconName) + " }";
        setenv("PIPEWIRE_PROPS", properties.c_str(), 0);
    }
    if (!identity.role.empty()) {
        setenv("PULSE_PROP_media.role", identity.role.c_str(), 0);
    }
}

SdlCuePlayer::SdlCuePlayer(std::function<std::string()> directory, MixerIdentity identity,
                           std::function<const SdlFunctions*()> loadSdl)
    : m_impl(std::make_unique<Impl>(std::move(directory), std::move(identity),
                                    std::move(loadSdl))) {}

SdlCuePlayer::~SdlCuePlayer() = default;

void SdlCuePlayer::prepare() {
    m_impl->prepare();
}

void SdlCuePlayer::playAndWait(const std::string& cue) {
    m_impl->playAndWait(cue);
}

void SdlCuePlayer::play(const std::string& cue) {
    m_impl->play(cue);
}

bool SdlCuePlayer::isSounding() const {
    return m_impl->isSounding();
}

int SdlCuePlayer::playsStarted() const {
    return m_impl->playsStarted();
}

}  // namespace quillet
