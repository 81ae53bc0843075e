#pragma once

// The band picture of a live display: spectrum rows of the 200-2500 Hz band, the band the
// beacon's tone can be in, at a steady rate in time. Power per column in dB relative to a
// full-scale sine. Bounded state: memory does not grow however long it runs.

#include <cstddef>
#include <span>
#include <vector>

#include "fftw_plans.h"

namespace telvane::morse {

class Waterfall {
public:
    static constexpr double kLowestHz = 200.0;
    static constexpr double kHighestHz = 2500.0;
    static constexpr int kColumns = 460;  // 5 Hz each
    static constexpr double kRowsPerSecond = 16.0;
    static constexpr float kFloorDb = -140.0F;  // what digital silence reads as

    explicit Waterfall(double sampleRate);  // 8000..96000 Hz, as the decoder takes it

    // Appends the rows that `samples` complete to `rows`, kColumns values each, oldest first.
    void Feed(std::span<const float> samples, std::vector<float>& rows);

    // The frequency at the middle of `column` (fractional columns allowed), and back.
    static double FrequencyOf(double column);
    static double ColumnOf(double hz);

private:
    void AddRow(std::vector<float>& rows);

    int size_;  // transform length: bins of at most 8 Hz at every rate
    int hop_;   // samples between rows
    double binHz_;
    std::vector<float> window_;
    float scale_;  // from a bin's magnitude to a full-scale sine's amplitude
    std::vector<float> ring_;
    std::size_t next_ = 0;
    int sinceRow_ = 0;
    RealSpectrum spectrum_;
};

}  // namespace telvane::morse
