#include "audio_writer.h"

#include <sndfile.h>

#include <vector>

namespace telvane::morse::testing {

std::string WriteAudioFile(const std::filesystem::path& path, std::span<const float> samples,
                           int sampleRate, int format, int channels) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return sf_strerror(nullptr);
    }
    constexpr std::size_t kBlock = 4096;
    std::vector<float> frames;
    for (std::size_t at = 0; at < samples.size(); at += kBlock) {
        const std::span<const float> block =
            samples.subspan(at, std::min(kBlock, samples.size() - at));
        frames.clear();
        for (const float sample : block) {
            frames.insert(frames.end(), static_cast<std::size_t>(channels), sample);
        }
        sf_writef_float(file, frames.data(), static_cast<sf_count_t>(block.size()));
    }
    const std::string error = sf_error(file) == SF_ERR_NO_ERROR ? "" : sf_strerror(file);
    sf_close(file);
    return error;
}

}  // namespace telvane::morse::testing
