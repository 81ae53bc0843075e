#include "tone_tracker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "lanes.h"
#include "power_median.h"

namespace telvane::morse {
namespace {

constexpr double kLowestTone = 200.0;
constexpr double kHighestTone = 2500.0;
constexpr double kBinHz = 12.0;
constexpr int kLargestFrameFactor = 23;
constexpr double kMaxDriftHzPerSecond = 230.0;
// The sharpest bend of a Doppler S-curve of that slope and a 250 Hz excursion, Hz/s^2.
constexpr double kMaxBendHzPerSecond2 = 0.77 * kMaxDriftHzPerSecond * kMaxDriftHzPerSecond / 250.0;
constexpr int kLagFrames = 24;
constexpr int kSmoothFrames = 12;  // on each side of the frame being smoothed
// One loud frame must not decide the path alone: above the cap a bin's emission grows only as the
// log of its power, and by a few units at most. Without that growth a strong tone's main lobe,
// sidelobes and key clicks would be one level plateau, and the path could rest anywhere on it,
// bins away from the tone.
constexpr float kEmissionCap = 30.0F;
constexpr float kBeyondCap = 0.2F;
constexpr float kMostBeyondCap = 3.0F;
// Bins (about 50 Hz) either side of a path's bin where a saturated strong tone's peak is looked
// for: its main lobe and first sidelobes, well inside the distance two stations are kept apart.
constexpr int kSaturatedReach = 4;
constexpr double kStepCost = 1.0;   // per bin of drift from one frame to the next
constexpr double kJumpCost = 20.0;  // for leaving the tone followed so far
// The most bins a tone drifts from one frame to the next (a frame hops half its 1/kBinHz), and
// one for where within its bin it lies: fixed, so that the Viterbi step's loops unroll.
constexpr int kMaxStep = 2;
static_assert(kMaxDriftHzPerSecond / (2 * kBinHz) / kBinHz < kMaxStep - 1);
constexpr std::size_t kSteps = 2 * kMaxStep + 1;  // the neighbours a bin can be reached from

// The cost of the step from the `j`th of them, the lowest first.
constexpr double StepCost(std::size_t j) {
    const int bins = static_cast<int>(j) - kMaxStep;
    return kStepCost * (bins < 0 ? -bins : bins);
}
constexpr double kNoiseFollow = 0.05;  // weight of a frame's noise floor in the running one
constexpr double kLargestRise = 3.0;   // of the running floor, the most one frame counts
constexpr int kSilentShare = 8;  // of a frame's samples exactly zero, for it to count as silent
constexpr double kWeakestWeighted = 3.0;  // frames below this strength do not steer the tone
constexpr double kFollowWidthHz = 100.0;  // around a tone the operator picked
// Two more paths are kept apart by this much, each bin's emission on them averaged over this many
// frames on each side. A second tone is heard once the strength decided along both averages this
// much over the last kSecondFollow-weighted frames (noise alone keeps under 2).
constexpr double kApartHz = 110.0;
constexpr double kMetHz = 25.0;  // two steady paths this close follow one signal
// A path keyed (well above noise: kLeastKeyDown) this close to where the other one was keyed no
// more than this many frames (5 s) before, and not where it was keyed itself, has taken the other's
// signal over.
constexpr int kTakenOverFrames = 120;
constexpr int kHoldFrames = 1;
constexpr double kSecondLevel = 4.0;
// A frame is key-down on a path above the first strength, key-up below the second; each path
// must be key-down alone in this share of the frames, and both key-down at once as often (one
// signal the two paths take in turns, as in a fast Doppler sweep, never is).
constexpr double kKeyDownStrength = 8.0;
constexpr double kKeyUpStrength = 2.0;
constexpr double kLevelCap = 30.0;  // of a frame's strength, in the level
constexpr double kAloneShare = 0.05;
constexpr double kKeyDownShare = 0.2;   // of the other's key-down strength, at the least
constexpr double kLeastKeyDown = 20.0;  // key-down strength on average, not noise at the edge
constexpr double kSecondFollow = 1.0 / 48;
// A frame's offset between the two steady paths this close to the last one turned round shows that
// they crossed over, where that one was wide enough to tell two stations; any other is kept as the
// last (a path wandering while its station is silent leaves no offset that blocks the stations').
constexpr double kSameOffsetHz = 25.0;
constexpr double kDriftMargin = 1.5;      // over the steepest Doppler slope and bend, to smooth by
constexpr double kStrongForDrift = 25.0;  // strength of the frames that tell the drift
constexpr double kLeastForSlope = 3;      // frames that tell a slope, at the fewest
constexpr double kLeastSpread = 4.0;      // variance of their times, frames^2, to tell it
constexpr double kSlopeSigmas = 3.0;      // standard errors at which a slope counts half

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
        if (n < kLeastForSlope || spread <= kLeastSpread * w) {
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

// The even frame length nearest `workRate / kBinHz` with no prime factor above 23: FFTW takes
// several times longer over a length with a larger one (8 kHz would give 666 = 2 x 3^2 x 37,
// 4.4 us a frame against 1.2 us for 660).
int FrameLengthFor(double workRate) {
    const auto fast = [](int n) {
        for (int factor = 2; factor <= kLargestFrameFactor; ++factor) {
            while (n % factor == 0) {
                n /= factor;
            }
        }
        return n == 1;
    };
    // At least 2: dividing the factors out of 0 would never end.
    const int ideal = std::max(2, 2 * static_cast<int>(std::lround(workRate / kBinHz / 2.0)));
    for (int away = 0;; away += 2) {
        if (fast(ideal - away)) {
            return ideal - away;
        }
        if (fast(ideal + away)) {
            return ideal + away;
        }
    }
}

}  // namespace

ToneTracker::ToneTracker(double workRate)
    : frameLength_(FrameLengthFor(workRate)),
      frameHop_(frameLength_ / 2),
      firstBin_(static_cast<int>(std::ceil(kLowestTone * frameLength_ / workRate))),
      binCount_(static_cast<int>(std::floor(kHighestTone * frameLength_ / workRate)) - firstBin_ +
                1),
      binHz_(workRate / frameLength_),
      slopeLimit_(kDriftMargin * kMaxDriftHzPerSecond * frameHop_ / workRate),
      bendLimit_(kDriftMargin * kMaxBendHzPerSecond2 * (frameHop_ / workRate) *
                 (frameHop_ / workRate)),
      window_(static_cast<std::size_t>(frameLength_)),
      spectrum_(frameLength_) {
    for (Path* path : {&path_, &strongest_, &away_}) {
        path->score.assign(static_cast<std::size_t>(binCount_), 0.0);
    }
    for (int n = 0; n < frameLength_; ++n) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (n + 0.5) / frameLength_);
        window_[static_cast<std::size_t>(n)] = static_cast<float>(w);
        windowEnergy_ += w * w;
    }
}

