#pragma once

#include <QApplication>

namespace telvane {

// The application: owns the toolkit's application object and runs the main dialog.
class CConverterApp {
public:
    CConverterApp(int& argc, char** argv);

    // Runs the main dialog until it closes. Always false: there is nothing to run afterwards.
    bool InitInstance();

private:
    QApplication m_application;
};

}  // namespace telvane
