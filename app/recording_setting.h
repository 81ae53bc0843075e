#pragma once

// Whether the dialog records every converted beacon in the archive: on unless the operator
// turned it off in the history window; kept with QSettings across sessions.

namespace telvane {

bool RecordingEnabled();
void SetRecordingEnabled(bool enabled);

}  // namespace telvane