int ToneTracker::LatencySamples() const {
    return (kHoldFrames + kLagFrames + kSmoothFrames + 2) * frameHop_ + frameLength_;
}

void ToneTracker::AddFrame(std::span<const float> samples, std::vector<ToneFrame>& decided,
                           std::vector<ToneFrame>& second, std::vector<ToneFrame>& steady) {
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
    const double floor = PowerMedian(power) / std::numbers::ln2;
    // A floor found in a frame partly of digital silence (an input that starts silent) is not the
    // noise's: the next frame's replaces it, rather than rising for seconds under the burst cap.
    if (noise_ <= 0 || floorInSilence_) {
        noise_ = floor;
        const auto silent = std::count(samples.begin(), samples.end(), 0.0F);
        floorInSilence_ = silent > frameLength_ / kSilentShare;
    } else if (floor > 0) {  // digital silence is no measure of the noise
        // A loud burst counts only a few times the floor: it is not the noise the tone is heard
        // in, and it leaves no floor that takes long to come down from.
        noise_ += kNoiseFollow * (std::min(floor, kLargestRise * noise_) - noise_);
    }
    std::vector<float> emission(power.size());
    const double scale = noise_ > 0 ? 1.0 / noise_ : 0.0;
    for (std::size_t k = 0; k < power.size(); ++k) {
        const auto heard = static_cast<float>(power[k] * scale);
        emission[k] = heard <= kEmissionCap
                          ? heard
                          : kEmissionCap + std::min(kBeyondCap * std::log(heard / kEmissionCap),
                                                    kMostBeyondCap);
    }
    held_.push_back({std::move(emission), std::move(power), noise_ / windowEnergy_});
    ++frames_;
    // The first frames are on the paths as soon as those after them are heard.
    if (static_cast<int>(held_.size()) > kHoldFrames) {
        Step(decided, second, steady);
    }
    if (static_cast<int>(held_.size()) == 2 * kHoldFrames + 1) {
        held_.pop_front();
    }
}

