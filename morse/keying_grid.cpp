#include "keying_grid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

namespace telvane::morse {
namespace {

constexpr double kSnrBandHz = 2500.0;  // the SNR is stated in this noise band
constexpr int kWindowLength = 4096;
constexpr int kSegmentLength = 1024;
constexpr double kLongestDit = 0.155;   // 8 WPM, with a margin (dit = 1.2 s / WPM)
constexpr double kShortestDit = 0.029;  // 40 WPM
constexpr double kDefaultDit = 0.06;    // until keying is found
constexpr double kFineSearchHz = 8.0;   // the tracker's frequency is this close
constexpr double kMinToneLine = 8.0;    // tone line over the median bin, to trust its offset
constexpr double kCoarseStep = 0.01;    // relative step between dit lengths tried at first
constexpr int kCoarsePhases = 12;
constexpr int kCoarseCandidates = 3;
constexpr int kSearchAllEvery = 4;  // segments
constexpr int kNearShare = 2;       // of the window, around the segment, that sets the phase
constexpr double kFineStep = 0.001;
constexpr double kTrackSpan = 0.01;  // around the dit length found before
constexpr int kTrackPhases = 16;
constexpr int kFinePhases = 64;
constexpr double kNoiseMerit = 1.5;        // noise's best capture, in its standard deviations
constexpr double kSwitchMargin = 3.0;      // noise standard deviations
constexpr double kMultipleShare = 0.85;    // of the best capture, for a longer dit to be taken
constexpr double kMinCaptureSigmas = 8.0;  // capture over its noise, to trust the grid
constexpr double kClipAboveAmplitude = 4;  // a slot louder than key-down plus this is a click
constexpr double kNoKeyingSnr = 0.25;      // slot energy assumed while no keying is found

double ParabolicOffset(double left, double centre, double right) {
    const double curvature = left - 2 * centre + right;
    return curvature < 0 ? std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5) : 0.0;
}

// A grid of 1.5 dits fits runs of dahs nearly as well as the dit: a keying already followed never
// jumps to it. The way back (2/3) stays open, since a keying can be first found at 1.5 dits; a
// fraction of the dit catches as much as the dit, and the check for twice and three times the
// period found takes the dit back.
constexpr std::array<double, 1> kConfusedRatios = {1.5};
constexpr double kConfusedTolerance = 0.03;
// The satellite keys a whole pass at one speed: once a speed has held this long, any speed near
// it (4/3 can win across the pause between two beacons whose grids differ in phase) is refused.
constexpr int kSettledSegments = 4;
constexpr double kSettledRange = 3.3;
constexpr std::array<double, 3> kSettledMoves = {1.0, 2.0, 3.0};

bool Near(double ratio, double to) {
    return std::abs(ratio / to - 1.0) < kConfusedTolerance;
}

bool Confused(double period, double followed, bool settled) {
    const double ratio = period / followed;
    if (settled && ratio > 1.0 / kSettledRange && ratio < kSettledRange) {
        return std::none_of(kSettledMoves.begin(), kSettledMoves.end(),
                            [ratio](double r) { return Near(ratio, r); });
    }
    return std::any_of(kConfusedRatios.begin(), kConfusedRatios.end(),
                       [ratio](double r) { return Near(ratio, r); });
}

double MedianOf(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    const auto middle = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

KeyingGrid::KeyingGrid(double basebandRate, double offsetSeconds)
    : rate_(basebandRate),
      offsetSeconds_(offsetSeconds),
      windowLength_(kWindowLength),
      segmentLength_(kSegmentLength),
      period_(kDefaultDit * basebandRate),
      toneSpectrum_(kWindowLength),
      hann_(kWindowLength),
      nearHann_(kWindowLength, 0.0F) {
    const int near = kWindowLength / kNearShare;
    const auto nearStart = static_cast<std::size_t>((kWindowLength - near) / 2);
    for (int n = 0; n < near; ++n) {
        nearHann_[nearStart + static_cast<std::size_t>(n)] =
            static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (n + 0.5) / near));
    }
    for (int n = 0; n < kWindowLength; ++n) {
        hann_[static_cast<std::size_t>(n)] = static_cast<float>(
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (n + 0.5) / kWindowLength));
    }
}

int KeyingGrid::LatencySamples() const {
    return (windowLength_ + segmentLength_) / 2;
}

