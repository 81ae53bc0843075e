// The key-down amplitude around each slot: steady where the tone is steady, and where it has faded
// (or come up) within the window, at least halfway from the window's amplitude to its own; and a
// window told as fading only when its strength swings slowly.

#include "slot_amplitude.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace telvane::morse {
namespace {

struct AmplitudeCase {
    const char* name;
    double before;     // key-down amplitude of the first half of the slots
    double after;      // and of the second half
    double window;     // the amplitude measured over the whole window
    double tolerance;  // half the window's error, where the strength changes
};

class LocalAmplitudeCases : public ::testing::TestWithParam<AmplitudeCase> {};

TEST_P(LocalAmplitudeCases, FollowTheKeyDownStrength) {
    const AmplitudeCase& c = GetParam();
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5));
    std::vector<std::complex<double>> values(240);
    for (std::size_t k = 0; k < values.size(); ++k) {
        const bool keyed = k % 4 != 3 && k % 7 != 2;
        const double amplitude = k < values.size() / 2 ? c.before : c.after;
        values[k] = (keyed ? std::polar(amplitude, 0.7) : 0.0) +
                    std::complex<double>(noise(random), noise(random));
    }
    const std::vector<double> local = LocalAmplitudes(values, c.window);
    ASSERT_EQ(local.size(), values.size());
    for (std::size_t k = 20; k + 20 < local.size(); k += 10) {
        const bool early = k < values.size() / 2;
        if (k + 10 > values.size() / 2 && k < values.size() / 2 + 10) {
            continue;  // the change itself
        }
        EXPECT_NEAR(local[k], early ? c.before : c.after, c.tolerance) << "slot " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, LocalAmplitudeCases,
                         ::testing::Values(AmplitudeCase{"Steady", 4.0, 4.0, 4.0, 0.6},
                                           AmplitudeCase{"Faint", 2.5, 2.5, 2.5, 0.6},
                                           AmplitudeCase{"FadesAway", 8.0, 5.0, 8.0, 1.5},
                                           AmplitudeCase{"ComesUp", 5.0, 8.0, 8.0, 1.5}),
                         [](const auto& info) { return std::string(info.param.name); });

// A slow swing 20 dB deep: at its bottom the amplitude is the fade's, not the window's.
TEST(LocalAmplitudes, FollowASlowFadeToItsDepth) {
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5));
    std::vector<std::complex<double>> values(200);
    const auto strength = [](std::size_t k) {
        return 12.0 * (1.0 - 0.9 * (0.5 + 0.5 * std::cos(2.0 * std::numbers::pi * k / 120.0)));
    };
    for (std::size_t k = 0; k < values.size(); ++k) {
        const bool keyed = k % 4 != 3 && k % 7 != 2;
        values[k] = (keyed ? std::polar(strength(k), 0.3) : 0.0) +
                    std::complex<double>(noise(random), noise(random));
    }
    const std::vector<double> local = LocalAmplitudes(values, 12.0);
    for (std::size_t k = 110; k <= 130; k += 5) {
        EXPECT_LT(local[k], 2.0 * strength(k)) << "slot " << k;
    }
}

struct SwingCase {
    const char* name;
    double amplitude;  // key-down amplitude at the strongest
    double depth;      // of the swing, as a share of the amplitude
    int period;        // slots from one peak to the next; 2 swings from slot to slot
    bool fades;
};

class FadingWindowCases : public ::testing::TestWithParam<SwingCase> {};

TEST_P(FadingWindowCases, ToldBySlowSwings) {
    const SwingCase& c = GetParam();
    std::mt19937 random(9);
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5));
    std::vector<std::complex<double>> values(200);
    for (std::size_t k = 0; k < values.size(); ++k) {
        const bool keyed = k % 4 != 3 && k % 7 != 2;
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(k) / c.period;
        const double strength = c.amplitude * (1.0 - c.depth * (0.5 - 0.5 * std::cos(phase)));
        values[k] = (keyed ? std::polar(strength, 0.3) : 0.0) +
                    std::complex<double>(noise(random), noise(random));
    }
    EXPECT_EQ(Fades(values, c.amplitude), c.fades);
}

INSTANTIATE_TEST_SUITE_P(Channels, FadingWindowCases,
                         ::testing::Values(SwingCase{"SteadyStrong", 12.0, 0.0, 100, false},
                                           SwingCase{"SteadyFaint", 2.5, 0.0, 100, false},
                                           SwingCase{"SlowDeepSwing", 12.0, 0.9, 120, true},
                                           SwingCase{"SwingFromSlotToSlot", 12.0, 0.9, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvane::morse
