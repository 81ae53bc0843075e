// The grid path through one window: a transmission keyed on a grid of its own after another one
// gets its own slot boundaries.

#include "grid_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace telvane::morse {
namespace {

constexpr int kPeriod = 30;
constexpr int kLength = 4096;

struct PhaseCase {
    int secondOffset;  // samples from the first transmission's grid to the second's
};

class GridPathPhases : public ::testing::TestWithParam<PhaseCase> {};

// Unit-noise baseband with dit-dah keying: one transmission on slots starting at 0 mod the period
// up to sample 1800, another from sample 2200 on slots starting at `offset` mod the period.
std::vector<std::complex<double>> Cumulative(int offset) {
    std::mt19937 random(4);
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5));
    std::vector<std::complex<double>> cumulative(kLength + 1);
    for (int n = 0; n < kLength; ++n) {
        const bool first = n < 1800;
        const int shifted = first ? n : n - offset;
        const int slot = shifted / kPeriod;
        const bool keyed = (first || n >= 2200) && slot % 6 != 1 && slot % 6 != 5;
        const std::complex<double> value(keyed ? 0.5 : 0.0, 0.0);
        cumulative[static_cast<std::size_t>(n) + 1] =
            cumulative[static_cast<std::size_t>(n)] + value +
            std::complex<double>(noise(random), noise(random));
    }
    return cumulative;
}

// The boundary of the path nearest `x`, in samples from the grid of `offset`.
double Misfit(const std::vector<double>& points, double x, int offset) {
    double nearest = points.front();
    for (const double point : points) {
        nearest = std::abs(point - x) < std::abs(nearest - x) ? point : nearest;
    }
    const double off = std::remainder(nearest - offset, kPeriod);
    return std::abs(off);
}

TEST_P(GridPathPhases, EachTransmissionKeepsItsOwnGrid) {
    const int offset = GetParam().secondOffset;
    const auto cumulative = Cumulative(offset);
    const std::vector<float> weights(kLength, 1.0F);
    const GridPath path = FollowGrid(cumulative, kPeriod, kPeriod, weights, 12.0, true);
    const GridPath fixed = FollowGrid(cumulative, kPeriod, kPeriod, weights, 1e9, false);

    ASSERT_GT(path.points.size(), 100U);
    EXPECT_TRUE(std::is_sorted(path.points.begin(), path.points.end()));
    for (const double x : {300.0, 1000.0, 1600.0}) {
        EXPECT_LE(Misfit(path.points, x, 0), 1.0) << "first transmission, sample " << x;
    }
    for (const double x : {2500.0, 3000.0, 3500.0}) {
        EXPECT_LE(Misfit(path.points, x, offset), 1.0) << "second transmission, sample " << x;
    }
    if (offset % kPeriod != 0) {
        EXPECT_GT(path.capture, fixed.capture);
    }
}

INSTANTIATE_TEST_SUITE_P(Offsets, GridPathPhases,
                         ::testing::Values(PhaseCase{0}, PhaseCase{7}, PhaseCase{15},
                                           PhaseCase{22}));

// Windows whose last slot ends on the window's last sample, and weights shorter than the window,
// at the coarse, tracking and finest numbers of phases.
struct EdgeCase {
    double period;
    int phases;
    int length;
    int weighted;  // samples that have a weight; later ones take the last one
};

class GridPathEdges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(GridPathEdges, PointsFollowTheCaptureAndAFixedPhaseCatchesTheBestSingleGrid) {
    const EdgeCase& edge = GetParam();
    std::vector<std::complex<double>> cumulative = Cumulative(7);
    cumulative.resize(static_cast<std::size_t>(edge.length) + 1);
    std::vector<float> weights(static_cast<std::size_t>(edge.weighted));
    for (std::size_t n = 0; n < weights.size(); ++n) {
        weights[n] = static_cast<float>(1.0 + 0.5 * std::sin(0.01 * static_cast<double>(n)));
    }
    const GridPath path = FollowGrid(cumulative, edge.period, edge.phases, weights, 12.0, true);
    EXPECT_EQ(path.capture,
              FollowGrid(cumulative, edge.period, edge.phases, weights, 12.0, false).capture);
    const double shift = edge.period / edge.phases;
    ASSERT_GT(path.points.size(), 2U);
    EXPECT_TRUE(std::is_sorted(path.points.begin(), path.points.end()));
    for (const double point : path.points) {
        const double phase = std::remainder(std::fmod(point, edge.period), shift);
        EXPECT_NEAR(phase, 0.0, 1e-6) << point << " is on no phase's grid";
    }
    EXPECT_LE(path.points.back(), static_cast<double>(edge.length) + 1e-9);
    // The running sum along a straight line, each phase's slots summed on their own.
    const auto at = [&](double x) {
        const auto n = std::min(static_cast<std::size_t>(x), cumulative.size() - 2);
        return cumulative[n] + (x - static_cast<double>(n)) * (cumulative[n + 1] - cumulative[n]);
    };
    // Every phase has as many slots as the last one fits into the window.
    const int slots = static_cast<int>((edge.length - shift * (edge.phases - 1)) / edge.period);
    double single = -1e300;
    for (int j = 0; j < edge.phases; ++j) {
        double sum = 0;
        for (int k = 0; k < slots; ++k) {
            const double start = shift * j + edge.period * k;
            const auto middle =
                std::min(static_cast<std::size_t>(start + edge.period / 2), weights.size() - 1);
            sum += weights[middle] *
                   (std::norm(at(start + edge.period) - at(start)) / edge.period - 1.0);
        }
        single = std::max(single, sum);
    }
    const GridPath fixed = FollowGrid(cumulative, edge.period, edge.phases, weights, 1e12, false);
    EXPECT_NEAR(fixed.capture, single, 1e-6 * std::abs(single));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, GridPathEdges,
    ::testing::Values(EdgeCase{30.0, 1, 4080, 4080}, EdgeCase{30.0, 30, 4080, 4080},
                      EdgeCase{14.5, 12, 4096, 4096}, EdgeCase{31.25, 16, 4000, 4000},
                      EdgeCase{77.5, 64, 4096, 4096}, EdgeCase{45.0, 48, 4096, 1500}));

}  // namespace
}  // namespace telvane::morse
