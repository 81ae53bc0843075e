#pragma once

// The keying's speed judged over many windows. At a low SNR one window scores the true speed no
// better than speeds near it, and a wrong one can hold long enough to settle; summed window after
// window, the true speed's merit pulls ahead of theirs.

#include <span>
#include <utility>
#include <vector>

namespace telvane::morse {

class SpeedEvidence {
public:
    // One window's (merit, period) for every coarse period tried, ascending, the same each time,
    // heard at `toneHz`.
    void Add(std::span<const std::pair<double, double>> merits, double toneHz);
    // A period near `followed`, but not the same speed, whose summed merit beats the followed
    // one's by `margin` times the noise of the sum (a window of `samples` holds samples/period
    // slots); 0 when there is none.
    double Better(double followed, double samples, double margin) const;

private:
    std::size_t Nearest(double period) const;

    std::vector<double> periods_;
    std::vector<double> sums_;
    int windows_ = 0;
    double toneHz_ = 0;  // of the last window added
};

}  // namespace telvane::morse
