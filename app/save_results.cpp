// The save step at the end of every conversion: tell the user, propose a name from the clock,
// and write the report's bytes exactly.

#include <QFile>

#include "converter_dlg.h"
#include "safe_file.h"

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

    const WriteResult result =
        WriteFileSafely(QFile::encodeName(*path).toStdString(), m_state.m_strResult);
    const QString reason = QString::fromLocal8Bit(result.reason);
    switch (result.outcome) {
        case WriteOutcome::kWritten:
            break;
        case WriteOutcome::kOpenFailed:
            m_prompts->ReportError(this, QStringLiteral("ERROR"),
                                   QStringLiteral("Cannot open the designated file!"), reason);
            break;
        case WriteOutcome::kWriteFailed:
            m_prompts->ReportError(
                this, QStringLiteral("ERROR"),
                QStringLiteral("Cannot write the designated file!\n"
                               "Any earlier file of that name was left as it was."),
                reason);
            break;
    }
}

}  // namespace telvane