// The frame the paths go through next: the newest but kHoldFrames.
ToneTracker::Frame& ToneTracker::Middle() {
    return held_[held_.size() - 1 - static_cast<std::size_t>(kHoldFrames)];
}

// Each bin's emission averaged over the frames held: a keyed tone stays above the noise through
// its key-ups, so a path has no reason to leave it for another signal then.
void ToneTracker::HeldEmission(std::vector<float>& held) const {
    held.assign(held_.front().emission.size(), 0.0F);
    const float share = 1.0F / static_cast<float>(held_.size());
    for (const Frame& frame : held_) {
        for (std::size_t k = 0; k < held.size(); ++k) {
            held[k] += share * frame.emission[k];
        }
    }
}

// Every path one frame on, through the frame in the middle of those held.
void ToneTracker::Step(std::vector<ToneFrame>& decided, std::vector<ToneFrame>& second,
                       std::vector<ToneFrame>& steady) {
    Frame& middle = Middle();
    if (following_) {
        // Only the picked tone's neighbourhood, wherever the path has drifted to, may win.
        std::vector<float>& emission = scratch_.followed;
        emission = middle.emission;
        const long head = path_.head;
        const auto width = static_cast<long>(kFollowWidthHz / binHz_);
        for (long k = 0; k < static_cast<long>(emission.size()); ++k) {
            emission[static_cast<std::size_t>(k)] *= std::abs(k - head) <= width ? 1.0F : 0.0F;
        }
        Viterbi(path_, emission);
    } else {
        Viterbi(path_, middle.emission);
    }
    // Each steady path keeps away from where the other one is: neither leaves its signal for the
    // other's in a key-up, whichever is the stronger.
    HeldEmission(scratch_.held);
    Apart(scratch_.held, away_.head, scratch_.apart);
    Viterbi(strongest_, scratch_.apart);
    Apart(scratch_.held, strongest_.head, scratch_.apart);
    Viterbi(away_, scratch_.apart);
    powers_.push_back(std::move(middle.power));  // the frame's power is the decisions' from now
    frameNoise_.push_back(middle.noise);
    if (static_cast<int>(powers_.size()) > kLagFrames) {
        std::vector<ToneFrame> own;
        std::vector<ToneFrame> first;
        Decide(path_, own);
        Trace(strongest_);
        Trace(away_);
        KeepStations();
        Smooth(strongest_, first);
        std::vector<ToneFrame> aside;
        Smooth(away_, aside);
        if (!first.empty() && !aside.empty()) {
            HearSecond(first.back(), aside.back());
        }
        // Once a second tone is heard the main tone is the first steady path's: the path on each
        // frame's own emission hops between the two.
        const bool heard = secondFrom_ >= 0;
        const std::vector<ToneFrame>& main = heard ? first : own;
        decided.insert(decided.end(), main.begin(), main.end());
        if (!heard) {
            steady.insert(steady.end(), first.begin(), first.end());
        }
        second.insert(second.end(), aside.begin(), aside.end());
        powers_.pop_front();
        frameNoise_.pop_front();
    }
}

// The held emission with the bins near `head` left out.
void ToneTracker::Apart(const std::vector<float>& held, long head,
                        std::vector<float>& apart) const {
    apart = held;
    const auto reach = static_cast<long>(std::ceil(kApartHz / binHz_));
    for (long k = std::max(0L, head - reach);
         k <= std::min(static_cast<long>(apart.size()) - 1, head + reach); ++k) {
        apart[static_cast<std::size_t>(k)] = 0.0F;
    }
}

