#pragma once

// Live audio for the command-line programs, which only sometimes listen. Qt Multimedia and the
// sound server's client library take longer to load than a short recording takes to convert, so
// the audio input is a module, loaded the first time a program lists or opens an input. The
// dialog, which always offers listening, links the audio input itself.

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "input_device.h"

namespace telvane {

// A capture from one input, as AudioInput makes it.
class LiveCapture {
public:
    // Called on the capture thread with each block of mono samples in -1..1 and their rate, Hz.
    using Sink = std::function<void(std::span<const float> samples, double sampleRate)>;
    // Called when the capture stops by itself (its device was unplugged), with why.
    using Stopped = std::function<void(const QString& message)>;

    LiveCapture() = default;
    LiveCapture(const LiveCapture&) = delete;
    LiveCapture& operator=(const LiveCapture&) = delete;
    virtual ~LiveCapture() = default;  // stops the capture

    // Starts capturing from `device`; false, with `error` set, when it cannot be opened.
    virtual bool Start(const InputDevice& device, Sink sink, Stopped stopped, QString& error) = 0;
    // Returns once the sink will not be called again.
    virtual void Stop() = 0;
};

// What the module offers: the inputs, as InputDevices and FindInputDevice tell them, and
// captures.
struct LiveAudio {
    std::vector<InputDevice> (*inputDevices)();
    std::optional<InputDevice> (*findInputDevice)(const QString& name);
    std::unique_ptr<LiveCapture> (*makeCapture)();
};

// The module's entry point, looked up by this name.
inline constexpr char kLiveAudioEntry[] = "telvane_live_audio";

// The module, loaded on first use and kept loaded; null, with `error` set, when it cannot be
// (it is looked for where it is installed beside the program). Needs a QCoreApplication.
const LiveAudio* LoadLiveAudio(QString& error);

}  // namespace telvane
