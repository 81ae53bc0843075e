// telvane-convert: the beacon conversion for scripts and logs.

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "convert_commands.h"
#include "cp932.h"
#include "line_reader.h"
#include "listen_commands.h"
#include "options.h"
#include "recording_commands.h"

namespace {

using telvane::cli::Fail;
using telvane::cli::kExitBadInput;
using telvane::cli::kExitOutputFailure;

// The input's file descriptor: standard input, or the named file opened for reading.
int OpenInput(const std::string& path) {
    if (path.empty() || path == "-") {
        return STDIN_FILENO;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(kExitBadInput, "cannot open '" + path + "': " + std::strerror(errno));
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit must fail the write with a message, not end the process unannounced.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const telvane::cli::ParsedOptions parsed = telvane::cli::ParseOptions(args);
    if (!parsed.error.empty()) {
        return Fail(kExitBadInput, parsed.error + " (see --help)");
    }
    const telvane::cli::Options& options = parsed.options;
    if (options.help) {
        std::cout << telvane::cli::UsageText();
        return 0;
    }
    if (options.version) {
        std::cout << "telvane-convert " TELVANE_VERSION "\n";
        return 0;
    }
    if (!telvane::Cp932Available()) {
        return Fail(kExitOutputFailure, "this system cannot convert code page 932 (ICU missing)");
    }

    // The archive's database driver and the audio inputs are plugins, which Qt loads only for an
    // application.
    int appArgc = 1;
    const bool needsApp = options.archivePath || options.listen || options.listDevices;
    const std::unique_ptr<QCoreApplication> app =
        needsApp ? std::make_unique<QCoreApplication>(appArgc, argv) : nullptr;
    if (options.listDevices) {
        return telvane::cli::ListDevices();
    }
    if (options.listen) {
        return telvane::cli::ListenLive(options);
    }
    const telvane::LocalTime time = options.time.value_or(telvane::CurrentLocalTime());
    if (!options.audioPath.empty()) {
        return telvane::cli::ConvertRecording(options, time);
    }
    const int fd = OpenInput(options.inputPath);
    if (fd < 0) {
        return kExitBadInput;
    }
    telvane::cli::LineReader input(telvane::cli::ReadFromDescriptor(fd));
    return options.batch ? telvane::cli::ConvertBatch(options, input, time)
                         : telvane::cli::ConvertSingle(options, input, time);
}
