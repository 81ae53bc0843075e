#pragma once

#include <QApplication>

namespace telvane {

class SavePrompts;

// The application: owns the toolkit's application object and runs the main dialog.
class CConverterApp {
public:
    CConverterApp(int& argc, char** argv);

    // Runs the main dialog until it closes. Always false: there is nothing to run afterwards.
    bool InitInstance();

private:
    QApplication m_application;
};

// Whether reports can be made here: without the toolkit's code page 932 converter every box would
// turn into "????". When it is missing, says so through `prompts` and gives false.
bool CodePageReady(SavePrompts& prompts, bool (*available)());

}  // namespace telvane
