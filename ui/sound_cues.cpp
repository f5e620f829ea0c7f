#include "ui/sound_cues.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace quillet {

namespace {

// Every cue plays on this one mixer channel: a new cue replaces the old one,
// and "is anything sounding" is a question about this channel alone.
constexpr int kCueChannel = 0;

// Our cues last a second or two; anything bigger than this is not one of them,
// and reading it would only cost time and memory.
constexpr off_t kMaxCueFileBytes = 8 * 1024 * 1024;

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

// SDL2_mixer, and SDL2 with it, are loaded by the audio thread, not linked into
// the program: together with the codec and sound-server libraries they bring
// along they are some forty shared libraries, and loading them before main()
// made the window show up a fifth later. The mixer names SDL2 as a dependency,
// so its handle reaches the SDL functions too.
constexpr const char* kMixerLibrary = "libSDL2_mixer-2.0.so.0";

// The SDL and mixer functions the player calls, looked up in the loaded library.
struct SdlFunctions {
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_TLSCleanup) TLSCleanup = nullptr;
    decltype(&SDL_RWFromConstMem) RWFromConstMem = nullptr;
    decltype(&Mix_OpenAudio) OpenAudio = nullptr;
    decltype(&Mix_CloseAudio) CloseAudio = nullptr;
    decltype(&Mix_AllocateChannels) AllocateChannels = nullptr;
    decltype(&Mix_ChannelFinished) ChannelFinished = nullptr;
    decltype(&Mix_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&Mix_FreeChunk) FreeChunk = nullptr;
    decltype(&Mix_PlayChannel) PlayChannel = nullptr;
    decltype(&Mix_HaltChannel) HaltChannel = nullptr;
};

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// The functions, loaded on first use and kept for the rest of the process (an
// unloaded SDL could leave threads of its own behind); null when the library is
// missing or lacks one of them, and then every cue is silent.
const SdlFunctions* Sdl() {
    static const SdlFunctions* const loaded = []() -> const SdlFunctions* {
        void* library = dlopen(kMixerLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return nullptr;
        }
        static SdlFunctions functions;
        SdlFunctions& f = functions;
        const bool complete = Find(library, "SDL_SetHint", f.SetHint) &&
                              Find(library, "SDL_InitSubSystem", f.InitSubSystem) &&
                              Find(library, "SDL_QuitSubSystem", f.QuitSubSystem) &&
                              Find(library, "SDL_TLSCleanup", f.TLSCleanup) &&
                              Find(library, "SDL_RWFromConstMem", f.RWFromConstMem) &&
                              Find(library, "Mix_OpenAudio", f.OpenAudio) &&
                              Find(library, "Mix_CloseAudio", f.CloseAudio) &&
                              Find(library, "Mix_AllocateChannels", f.AllocateChannels) &&
                              Find(library, "Mix_ChannelFinished", f.ChannelFinished) &&
                              Find(library, "Mix_LoadWAV_RW", f.LoadWAV_RW) &&
                              Find(library, "Mix_FreeChunk", f.FreeChunk) &&
                              Find(library, "Mix_PlayChannel", f.PlayChannel) &&
                              Find(library, "Mix_HaltChannel", f.HaltChannel);
        return complete ? &functions : nullptr;
    }();
    return loaded;
}

// The whole content of `path` if it is a regular file of a plausible size;
// empty otherwise. O_NONBLOCK keeps a FIFO that has been given a cue's name
// from blocking the open; fstat then turns it away with every other file that
// is not a regular one.
std::vector<Uint8> ReadCueFile(const std::string& path) {
    std::vector<Uint8> bytes;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return bytes;
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        status.st_size <= kMaxCueFileBytes) {
        bytes.resize(static_cast<size_t>(status.st_size));
        size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            filled += static_cast<size_t>(got);
        }
        // A file that shrank while it was read is judged by what was there.
        bytes.resize(filled);
    }
    close(fd);
    return bytes;
}

uint32_t ReadLittleEndian32(const Uint8* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// Whether `bytes` is a RIFF wave whose chunks, up to and including its sound
// data, are all present. A cut-off cue is not played in part: it is skipped
// like any other broken file, and a data length that claims more than the file
// holds is never handed on to the decoder, which would reserve that much.
bool IsCompleteWave(const std::vector<Uint8>& bytes) {
    constexpr size_t kRiffHeaderBytes = 12;
    constexpr size_t kChunkHeaderBytes = 8;
    if (bytes.size() < kRiffHeaderBytes || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool has_format = false;
    size_t at = kRiffHeaderBytes;
    while (bytes.size() - at >= kChunkHeaderBytes) {
        const Uint8* header = bytes.data() + at;
        const uint64_t length = ReadLittleEndian32(header + 4);
        at += kChunkHeaderBytes;
        if (length > bytes.size() - at) {
            return false;
        }
        if (std::memcmp(header, "fmt ", 4) == 0) {
            has_format = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            return has_format && length > 0;
        }
        // Chunks are padded to an even length.
        at += static_cast<size_t>(length + (length & 1));
        if (at > bytes.size()) {
            return false;
        }
    }
    return false;
}

}  // namespace

std::string ProgramDirectory() {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
        if (length < 0) {
            return std::string();
        }
        if (static_cast<size_t>(length) < target.size()) {
            target.resize(static_cast<size_t>(length));
            break;
        }
        // The link may have been cut off at the buffer's end: ask again with more room.
        if (target.size() >= 64 * 1024) {
            return std::string();
        }
        target.resize(target.size() * 2);
    }
    const size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        return std::string();
    }
    if (slash == 0) {
        return "/";
    }
    target.resize(slash);
    return target;
}

std::string CueFilePath(const std::string& directory, const std::string& cue) {
    return directory + "/" + cue + ".wav";
}

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
    void PlayCue(const std::string& cue) {
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

    void PlayCueAsync(const std::string& cue) {
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

    // A PlayCue caller waits on this until its cue has been skipped or has ended.
    struct SyncRequest {
        bool done = false;
    };

    // The cue to play and, for PlayCue, its waiting caller (null for PlayCueAsync).
    struct Command {
        std::string cue;
        SyncRequest* request = nullptr;
    };

    // Lets a waiting PlayCue return. Requires mutex_.
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
        // Halting runs the finished callback, which lets a waiting PlayCue go.
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

    // PlayCue: "no-stop". Everything queued before it has been handled, so the
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

    // PlayCueAsync: whatever sounds stops, even when the new cue cannot be played.
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

    // Requires an idle channel. `request` is the PlayCue caller that waits for
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

void SdlCuePlayer::PlayCue(const std::string& cue) {
    impl_->PlayCue(cue);
}

void SdlCuePlayer::PlayCueAsync(const std::string& cue) {
    impl_->PlayCueAsync(cue);
}

bool SdlCuePlayer::IsSounding() const {
    return impl_->IsSounding();
}

int SdlCuePlayer::PlaysStarted() const {
    return impl_->PlaysStarted();
}

}  // namespace quillet
