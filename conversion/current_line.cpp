// Line 5: one reading per solar panel. The four middle panels influence each other's readings,
// so the currents come from the scaled readings through a coupling matrix.

#include <array>

#include "beacon_layout.h"
#include "decoders.h"
#include "front_end.h"
#include "number_format.h"
#include "panels.h"

namespace telvane {
namespace {

constexpr double kCountScale = 0.6274509803921569;  // 160 / 255

// Rows: printed current; columns: scaled reading; both in panel order.
constexpr std::array<std::array<double, kPanelCount>, kPanelCount> kCoupling = {{
    {10.49880891, 0, 0, 0, 0, 0},
    {0, 8.251522329, -0.482939447, -0.024941879, -0.636795098, 0},
    {0, -0.482939447, 6.672955921, -0.017974511, -1.050451843, 0},
    {0, -0.024941879, -0.017974511, 9.84064608, -0.023700861, 0},
    {0, -0.636795098, -1.050451843, -0.023700861, 8.464182598, 0},
    {0, 0, 0, 0, 0, 7.515946019},
}};

}  // namespace

CurrentReading ReadCurrentLine(std::string_view field, double vref) {
    CurrentReading r{};
    std::array<double, kPanelCount> scaled{};
    for (int k = 0; k < kPanelCount; ++k) {
        r.counts[k] = HexToInt(field.substr(k, 1));
        scaled[k] = r.counts[k] * vref * kCountScale;
    }
    for (int row = 0; row < kPanelCount; ++row) {
        double current = 0;
        for (int k = 0; k < kPanelCount; ++k) {
            current += scaled[k] * kCoupling[row][k];
        }
        // A panel cannot feed current backwards; this also turns not-a-number into 0.0.
        r.milliamps[row] = current >= 0 ? current : 0.0;
    }
    return r;
}

void DecodeCurrentLine(ConversionState& state) {
    std::string& line = state.m_strLine5;
    if (line.empty()) {
        return;
    }
    CompactField(line, kLineWidths[4]);
    const CurrentReading r = ReadCurrentLine(line, state.m_dVref);

    std::string& out = state.m_strResult;
    out += "Solar array current\r\n";
    for (int row = 0; row < kPanelCount; ++row) {
        AppendReading(out, kPanelLabels[row], r.milliamps[row], "mA\r\n");
    }
}

}  // namespace telvane
