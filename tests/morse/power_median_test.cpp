// The bin-power median must be the very value a comparison-based selection gives, whatever the
// spread of the powers: the noise floor every frame is judged against depends on it.

#include "power_median.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

namespace telvane::morse {
namespace {

float SelectedMedian(std::vector<float> values) {
    const auto middle = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

struct MedianCase {
    const char* name;
    std::vector<float> powers;
};

std::vector<float> Noise(std::size_t count, float mean, unsigned seed) {
    std::mt19937 random(seed);
    std::exponential_distribution<float> power(1.0F / mean);
    std::vector<float> values(count);
    std::generate(values.begin(), values.end(), [&] { return power(random); });
    return values;
}

std::vector<MedianCase> Cases() {
    std::vector<float> withTones = Noise(193, 1e-6F, 3);
    withTones[40] = 1e3F;
    withTones[41] = 5e2F;
    std::vector<float> silentHalf = Noise(96, 2.0F, 4);
    silentHalf.resize(192, 0.0F);
    return {
        {"One", {0.25F}},
        {"Two", {3.0F, 1.0F}},
        {"NoiseOddCount", Noise(191, 1.0F, 1)},
        {"NoiseEvenCount", Noise(192, 1.0F, 2)},
        {"FaintNoiseLoudTones", withTones},
        {"HalfDigitalSilence", silentHalf},
        {"TiesAcrossTheMiddle", {2.0F, 1.0F, 2.0F, 2.0F, 1.0F, 3.0F, 2.0F}},
        {"TinyAndHuge",
         {std::numeric_limits<float>::denorm_min(), 1e30F, std::numeric_limits<float>::max(),
          1e-30F, 7.0F}},
    };
}

class PowerMedianCases : public ::testing::TestWithParam<MedianCase> {};

TEST(PowerMedian, OfNoPowersIsZero) {
    EXPECT_EQ(PowerMedian({}), 0.0F);
}

TEST_P(PowerMedianCases, EqualsTheSelectedMiddle) {
    const MedianCase& c = GetParam();
    EXPECT_EQ(PowerMedian(c.powers), SelectedMedian(c.powers));
}

INSTANTIATE_TEST_SUITE_P(Powers, PowerMedianCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvane::morse
