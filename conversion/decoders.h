#pragma once

#include "conversion_state.h"

namespace telvane {

// The six line decoders, run in this order by the conversion. Each one returns at once when its
// line is empty; otherwise it normalises its line in place and appends its section to the report.
void DecodeUrlLine(ConversionState& state);          // line 1: the laboratory's web address
void DecodeTimeLine(ConversionState& state);         // line 2: the internal time counter
void DecodeStatusLine(ConversionState& state);       // line 3: status bits; raises m_bTrickle
void DecodePowerLine(ConversionState& state);        // line 4: voltages; may recalibrate m_dVref
void DecodeCurrentLine(ConversionState& state);      // line 5: panel currents, scaled by m_dVref
void DecodeTemperatureLine(ConversionState& state);  // line 6: temperatures and RSSI

}  // namespace telvane
