#include "converter_app.h"

#include "converter_dlg.h"
#include "cp932.h"

namespace telvane {

CConverterApp::CConverterApp(int& argc, char** argv) : m_application(argc, argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Telvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVANE_VERSION));
}

bool CConverterApp::InitInstance() {
    if (!CodePageReady(*MakeDialogPrompts(), Cp932Available)) {
        return false;
    }
    CConverterDlg dialog;
    dialog.exec();
    return false;
}

bool CodePageReady(SavePrompts& prompts, bool (*available)()) {
    if (available()) {
        return true;
    }
    prompts.ReportError(nullptr, QStringLiteral("Telvane"),
                        QStringLiteral("Telvane cannot start: this system cannot convert text to "
                                       "code page 932, the encoding of the reports."),
                        QStringLiteral("The toolkit's ICU support (Qt built with ICU, and the "
                                       "ICU library) is missing."));
    return false;
}

}  // namespace telvane
