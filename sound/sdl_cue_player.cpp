#include "sound/sdl_cue_player.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
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
constexpr int kCueChannel = 0;

// Device settings: CD-rate stereo with a buffer of 46 ms, so a cue starts within
// a few tens of milliseconds of being asked for. SDL's audio thread wakes once
// per buffer while the device is open; a buffer half as long doubled the
// player's share of the CPU in play for little gain in promptness.
constexpr int kMixFrequency = 44100;
constexpr int kMixChannels = 2;
constexpr int kMixChunkFrames = 2048;

// While the device is open, SDL's own audio thread wakes every few milliseconds
// even when nothing sounds. So the device is open only while cues come: it is
// closed once the channel has been silent this long, and opened again by the
// next cue, which costs that cue about a millisecond.
constexpr std::chrono::seconds kKeepDeviceOpen{5};

}  // namespace

// Threads and locks. The audio thread (Run) is the only one that calls SDL or
// the mixer. Callers only touch the queue and the flags under mutex_. The
// mixer's channel-finished callback runs either on SDL's own audio thread or,
// when a cue is halted, inside the halting mixer call on the audio thread of
// ours; it holds SDL's audio lock and takes mutex_, so mutex_ is never held
// while calling into the mixer.
//
// The device. Nothing is loaded and nothing is opened until Prepare is called
// or the first cue is asked for. Then the audio thread loads SDL and opens the
// device once, to learn whether sound can be played at all; unless a cue is
// already waiting it closes the device again at once. From then on a cue opens
// the device when it is closed, and it stays open until the channel has been
// silent for kKeepDeviceOpen.
class SdlCuePlayer::Impl {
public:
    explicit Impl(std::function<std::string()> directory)
        : directory_(directory ? std::move(directory)
                               : std::function<std::string()>(ProgramDirectory)) {
        // Only one player at a time owns SDL's audio in the process; claimed
        // here rather than on the audio thread, so that the player made first
        // is the one that sounds.
        Impl* no_owner = nullptr;
        if (!owner_.compare_exchange_strong(no_owner, this)) {
            device_ = Device::kUnavailable;
            return;
        }
        try {
            worker_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            owner_.store(nullptr);
            device_ = Device::kUnavailable;
        }
    }

    ~Impl() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        if (worker_.joinable()) {
            worker_.join();
        }
    }

    void Prepare() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            prepare_ = true;
        }
        cv_.notify_all();
    }

    // Both calls only hand the cue's name over: the audio thread looks for its
    // file and reads it. The fall tick can ask for three cues in a row, and the
    // game's thread should spend on each no more than a lock and a wake-up.
    void playAndWait(const std::string& cue) {
        SyncRequest request;
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopping_ || device_ == Device::kUnavailable) {
            return;
        }
        queue_.push_back(Command{cue, &request});
        // Woken after the lock is let go, the audio thread does not run
        // straight into it.
        lock.unlock();
        cv_.notify_all();
        lock.lock();
        cv_.wait(lock, [&request] { return request.done; });
    }

    void play(const std::string& cue) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_ || device_ == Device::kUnavailable) {
                return;
            }
            // An asynchronous cue that has not started yet would be stopped by
            // this one at once: drop it, so that a burst of cues costs one play.
            while (!queue_.empty() && queue_.back().request == nullptr) {
                queue_.pop_back();
            }
            queue_.push_back(Command{cue, nullptr});
        }
        cv_.notify_all();
    }

    bool IsSounding() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sounding_;
    }

    int PlaysStarted() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return plays_started_;
    }

