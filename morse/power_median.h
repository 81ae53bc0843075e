#pragma once

// The median of a frame's bin powers, found from the bits of the values rather than by
// comparisons: a comparison-based selection mispredicts every other branch on noise, and the tone
// tracker takes this median of every frame.

#include <span>

namespace telvane::morse {

// The middle value of `powers` (the upper one of an even count), the one std::nth_element would
// put in the middle; every value must be zero or above (NaN is taken as above all others). Zero
// when there are none.
float PowerMedian(std::span<const float> powers);

}  // namespace telvane::morse
