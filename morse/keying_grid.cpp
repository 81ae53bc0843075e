#include "keying_grid.h"

#include "grid_path.h"
#include "phase_reference.h"
#include "slot_amplitude.h"

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
constexpr int kCoarsePhases = 8;
constexpr int kCoarseCandidates = 3;
constexpr int kSearchAllEvery = 8;  // segments
constexpr double kFineStep = 0.001;
// Where one window tells the speed, a search of at least this many steps each way tries every
// third step first, then those beside the best: the capture's peak is wider than that.
constexpr int kSparseFrom = 5;
constexpr int kSparseStride = 3;
constexpr double kTrackSpan = 0.01;  // around the dit length found before
// The machine keys one speed: once it has settled where one window tells it, it is looked for
// this close first.
constexpr double kSettledTrackSpan = 0.005;
constexpr int kTrackPhases = 16;
constexpr int kFinePhases = 64;
constexpr double kLeastChangeCost = 12;          // noise standard deviations of a slot
constexpr double kChangeCostPerSlotEnergy = 10;  // times a slot's mean energy beyond noise
constexpr double kNoiseMerit = 1.5;              // noise's best capture, in its standard deviations
constexpr double kSwitchMargin = 3.0;            // noise standard deviations
constexpr std::array<int, 2> kMultiples = {3, 2};  // of the period found, tried as the dit
constexpr double kMultipleShare = 0.85;    // of the best capture, for a longer dit to be taken
constexpr double kMinCaptureSigmas = 8.0;  // capture over its noise, to trust the grid
// While no keying is followed, a glance at every third coarse speed and a quarter of the phases
// comes first. Wherever the full search found keying the glance caught 0.9 of what that needs or
// more, and on noise alone 0.6 at the most: a window it finds below this share is noise, and the
// full search, most of the time a long recording's quiet stretches took, is spared.
constexpr double kGlanceStep = 3 * kCoarseStep;
constexpr int kGlancePhases = kCoarsePhases / 4;
constexpr double kGlanceShare = 0.7;
constexpr double kClipAboveAmplitude = 4;  // a slot louder than key-down plus this is a click
constexpr double kNoKeyingSnr = 0.25;      // slot energy assumed while no keying is found
// Until the speed has first held this many windows in a row, the segments wait (at most so many)
// to be cut on the grid found at last: at a low SNR a wrong speed can hold two overlapping
// windows, and a beacon's first lines come before the speed is found (about 49 s are held).
constexpr int kReleaseSegments = 6;
constexpr int kMostPendingSegments = 24;
// Every coarse speed's merit is summed over windows this far apart (segments: half a window, so
// each sample counts twice) while keying is heard. The speed followed gives way to a near one
// whose sum beats its own by this many standard deviations of the sum's noise, reckoned as if the
// windows did not overlap; before the held segments are released too, or a wrong speed that held
// long enough to release them would cut the first beacon on its grid.
constexpr int kEvidenceEvery = 2;
constexpr double kEvidenceMargin = 2.0;
// Above this SNR, as the grid estimates it, one window tells the speed: no evidence is summed.
constexpr double kEvidenceBelowSnrDb = -10.0;

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
// The satellite keys a whole pass at one speed: once a speed has held this long, any other is
// refused (4/3 can win across the pause between two beacons whose grids differ in phase, and the
// shortest dit searched now and then in a weak signal), but for twice and three times its dit.
constexpr int kSettledSegments = 4;
constexpr std::array<double, 3> kSettledMoves = {1.0, 2.0, 3.0};
// A segment held before the speed settled keeps the speed found for it only where its grid
// catches this share more than the settled speed's (and the switch margin besides): in a weak
// signal a window's own best speed catches more than the true one by chance.
constexpr double kOwnSpeedShare = 0.1;
// A pause in the keying (between two beacons, or traffic too weak to show) does not unsettle the
// speed: after one, a weak signal's grid found at some other speed near it would be taken, and
// the lines cut on it lost. A speed unheard for longer is looked for afresh.
constexpr int kForgetAfterSegments = 2;

