// Fuzzes the audio reader: any bytes, read from memory as an audio file, must give a one-line
// message or mono samples that are finite numbers.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "audio_file.h"

namespace {

constexpr std::size_t kMostSamples = 48000 * 4;  // keeps each input fast

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    std::string error;
    const auto file = telvane::AudioFile::OpenMemory(bytes, error);
    if (file == nullptr) {
        if (error.empty() || error.find('\n') != std::string::npos) {
            std::abort();
        }
        return 0;
    }
    if (!(file->SampleRate() > 0) || file->Channels() < 1) {
        std::abort();
    }
    std::vector<float> block(1000);
    std::size_t total = 0;
    for (std::size_t got = 0; total < kMostSamples && (got = file->Read(block)) > 0; total += got) {
        for (std::size_t n = 0; n < got; ++n) {
            if (!std::isfinite(block[n])) {
                std::abort();
            }
        }
    }
    if (file->Error().find('\n') != std::string::npos) {
        std::abort();
    }
    return 0;
}
