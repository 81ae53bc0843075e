// The audio input as a module, for the programs that load it only to listen.

#include <QObject>
#include <string_view>

#include "audio_input.h"
#include "live_audio.h"

namespace telvane {
namespace {

class ModuleCapture final : public LiveCapture {
public:
    bool Start(const InputDevice& device, Sink sink, Stopped stopped, QString& error) override {
        QObject::disconnect(m_stopped);
        m_stopped = QObject::connect(&m_input, &AudioInput::stopped, std::move(stopped));
        return m_input.Start(device, std::move(sink), error);
    }
    void Stop() override { m_input.Stop(); }

private:
    AudioInput m_input;
    QMetaObject::Connection m_stopped;
};

std::unique_ptr<LiveCapture> MakeCapture() {
    return std::make_unique<ModuleCapture>();
}

}  // namespace
}  // namespace telvane

static_assert(std::string_view(telvane::kLiveAudioEntry) == "telvane_live_audio",
              "the entry point below is looked up by that name");

extern "C" Q_DECL_EXPORT const telvane::LiveAudio* telvane_live_audio() {
    static const telvane::LiveAudio audio{&telvane::InputDevices, &telvane::FindInputDevice,
                                          &telvane::MakeCapture};
    return &audio;
}
