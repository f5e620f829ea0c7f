#include "sound/pulse_output.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

namespace quillet {

namespace {

// What the server keeps of the stream ahead of what it plays, which sets the
// sink's delay a cue waits out: at 25 ms the thread that fed it was busier, at 100
// ms a click's caller waited 25 ms more (see docs/sound.md). Up to FirstWrite
// of each cue goes at once: no gap inside a cue however busy the game.
constexpr std::chrono::milliseconds TargetLength{50};
constexpr std::chrono::milliseconds FirstWrite{2000};

// The longest single wait of the loop, in microseconds as libpulse counts:
// a later deadline is waited for in rounds.
constexpr int LongestWait = 1000 * 1000 * 1000;

// libpulse's names for the sample formats, in the order of SampleFormat.
constexpr pa_sample_format_t PulseFormats[] = {
    PA_SAMPLE_U8,        PA_SAMPLE_S16LE, PA_SAMPLE_S24LE, PA_SAMPLE_S32LE,
    PA_SAMPLE_FLOAT32LE, PA_SAMPLE_ALAW,  PA_SAMPLE_ULAW};

std::size_t bytesFor(const CueFormat& format, std::chrono::milliseconds length) {
    return static_cast<std::size_t>(format.rate) * length.count() / 1000 * format.frameBytes();
}

}  // namespace

PulseOutput::PulseOutput(const PulseFunctions& pa, MixerIdentity identity, int wakeFd)
    : m_pa(pa), m_identity(std::move(identity)), m_loop(pa.mainloopNew()) {
    if (m_loop != nullptr) {
        pa_mainloop_api* const api = m_pa.mainloopApi(m_loop);
        m_wake = api->io_new(api, wakeFd, PA_IO_EVENT_INPUT, &PulseOutput::wakeUp, nullptr);
    }
}

PulseOutput::~PulseOutput() {
    disconnect();
    if (m_loop != nullptr) {
        if (m_wake != nullptr) {
            m_pa.mainloopApi(m_loop)->io_free(m_wake);
        }
        m_pa.mainloopFree(m_loop);
    }
}

void PulseOutput::wait(Clock::time_point until) {
    int timeout = -1;
    if (until != Clock::time_point::max()) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
        timeout = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, LongestWait));
    }
    if (m_pa.mainloopPrepare(m_loop, timeout) >= 0 && m_pa.mainloopPoll(m_loop) >= 0) {
        m_pa.mainloopDispatch(m_loop);
    }
}

// The wake file only has to stop the loop's wait: it is emptied here, and the
// cue thread looks at its requests once the loop returns.
void PulseOutput::wakeUp(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void*) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(fd, &count, sizeof count);
}

bool PulseOutput::settle(const std::function<int()>& state, Clock::time_point deadline) {
    for (;;) {
        const int now = state();
        if (now != 0 || Clock::now() >= deadline) {
            return now > 0;
        }
        wait(deadline);
    }
}

bool PulseOutput::connect(Clock::time_point deadline) {
    if (isConnected()) {
        return true;
    }
    disconnect();
    pa_proplist* const list = properties(false);
    m_context = m_pa.contextNew(m_pa.mainloopApi(m_loop), nullptr, list);
    m_pa.proplistFree(list);
    // A game never starts a sound server of its own.
    const bool ready =
        m_context != nullptr &&
        m_pa.contextConnect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) == 0 &&
        settle(
            [this] {
                const pa_context_state_t state = m_pa.contextState(m_context);
                return state == PA_CONTEXT_READY ? 1 : PA_CONTEXT_IS_GOOD(state) ? 0 : -1;
            },
            deadline);
    if (!ready) {
        disconnect();
    }
    return ready;
}

bool PulseOutput::isConnected() const {
    return m_context != nullptr && m_pa.contextState(m_context) == PA_CONTEXT_READY;
}

bool PulseOutput::hasFailed() const {
    return !isConnected() ||
           (m_stream != nullptr && !PA_STREAM_IS_GOOD(m_pa.streamState(m_stream)));
}

void PulseOutput::disconnect() {
    closeStream();
    if (m_context != nullptr) {
        m_pa.contextDisconnect(m_context);
        m_pa.contextUnref(m_context);
        m_context = nullptr;
    }
}

bool PulseOutput::openStream(const CueFormat& format, Clock::time_point deadline) {
    if (m_stream != nullptr && format == m_format) {
        return true;
    }
    closeStream();
    if (m_context == nullptr) {
        return false;
    }
    const pa_sample_spec spec{PulseFormats[static_cast<int>(format.sample)], format.rate,
                              format.channels};
    pa_channel_map map{};
    m_pa.channelMapInit(&map, format.channels, PA_CHANNEL_MAP_WAVEEX);
    pa_proplist* const list = properties(true);
    m_stream = m_pa.streamNew(
        m_context, m_identity.streamName.empty() ? "Sound cues" : m_identity.streamName.c_str(),
        &spec, &map, list);
    m_pa.proplistFree(list);
    if (m_stream == nullptr) {
        return false;
    }
    m_format = format;
    m_corked = true;
    m_pa.streamSetWriteCallback(m_stream, &PulseOutput::writeWanted, this);
    // The stream starts as soon as it holds a frame, and stops again when a
    // cue has played out, rather than waiting for a fuller buffer first.
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(bytesFor(format, TargetLength));
    attributes.prebuf = format.frameBytes();
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    const bool ready =
        m_pa.streamConnect(m_stream, nullptr, &attributes, flags, nullptr, nullptr) == 0 &&
        settle(
            [this] {
                const pa_stream_state_t state = m_pa.streamState(m_stream);
                return state == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(state) ? 0 : -1;
            },
            deadline);
    if (!ready) {
        closeStream();
    }
    return ready;
}

