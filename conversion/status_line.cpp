// Line 3: the housekeeping counters and status bits.

#include <array>

#include "decoders.h"
#include "front_end.h"
#include "number_format.h"

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

void DecodeStatusLine(ConversionState& state) {
    std::string& line = state.m_strLine3;
    if (line.empty()) {
        return;
    }
    CompactField(line, 8);
    const std::string_view field(line);
    std::string& out = state.m_strResult;

    const int s0 = HexToInt(field.substr(0, 2));
    AppendCount(out, "Uplink count\t\t\t", s0 & 0x1F, "/31\r\n");
    AppendCount(out, "Camera count\t\t\t", (s0 >> 5) & 7, "/7\r\n");

    const int s1 = HexToInt(field.substr(2, 2));
    AppendCount(out, "SEL count (communication subsystem)\t\t", s1 & 7, "/7\r\n");
    out += IsSet(s1, 0x08) ? "Antenna deployment\t\tFinished\r\n"
                           : "Antenna deployment\t\tNot yet\r\n";
    out += kDutyRatioLines[(s1 >> 4) & 3];
    out += IsSet(s1, 0x40)
               ? "OBC reset\t\t\t\tBy watch dog timer\r\n"
               : "OBC reset\t\t\t\tNormal (There is no reset, or unexpected reset by the "
                 "radiation.)\r\n";
    if (IsSet(s1, 0x80)) {
        out += "Battery charging\t\tTrickle Charge\r\n";
        state.m_bTrickle = true;
    } else {
        out += "Battery charging\t\tRapid Charge\r\n";
    }

    const int s2 = HexToInt(field.substr(4, 2));
    out += IsSet(s2, 0x01) ? "OBC existence\t\t\tDead\r\n" : "OBC existence\t\t\tAlive\r\n";
    // "Opeartion" is how saved reports have always spelled the waiting case.
    out += IsSet(s2, 0x02) ? "FM Operation\t\t\tSending Data\r\n" : "FM Opeartion\t\t\tWaiting\r\n";
}

}  // namespace telvane
