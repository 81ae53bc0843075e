#include "tone_tracker.h"

#include "lanes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace telvane::morse {
namespace {

constexpr double kLowestTone = 200.0;
constexpr double kHighestTone = 2500.0;
constexpr double kBinHz = 12.0;
constexpr double kMaxDriftHzPerSecond = 230.0;
// The sharpest bend of a Doppler S-curve of that slope and a 250 Hz excursion, Hz/s^2.
constexpr double kMaxBendHzPerSecond2 = 0.77 * kMaxDriftHzPerSecond * kMaxDriftHzPerSecond / 250.0;
constexpr int kLagFrames = 24;
constexpr int kSmoothFrames = 12;      // on each side of the frame being smoothed
constexpr float kEmissionCap = 30.0F;  // one loud frame must not decide the path alone
constexpr double kStepCost = 1.0;      // per bin of drift from one frame to the next
constexpr double kJumpCost = 20.0;     // for leaving the tone followed so far
constexpr double kNoiseFollow = 0.05;  // weight of a frame's noise floor in the running one
constexpr double kLargestRise = 3.0;   // of the running floor, the most one frame counts
constexpr int kSilentShare = 8;  // of a frame's samples exactly zero, for it to count as silent
constexpr double kWeakestWeighted = 3.0;  // frames below this strength do not steer the tone
constexpr double kFollowWidthHz = 100.0;  // around a tone the operator picked
constexpr double kDriftMargin = 1.5;      // over the steepest Doppler slope and bend, to smooth by
constexpr double kStrongForDrift = 25.0;  // strength of the frames that tell the drift
constexpr double kLeastSpread = 4.0;      // variance of their times, frames^2, to tell it
constexpr double kSlopeSigmas = 3.0;      // standard errors at which a slope counts half

double Median(std::vector<float> values) {
    const auto middle = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Weighted sums of points (t, y) for a line or parabola through them (least squares).
struct CurveSums {
    double n = 0;
    std::array<double, 5> tk{};   // sum of w t^k
    std::array<double, 3> ytk{};  // sum of w y t^k
    double yy = 0;

    void Add(double weight, double time, double value) {
        const double square = time * time;
        n += 1;
        tk[0] += weight;
        tk[1] += weight * time;
        tk[2] += weight * square;
        tk[3] += weight * square * time;
        tk[4] += weight * square * square;
        ytk[0] += weight * value;
        ytk[1] += weight * time * value;
        ytk[2] += weight * square * value;
        yy += weight * value * value;
    }
    // The drift as slope and bend (y = a + slope t + bend t^2), shrunk by how far the straight
    // line stands out of the scatter about it (a slope of a few standard errors counts little);
    // none where the times are too few or too close together to tell one, and no bend where they
    // do not tell it.
    std::pair<double, double> Drift() const {
        const double w = tk[0];
        const double spread = w > 0 ? tk[2] - tk[1] * tk[1] / w : 0.0;
        if (n < 3 || spread <= kLeastSpread * w) {
            return {0, 0};
        }
        const double covariance = ytk[1] - tk[1] * ytk[0] / w;
        const double unexplained = (yy - ytk[0] * ytk[0] / w) * spread - covariance * covariance;
        // The slope over its standard error, squared.
        const double significance =
            unexplained > 0 ? (n - 2) * covariance * covariance / unexplained : 1e300;
        const double shrink = significance / (significance + kSlopeSigmas * kSlopeSigmas);
        // What t^2 varies by beyond what t tells of it: a bend needs times on both sides.
        const double cross = tk[3] - tk[1] * tk[2] / w;
        const double bendSpread = tk[4] - tk[2] * tk[2] / w - cross * cross / spread;
        if (n >= 4 && bendSpread > kLeastSpread * kLeastSpread * w) {
            const double bend =
                (ytk[2] - tk[2] * ytk[0] / w - covariance * cross / spread) / bendSpread;
            return {shrink * (covariance - bend * cross) / spread, shrink * bend};
        }
        return {shrink * covariance / spread, 0};
    }
};

}  // namespace

ToneTracker::ToneTracker(double workRate)
    : frameLength_(2 * static_cast<int>(std::lround(workRate / kBinHz / 2.0))),
      frameHop_(frameLength_ / 2),
      firstBin_(static_cast<int>(std::ceil(kLowestTone * frameLength_ / workRate))),
      binCount_(static_cast<int>(std::floor(kHighestTone * frameLength_ / workRate)) - firstBin_ +
                1),
      maxStep_(static_cast<int>(std::ceil(kMaxDriftHzPerSecond * frameHop_ / workRate /
                                          (workRate / frameLength_))) +
               1),
      binHz_(workRate / frameLength_),
      slopeLimit_(kDriftMargin * kMaxDriftHzPerSecond * frameHop_ / workRate),
      bendLimit_(kDriftMargin * kMaxBendHzPerSecond2 * (frameHop_ / workRate) *
                 (frameHop_ / workRate)),
      window_(static_cast<std::size_t>(frameLength_)),
      spectrum_(frameLength_),
      score_(static_cast<std::size_t>(binCount_), 0.0) {
    for (int n = 0; n < frameLength_; ++n) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (n + 0.5) / frameLength_);
        window_[static_cast<std::size_t>(n)] = static_cast<float>(w);
        windowEnergy_ += w * w;
    }
}

