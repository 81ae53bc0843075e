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

// Slots keyed in a fixed pattern at `strength(k)` and phase `phase`, in unit noise.
template <typename Strength>
std::vector<std::complex<double>> KeyedSlots(std::size_t count, std::uint32_t seed, double phase,
                                             Strength strength) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5));
    std::vector<std::complex<double>> values(count);
    for (std::size_t k = 0; k < values.size(); ++k) {
        const bool keyed = k % 4 != 3 && k % 7 != 2;
        values[k] = (keyed ? std::polar(strength(k), phase) : 0.0) +
                    std::complex<double>(noise(random), noise(random));
    }
    return values;
}

// A strength swinging from `amplitude` down by `depth` of it and back every `period` slots.
auto Swing(double amplitude, double depth, int period) {
    return [=](std::size_t k) {
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(k) / period;
        return amplitude * (1.0 - depth * (0.5 - 0.5 * std::cos(phase)));
    };
}

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
    const std::size_t count = 240;
    const std::vector<std::complex<double>> values = KeyedSlots(
        count, 5, 0.7, [&](std::size_t k) { return k < count / 2 ? c.before : c.after; });
    const std::vector<double> local = LocalAmplitudes(values, c.window, Fades(values, c.window));
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
    const auto strength = Swing(12.0, 0.9, 120);
    const std::vector<std::complex<double>> values = KeyedSlots(200, 11, 0.3, strength);
    const std::vector<double> local = LocalAmplitudes(values, 12.0, Fades(values, 12.0));
    for (std::size_t k = 50; k <= 70; k += 5) {
        EXPECT_LT(local[k], 2.0 * strength(k)) << "slot " << k;
    }
}

// Swings 26 dB deep and a few seconds long, as Rayleigh fading at 0.15 Hz makes them at 20 WPM:
// the amplitude follows them through, over every slot, within a third of it on the whole.
TEST(LocalAmplitudes, FollowShortDeepFades) {
    for (const int period : {40, 60}) {
        const auto strength = Swing(12.0, 0.95, period);
        double error = 0;
        int slots = 0;
        for (std::uint32_t seed = 1; seed <= 5; ++seed) {
            const std::vector<std::complex<double>> values = KeyedSlots(240, seed, 0.3, strength);
            const std::vector<double> local = LocalAmplitudes(values, 12.0, Fades(values, 12.0));
            for (std::size_t k = 20; k + 20 < local.size(); ++k) {
                error += std::abs(std::log(local[k] / strength(k)));
                ++slots;
            }
        }
        EXPECT_LT(error / slots, 0.27) << "period " << period;
    }
}

TEST(FadingWindow, ToldBySlowSwingsOnly) {
    struct SwingCase {
        const char* name;
        double amplitude;
        double depth;
        int period;  // 2 swings from slot to slot
        bool fades;
    };
    for (const SwingCase& c :
         {SwingCase{"steady", 12.0, 0.0, 100, false}, SwingCase{"faint", 2.5, 0.0, 100, false},
          SwingCase{"slow deep swing", 12.0, 0.9, 120, true},
          SwingCase{"slot to slot", 12.0, 0.9, 2, false}}) {
        const auto values = KeyedSlots(200, 9, 0.3, Swing(c.amplitude, c.depth, c.period));
        EXPECT_EQ(Fades(values, c.amplitude), c.fades) << c.name;
    }
}

}  // namespace
}  // namespace telvane::morse