// The slot boundary nearest `x`: on the path of `points`, or on their grid carried on beyond them.
double GridPointNear(const std::vector<double>& points, double period, double x) {
    if (points.empty()) {
        return x;
    }
    const auto after = std::lower_bound(points.begin(), points.end(), x);
    if (after == points.end()) {
        return points.back() + std::round((x - points.back()) / period) * period;
    }
    if (after == points.begin()) {
        return points.front() + std::round((x - points.front()) / period) * period;
    }
    return x - *(after - 1) < *after - x ? *(after - 1) : *after;
}

bool Near(double ratio, double to) {
    return std::abs(ratio / to - 1.0) < kConfusedTolerance;
}

bool Confused(double period, double followed, bool settled) {
    const double ratio = period / followed;
    if (settled) {
        return std::none_of(kSettledMoves.begin(), kSettledMoves.end(),
                            [ratio](double r) { return Near(ratio, r); });
    }
    return std::any_of(kConfusedRatios.begin(), kConfusedRatios.end(),
                       [ratio](double r) { return Near(ratio, r); });
}

// A grid's capture over a window of `length` samples, less what noise alone would reach at its
// best phase.
double Merit(double capture, double period, int length) {
    return capture - kNoiseMerit * std::sqrt(length / period);
}

// What a new speed's merit must beat the one followed by.
double SwitchMargin(double period, int length) {
    return kSwitchMargin * std::sqrt(length / period);
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
      weights_(kWindowLength),
      heard_(kWindowLength) {
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
        double turn = 0;
        const double offset = SteadiestMix(window, segmentStart, turn).offsetHz;
        lastOffset_ = offset;
        Derotate(window, segmentStart, offset);
        double period = period_;
        std::vector<double> points;
        const Found found = FindGrid(window, period, points);
        keyingFound_ = found == Found::kGrid;
        const bool held = keyingFound_ && std::abs(period / period_ - 1.0) < kTrackSpan;
        lostSegments_ = keyingFound_ ? 0 : lostSegments_ + 1;
        if (held) {
            ++settledSegments_;
        } else if (keyingFound_ || lostSegments_ > kForgetAfterSegments) {
            settledSegments_ = 0;
        }
        if (keyingFound_) {
            period_ = period;
            gridPoints_ = std::move(points);
        }
        const double amplitude =
            keyingFound_ ? Amplitude(window, gridPoints_) : std::sqrt(kNoKeyingSnr);
        slotSnr_ = amplitude * amplitude;
        if (keyingFound_) {
            keyedAmplitude_ = amplitude;
        } else if (found == Found::kQuiet) {
            keyedAmplitude_ = 0;
        }
        pending_.push_back({std::move(window), segment_, gridPoints_, period_, CutAmplitude(),
                            Estimate(), found == Found::kQuiet});
        if (!released_ && settledSegments_ >= kReleaseSegments) {
            released_ = true;
            Recut();
        }
        while (!pending_.empty() &&
               (released_ || static_cast<int>(pending_.size()) > kMostPendingSegments)) {
            CutSegment(pending_.front(), SegmentEnd(pending_.front()), boundary_, slots);
            NoteCut(pending_.front());
            pending_.pop_front();
        }
        phase_ = std::fmod(phase_ + 2.0 * std::numbers::pi * offset * segmentLength_ / rate_ - turn,
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

void KeyingGrid::Finish(std::vector<Slot>& slots) {
    for (const Pending& held : pending_) {
        CutSegment(held, SegmentEnd(held), boundary_, slots);
        NoteCut(held);
    }
    pending_.clear();
}

// The segments still held are cut on their own grids, and what was heard after them on the
// latest grid carried on, as far as whole slots reach: the slots a live display reads before the
// windows around them are complete.
void KeyingGrid::Provisional(std::span<const BasebandSample> ahead,
                             std::vector<Slot>& slots) const {
    double boundary = boundary_;
    for (const Pending& held : pending_) {
        CutSegment(held, SegmentEnd(held), boundary, slots);
    }
    const std::int64_t tailStart = segment_ * segmentLength_;
    const std::int64_t tailEnd = bufferStart_ + static_cast<std::int64_t>(buffer_.size()) +
                                 static_cast<std::int64_t>(ahead.size());
    if (static_cast<double>(tailEnd - tailStart) < period_) {
        return;
    }
    Pending tail{Gather(tailEnd - windowLength_, ahead),
                 segment_,
                 gridPoints_,
                 period_,
                 CutAmplitude(),
                 Estimate()};
    HoldMixer(tail.window, tailStart, heldHz_);
    Derotate(tail.window, tailStart, lastOffset_);
    CutSegment(tail, static_cast<double>(tailEnd) - period_, boundary, slots);
}

// The key-down amplitude slots are cut at. Where keying was found and is now lost (the
// transmission ended or faded) it is the one it was keyed with, until a window is quiet: what is
// heard on its grid then reads as key-up. At the amplitude assumed while no keying is found, noise
// fills slots as readily as keying would, and the grammar reads its likeliest text into them: a
// line 6 header after a beacon broken off after line 5.
double KeyingGrid::CutAmplitude() const {
    return !keyingFound_ && keyedAmplitude_ > 0 ? keyedAmplitude_ : std::sqrt(slotSnr_);
}

double KeyingGrid::SegmentEnd(const Pending& held) const {
    return static_cast<double>((held.segment + 1) * segmentLength_);
}

void KeyingGrid::NoteCut(const Pending& held) {
    quietUntil_ = held.quiet ? SegmentEnd(held) / rate_ + offsetSeconds_ : -1.0;
}

KeyingGrid::Window KeyingGrid::Gather(std::int64_t start,
                                      std::span<const BasebandSample> ahead) const {
    Window window{
        start, std::vector<std::complex<float>>(static_cast<std::size_t>(windowLength_)),
        std::vector<float>(static_cast<std::size_t>(windowLength_), 1.0F),
        std::vector<float>(static_cast<std::size_t>(windowLength_), 0.0F),
        static_cast<std::size_t>(std::clamp<std::int64_t>(bufferStart_ - start, 0, windowLength_))};
    float lastNoise = 0;
    float lastMixerHz = 0;
    for (int n = windowLength_ - 1; n >= 0; --n) {
        const std::int64_t at = start + n - bufferStart_;
        const auto held = static_cast<std::int64_t>(buffer_.size());
        const BasebandSample* sample = nullptr;
        if (at >= 0 && at < held) {
            sample = &buffer_[static_cast<std::size_t>(at)];
        } else if (at >= held && at - held < static_cast<std::int64_t>(ahead.size())) {
            sample = &ahead[static_cast<std::size_t>(at - held)];
        }
        if (sample != nullptr) {
            window.value[static_cast<std::size_t>(n)] = sample->value;
            lastNoise = std::max(sample->noiseVariance, 1e-30F);
            lastMixerHz = sample->frequency;
        }
        window.mixerHz[static_cast<std::size_t>(n)] = lastMixerHz;
        window.noise[static_cast<std::size_t>(n)] = lastNoise > 0 ? lastNoise : 1.0F;
    }
    return window;
}

// The tone's remaining offset from 0 Hz, from a fine spectrum of the window's baseband.
KeyingGrid::ToneLine KeyingGrid::FineOffset(const Window& window) {
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
    const double strength = *peak / std::max(MedianOf(power), 1e-30);
    if (strength < kMinToneLine) {
        return {0, strength};
    }
    const double shift = ParabolicOffset(std::log(*(peak - 1) + 1e-30), std::log(*peak + 1e-30),
                                         std::log(*(peak + 1) + 1e-30));
    const double bin = static_cast<double>(peak - power.begin() - reach) + shift;
    return {bin * rate_ / windowLength_, strength};
}

double KeyingGrid::HoldMixer(Window& window, std::int64_t segmentStart, double heldHz) const {
    if (heldHz == 0) {
        return 0;
    }
    // The mixer's phase ran ahead of one held still by the sum of its frequency steps: turning
    // each sample back by that much (counted from the segment's start) mixes it at the held
    // frequency. Beyond the window the mixer is taken to stay where it was at its edge.
    const std::size_t count = window.value.size();
    const auto step = [&](std::size_t n) {
        return 2.0 * std::numbers::pi * (window.mixerHz[n] - heldHz) / rate_;
    };
    std::vector<double> ahead(count + 1);
    for (std::size_t n = 0; n < count; ++n) {
        ahead[n + 1] = ahead[n] + step(n);
    }
    const auto aheadAt = [&](std::int64_t n) {
        const auto last = static_cast<std::int64_t>(count);
        if (n < 0) {
            return static_cast<double>(n) * step(0);
        }
        return n <= last ? ahead[static_cast<std::size_t>(n)]
                         : ahead[count] + static_cast<double>(n - last) * step(count - 1);
    };
    const double atStart = aheadAt(segmentStart - window.start);
    // The mixer holds its frequency for many samples at a time: one turn per sample, worked out
    // again only where it moved.
    std::complex<double> phasor;
    std::complex<double> rotation;
    for (std::size_t n = 0; n < count; ++n) {
        if (n == 0 || window.mixerHz[n] != window.mixerHz[n - 1]) {
            phasor = std::polar(1.0, ahead[n] - atStart);
            rotation = std::polar(1.0, step(n));
        }
        window.value[n] = std::complex<float>(std::complex<double>(window.value[n]) * phasor);
        phasor *= rotation;
    }
    return aheadAt(segmentStart + segmentLength_ - window.start) - atStart;
}

KeyingGrid::ToneLine KeyingGrid::SteadiestMix(Window& window, std::int64_t segmentStart,
                                              double& turn) {
    const ToneLine mixed = FineOffset(window);
    heldHz_ = 0;
    turn = 0;
    const auto [lowest, highest] =
        std::minmax_element(window.mixerHz.begin(), window.mixerHz.end());
    if (*lowest == *highest) {
        return mixed;
    }
    Window held = window;
    const double heldHz =
        MedianOf(std::vector<double>(window.mixerHz.begin(), window.mixerHz.end()));
    const double heldTurn = HoldMixer(held, segmentStart, heldHz);
    const ToneLine steady = FineOffset(held);
    if (steady.strength <= mixed.strength) {
        return mixed;
    }
    heldHz_ = heldHz;
    turn = heldTurn;
    window = std::move(held);
    return steady;
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

// A change of the grid's phase costs more than noise gains by one in a pause, and more than a
// grid too long for the keying gains by following its elements one by one; a transmission at the
// wrong phase loses far more.
double KeyingGrid::ChangeCost(double period) const {
    return std::max(kLeastChangeCost, kChangeCostPerSlotEnergy * period * sampleExcess_);
}

std::pair<double, double> KeyingGrid::BestPeriod(
    const std::vector<std::complex<double>>& cumulative, double centre, double span, double step,
    int phases, int sparse) const {
    double best = -1e300;
    double bestPeriod = centre;
    int bestStep = 0;
    const auto tryStep = [&](int k) {
        const double period = centre * (1.0 + k * step);
        if (period < kShortestDit * rate_ || period > kLongestDit * rate_) {
            return;
        }
        const double excess =
            FollowGrid(cumulative, period, phases, weights_, ChangeCost(period), false).capture;
        if (excess > best) {
            best = excess;
            bestPeriod = period;
            bestStep = k;
        }
    };
    const int steps = static_cast<int>(std::lround(span / step));
    const int stride = steps >= kSparseFrom ? sparse : 1;
    for (int k = -(steps / stride) * stride; k <= steps; k += stride) {
        tryStep(k);
    }
    // The capture's peak is wider than the stride: only the steps beside the best one are left.
    const int around = bestStep;
    for (int k = around - stride + 1; stride > 1 && k < around + stride; ++k) {
        if (k != around && std::abs(k) <= steps) {
            tryStep(k);
        }
    }
    return {best, bestPeriod};
}

// The followed speed in this window. Once it has settled where one window tells it, it is looked
// for `close` first; a best at the edge of that (the speed is moving) looks as far as ever.
std::pair<double, double> KeyingGrid::Track(const std::vector<std::complex<double>>& cumulative,
                                            double period, bool close, int sparse) const {
    if (close) {
        const auto near =
            BestPeriod(cumulative, period, kSettledTrackSpan, kFineStep, kTrackPhases, sparse);
        if (std::abs(near.second / period - 1.0) < kSettledTrackSpan - kFineStep / 2) {
            return near;
        }
    }
    return BestPeriod(cumulative, period, kTrackSpan, kFineStep, kTrackPhases, sparse);
}

// The window's running sum scaled to unit noise; sets the weights and mean energy it was heard
// with.
std::vector<std::complex<double>> KeyingGrid::Cumulative(const Window& window) {
    const auto length = static_cast<std::size_t>(windowLength_);
    std::vector<std::complex<double>> cumulative(length + 1);
    // Before the recording began nothing was heard: those samples weigh nothing.
    std::fill_n(heard_.begin(), window.firstHeard, 0.0F);
    std::fill(heard_.begin() + static_cast<long>(window.firstHeard), heard_.end(), 1.0F);
    std::fill_n(weights_.begin(), window.firstHeard, 0.0F);
    std::copy(hann_.begin() + static_cast<long>(window.firstHeard), hann_.end(),
              weights_.begin() + static_cast<long>(window.firstHeard));
    double energy = 0;
    for (std::size_t n = window.firstHeard; n < length; ++n) {
        const std::complex<double> value =
            std::complex<double>(window.value[n]) / std::sqrt(static_cast<double>(window.noise[n]));
        cumulative[n + 1] = cumulative[n] + value;
        energy += std::norm(value);
    }
    sampleExcess_ = std::max(
        0.0,
        energy / static_cast<double>(std::max<std::size_t>(length - window.firstHeard, 1)) - 1.0);
    return cumulative;
}

bool KeyingGrid::KeyingGlimpsed(const std::vector<std::complex<double>>& cumulative) const {
    for (double p = kShortestDit * rate_; p <= kLongestDit * rate_; p *= 1.0 + kGlanceStep) {
        const double needed = kMinCaptureSigmas * std::sqrt(windowLength_ / p);
        if (FollowGrid(cumulative, p, kGlancePhases, weights_, ChangeCost(p), false).capture >=
            kGlanceShare * needed) {
            return true;
        }
    }
    return false;
}

// Speed and grid: the period and phase whose slots catch the most energy. A speed found before
// is searched near first; the whole range is searched when it no longer fits.
KeyingGrid::Found KeyingGrid::FindGrid(const Window& window, double& period,
                                       std::vector<double>& points) {
    const auto length = static_cast<std::size_t>(windowLength_);
    const std::vector<std::complex<double>> cumulative = Cumulative(window);
    const auto merit = [&](const std::pair<double, double>& candidate) {
        return Merit(candidate.first, candidate.second, windowLength_);
    };
    std::vector<std::pair<double, double>> coarse;
    // Once a speed has settled, other speeds are looked for only now and then.
    const bool settled = settledSegments_ >= kSettledSegments;
    const bool following = keyingFound_ || settled;
    if (!following && !KeyingGlimpsed(cumulative)) {
        return Found::kQuiet;
    }
    const bool weigh =
        keyingFound_ && segment_ % kEvidenceEvery == 0 && Estimate().snrDb < kEvidenceBelowSnrDb;
    const bool searchAll = !settled || segment_ % kSearchAllEvery == 0 || weigh;
    // A weak signal's capture is too noisy for the fine searches to skip steps.
    const int sparse = Estimate().snrDb < kEvidenceBelowSnrDb ? 1 : kSparseStride;
    for (double p = kShortestDit * rate_; searchAll && p <= kLongestDit * rate_;
         p *= 1.0 + kCoarseStep) {
        // A settled speed refuses most others: only those it could give way to are candidates
        // (the evidence weighs every one).
        if (settled && !weigh && Confused(p, period, settled)) {
            continue;
        }
        const std::pair<double, double> candidate{
            FollowGrid(cumulative, p, kCoarsePhases, weights_, ChangeCost(p), false).capture, p};
        coarse.emplace_back(merit(candidate), p);
    }
    if (weigh) {
        evidence_.Add(coarse, toneHz_);
    }
    const double better =
        weigh ? evidence_.Better(period, static_cast<double>(length), kEvidenceMargin) : 0.0;
    const auto top =
        coarse.begin() + std::min<long>(kCoarseCandidates, static_cast<long>(coarse.size()));
    std::partial_sort(coarse.begin(), top, coarse.end(), std::greater<>());
    std::pair<double, double> found{-1e300, period};
    double margin = 0;  // a new speed must beat the one followed by this much
    const double followed = period;
    const auto consider = [&](double centre, double span) {
        if (following && Confused(centre, followed, settled)) {
            return;
        }
        const auto fine = BestPeriod(cumulative, centre, span, kFineStep, kTrackPhases, sparse);
        if (merit(fine) > merit(found) + margin) {
            found = fine;
        }
    };
    if (following) {
        const auto tracked = Track(cumulative, period, settled && sparse > 1, sparse);
        if (merit(tracked) > merit(found)) {
            found = tracked;
        }
        margin = SwitchMargin(period, windowLength_);
    }
    for (auto candidate = coarse.begin(); candidate != top; ++candidate) {
        consider(candidate->second, kCoarseStep);
    }
    // A speed settled wrongly refuses the near speeds one window prefers now and then; the
    // evidence summed over the windows overrules it.
    if (better > 0) {
        found = BestPeriod(cumulative, better, kCoarseStep, kFineStep, kTrackPhases, sparse);
    }
    // A grid of half or a third of the dit catches as much; the longest that does is the dit.
    // Once the speed has settled, a longer grid must catch more, as any other new speed must, and
    // is looked for only when other speeds are.
    const double needed = settled ? merit(found) + margin : kMultipleShare * found.first;
    for (const int multiple : searchAll ? kMultiples : std::span<const int>()) {
        const auto longer = BestPeriod(cumulative, found.second * multiple, 2 * kFineStep,
                                       kFineStep, kTrackPhases * multiple, sparse);
        if ((settled ? merit(longer) : longer.first) > needed &&
            !(following && Confused(longer.second, followed, settled))) {
            found = longer;
            break;
        }
    }
    if (found.first <= kMinCaptureSigmas * std::sqrt(static_cast<double>(length) / found.second)) {
        return Found::kNoGrid;
    }
    // The slot boundaries along the path of phases, every sample weighing alike: a transmission
    // near the segment sets its grid whether or not it is near the window's middle.
    GridPath path =
        FollowGrid(cumulative, found.second, kFinePhases, heard_, ChangeCost(found.second), true);
    period = found.second;
    for (double& point : path.points) {
        point += static_cast<double>(window.start);
    }
    points = std::move(path.points);
    return path.capture > 0 ? Found::kGrid : Found::kNoGrid;
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
double KeyingGrid::Amplitude(const Window& window, const std::vector<double>& points) const {
    std::vector<double> energy;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        double noise = 0;
        const std::complex<double> sum = SlotSum(window, points[i], points[i + 1], noise);
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
    return EstimateOf(toneHz_, period_, slotSnr_, keyingFound_);
}

SignalEstimate KeyingGrid::EstimateOf(double toneHz, double period, double slotSnr,
                                      bool keyed) const {
    const double dit = period / rate_;
    const double snr = slotSnr / (kSnrBandHz * dit);
    return {toneHz, 1.2 / dit, 10.0 * std::log10(std::max(snr, 1e-6)), keyed};
}

// Once the speed has settled, the segments held back while it was being found are cut again on
// its grid: the start of the first transmission is not lost to the search.
void KeyingGrid::Recut() {
    for (Pending& held : pending_) {
        held.quiet = false;
        const std::vector<std::complex<double>> cumulative = Cumulative(held.window);
        GridPath path =
            FollowGrid(cumulative, period_, kFinePhases, heard_, ChangeCost(period_), true);
        // A segment keyed at a speed of its own, as another station's is when the tone followed
        // hopped to it, keeps its grid where that catches clearly more than the settled one.
        if (std::abs(held.period / period_ - 1.0) > kTrackSpan) {
            const double own = Merit(FollowGrid(cumulative, held.period, kFinePhases, heard_,
                                                ChangeCost(held.period), false)
                                         .capture,
                                     held.period, windowLength_);
            const double settled = Merit(path.capture, period_, windowLength_);
            if (own > settled + SwitchMargin(period_, windowLength_) +
                          kOwnSpeedShare * std::max(settled, 0.0)) {
                continue;
            }
        }
        for (double& point : path.points) {
            point += static_cast<double>(held.window.start);
        }
        const bool keyed = path.capture > kMinCaptureSigmas * std::sqrt(windowLength_ / period_);
        held.points = std::move(path.points);
        held.period = period_;
        held.amplitude = keyed ? Amplitude(held.window, held.points) : std::sqrt(kNoKeyingSnr);
        held.estimate =
            EstimateOf(held.estimate.toneHz, period_, held.amplitude * held.amplitude, keyed);
    }
}

void KeyingGrid::CutSegment(const Pending& held, double segmentEnd, double& boundary,
                            std::vector<Slot>& slots) const {
    // Noise read as slots would only be read as traffic, and a long quiet stretch costs the
    // sequence decoder most of its time; the next slots start on their own grid.
    if (held.quiet) {
        boundary = -1;
        return;
    }
    const Window& window = held.window;
    const double period = held.period;
    const double amplitude = held.amplitude;
    const double segmentStart = static_cast<double>(held.segment * segmentLength_);
    if (boundary < 0) {
        boundary = GridPointNear(held.points, period, segmentStart);
    }
    std::vector<std::complex<double>> values;
    for (std::size_t i = 0; i + 1 < held.points.size(); ++i) {
        double noise = 0;
        const std::complex<double> sum = SlotSum(window, held.points[i], held.points[i + 1], noise);
        values.push_back(noise > 0 ? sum / std::sqrt(noise) : std::complex<double>());
    }
    const std::vector<std::complex<double>> references = PhaseReferences(values, amplitude);
    // Without keying found there is no key-down amplitude to follow.
    const bool keyed = held.estimate.keyingFound && amplitude > std::sqrt(kNoKeyingSnr);
    const bool fading = keyed && Fades(values, amplitude);
    const std::vector<double> amplitudes = keyed ? LocalAmplitudes(values, amplitude, fading)
                                                 : std::vector<double>(values.size(), amplitude);
    while (boundary < segmentEnd) {
        double end = GridPointNear(held.points, period, boundary + period);
        if (end - boundary < 0.5 * period) {
            end += period;
        }
        // The path's slot starting here, if the path reaches this far: its phase reference and
        // the key-down amplitude around it.
        const auto at = std::lower_bound(held.points.begin(), held.points.end(), boundary - 1.0);
        const auto index = static_cast<std::size_t>(at - held.points.begin());
        const bool onPath = index < references.size() && std::abs(*at - boundary) < 1.0;
        const double slotAmplitude = onPath ? amplitudes[index] : amplitude;
        double noise = 0;
        std::complex<double> sum = SlotSum(window, boundary, end, noise);
        sum = noise > 0 ? sum / std::sqrt(noise) : std::complex<double>();
        const double limit = slotAmplitude + kClipAboveAmplitude;
        if (std::abs(sum) > limit) {
            sum *= limit / std::abs(sum);
        }
        slots.push_back(
            {std::complex<float>(sum), static_cast<float>(slotAmplitude),
             boundary / rate_ + offsetSeconds_, end / rate_ + offsetSeconds_, held.estimate,
             onPath ? std::complex<float>(references[index]) : std::complex<float>(), fading});
        boundary = end;
    }
}

}  // namespace telvane::morse