int ToneTracker::LatencySamples() const {
    return (kLagFrames + kSmoothFrames + 2) * frameHop_ + frameLength_;
}

void ToneTracker::AddFrame(std::span<const float> samples, std::vector<ToneFrame>& decided) {
    std::span<float> input = spectrum_.Input();
    for (int n = 0; n < frameLength_; ++n) {
        input[static_cast<std::size_t>(n)] =
            samples[static_cast<std::size_t>(n)] * window_[static_cast<std::size_t>(n)];
    }
    const auto bins = spectrum_.Transform();
    std::vector<float> power(static_cast<std::size_t>(binCount_));
    for (int k = 0; k < binCount_; ++k) {
        power[static_cast<std::size_t>(k)] =
            std::norm(bins[static_cast<std::size_t>(firstBin_) + static_cast<std::size_t>(k)]);
    }
    // The median bin is noise whatever tones there are; exponential power: mean = median / ln 2.
    const double floor = Median(power) / std::numbers::ln2;
    // A floor found in a frame partly of digital silence (an input that starts silent) is not the
    // noise's: the next frame's replaces it, rather than rising for seconds under the burst cap.
    const auto silent = std::count(samples.begin(), samples.end(), 0.0F);
    if (noise_ <= 0 || floorInSilence_) {
        noise_ = floor;
        floorInSilence_ = silent > frameLength_ / kSilentShare;
    } else if (floor > 0) {  // digital silence is no measure of the noise
        // A loud burst counts only a few times the floor: it is not the noise the tone is heard
        // in, and it leaves no floor that takes long to come down from.
        noise_ += kNoiseFollow * (std::min(floor, kLargestRise * noise_) - noise_);
    }
    std::vector<float> emission(power.size());
    const double scale = noise_ > 0 ? 1.0 / noise_ : 0.0;
    for (std::size_t k = 0; k < power.size(); ++k) {
        emission[k] = std::min(static_cast<float>(power[k] * scale), kEmissionCap);
    }
    if (following_) {
        // Only the picked tone's neighbourhood, wherever the path has drifted to, may win.
        const auto head = std::max_element(score_.begin(), score_.end()) - score_.begin();
        const auto width = static_cast<long>(kFollowWidthHz / binHz_);
        for (long k = 0; k < static_cast<long>(emission.size()); ++k) {
            emission[static_cast<std::size_t>(k)] *= std::abs(k - head) <= width ? 1.0F : 0.0F;
        }
    }
    Viterbi(emission);
    powers_.push_back(std::move(power));
    frameNoise_.push_back(noise_ / windowEnergy_);
    ++frames_;
    if (static_cast<int>(back_.size()) > kLagFrames) {
        Decide(decided);
        back_.pop_front();
        powers_.pop_front();
        frameNoise_.pop_front();
    }
}

