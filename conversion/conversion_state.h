#pragma once

#include <array>
#include <string>

namespace telvane {

// What one conversion reads and writes. The six lines hold code page 932 bytes; the
// conversion rewrites them in place, so a caller that keeps the typed text must keep its own copy.
struct ConversionState {
    std::string m_strLine1;
    std::string m_strLine2;
    std::string m_strLine3;
    std::string m_strLine4;
    std::string m_strLine5;
    std::string m_strLine6;
    std::string m_strResult;  // the report, code page 932 with CR LF line ends
    bool m_bTrickle = false;  // raised by the status word, read by the power line
    double m_dVref = 4.77;    // reference voltage in volts, recalibrated by the power line
};

// The six line members in box order.
inline constexpr std::array<std::string ConversionState::*, 6> kLineMembers = {
    &ConversionState::m_strLine1, &ConversionState::m_strLine2, &ConversionState::m_strLine3,
    &ConversionState::m_strLine4, &ConversionState::m_strLine5, &ConversionState::m_strLine6,
};

}  // namespace telvane
