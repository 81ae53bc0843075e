#include "live_audio.h"

#include <QCoreApplication>
#include <QLibrary>

namespace telvane {

const LiveAudio* LoadLiveAudio(QString& error) {
    using Entry = const LiveAudio* (*)();
    static QLibrary module;
    if (!module.isLoaded()) {
        // Installed programs and modules keep their places relative to each other, and the build
        // lays them out the same way.
        module.setFileName(
            QCoreApplication::applicationDirPath() +
            QStringLiteral("/" TELVANE_MODULES_FROM_PROGRAMS "/" TELVANE_LIVE_AUDIO_MODULE));
    }
    const auto entry = reinterpret_cast<Entry>(module.resolve(kLiveAudioEntry));
    if (entry == nullptr) {
        error =
            QStringLiteral("the audio input module cannot be loaded: %1").arg(module.errorString());
        return nullptr;
    }
    return entry();
}

}  // namespace telvane