// Whether two keyed tones are heard at once, from the strength of one frame on each steady path
// as decided: both stay well above the noise, each is often key-down while the other is key-up,
// and neither is key-down far weaker than the other. One signal alone is on either path in turn,
// never on both; its key clicks, which a path beside it may find, are far weaker. Where the paths
// meet on one signal, the path that came from the noise may go on with it and the other leave
// for the noise: what each heard before is no longer its own, and the comparison starts over. So
// it does where one path leaves a signal in a pause and the other takes it up.
void ToneTracker::HearSecond(const ToneFrame& first, const ToneFrame& away) {
    if (following_ || secondFrom_ >= 0) {
        return;
    }
    const double offset = std::abs(first.frequency - away.frequency);
    // Keyed within kMetHz of `keyed` lately (a path near its own is following its signal's drift).
    const auto near = [this](const ToneFrame& path, const KeyedAt& keyed) {
        return keyed.frame >= 0 && compared_.frames - keyed.frame <= kTakenOverFrames &&
               std::abs(path.frequency - keyed.frequency) < kMetHz;
    };
    const auto tookOver = [&near](const ToneFrame& path, const KeyedAt& own, const KeyedAt& other) {
        return path.strength > kLeastKeyDown && near(path, other) && !near(path, own);
    };
    if (offset < kMetHz || tookOver(first, compared_.firstKeyed, compared_.awayKeyed) ||
        tookOver(away, compared_.awayKeyed, compared_.firstKeyed)) {
        compared_ = {};
    }
    const auto alone = [](double on, double off) {
        return on > kKeyDownStrength && off < kKeyUpStrength ? 1.0 : 0.0;
    };
    const auto keyDown = [this](const ToneFrame& path, double& power, KeyedAt& keyed) {
        if (path.strength > kKeyDownStrength) {
            power += kSecondFollow * (path.strength - power);
        }
        if (path.strength > kLeastKeyDown) {
            keyed = {path.frequency, compared_.frames};
        }
    };
    Comparison& c = compared_;
    c.firstLevel += kSecondFollow * (std::min(first.strength, kLevelCap) - c.firstLevel);
    c.awayLevel += kSecondFollow * (std::min(away.strength, kLevelCap) - c.awayLevel);
    c.firstAlone += kSecondFollow * (alone(first.strength, away.strength) - c.firstAlone);
    c.awayAlone += kSecondFollow * (alone(away.strength, first.strength) - c.awayAlone);
    const bool both = first.strength > kKeyDownStrength && away.strength > kKeyDownStrength;
    c.together += kSecondFollow * ((both ? 1.0 : 0.0) - c.together);
    keyDown(first, c.firstPower, c.firstKeyed);
    keyDown(away, c.awayPower, c.awayKeyed);
    ++c.frames;
    // A path beside one strong signal rests on the skirt of its key clicks, and its tone is drawn
    // towards the signal's; a second station's stays apart.
    if (offset >= kApartHz && static_cast<double>(c.frames) * kSecondFollow > 2.0 &&
        std::min(c.firstLevel, c.awayLevel) > kSecondLevel &&
        std::min({c.firstAlone, c.awayAlone, c.together}) > kAloneShare &&
        std::min(c.firstPower, c.awayPower) >
            std::max(kLeastKeyDown, kKeyDownShare * std::max(c.firstPower, c.awayPower))) {
        secondFrom_ = first.centreSample;
    }
}

void ToneTracker::Follow(double hz) {
    following_ = hz > 0;
    if (!following_) {
        return;
    }
    const long picked = std::clamp(std::lround(hz / binHz_) - firstBin_, 0L, binCount_ - 1L);
    for (long k = 0; k < binCount_; ++k) {
        path_.score[static_cast<std::size_t>(k)] = k == picked ? 0.0 : -kJumpCost;
    }
    path_.FindHead();
}

// Found once each time the scores change: the paths' next steps, their decisions and the bins
// each keeps the other away from all start there.
void ToneTracker::Path::FindHead() {
    // The best score in two pairs of lanes, no comparison waiting on the one before (a plain
    // search for the best waits on each), then the first bin that has it; scores made of samples
    // too loud for a float, and so not numbers, fall back to that plain search.
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    Lanes lower = {kNone, kNone};  // of the first two bins of every four, and of the last two
    Lanes upper = lower;
    std::size_t k = 0;
    for (; k + 4 <= score.size(); k += 4) {
        const Lanes first = LoadLanes(&score[k]);
        const Lanes last = LoadLanes(&score[k + 2]);
        lower = first > lower ? first : lower;
        upper = last > upper ? last : upper;
    }
    double best = std::max({lower[0], lower[1], upper[0], upper[1]});
    for (; k < score.size(); ++k) {
        best = std::max(best, score[k]);
    }
    const auto top = std::find(score.begin(), score.end(), best);
    head =
        (top != score.end() ? top : std::max_element(score.begin(), score.end())) - score.begin();
}