void KeyingGrid::Add(std::span<const BasebandSample> samples, std::vector<Slot>& slots) {
    buffer_.insert(buffer_.end(), samples.begin(), samples.end());
    for (;;) {
        const std::int64_t segmentStart = segment_ * segmentLength_;
        const std::int64_t windowStart = segmentStart + (segmentLength_ - windowLength_) / 2;
        if (bufferStart_ + static_cast<std::int64_t>(buffer_.size()) <
            windowStart + windowLength_) {
            return;
        }
        Window window = Gather(windowStart);
        toneHz_ = buffer_[static_cast<std::size_t>(segmentStart - bufferStart_)].frequency;
        const double offset = FineOffset(window);
        Derotate(window, segmentStart, offset);
        double period = period_;
        double gridPoint = gridPoint_;
        keyingFound_ = FindGrid(window, period, gridPoint);
        const bool held = keyingFound_ && std::abs(period / period_ - 1.0) < kTrackSpan;
        settledSegments_ = held ? settledSegments_ + 1 : 0;
        if (keyingFound_) {
            period_ = period;
            gridPoint_ = gridPoint;
        }
        const double amplitude =
            keyingFound_ ? Amplitude(window, period_, gridPoint_) : std::sqrt(kNoKeyingSnr);
        slotSnr_ = amplitude * amplitude;
        CutSegment(window, amplitude, slots);
        phase_ = std::fmod(phase_ + 2.0 * std::numbers::pi * offset * segmentLength_ / rate_,
                           2.0 * std::numbers::pi);
        ++segment_;
        const std::int64_t keepFrom =
            (segment_ * segmentLength_) + (segmentLength_ - windowLength_) / 2 - segmentLength_;
        while (bufferStart_ < keepFrom && !buffer_.empty()) {
            buffer_.pop_front();
            ++bufferStart_;
        }
    }
}

KeyingGrid::Window KeyingGrid::Gather(std::int64_t start) const {
    Window window{start, std::vector<std::complex<float>>(static_cast<std::size_t>(windowLength_)),
                  std::vector<float>(static_cast<std::size_t>(windowLength_), 1.0F)};
    float lastNoise = 0;
    for (int n = windowLength_ - 1; n >= 0; --n) {
        const std::int64_t at = start + n - bufferStart_;
        if (at >= 0 && at < static_cast<std::int64_t>(buffer_.size())) {
            const BasebandSample& sample = buffer_[static_cast<std::size_t>(at)];
            window.value[static_cast<std::size_t>(n)] = sample.value;
            lastNoise = std::max(sample.noiseVariance, 1e-30F);
        }
        window.noise[static_cast<std::size_t>(n)] = lastNoise > 0 ? lastNoise : 1.0F;
    }
    return window;
}

// The tone's remaining offset from 0 Hz, from a fine spectrum of the window's baseband.
double KeyingGrid::FineOffset(const Window& window) {
    std::span<std::complex<float>> input = toneSpectrum_.Input();
    for (int n = 0; n < windowLength_; ++n) {
        input[static_cast<std::size_t>(n)] =
            window.value[static_cast<std::size_t>(n)] * hann_[static_cast<std::size_t>(n)];
    }
    const auto bins = toneSpectrum_.Transform();
    const int reach = static_cast<int>(kFineSearchHz * windowLength_ / rate_);
    std::vector<double> power(static_cast<std::size_t>(2 * reach + 1));
    for (std::size_t i = 0; i < power.size(); ++i) {
        const int k = static_cast<int>(i) - reach;
        power[i] = std::norm(bins[static_cast<std::size_t>((k + windowLength_) % windowLength_)]);
    }
    const auto peak = std::max_element(power.begin() + 1, power.end() - 1);
    if (*peak < kMinToneLine * MedianOf(power)) {
        return 0;
    }
    const double shift = ParabolicOffset(std::log(*(peak - 1) + 1e-30), std::log(*peak + 1e-30),
                                         std::log(*(peak + 1) + 1e-30));
    const double bin = static_cast<double>(peak - power.begin() - reach) + shift;
    return bin * rate_ / windowLength_;
}

void KeyingGrid::Derotate(Window& window, std::int64_t segmentStart, double offsetHz) const {
    const double step = -2.0 * std::numbers::pi * offsetHz / rate_;
    const double first = -phase_ + step * static_cast<double>(window.start - segmentStart);
    std::complex<double> phasor(std::cos(first), std::sin(first));
    const std::complex<double> rotation(std::cos(step), std::sin(step));
    for (auto& value : window.value) {
        value = std::complex<float>(std::complex<double>(value) * phasor);
        phasor *= rotation;
    }
}

