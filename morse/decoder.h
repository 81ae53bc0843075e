#pragma once

// The CW decoder: mono samples in, beacons out. Streaming, with bounded state: the same samples
// give the same beacons whether they arrive in one block or in many.
//
//   samples -> work rate (liquid-dsp decimator) -> tone tracker (FFTW spectrogram, Viterbi path)
//   -> mixer to baseband -> keying grid (speed, slot timing, fine tone, amplitude)
//   -> sequence decoder (Viterbi over the beacon grammar) -> beacons and transcript

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "copied_beacon.h"

namespace telvane::morse {

class Decoder {
public:
    static constexpr double kLowestRate = 8000.0;
    static constexpr double kHighestRate = 96000.0;

    explicit Decoder(double sampleRate);  // 8000..96000 Hz; clamped into that range
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    void Feed(std::span<const float> samples);  // any block size, including 0 and 1
    void Finish();                              // the end of the recording
    std::vector<CopiedBeacon> TakeBeacons();    // completed since the last call, in order
    std::vector<HeardText> TakeTranscript();    // heard since the last call, in order
    // The beacon under way, as far as it has been heard, decided as if the recording ended now:
    // a live display shows each line as soon as it is keyed and corrects it when the beacon comes
    // out of TakeBeacons. Empty when no beacon is being heard. Costs a few milliseconds.
    std::optional<CopiedBeacon> Provisional() const;
    double SecondsFed() const;
    SignalEstimate Estimate() const;  // the current tone, speed and SNR
    // Follows the signal at `hz` (the operator picked it on the waterfall), and drifts with it;
    // 0 lets the decoder find the tone alone again.
    void FollowTone(double hz);

private:
    struct Pipeline;
    std::unique_ptr<Pipeline> pipeline_;
};

}  // namespace telvane::morse
