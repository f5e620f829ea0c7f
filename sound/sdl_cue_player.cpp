#include "sound/sdl_cue_player.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "sound/cue_files.h"
#include "sound/sdl_library.h"

namespace quillet {

namespace {

// Every cue plays on this one mixer channel: a new cue replaces the old one,
// and "is anything sounding" is a question about this channel alone.
constexpr int CueChannel = 0;

// Device settings: CD-rate stereo with a buffer of 46 ms, so a cue starts within
// a few tens of milliseconds of being asked for. SDL's audio thread wakes once
// per buffer while the device is open; a buffer half as long doubled the
// player's share of the CPU in play for little gain in promptness.
constexpr int MixFrequency = 44100;
constexpr int MixChannels = 2;
constexpr int MixChunkFrames = 2048;

// While the device is open, SDL's own audio thread wakes every few milliseconds
// even when nothing sounds. So the device is open only while cues come: it is
// closed once the channel has been silent this long, and opened again by the
// next cue, which costs that cue about a millisecond.
constexpr std::chrono::seconds KeepDeviceOpen{5};

}  // namespace

// Threads and locks. The audio thread (Run) is the only one that calls SDL or
// the mixer. Callers only touch the queue and the flags under m_mutex. The
// mixer's channel-finished callback runs either on SDL's own audio thread or,
// when a cue is halted, inside the halting mixer call on the audio thread of
// ours; it holds SDL's audio lock and takes m_mutex, so m_mutex is never held
// while calling into the mixer.
//
// The device. Nothing is loaded and nothing is opened until Prepare is called
// or the first cue is asked for. Then the audio thread loads SDL and opens the
// device once, to learn whether sound can be played at all; unless a cue is
// already waiting it closes the device again at once. From then on a cue opens
// the device when it is closed, and it stays open until the channel has been
// silent for KeepDeviceOpen.
class SdlCuePlayer::Impl {
public:
    Impl(std::function<std::string()> directory, MixerIdentity identity)
        : m_directory(directory ? std::move(directory)
                                : std::function<std::string()>(programDirectory)),
          m_identity(std::move(identity)) {
        // Only one player at a time owns SDL's audio in the process; claimed
        // here rather than on the audio thread, so that the player made first
        // is the one that sounds.
        Impl* noOwner = nullptr;
        if (!s_owner.compare_exchange_strong(noOwner, this)) {
            m_device = Device::Unavailable;
            return;
        }
        try {
            m_worker = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            s_owner.store(nullptr);
            m_device = Device::Unavailable;
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
        if (m_stopping || m_device == Device::Unavailable) {
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
            if (m_stopping || m_device == Device::Unavailable) {
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
    // Opening until the audio thread has tried the device for the first time;
    // Usable means that sound can be played, whether the device is open at
    // this moment or not.
    enum class Device { Opening, Usable, Unavailable };

    // A playAndWait caller waits on this until its cue has been skipped or has ended.
    struct SyncRequest {
        bool done = false;
    };

    // The cue to play and, for playAndWait, its waiting caller (null for play).
    struct Command {
        std::string cue;
        SyncRequest* request = nullptr;
    };

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
        sched_param batch{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_stopping || m_prepare || !m_queue.empty(); });
        const bool usable = !m_stopping && startAudio(lock);
        m_device = usable ? Device::Usable : Device::Unavailable;
        if (!usable) {
            // Silent for good: another player may try its luck.
            s_owner.store(nullptr);
        }
        if (usable && m_queue.empty()) {
            lock.unlock();
            closeDevice();
            lock.lock();
        }
        const auto wake = [this] {
            return m_stopping || !m_queue.empty() || (m_chunk != nullptr && !m_sounding);
        };
        for (;;) {
            if (m_deviceOpen && m_chunk == nullptr && !m_sounding) {
                if (!m_cv.wait_for(lock, KeepDeviceOpen, wake)) {
                    lock.unlock();
                    closeDevice();
                    lock.lock();
                    continue;
                }
            } else {
                m_cv.wait(lock, wake);
            }
            if (m_stopping) {
                break;
            }
            const bool channelIdle = !m_sounding;
            bool hasCommand = false;
            Command command;
            if (!m_queue.empty()) {
                command = std::move(m_queue.front());
                m_queue.pop_front();
                hasCommand = true;
            }
            lock.unlock();
            if (channelIdle) {
                // The last cue has ended: its samples are no longer needed.
                freeChunk();
            }
            if (hasCommand) {
                if (!usable || (!m_deviceOpen && !openDevice())) {
                    std::lock_guard<std::mutex> relock(m_mutex);
                    release(command.request);
                } else if (command.request != nullptr) {
                    handlePlayCue(command);
                } else {
                    handlePlayCueAsync(command);
                }
            }
            lock.lock();
        }
        lock.unlock();
        if (usable) {
            stopAudio();
        }
        if (m_sdl != nullptr) {
            // SDL keeps per-thread data (its error text, for one) that it frees
            // by itself only for threads it started.
            m_sdl->tlsCleanup();
        }
        lock.lock();
        for (Command& left : m_queue) {
            release(left.request);
        }
        m_queue.clear();
        release(m_channelRequest);
        m_channelRequest = nullptr;
        m_sounding = false;
    }

    // Loads SDL, starts its audio subsystem and opens the device. Called with
    // `lock` held; returns with it held.
    bool startAudio(std::unique_lock<std::mutex>& lock) {
        lock.unlock();
        m_sdl = sdl();
        bool started = false;
        if (m_sdl != nullptr) {
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
            if (m_sdl->initSubSystem(SDL_INIT_AUDIO) == 0) {
                started = openDevice();
                if (!started) {
                    m_sdl->quitSubSystem(SDL_INIT_AUDIO);
                }
            }
        }
        lock.lock();
        return started;
    }

    void setHintIfGiven(const char* hint, const std::string& value) {
        if (!value.empty()) {
            m_sdl->setHint(hint, value.c_str());
        }
    }

    bool openDevice() {
        if (m_sdl->openAudio(MixFrequency, MIX_DEFAULT_FORMAT, MixChannels, MixChunkFrames) != 0) {
            return false;
        }
        m_sdl->allocateChannels(1);
        m_sdl->channelFinished(&Impl::onChannelFinished);
        m_deviceOpen = true;
        return true;
    }

    void closeDevice() {
        if (!m_deviceOpen) {
            return;
        }
        // Halting runs the finished callback, which lets a waiting playAndWait go.
        m_sdl->haltChannel(CueChannel);
        freeChunk();
        m_sdl->channelFinished(nullptr);
        m_sdl->closeAudio();
        m_deviceOpen = false;
    }

    void stopAudio() {
        closeDevice();
        m_sdl->quitSubSystem(SDL_INIT_AUDIO);
        s_owner.store(nullptr);
    }

    // playAndWait: "no-stop". Everything queued before it has been handled, so the
    // channel's state is settled: skip if a cue sounds, play otherwise.
    void handlePlayCue(const Command& command) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_sounding) {
                release(command.request);
                return;
            }
        }
        Mix_Chunk* chunk = loadChunk(command.cue);
        if (chunk == nullptr) {
            std::lock_guard<std::mutex> lock(m_mutex);
            release(command.request);
            return;
        }
        freeChunk();
        start(chunk, command.request);
    }

