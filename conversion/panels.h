#pragma once

#include <array>

#include "readings.h"

namespace telvane {

// The six solar panels in beacon order; the current and temperature sections share the labels.
inline constexpr std::array<const char*, kPanelCount> kPanelLabels = {
    "  +X panel\t\t\t\t", "  -X panel\t\t\t\t", "  +Y panel\t\t\t\t",
    "  -Y panel\t\t\t\t", "  +Z panel\t\t\t\t", "  -Z panel\t\t\t\t",
};

}  // namespace telvane
