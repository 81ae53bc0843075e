// Fuzzes the CW decoder on any samples: the bytes after the first are 16-bit samples, the first
// picks the sample rate and how the samples are split into blocks, and the beacon under way is
// asked for after each block, as while listening. Nothing may crash, and what the decoder hands
// out must keep its shape.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "decoder.h"

namespace {

void CheckShape(const telvane::morse::CopiedBeacon& beacon) {
    for (const auto& line : beacon.lines) {
        if (line.confidence.size() != line.text.size() ||
            line.alternative.size() != line.text.size()) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const double rate = 8000.0 + 1000.0 * (data[0] % 89);
    std::vector<float> samples((size - 1) / 2);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        std::int16_t value = 0;
        std::memcpy(&value, data + 1 + 2 * n, sizeof value);
        samples[n] = static_cast<float>(value) / 32768.0F;
    }
    telvane::morse::Decoder decoder(rate);
    const std::size_t block = 1 + data[0] * 37U;
    const auto askEvery = static_cast<std::size_t>(rate / 10);  // as a listening session asks
    std::size_t sinceAsked = 0;
    for (std::size_t at = 0; at < samples.size(); at += block) {
        const std::size_t count = std::min(block, samples.size() - at);
        decoder.Feed(std::span<const float>(samples).subspan(at, count));
        sinceAsked += count;
        if (sinceAsked >= askEvery) {
            sinceAsked = 0;
            if (const auto underway = decoder.Provisional()) {
                CheckShape(*underway);
            }
        }
    }
    decoder.Finish();
    for (const auto& beacon : decoder.TakeBeacons()) {
        CheckShape(beacon);
        if (!(beacon.confidence >= 0 && beacon.confidence <= 1)) {
            std::abort();
        }
    }
    return 0;
}
