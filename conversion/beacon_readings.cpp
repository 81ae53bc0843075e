#include "beacon_readings.h"

namespace telvane {

BeaconReadings ReadingsOf(const ConversionState& state) {
    // After a conversion every non-empty line is normalised, and the trickle flag and the
    // reference hold their final values, so each line can be read again on its own.
    BeaconReadings r;
    r.lineEmpty = {state.m_strLine1.empty(), state.m_strLine2.empty(), state.m_strLine3.empty(),
                   state.m_strLine4.empty(), state.m_strLine5.empty(), state.m_strLine6.empty()};
    if (!r.lineEmpty[0]) {
        r.url = state.m_strLine1;
    }
    if (!r.lineEmpty[1]) {
        r.time = ReadTimeLine(state.m_strLine2);
    }
    if (!r.lineEmpty[2]) {
        r.status = ReadStatusLine(state.m_strLine3);
    }
    if (!r.lineEmpty[3]) {
        r.power = ReadPowerLine(state.m_strLine4, state.m_bTrickle);
        r.recalibrated = r.power->recalibrated;
    }
    r.vref = state.m_dVref;
    if (!r.lineEmpty[4]) {
        r.currents = ReadCurrentLine(state.m_strLine5, state.m_dVref);
    }
    if (!r.lineEmpty[5]) {
        r.temperatures = ReadTemperatureLine(state.m_strLine6, state.m_dVref);
    }
    return r;
}

}  // namespace telvane
