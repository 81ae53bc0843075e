#include "pulse_capture.h"

#include <pulse/rtclock.h>
#include <pulse/timeval.h>

#include <cstdint>
#include <utility>

namespace telvane {
namespace {

using SampleFormat = pa_sample_spec;  // PulseAudio's name for a stream's sample format

constexpr pa_usec_t kOpenTime = 2 * PA_USEC_PER_SEC;
constexpr unsigned kBlocksPerSecond = 10;  // short blocks: each line reaches its box sooner

bool Settled(pa_context_state_t state) {
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}

bool Settled(pa_stream_state_t state) {
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}

}  // namespace

PulseCapture::~PulseCapture() {
    Stop();
}

bool PulseCapture::Start(const std::string& source, int sampleRate, Sink sink, Ended ended) {
    Stop();
    m_sink = std::move(sink);
    m_ended = std::move(ended);
    m_loop = pa_threaded_mainloop_new();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Telvane");
    pa_context_set_state_callback(m_context, OnContextState, this);
    pa_threaded_mainloop_lock(m_loop);
    const bool started = pa_threaded_mainloop_start(m_loop) >= 0 && Connect(source, sampleRate);
    pa_threaded_mainloop_unlock(m_loop);
    if (!started) {
        Stop();
    }
    return started;
}

// With the loop locked: the context, then the stream, each within the time left.
bool PulseCapture::Connect(const std::string& source, int sampleRate) {
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return false;
    }
    m_timedOut = false;
    pa_time_event* const deadline =
        pa_context_rttime_new(m_context, pa_rtclock_now() + kOpenTime, OnDeadline, this);
    WaitUntil([this] { return Settled(pa_context_get_state(m_context)); });
    bool ready = pa_context_get_state(m_context) == PA_CONTEXT_READY;
    if (ready) {
        const SampleFormat format{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(sampleRate), 1};
        m_stream = pa_stream_new(m_context, "Telvane listening", &format, nullptr);
        pa_stream_set_state_callback(m_stream, OnStreamState, this);
        pa_stream_set_read_callback(m_stream, OnRead, this);
        const auto none = static_cast<std::uint32_t>(-1);
        const pa_buffer_attr buffer{
            none, none, none, none,
            static_cast<std::uint32_t>(pa_bytes_per_second(&format) / kBlocksPerSecond)};
        // Not moved elsewhere when the source goes: a capture of the wrong input is worse than
        // none, and the end is reported.
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        ready = pa_stream_connect_record(m_stream, source.c_str(), &buffer, flags) >= 0;
        if (ready) {
            WaitUntil([this] { return Settled(pa_stream_get_state(m_stream)); });
            ready = pa_stream_get_state(m_stream) == PA_STREAM_READY;
        }
    }
    if (deadline != nullptr) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(deadline);
    }
    m_streaming = ready;
    return ready;
}

void PulseCapture::WaitUntil(const std::function<bool()>& settled) {
    while (!settled() && !m_timedOut) {
        pa_threaded_mainloop_wait(m_loop);
    }
}

void PulseCapture::Stop() {
    if (m_loop == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(m_loop);
    m_streaming = false;
    if (m_stream != nullptr) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
    pa_threaded_mainloop_unlock(m_loop);
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
    m_loop = nullptr;
}

void PulseCapture::End(bool gone) {
    if (std::exchange(m_streaming, false)) {
        m_ended(gone);
    }
}

void PulseCapture::OnContextState(pa_context* context, void* self) {
    auto* capture = static_cast<PulseCapture*>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        capture->End(false);
    }
    pa_threaded_mainloop_signal(capture->m_loop, 0);
}

void PulseCapture::OnStreamState(pa_stream* stream, void* self) {
    auto* capture = static_cast<PulseCapture*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        capture->End(PA_CONTEXT_IS_GOOD(pa_context_get_state(capture->m_context)));
    }
    pa_threaded_mainloop_signal(capture->m_loop, 0);
}

void PulseCapture::OnRead(pa_stream* stream, std::size_t /*bytes*/, void* self) {
    auto* capture = static_cast<PulseCapture*>(self);
    const void* data = nullptr;
    std::size_t length = 0;
    while (pa_stream_peek(stream, &data, &length) == 0 && length > 0) {
        const std::size_t count = length / sizeof(float);
        if (data == nullptr) {
            // A hole in the stream: silence keeps every later beacon at its time in the session.
            capture->m_silence.assign(count, 0.0F);
            data = capture->m_silence.data();
        }
        capture->m_sink({static_cast<const float*>(data), count});
        pa_stream_drop(stream);
    }
}

void PulseCapture::OnDeadline(pa_mainloop_api* /*api*/, pa_time_event* /*event*/,
                              const timeval* /*when*/, void* self) {
    auto* capture = static_cast<PulseCapture*>(self);
    capture->m_timedOut = true;
    pa_threaded_mainloop_signal(capture->m_loop, 0);
}

}  // namespace telvane
