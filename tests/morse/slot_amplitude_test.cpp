// The key-down amplitude around each slot: steady where the tone is steady, and where it has faded
// (or come up) within the window, at least halfway from the window's amplitude to its own.

#include "slot_amplitude.h"

#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
}  // namespace telvane::morse
