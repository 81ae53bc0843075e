#include "record_fields.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace telvane {
namespace {

constexpr std::array<std::string_view, kPanelCount> kPanels = {"plus_x_panel", "minus_x_panel",
                                                               "plus_y_panel", "minus_y_panel",
                                                               "plus_z_panel", "minus_z_panel"};
constexpr std::array<std::string_view, kTemperatureSensorCount> kSensors = {
    "plus_x_panel", "minus_x_panel", "plus_y_panel", "minus_y_panel",
    "plus_z_panel", "minus_z_panel", "battery",      "transmitter"};

// prefix + each name + suffix, made once.
template <std::size_t N>
std::array<std::string, N> Names(std::string_view prefix,
                                 const std::array<std::string_view, N>& names,
                                 std::string_view suffix) {
    std::array<std::string, N> out;
    for (std::size_t k = 0; k < N; ++k) {
        out[k] = std::string(prefix) + std::string(names[k]) + std::string(suffix);
    }
    return out;
}

// The value of a field of an optional reading: absent when the line was empty.
template <typename Reading, typename Get>
FieldValue Of(const std::optional<Reading>& reading, Get get) {
    return reading ? FieldValue(get(*reading)) : FieldValue();
}

void VisitTimeAndStatus(const BeaconReadings& r, const FieldVisitor& visit) {
    const auto& t = r.time;
    visit("internal_time_byte1_count", Of(t, [](auto& x) { return x.bytes[0]; }));
    visit("internal_time_byte2_count", Of(t, [](auto& x) { return x.bytes[1]; }));
    visit("internal_time_byte3_count", Of(t, [](auto& x) { return x.bytes[2]; }));
    visit("internal_time_counter", Of(t, [](auto& x) { return x.counter; }));
    const auto& s = r.status;
    visit("status_byte1_count", Of(s, [](auto& x) { return x.bytes[0]; }));
    visit("status_byte2_count", Of(s, [](auto& x) { return x.bytes[1]; }));
    visit("status_byte3_count", Of(s, [](auto& x) { return x.bytes[2]; }));
    visit("uplink_count", Of(s, [](auto& x) { return x.uplinkCount; }));
    visit("camera_count", Of(s, [](auto& x) { return x.cameraCount; }));
    visit("sel_count", Of(s, [](auto& x) { return x.selCount; }));
    visit("antenna_deployed", Of(s, [](auto& x) { return x.antennaDeployed; }));
    visit("cw_duty_ratio_code", Of(s, [](auto& x) { return x.dutyRatioCode; }));
    visit("obc_reset_by_watchdog", Of(s, [](auto& x) { return x.watchdogReset; }));
    visit("battery_trickle_charge", Of(s, [](auto& x) { return x.trickleCharge; }));
    visit("obc_dead", Of(s, [](auto& x) { return x.obcDead; }));
    visit("fm_sending_data", Of(s, [](auto& x) { return x.fmSending; }));
}

void VisitPower(const BeaconReadings& r, const FieldVisitor& visit) {
    const auto& p = r.power;
    visit("battery_voltage_count", Of(p, [](auto& x) { return x.batteryCount; }));
    visit("battery_voltage_v", Of(p, [](auto& x) { return x.batteryVolts; }));
    visit("solar_array_voltage_count", Of(p, [](auto& x) { return x.solarCount; }));
    visit("solar_array_voltage_v", Of(p, [](auto& x) { return x.solarVolts; }));
    visit("battery_temperature_count", Of(p, [](auto& x) { return x.temperatureCount; }));
    visit("battery_temperature_c", Of(p, [](auto& x) { return x.batteryCelsius; }));
    visit("reference_voltage_v", r.vref);
    visit("reference_recalibrated", r.recalibrated);
}

void VisitPanelsAndSensors(const BeaconReadings& r, const FieldVisitor& visit) {
    static const auto currentCounts = Names("current_", kPanels, "_count");
    static const auto currentValues = Names("current_", kPanels, "_ma");
    for (int k = 0; k < kPanelCount; ++k) {
        visit(currentCounts[k], Of(r.currents, [k](auto& x) { return x.counts[k]; }));
        visit(currentValues[k], Of(r.currents, [k](auto& x) { return x.milliamps[k]; }));
    }
    static const auto sensorCounts = Names("temperature_", kSensors, "_count");
    static const auto sensorValues = Names("temperature_", kSensors, "_c");
    const auto& t = r.temperatures;
    for (int k = 0; k < kTemperatureSensorCount; ++k) {
        visit(sensorCounts[k], Of(t, [k](auto& x) { return x.counts[k]; }));
        visit(sensorValues[k], Of(t, [k](auto& x) { return x.celsius[k]; }));
    }
    visit("rssi_count", Of(t, [](auto& x) { return x.rssiCount; }));
    visit("rssi_dbu", Of(t, [](auto& x) { return x.rssiDbu; }));
}

constexpr std::array<std::string_view, kLineCount> kLineNumbers = {"1", "2", "3", "4", "5", "6"};

void VisitOrigin(const BeaconOrigin& origin, const FieldVisitor& visit) {
    static const auto textNames = Names("line", kLineNumbers, "_text");
    for (int k = 0; k < kLineCount; ++k) {
        visit(textNames[k], origin.lines[k]);
    }
    const CopyMeasures* copy = origin.copy;
    const auto measure = [copy](double CopyMeasures::*member) {
        return copy != nullptr ? FieldValue(copy->*member) : FieldValue();
    };
    visit("audio_start_s", measure(&CopyMeasures::startSeconds));
    visit("audio_end_s", measure(&CopyMeasures::endSeconds));
    visit("tone_hz", measure(&CopyMeasures::toneHz));
    visit("speed_wpm", measure(&CopyMeasures::speedWpm));
    visit("snr_db", measure(&CopyMeasures::snrDb));
    static const auto confidenceNames = Names("line", kLineNumbers, "_confidence");
    for (int k = 0; k < kLineCount; ++k) {
        visit(confidenceNames[k], copy != nullptr
                                      ? FieldValue(std::span<const double>(copy->confidence[k]))
                                      : FieldValue());
    }
}

}  // namespace

BeaconOrigin OriginOf(const std::array<std::string, kLineCount>& lines, const CopyMeasures* copy) {
    BeaconOrigin origin;
    std::copy(lines.begin(), lines.end(), origin.lines.begin());
    origin.copy = copy;
    return origin;
}

void ForEachField(const BeaconReadings& readings, std::string_view conversionTime,
                  const BeaconOrigin& origin, const FieldVisitor& visit) {
    visit("conversion_time", conversionTime);
    static const auto emptyNames = Names("line", kLineNumbers, "_empty");
    for (int k = 0; k < kLineCount; ++k) {
        visit(emptyNames[k], readings.lineEmpty[k]);
    }
    visit("url", readings.url ? FieldValue(std::string_view(*readings.url)) : FieldValue());
    VisitTimeAndStatus(readings, visit);
    VisitPower(readings, visit);
    VisitPanelsAndSensors(readings, visit);
    VisitOrigin(origin, visit);
}

}  // namespace telvane
