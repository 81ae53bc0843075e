#pragma once

// Everything a conversion decoded, as values rather than report text.

#include <array>
#include <optional>
#include <string>

#include "conversion.h"
#include "readings.h"

namespace telvane {

struct BeaconReadings {
    std::array<bool, kLineCount> lineEmpty{};
    std::optional<std::string> url;  // line 1 as the report shows it after "http://"
    std::optional<TimeReading> time;
    std::optional<StatusReading> status;
    std::optional<PowerReading> power;
    std::optional<CurrentReading> currents;
    std::optional<TemperatureReading> temperatures;
    double vref = 4.77;         // the reference voltage lines 5 and 6 were scaled by
    bool recalibrated = false;  // taken from the battery reading during trickle charge
};

// The values behind the report of a finished conversion: `state` as RunConversion left it.
BeaconReadings ReadingsOf(const ConversionState& state);

}  // namespace telvane