    // play: whatever sounds stops, even when the new cue cannot be played.
    void handlePlayCueAsync(const Command& command) {
        Mix_Chunk* chunk = loadChunk(command.cue);
        m_sdl->haltChannel(CueChannel);
        freeChunk();
        if (chunk != nullptr) {
            start(chunk, nullptr);
        }
    }

    // The file is looked up, read and decoded anew at every play.
    Mix_Chunk* loadChunk(const std::string& cue) {
        std::vector<Uint8> bytes = readCueFile(cueFilePath(m_directory(), cue));
        if (!isCompleteWave(bytes)) {
            return nullptr;
        }
        SDL_RWops* source = m_sdl->rwFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
        if (source == nullptr) {
            return nullptr;
        }
        return m_sdl->loadWav(source, 1);
    }

    // Requires an idle channel. `request` is the playAndWait caller that waits for
    // this cue's end, or null.
    void start(Mix_Chunk* chunk, SyncRequest* request) {
        // Marked as sounding before it starts: the finished callback of a very
        // short cue may come before Mix_PlayChannel has even returned.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_sounding = true;
            m_channelRequest = request;
            ++m_playsStarted;
        }
        m_chunk = chunk;
        if (m_sdl->playChannel(CueChannel, chunk, 0) < 0) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_sounding = false;
                --m_playsStarted;
                release(m_channelRequest);
                m_channelRequest = nullptr;
            }
            freeChunk();
        }
    }

    // Audio thread only, and only once the channel has stopped.
    void freeChunk() {
        if (m_chunk != nullptr) {
            m_sdl->freeChunk(m_chunk);
            m_chunk = nullptr;
        }
    }

    // The mixer's channel-finished callback: no SDL or mixer call may be made
    // here, only the flag and the wake-up.
    static void SDLCALL onChannelFinished(int channel) {
        Impl* self = s_owner.load();
        if (self == nullptr || channel != CueChannel) {
            return;
        }
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_sounding = false;
        self->release(self->m_channelRequest);
        self->m_channelRequest = nullptr;
        // Wakes the audio thread, which frees the finished cue's samples.
        self->m_cv.notify_all();
    }

    static std::atomic<Impl*> s_owner;

    const std::function<std::string()> m_directory;
    const MixerIdentity m_identity;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    // Guarded by m_mutex.
    std::deque<Command> m_queue;
    Device m_device = Device::Opening;
    bool m_prepare = false;
    bool m_stopping = false;
    bool m_sounding = false;
    SyncRequest* m_channelRequest = nullptr;
    int m_playsStarted = 0;

    // Audio thread only. m_chunk and m_deviceOpen are also read by the audio
    // thread's own wait conditions, under m_mutex.
    const SdlFunctions* m_sdl = nullptr;
    bool m_deviceOpen = false;
    Mix_Chunk* m_chunk = nullptr;

    std::thread m_worker;
};

std::atomic<SdlCuePlayer::Impl*> SdlCuePlayer::Impl::s_owner{nullptr};

void exportMixerIdentity(const MixerIdentity& identity) {
    if (!identity.iconName.empty()) {
        setenv("PULSE_PROP_application.icon_name", identity.iconName.c_str(), 0);
    }
    if (!identity.role.empty()) {
        setenv("PULSE_PROP_media.role", identity.role.c_str(), 0);
    }
}

SdlCuePlayer::SdlCuePlayer(std::function<std::string()> directory, MixerIdentity identity)
    : m_impl(std::make_unique<Impl>(std::move(directory), std::move(identity))) {}

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