// Each bin is reached from the best of its neighbours within the drift's reach or by a jump from
// the best bin of all, over scores padded with bins no path can come from. Which bin each came from
// is worked out only for the bins a decision goes back through (Origin), from the scores kept for
// it.
void ToneTracker::Viterbi(Path& path, const std::vector<float>& emission) {
    std::vector<double>& scores = path.score;
    const double best = scores[static_cast<std::size_t>(path.head)];
    const std::size_t bins = scores.size();
    Path::Step step{std::move(path.spare), path.head};
    step.before.assign(bins + 2 * std::size_t{kMaxStep}, -std::numeric_limits<double>::infinity());
    std::copy(scores.begin(), scores.end(), step.before.begin() + kMaxStep);
    const double jump = best - kJumpCost;
    const double* before = step.before.data();
    for (std::size_t k = 0; k < bins; ++k) {
        double from = jump;
        // before[k + j] is bin k + j - kMaxStep of the scores.
        for (std::size_t j = 0; j < kSteps; ++j) {
            const double candidate = before[k + j] - StepCost(j);
            from = candidate > from ? candidate : from;
        }
        scores[k] = from + emission[k] - best;
    }
    path.steps.push_back(std::move(step));
    path.FindHead();
}

// The bin that `bin` was reached from in `step`: the best of its neighbours, the nearest the low
// edge first of those alike, unless none beats a jump from the best bin of all.
int ToneTracker::Origin(const Path::Step& step, int bin) const {
    double from = step.before[static_cast<std::size_t>(step.top) + kMaxStep] - kJumpCost;
    auto origin = static_cast<int>(step.top);
    for (std::size_t j = 0; j < kSteps; ++j) {
        const double candidate = step.before[static_cast<std::size_t>(bin) + j] - StepCost(j);
        if (candidate > from) {
            from = candidate;
            origin = bin + static_cast<int>(j) - kMaxStep;
        }
    }
    return origin;
}

// Decides the path's oldest undecided frame, and smooths what it can.
void ToneTracker::Decide(Path& path, std::vector<ToneFrame>& decided) {
    Trace(path);
    Smooth(path, decided);
}

// The steady paths cross over where one station falls silent a while: the other's path takes its
// place, and the path pushed off finds the silent one again once it keys. The two stations keep
// their offset while both drift alike, so a crossing shows as the offset turned round, in a frame
// key-down on both: the paths are exchanged there, and each chain reads its own station on (its
// grid holds that station's speed).
void ToneTracker::KeepStations() {
    if (secondFrom_ < 0 || strongest_.decisions.empty() || away_.decisions.empty()) {
        return;
    }
    const Decision& first = strongest_.decisions.back();
    const Decision& away = away_.decisions.back();
    if (std::min(first.strength, away.strength) < kLeastKeyDown) {
        return;
    }
    const double offset = away.frequency - first.frequency;
    if (std::abs(awayOffset_) > 2 * kSameOffsetHz &&
        std::abs(offset + awayOffset_) < kSameOffsetHz) {
        std::swap(strongest_.lastFrequency, away_.lastFrequency);
        std::swap(strongest_, away_);
    } else {
        awayOffset_ = offset;
    }
}

// Traces the path back to its oldest undecided frame, and decides that.
void ToneTracker::Trace(Path& path) {
    // Back from the likeliest bin now; where this trace meets the last one, the rest is as it was.
    auto bin = static_cast<int>(path.head);
    for (std::size_t i = path.steps.size() - 1; i > 0; --i) {
        path.steps[i].traced = bin;
        bin = Origin(path.steps[i], bin);
        if (bin == path.steps[i - 1].traced) {
            bin = path.steps.front().traced;
            break;
        }
    }
    path.decisions.push_back(DecisionAt(path, 0, bin));
    path.spare = std::move(path.steps.front().before);  // the next frame's, without allocating
    path.steps.pop_front();
}

// The tone of the `index`th frame still on the path, when the path runs through `bin` there.
ToneTracker::Decision ToneTracker::DecisionAt(const Path& path, std::size_t index, int bin) const {
    // The path may run beside the peak where the emission saturates: go to it, then take a
    // parabolic peak on the log power.
    const std::vector<float>& power = powers_[index];
    bin = LoudestSaturated(power, frameNoise_[index], bin);
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
    const std::int64_t frame = frames_ - kHoldFrames -
                               static_cast<std::int64_t>(path.steps.size()) +
                               static_cast<std::int64_t>(index);
    // A frame of digital silence, or one half in it (an input that starts silent), has no noise
    // floor of its own: the floor heard since stands for it, else the samples after the silence
    // would weigh as if heard without noise.
    const double noise = std::max(frameNoise_[index], frameNoise_.back() / kLargestRise);
    const double strength =
        noise > 0 ? power[static_cast<std::size_t>(bin)] / (noise * windowEnergy_) : 0.0;
    return {static_cast<double>(frame * frameHop_) + frameLength_ / 2.0,
            (firstBin_ + bin + offset) * binHz_, noise, strength};
}

