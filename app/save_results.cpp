// The save step at the end of every conversion: tell the user, propose a name from the clock,
// and write the report's bytes exactly.

#include "atomic_file.h"
#include "converter_dlg.h"

namespace telvane {

void CConverterDlg::SaveResults() {
    m_prompts->Inform(this, QStringLiteral("FINISH"),
                      QStringLiteral("Finished the conversion.\n"
                                     "Please designate the file name to save the results."));
    // A second reading: the user may have taken a while to dismiss the box.
    const QString defaultName = QString::fromStdString(DefaultFileName(m_clock->Now()));
    const std::optional<QString> path = m_prompts->AskSavePath(this, defaultName);
    if (!path) {
        return;
    }

    switch (WriteFileAtomically(*path, m_state.m_strResult).outcome) {
        case WriteOutcome::kWritten:
            break;
        case WriteOutcome::kOpenFailed:
            m_prompts->ReportError(this, QStringLiteral("ERROR"),
                                   QStringLiteral("Cannot open the designated file!"));
            break;
        case WriteOutcome::kWriteFailed:
            m_prompts->ReportError(
                this, QStringLiteral("ERROR"),
                QStringLiteral("Cannot write the designated file!\n"
                               "Any earlier file of that name was left as it was."));
            break;
    }
}

}  // namespace telvane