private:
    // kOpening until the audio thread has tried the device for the first time;
    // kUsable means that sound can be played, whether the device is open at
    // this moment or not.
    enum class Device { kOpening, kUsable, kUnavailable };

    // A playAndWait caller waits on this until its cue has been skipped or has ended.
    struct SyncRequest {
        bool done = false;
    };

    // The cue to play and, for playAndWait, its waiting caller (null for play).
    struct Command {
        std::string cue;
        SyncRequest* request = nullptr;
    };

    // Lets a waiting playAndWait return. Requires mutex_.
    void Release(SyncRequest* request) {
        if (request != nullptr) {
            request->done = true;
            cv_.notify_all();
        }
    }

    void Run() {
        // Named, so that top -H and /proc tell this thread's time apart.
        pthread_setname_np(pthread_self(), "quillet-cues");
        // Reading and decoding a cue is never urgent next to the game's own
        // thread: as a batch thread, this one does not preempt it when woken.
        sched_param batch{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return stopping_ || prepare_ || !queue_.empty(); });
        const bool usable = !stopping_ && StartAudio(lock);
        device_ = usable ? Device::kUsable : Device::kUnavailable;
        if (!usable) {
            // Silent for good: another player may try its luck.
            owner_.store(nullptr);
        }
        if (usable && queue_.empty()) {
            lock.unlock();
            CloseDevice();
            lock.lock();
        }
        const auto wake = [this] {
            return stopping_ || !queue_.empty() || (chunk_ != nullptr && !sounding_);
        };
        for (;;) {
            if (device_open_ && chunk_ == nullptr && !sounding_) {
                if (!cv_.wait_for(lock, kKeepDeviceOpen, wake)) {
                    lock.unlock();
                    CloseDevice();
                    lock.lock();
                    continue;
                }
            } else {
                cv_.wait(lock, wake);
            }
            if (stopping_) {
                break;
            }
            const bool channel_idle = !sounding_;
            bool has_command = false;
            Command command;
            if (!queue_.empty()) {
                command = std::move(queue_.front());
                queue_.pop_front();
                has_command = true;
            }
            lock.unlock();
            if (channel_idle) {
                // The last cue has ended: its samples are no longer needed.
                FreeChunk();
            }
            if (has_command) {
                if (!usable || (!device_open_ && !OpenDevice())) {
                    std::lock_guard<std::mutex> relock(mutex_);
                    Release(command.request);
                } else if (command.request != nullptr) {
                    HandlePlayCue(command);
                } else {
                    HandlePlayCueAsync(command);
                }
            }
            lock.lock();
        }
        lock.unlock();
        if (usable) {
            StopAudio();
        }
        if (sdl_ != nullptr) {
            // SDL keeps per-thread data (its error text, for one) that it frees
            // by itself only for threads it started.
            sdl_->TLSCleanup();
        }
        lock.lock();
        for (Command& left : queue_) {
            Release(left.request);
        }
        queue_.clear();
        Release(channel_request_);
        channel_request_ = nullptr;
        sounding_ = false;
    }

    // Loads SDL, starts its audio subsystem and opens the device. Called with
    // `lock` held; returns with it held.
    bool StartAudio(std::unique_lock<std::mutex>& lock) {
        lock.unlock();
        sdl_ = Sdl();
        bool started = false;
        if (sdl_ != nullptr) {
            // With SDL's own SIGINT and SIGTERM handlers the signals would only
            // turn into SDL quit events that nobody reads, and the game would no
            // longer end on them.
            sdl_->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            if (sdl_->InitSubSystem(SDL_INIT_AUDIO) == 0) {
                started = OpenDevice();
                if (!started) {
                    sdl_->QuitSubSystem(SDL_INIT_AUDIO);
                }
            }
        }
        lock.lock();
        return started;
    }

    bool OpenDevice() {
        if (sdl_->OpenAudio(kMixFrequency, MIX_DEFAULT_FORMAT, kMixChannels, kMixChunkFrames) !=
            0) {
            return false;
        }
        sdl_->AllocateChannels(1);
        sdl_->ChannelFinished(&Impl::OnChannelFinished);
        device_open_ = true;
        return true;
    }

    void CloseDevice() {
        if (!device_open_) {
            return;
        }
        // Halting runs the finished callback, which lets a waiting playAndWait go.
        sdl_->HaltChannel(kCueChannel);
        FreeChunk();
        sdl_->ChannelFinished(nullptr);
        sdl_->CloseAudio();
        device_open_ = false;
    }

    void StopAudio() {
        CloseDevice();
        sdl_->QuitSubSystem(SDL_INIT_AUDIO);
        owner_.store(nullptr);
    }

    // playAndWait: "no-stop". Everything queued before it has been handled, so the
    // channel's state is settled: skip if a cue sounds, play otherwise.
    void HandlePlayCue(const Command& command) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (sounding_) {
                Release(command.request);
                return;
            }
        }
        Mix_Chunk* chunk = LoadChunk(command.cue);
        if (chunk == nullptr) {
            std::lock_guard<std::mutex> lock(mutex_);
            Release(command.request);
            return;
        }
        FreeChunk();
        Start(chunk, command.request);
    }

    // play: whatever sounds stops, even when the new cue cannot be played.
    void HandlePlayCueAsync(const Command& command) {
        Mix_Chunk* chunk = LoadChunk(command.cue);
        sdl_->HaltChannel(kCueChannel);
        FreeChunk();
        if (chunk != nullptr) {
            Start(chunk, nullptr);
        }
    }

    // The file is looked up, read and decoded anew at every play.
    Mix_Chunk* LoadChunk(const std::string& cue) {
        std::vector<Uint8> bytes = ReadCueFile(CueFilePath(directory_(), cue));
        if (!IsCompleteWave(bytes)) {
            return nullptr;
        }
        SDL_RWops* source = sdl_->RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
        if (source == nullptr) {
            return nullptr;
        }
        return sdl_->LoadWAV_RW(source, 1);
    }

    // Requires an idle channel. `request` is the playAndWait caller that waits for
    // this cue's end, or null.
    void Start(Mix_Chunk* chunk, SyncRequest* request) {
        // Marked as sounding before it starts: the finished callback of a very
        // short cue may come before Mix_PlayChannel has even returned.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            sounding_ = true;
            channel_request_ = request;
            ++plays_started_;
        }
        chunk_ = chunk;
        if (sdl_->PlayChannel(kCueChannel, chunk, 0) < 0) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                sounding_ = false;
                --plays_started_;
                Release(channel_request_);
                channel_request_ = nullptr;
            }
            FreeChunk();
        }
    }

    // Audio thread only, and only once the channel has stopped.
    void FreeChunk() {
        if (chunk_ != nullptr) {
            sdl_->FreeChunk(chunk_);
            chunk_ = nullptr;
        }
    }

    // The mixer's channel-finished callback: no SDL or mixer call may be made
    // here, only the flag and the wake-up.
    static void SDLCALL OnChannelFinished(int channel) {
        Impl* self = owner_.load();
        if (self == nullptr || channel != kCueChannel) {
            return;
        }
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->sounding_ = false;
        self->Release(self->channel_request_);
        self->channel_request_ = nullptr;
        // Wakes the audio thread, which frees the finished cue's samples.
        self->cv_.notify_all();
    }

    static std::atomic<Impl*> owner_;

    const std::function<std::string()> directory_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    // Guarded by mutex_.
    std::deque<Command> queue_;
    Device device_ = Device::kOpening;
    bool prepare_ = false;
    bool stopping_ = false;
    bool sounding_ = false;
    SyncRequest* channel_request_ = nullptr;
    int plays_started_ = 0;

    // Audio thread only. chunk_ and device_open_ are also read by the audio
    // thread's own wait conditions, under mutex_.
    const SdlFunctions* sdl_ = nullptr;
    bool device_open_ = false;
    Mix_Chunk* chunk_ = nullptr;

    std::thread worker_;
};

std::atomic<SdlCuePlayer::Impl*> SdlCuePlayer::Impl::owner_{nullptr};

SdlCuePlayer::SdlCuePlayer(std::function<std::string()> directory)
    : impl_(std::make_unique<Impl>(std::move(directory))) {}

SdlCuePlayer::~SdlCuePlayer() = default;

void SdlCuePlayer::Prepare() {
    impl_->Prepare();
}

void SdlCuePlayer::playAndWait(const std::string& cue) {
    impl_->playAndWait(cue);
}

void SdlCuePlayer::play(const std::string& cue) {
    impl_->play(cue);
}

bool SdlCuePlayer::IsSounding() const {
    return impl_->IsSounding();
}

int SdlCuePlayer::PlaysStarted() const {
    return impl_->PlaysStarted();
}

}  // namespace quillet