// An answer still on its way is dropped with the stream.
void PulseOutput::closeStream() {
    if (m_stream == nullptr) {
        return;
    }
    m_pa.streamSetWriteCallback(m_stream, nullptr, nullptr);
    m_pa.streamDisconnect(m_stream);
    m_pa.streamUnref(m_stream);
    m_stream = nullptr;
    m_sound = std::vector<std::uint8_t>();
    m_cueSound = {};
    m_written = 0;
}

void PulseOutput::play(std::vector<std::uint8_t>& file, const CueSound& sound) {
    m_sound.swap(file);
    m_cueSound = sound;
    m_written = 0;
    ++m_cue;
    m_heard = false;
    // Uncorked first and written to then: sound that reaches a running stream
    // has the server mix it in at once, where sound written to a corked one
    // would wait for the sink's next round, on an idle sink up to 2 s away.
    if (m_corked) {
        unrefOperation(m_pa.streamCork(m_stream, 0, nullptr, nullptr));
        m_corked = false;
    }
    feed(std::min(sound.bytes, bytesFor(m_format, FirstWrite)));
    // A drained stream would wait for more than a short cue holds: start now.
    unrefOperation(m_pa.streamTrigger(m_stream, nullptr, nullptr));
}

void PulseOutput::flush() {
    if (m_stream != nullptr) {
        unrefOperation(m_pa.streamFlush(m_stream, nullptr, nullptr));
        m_cueSound.bytes = m_written = 0;
        ++m_cue;
    }
}

void PulseOutput::rest() {
    if (m_stream != nullptr) {
        unrefOperation(m_pa.streamCork(m_stream, 1, nullptr, nullptr));
        m_corked = true;
    }
}

// The server wants more sound.
void PulseOutput::writeWanted(pa_stream*, std::size_t bytes, void* self) {
    static_cast<PulseOutput*>(self)->feed(bytes);
}

// The server has played all of the cue's sound. PulseAudio acknowledges a
// drain only once the sound has left the sink's own buffer too, which a
// closing stream would drop (a sound card's buffer, as when End ends the
// game): on the null sink the acknowledgement came about 23 ms after the
// read index had reached the cue's end, the sink's delay. A drain cut short
// by the next cue's flush fails, and one for a cue that is no longer the
// stream's is let go.
void PulseOutput::drained(pa_stream*, int success, void* self) {
    PulseOutput& output = *static_cast<PulseOutput*>(self);
    if (success && output.m_drainedCue == output.m_cue) {
        output.m_heard = true;
    }
}

// Once the cue's last frame is written, the stream is drained: the server
// tells when it has played all of it, and PipeWire's PulseAudio server would
// otherwise hold back a tail shorter than its graph's quantum (a click's last
// 2 ms) until more sound came.
void PulseOutput::feed(std::size_t bytes) {
    const std::size_t wanted = std::min(bytes, m_cueSound.bytes - m_written);
    if (wanted > 0 &&
        m_pa.streamWrite(m_stream, m_sound.data() + m_cueSound.offset + m_written, wanted, nullptr,
                         0, PA_SEEK_RELATIVE) == 0) {
        m_written += wanted;
        if (m_written == m_cueSound.bytes) {
            m_drainedCue = m_cue;
            unrefOperation(m_pa.streamDrain(m_stream, &PulseOutput::drained, this));
        }
    }
}

void PulseOutput::unrefOperation(pa_operation* operation) const {
    if (operation != nullptr) {
        m_pa.operationUnref(operation);
    }
}

// What the desktop's mixer shows: the program's name and icon for the
// connection and its stream, and what the stream carries and its role.
pa_proplist* PulseOutput::properties(bool forStream) const {
    pa_proplist* const list = m_pa.proplistNew();
    const std::pair<const char*, const std::string*> given[] = {
        {PA_PROP_APPLICATION_NAME, &m_identity.applicationName},
        {PA_PROP_APPLICATION_ICON_NAME, &m_identity.iconName},
        {PA_PROP_MEDIA_NAME, forStream ? &m_identity.streamName : nullptr},
        {PA_PROP_MEDIA_ROLE, forStream ? &m_identity.role : nullptr},
    };
    for (const auto& [key, value] : given) {
        if (value != nullptr && !value->empty()) {
            m_pa.proplistSets(list, key, value->c_str());
        }
    }
    return list;
}

}  // namespace quillet