// The energy that coherent slot sums on a grid catch beyond what noise alone gives: largest where
// the grid's slots fall on the keying's slots, since a slot split between key-down and key-up
// keeps less than its parts. Slots near the window's middle weigh most, so that a grid that
// changes phase in a pause near the window's edge is still found for the middle.
double KeyingGrid::Capture(const std::vector<std::complex<double>>& cumulative, double period,
                           double phase, const std::vector<float>& weights) const {
    const auto at = [&cumulative](double x) {
        const auto n = static_cast<std::size_t>(x);
        const double fraction = x - static_cast<double>(n);
        return n + 1 < cumulative.size()
                   ? cumulative[n] + fraction * (cumulative[n + 1] - cumulative[n])
                   : cumulative.back();
    };
    const double last = static_cast<double>(cumulative.size() - 1);
    double excess = 0;
    std::complex<double> before = at(phase);
    for (double point = phase; point + period <= last; point += period) {
        const std::complex<double> after = at(point + period);
        const auto middle = static_cast<std::size_t>(point + period / 2);
        excess += weights[std::min(middle, weights.size() - 1)] *
                  (std::norm(after - before) / period - 1.0);
        before = after;
    }
    return excess;
}

// Best phase of a grid of the given period: the excess energy and the grid's first point.
std::pair<double, double> KeyingGrid::BestPhase(const std::vector<std::complex<double>>& cumulative,
                                                double period, int phases,
                                                const std::vector<float>& weights) const {
    double best = -1e300;
    double bestPhase = 0;
    for (int j = 0; j < phases; ++j) {
        const double phase = period * j / phases;
        const double excess = Capture(cumulative, period, phase, weights);
        if (excess > best) {
            best = excess;
            bestPhase = phase;
        }
    }
    return {best, bestPhase};
}

// The period around `centre` (within +-`span`, in steps of `step`, relative) catching the most.
std::pair<double, double> KeyingGrid::BestPeriod(
    const std::vector<std::complex<double>>& cumulative, double centre, double span, double step,
    int phases) const {
    double best = -1e300;
    double bestPeriod = centre;
    const int steps = static_cast<int>(std::lround(span / step));
    for (int k = -steps; k <= steps; ++k) {
        const double period = centre * (1.0 + k * step);
        if (period < kShortestDit * rate_ || period > kLongestDit * rate_) {
            continue;
        }
        const double excess = BestPhase(cumulative, period, phases, hann_).first;
        if (excess > best) {
            best = excess;
            bestPeriod = period;
        }
    }
    return {best, bestPeriod};
}

// Speed and grid: the period and phase whose slots catch the most energy. A speed found before
// is searched near first; the whole range is searched when it no longer fits.
bool KeyingGrid::FindGrid(const Window& window, double& period, double& gridPoint) {
    const auto length = static_cast<std::size_t>(windowLength_);
    std::vector<std::complex<double>> cumulative(length + 1);
    for (std::size_t n = 0; n < length; ++n) {
        cumulative[n + 1] = cumulative[n] + std::complex<double>(window.value[n]) /
                                                std::sqrt(static_cast<double>(window.noise[n]));
    }
    // Each candidate's capture less what noise alone would reach at its best phase.
    const auto merit = [&](const std::pair<double, double>& candidate) {
        return candidate.first -
               kNoiseMerit * std::sqrt(static_cast<double>(length) / candidate.second);
    };
    std::vector<std::pair<double, double>> coarse;
    // Once a speed has settled, other speeds are looked for only now and then.
    const bool settled = settledSegments_ >= kSettledSegments;
    const bool searchAll = !settled || segment_ % kSearchAllEvery == 0;
    for (double p = kShortestDit * rate_; searchAll && p <= kLongestDit * rate_;
         p *= 1.0 + kCoarseStep) {
        const std::pair<double, double> candidate{
            BestPhase(cumulative, p, kCoarsePhases, hann_).first, p};
        coarse.emplace_back(merit(candidate), p);
    }
    const auto top =
        coarse.begin() + std::min<long>(kCoarseCandidates, static_cast<long>(coarse.size()));
    std::partial_sort(coarse.begin(), top, coarse.end(), std::greater<>());
    std::pair<double, double> found{-1e300, period};
    double margin = 0;  // a new speed must beat the one followed by this much
    const double followed = period;
    const auto consider = [&](double centre, double span) {
        if (keyingFound_ && Confused(centre, followed, settled)) {
            return;
        }
        const auto fine = BestPeriod(cumulative, centre, span, kFineStep, kTrackPhases);
        if (merit(fine) > merit(found) + margin) {
            found = fine;
        }
    };
    if (keyingFound_) {
        consider(period, kTrackSpan);
        margin = kSwitchMargin * std::sqrt(static_cast<double>(length) / period);
    }
    for (auto candidate = coarse.begin(); candidate != top; ++candidate) {
        consider(candidate->second, kCoarseStep);
    }
    // A grid of half or a third of the dit catches as much; the longest that does is the dit.
    for (const int multiple : {3, 2}) {
        const auto longer = BestPeriod(cumulative, found.second * multiple, 2 * kFineStep,
                                       kFineStep, kTrackPhases * multiple);
        if (longer.first > kMultipleShare * found.first &&
            !(keyingFound_ && Confused(longer.second, followed, settled))) {
            found = longer;
            break;
        }
    }
    if (found.first <= kMinCaptureSigmas * std::sqrt(static_cast<double>(length) / found.second)) {
        return false;
    }
    // The phase from the slots near the segment alone: between transmissions it changes, and
    // the far ends of the window may still hold the one before.
    const auto [excess, phase] = BestPhase(cumulative, found.second, kFinePhases, nearHann_);
    period = found.second;
    gridPoint = static_cast<double>(window.start) + phase;
    return excess > 0;
}

