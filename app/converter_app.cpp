#include "converter_app.h"

#include "converter_dlg.h"

namespace telvane {

CConverterApp::CConverterApp(int& argc, char** argv) : m_application(argc, argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Telvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVANE_VERSION));
}

bool CConverterApp::InitInstance() {
    CConverterDlg dialog;
    dialog.exec();
    return false;
}

}  // namespace telvane
