// telvane: the dialog program. Its own code reads no command line.

#include <csignal>

#include "converter_app.h"

int main(int argc, char** argv) {
    // A file size limit must fail the save with a message, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    telvane::CConverterApp app(argc, argv);
    app.InitInstance();
    return 0;
}