void ToneTracker::Follow(double hz) {
    following_ = hz > 0;
    if (!following_) {
        return;
    }
    const long picked = std::clamp(std::lround(hz / binHz_) - firstBin_, 0L, binCount_ - 1L);
    for (long k = 0; k < binCount_; ++k) {
        score_[static_cast<std::size_t>(k)] = k == picked ? 0.0 : -kJumpCost;
    }
}

// Each bin is reached from the best of its neighbours within the drift's reach (the nearest the
// low edge first of those alike) or by a jump from the best bin of all. Taken one step size at a
// time over all bins, two bins in the vector lanes: the same choices as bin by bin.
void ToneTracker::Viterbi(const std::vector<float>& emission) {
    const auto top = std::max_element(score_.begin(), score_.end());
    const double best = *top;
    const auto bins = static_cast<int>(score_.size());
    std::vector<double> from(score_.size(), best - kJumpCost);
    std::vector<double> origin(score_.size(), static_cast<double>(top - score_.begin()));
    const double* score = score_.data();
    for (int d = -maxStep_; d <= maxStep_; ++d) {
        const double cost = kStepCost * std::abs(d);
        const int last = std::min(bins, bins - d);
        int k = std::max(0, -d);
        for (; k + 1 < last; k += 2) {
            const Lanes candidate = LoadLanes(score + k + d) - cost;
            const Lanes was = LoadLanes(&from[static_cast<std::size_t>(k)]);
            const auto better = candidate > was;
            const Lanes reached = {static_cast<double>(k + d), static_cast<double>(k + d + 1)};
            StoreLanes(&origin[static_cast<std::size_t>(k)],
                       better ? reached : LoadLanes(&origin[static_cast<std::size_t>(k)]));
            StoreLanes(&from[static_cast<std::size_t>(k)], better ? candidate : was);
        }
        for (; k < last; ++k) {
            const double candidate = score[k + d] - cost;
            if (candidate > from[static_cast<std::size_t>(k)]) {
                from[static_cast<std::size_t>(k)] = candidate;
                origin[static_cast<std::size_t>(k)] = k + d;
            }
        }
    }
    std::vector<std::int16_t> back(score_.size());
    for (std::size_t k = 0; k < score_.size(); ++k) {
        score_[k] = from[k] + emission[k] - best;
        back[k] = static_cast<std::int16_t>(origin[k]);
    }
    back_.push_back(std::move(back));
}

void ToneTracker::Decide(std::vector<ToneFrame>& decided) {
    int bin = static_cast<int>(std::max_element(score_.begin(), score_.end()) - score_.begin());
    for (std::size_t i = back_.size() - 1; i > 0; --i) {
        bin = back_[i][static_cast<std::size_t>(bin)];
    }
    decisions_.push_back(DecisionAt(0, bin));
    Smooth(decided);
}

// The tone of the `index`th frame still on the path, when the path runs through `bin` there.
ToneTracker::Decision ToneTracker::DecisionAt(std::size_t index, int bin) const {
    // The path may run beside the peak where the emission saturates: climb to it, then take a
    // parabolic peak on the log power.
    const std::vector<float>& power = powers_[index];
    for (int step = 0; step < 2; ++step) {
        if (bin > 0 &&
            power[static_cast<std::size_t>(bin - 1)] > power[static_cast<std::size_t>(bin)]) {
            --bin;
        } else if (bin + 1 < binCount_ && power[static_cast<std::size_t>(bin) + 1] >
                                              power[static_cast<std::size_t>(bin)]) {
            ++bin;
        }
    }
    double offset = 0;
    if (bin > 0 && bin + 1 < binCount_) {
        const double l = std::log(power[static_cast<std::size_t>(bin - 1)] + 1e-30);
        const double c = std::log(power[static_cast<std::size_t>(bin)] + 1e-30);
        const double r = std::log(power[static_cast<std::size_t>(bin) + 1] + 1e-30);
        const double curvature = l - 2 * c + r;
        offset = curvature < 0 ? std::clamp(0.5 * (l - r) / curvature, -0.5, 0.5) : 0.0;
    }
    const std::int64_t frame =
        frames_ - static_cast<std::int64_t>(back_.size()) + static_cast<std::int64_t>(index);
    // A frame of digital silence, or one half in it (an input that starts silent), has no noise
    // floor of its own: the floor heard since stands for it, else the samples after the silence
    // would weigh as if heard without noise.
    const double noise = std::max(frameNoise_[index], noise_ / windowEnergy_ / kLargestRise);
    const double strength =
        noise > 0 ? power[static_cast<std::size_t>(bin)] / (noise * windowEnergy_) : 0.0;
    return {static_cast<double>(frame * frameHop_) + frameLength_ / 2.0,
            (firstBin_ + bin + offset) * binHz_, noise, strength};
}

