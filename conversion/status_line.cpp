// Line 3: the housekeeping counters and status bits.

#include <array>

#include "beacon_layout.h"
#include "decoders.h"
#include "front_end.h"
#include "number_format.h"
#include "readings.h"

namespace telvane {
namespace {

constexpr std::array<const char*, 4> kDutyRatioLines = {
    "CW duty ratio\t\t\t0\r\n",
    "CW duty ratio\t\t\tLess than 0.3\r\n",
    "CW duty ratio\t\t\t0.3\r\n",
    "CW duty ratio\t\t\tMore than 0.3\r\n",
};

bool IsSet(int byte, int mask) {
    return (byte & mask) != 0;
}

void AppendCount(std::string& out, const char* label, int count, const char* limit) {
    out += label;
    AppendInteger(out, count);
    out += limit;
}

}  // namespace

StatusReading ReadStatusLine(std::string_view field) {
    StatusReading r{};
    r.bytes = ReadByteFields<3>(field);
    const auto [s0, s1, s2] = r.bytes;
    r.uplinkCount = s0 & 0x1F;
    r.cameraCount = (s0 >> 5) & 7;
    r.selCount = s1 & 7;
    r.antennaDeployed = IsSet(s1, 0x08);
    r.dutyRatioCode = (s1 >> 4) & 3;
    r.watchdogReset = IsSet(s1, 0x40);
    r.trickleCharge = IsSet(s1, 0x80);
    r.obcDead = IsSet(s2, 0x01);
    r.fmSending = IsSet(s2, 0x02);
    return r;
}

void DecodeStatusLine(ConversionState& state) {
    std::string& line = state.m_strLine3;
    if (line.empty()) {
        return;
    }
    CompactField(line, kLineWidths[2]);
    const StatusReading r = ReadStatusLine(line);
    if (r.trickleCharge) {
        state.m_bTrickle = true;  // only ever raised here: the power line recalibrates on it
    }

    std::string& out = state.m_strResult;
    AppendCount(out, "Uplink count\t\t\t", r.uplinkCount, "/31\r\n");
    AppendCount(out, "Camera count\t\t\t", r.cameraCount, "/7\r\n");
    AppendCount(out, "SEL count (communication subsystem)\t\t", r.selCount, "/7\r\n");
    out += r.antennaDeployed ? "Antenna deployment\t\tFinished\r\n"
                             : "Antenna deployment\t\tNot yet\r\n";
    out += kDutyRatioLines[r.dutyRatioCode];
    out += r.watchdogReset ? "OBC reset\t\t\t\tBy watch dog timer\r\n"
                           : "OBC reset\t\t\t\tNormal (There is no reset, or unexpected reset by "
                             "the radiation.)\r\n";
    out += r.trickleCharge ? "Battery charging\t\tTrickle Charge\r\n"
                           : "Battery charging\t\tRapid Charge\r\n";
    out += r.obcDead ? "OBC existence\t\t\tDead\r\n" : "OBC existence\t\t\tAlive\r\n";
    // "Opeartion" is how saved reports have always spelled the waiting case.
    out += r.fmSending ? "FM Operation\t\t\tSending Data\r\n" : "FM Opeartion\t\t\tWaiting\r\n";
}

}  // namespace telvane
