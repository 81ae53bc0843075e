#pragma once

// The beacon converter: six typed lines and a time stamp in, report bytes out.

#include <array>
#include <string>

#include "beacon_layout.h"
#include "conversion_state.h"
#include "local_time.h"

namespace telvane {

// Runs one whole conversion over the lines held in `state`: resets the shared values, strips the
// headers, writes the report head, runs the six line decoders in order and appends the footer.
// The finished report is left in state.m_strResult.
void RunConversion(ConversionState& state, const LocalTime& time);

// Puts the six lines (box order) into `state`, ready for RunConversion.
void SetLines(ConversionState& state, const std::array<std::string, kLineCount>& lines);

// The same conversion for callers that hold the lines themselves.
std::string ConvertBeacon(const std::array<std::string, kLineCount>& lines, const LocalTime& time);

}  // namespace telvane
