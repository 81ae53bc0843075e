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

}  // namespace
}  // namespace telvane::morse
