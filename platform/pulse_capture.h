#pragma once

// Capture from a PulseAudio source by name, monitors included, for the inputs Qt Multimedia does
// not offer. The library's own thread hands out mono float blocks about ten times a second.

#include <pulse/context.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace telvane {

class PulseCapture {
public:
    using Sink = std::function<void(std::span<const float> samples)>;
    // Called once, on the capture thread, when the capture ends by itself: `gone` when its source
    // went away (a sink unloaded, a device unplugged), else the server failed.
    using Ended = std::function<void(bool gone)>;

    PulseCapture() = default;
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;
    ~PulseCapture();  // stops the capture

    // Starts capturing `source` as mono at `sampleRate`; false when the server or the source
    // cannot be reached within a couple of seconds.
    bool Start(const std::string& source, int sampleRate, Sink sink, Ended ended);
    // Returns once the sink will not be called again; does nothing when not running.
    void Stop();

private:
    bool Connect(const std::string& source, int sampleRate);
    void WaitUntil(const std::function<bool()>& settled);
    void End(bool gone);
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnRead(pa_stream* stream, std::size_t bytes, void* self);
    static void OnDeadline(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    Sink m_sink;
    Ended m_ended;
    bool m_streaming = false;      // from a ready stream until its end was told
    std::vector<float> m_silence;  // handed out for a hole in the stream
    bool m_timedOut = false;
};

}  // namespace telvane