// Where a strong tone saturates the emission (over its main lobe, its sidelobes and key clicks)
// the path climbs to the peak only slowly, and runs beside it a while: the loudest bin near `bin`
// that is saturated all the way to it is the tone's.
int ToneTracker::LoudestSaturated(const std::vector<float>& power, double noise, int bin) const {
    const double saturated = kEmissionCap * noise * windowEnergy_;
    const int from = bin;
    for (const int direction : {-1, 1}) {
        for (int k = from + direction;
             k >= 0 && k < binCount_ && std::abs(k - from) <= kSaturatedReach &&
             power[static_cast<std::size_t>(k)] >= saturated;
             k += direction) {
            if (power[static_cast<std::size_t>(k)] > power[static_cast<std::size_t>(bin)]) {
                bin = k;
            }
        }
    }
    return bin;
}

void ToneTracker::Smooth(Path& path, std::vector<ToneFrame>& decided) const {
    std::deque<Decision>& decisions = path.decisions;
    if (decisions.size() < 2 * static_cast<std::size_t>(kSmoothFrames) + 1) {
        return;
    }
    const Decision& centre = decisions[kSmoothFrames];
    path.lastFrequency =
        Smoothed(decisions, 0, decisions.size(), kSmoothFrames, path.lastFrequency);
    decided.push_back(
        {centre.centreSample, path.lastFrequency, centre.noiseVariance, centre.strength});
    decisions.pop_front();
}

// The frequencies around the centre frame, weighted by the square of their strength over noise,
// less a drift: key-down frames decide, and the tone is followed along a Doppler curve without
// the lag or overshoot of a plain mean over frames keyed unevenly. The drift is the slope of a
// straight line through the strong frames alone (weak ones scatter it far more than a mean),
// held to what a Doppler curve can make. Where fewer than three are strong (a fade in a steep
// sweep), the slope of all the frames weighed stands for it, with no bend: without one, frames a
// few hops off would pull the tone by the slope times their distance. Frames too close together
// tell none. Without any frames to weigh, the tone stays where it was last.
double ToneTracker::Smoothed(const std::deque<Decision>& decisions, std::size_t first,
                             std::size_t last, std::size_t centre, double previous) const {
    const double reference = decisions[centre].frequency;
    CurveSums all;
    CurveSums strong;
    auto decision = decisions.begin() + static_cast<long>(first);  // walked, not indexed
    for (std::size_t i = first; i < last; ++i, ++decision) {
        const double excess = decision->strength - kWeakestWeighted;
        if (excess <= 0) {
            continue;  // weighs nothing
        }
        const double t = static_cast<double>(i) - static_cast<double>(centre);
        const double y = decision->frequency - reference;
        all.Add(excess * excess, t, y);
        if (decision->strength > kStrongForDrift) {
            strong.Add(excess * excess, t, y);
        }
    }
    if (all.tk[0] <= 1.0) {
        return previous > 0 ? previous : reference;
    }
    const auto [slope, bend] =
        strong.n >= kLeastForSlope ? strong.Drift() : std::pair{all.Drift().first, 0.0};
    const double drift = std::clamp(slope, -slopeLimit_, slopeLimit_);
    const double curve = std::clamp(bend, -bendLimit_, bendLimit_);
    return reference + (all.ytk[0] - drift * all.tk[1] - curve * all.tk[2]) / all.tk[0];
}

// The path from the likeliest tone now back through the frames not yet decided, smoothed over
// what there is of each frame's neighbourhood.
void ToneTracker::Provisional(std::vector<ToneFrame>& frames) const {
    Provisional(secondFrom_ >= 0 ? strongest_ : path_, frames);
}

void ToneTracker::Provisional(const Path& path, std::vector<ToneFrame>& frames) const {
    std::deque<Decision> decisions = path.decisions;
    const std::size_t undecided = decisions.size();
    std::vector<int> bins(path.steps.size());
    auto bin = static_cast<int>(path.head);
    for (std::size_t i = path.steps.size(); i-- > 0;) {
        bins[i] = bin;
        bin = Origin(path.steps[i], bin);
    }
    for (std::size_t i = 0; i < path.steps.size(); ++i) {
        decisions.push_back(DecisionAt(path, i, bins[i]));
    }
    double previous = path.lastFrequency;
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
