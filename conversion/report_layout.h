#pragma once

#include "conversion_state.h"
#include "local_time.h"

namespace telvane {

// The fixed parts of the report around the decoded sections.
void AppendReportHead(ConversionState& state, const LocalTime& time);  // program and time lines
void AppendInputEcho(ConversionState& state);  // the six lines as they stand after header removal
void AppendReportFooter(ConversionState& state);

}  // namespace telvane