std::complex<double> KeyingGrid::SlotSum(const Window& window, double from, double to,
                                         double& noise) const {
    std::complex<double> sum;
    noise = 0;
    const double begin = from - static_cast<double>(window.start);
    const double end = to - static_cast<double>(window.start);
    const auto first = static_cast<std::int64_t>(std::floor(std::max(begin, 0.0)));
    const auto last =
        std::min<std::int64_t>(static_cast<std::int64_t>(std::ceil(end)), windowLength_);
    for (std::int64_t n = first; n < last; ++n) {
        const double weight =
            std::min(end, static_cast<double>(n + 1)) - std::max(begin, static_cast<double>(n));
        if (weight <= 0) {
            continue;
        }
        sum += weight * std::complex<double>(window.value[static_cast<std::size_t>(n)]);
        noise += weight * window.noise[static_cast<std::size_t>(n)];
    }
    return sum;
}

// Key-down amplitude of a slot against unit noise: two clusters of slot energies.
double KeyingGrid::Amplitude(const Window& window, double period, double gridPoint) const {
    const double start = static_cast<double>(window.start);
    double point = gridPoint + std::ceil((start - gridPoint) / period) * period;
    std::vector<double> energy;
    for (; point + period <= start + windowLength_; point += period) {
        double noise = 0;
        const std::complex<double> sum = SlotSum(window, point, point + period, noise);
        energy.push_back(noise > 0 ? std::norm(sum) / noise : 0.0);
    }
    if (energy.size() < 4) {
        return std::sqrt(kNoKeyingSnr);
    }
    std::sort(energy.begin(), energy.end());
    double low = energy[energy.size() / 4];
    double high = energy[energy.size() * 9 / 10];
    for (int iteration = 0; iteration < 8; ++iteration) {
        const double threshold = (low + high) / 2;
        const auto split = std::lower_bound(energy.begin(), energy.end(), threshold);
        if (split == energy.begin() || split == energy.end()) {
            break;
        }
        low = std::accumulate(energy.begin(), split, 0.0) /
              static_cast<double>(split - energy.begin());
        high =
            std::accumulate(split, energy.end(), 0.0) / static_cast<double>(energy.end() - split);
    }
    return std::sqrt(std::max(high - 1.0, kNoKeyingSnr));
}

SignalEstimate KeyingGrid::Estimate() const {
    const double dit = DitSeconds();
    const double snr = slotSnr_ / (kSnrBandHz * dit);
    return {toneHz_, 1.2 / dit, 10.0 * std::log10(std::max(snr, 1e-6)), keyingFound_};
}

void KeyingGrid::CutSegment(const Window& window, double amplitude, std::vector<Slot>& slots) {
    const double segmentStart = static_cast<double>(segment_ * segmentLength_);
    const double segmentEnd = segmentStart + segmentLength_;
    if (boundary_ < 0) {
        boundary_ = gridPoint_ + std::ceil((segmentStart - gridPoint_) / period_) * period_;
    }
    while (boundary_ < segmentEnd) {
        const double guess = boundary_ + period_;
        double end = gridPoint_ + std::round((guess - gridPoint_) / period_) * period_;
        if (end - boundary_ < 0.5 * period_) {
            end += period_;
        }
        double noise = 0;
        std::complex<double> sum = SlotSum(window, boundary_, end, noise);
        sum = noise > 0 ? sum / std::sqrt(noise) : std::complex<double>();
        const double limit = amplitude + kClipAboveAmplitude;
        if (std::abs(sum) > limit) {
            sum *= limit / std::abs(sum);
        }
        slots.push_back({std::complex<float>(sum), static_cast<float>(amplitude),
                         boundary_ / rate_ + offsetSeconds_, end / rate_ + offsetSeconds_,
                         Estimate()});
        boundary_ = end;
    }
}

}  // namespace telvane::morse