void ToneTracker::Smooth(std::vector<ToneFrame>& decided) {
    if (decisions_.size() < 2 * static_cast<std::size_t>(kSmoothFrames) + 1) {
        return;
    }
    const Decision& centre = decisions_[kSmoothFrames];
    lastFrequency_ = Smoothed(decisions_, 0, decisions_.size(), kSmoothFrames, lastFrequency_);
    decided.push_back({centre.centreSample, lastFrequency_, centre.noiseVariance, centre.strength});
    decisions_.pop_front();
}

// The frequencies around the centre frame, weighted by the square of their strength over noise,
// less a drift: key-down frames decide, and the tone is followed along a Doppler curve without
// the lag or overshoot of a plain mean over frames keyed unevenly. The drift is the slope of a
// straight line through the strong frames alone (weak ones scatter it far more than a mean),
// held to what a Doppler curve can make; too few of them, or too close together, tell none.
// Without any frames to weigh, the tone stays where it was last.
double ToneTracker::Smoothed(const std::deque<Decision>& decisions, std::size_t first,
                             std::size_t last, std::size_t centre, double previous) const {
    const double reference = decisions[centre].frequency;
    CurveSums all;
    CurveSums strong;
    for (std::size_t i = first; i < last; ++i) {
        const double excess = decisions[i].strength - kWeakestWeighted;
        if (excess <= 0) {
            continue;  // weighs nothing
        }
        const double t = static_cast<double>(i) - static_cast<double>(centre);
        const double y = decisions[i].frequency - reference;
        all.Add(excess * excess, t, y);
        if (decisions[i].strength > kStrongForDrift) {
            strong.Add(excess * excess, t, y);
        }
    }
    if (all.tk[0] <= 1.0) {
        return previous > 0 ? previous : reference;
    }
    const auto [slope, bend] = strong.Drift();
    const double drift = std::clamp(slope, -slopeLimit_, slopeLimit_);
    const double curve = std::clamp(bend, -bendLimit_, bendLimit_);
    return reference + (all.ytk[0] - drift * all.tk[1] - curve * all.tk[2]) / all.tk[0];
}

// The path from the likeliest tone now back through the frames not yet decided, smoothed over
// what there is of each frame's neighbourhood.
void ToneTracker::Provisional(std::vector<ToneFrame>& frames) const {
    std::deque<Decision> decisions = decisions_;
    const std::size_t undecided = decisions.size();
    std::vector<int> bins(back_.size());
    int bin = static_cast<int>(std::max_element(score_.begin(), score_.end()) - score_.begin());
    for (std::size_t i = back_.size(); i-- > 0;) {
        bins[i] = bin;
        bin = back_[i][static_cast<std::size_t>(bin)];
    }
    for (std::size_t i = 0; i < back_.size(); ++i) {
        decisions.push_back(DecisionAt(i, bins[i]));
    }
    double previous = lastFrequency_;
    const auto reach = static_cast<std::size_t>(kSmoothFrames);
    for (std::size_t centre = std::min(reach, undecided); centre < decisions.size(); ++centre) {
        const std::size_t first = centre - std::min(reach, centre);
        const std::size_t last = std::min(decisions.size(), centre + reach + 1);
        previous = Smoothed(decisions, first, last, centre, previous);
        const Decision& decision = decisions[centre];
        frames.push_back(
            {decision.centreSample, previous, decision.noiseVariance, decision.strength});
    }
}

}  // namespace telvane::morse
