// telvane-convert: the beacon conversion for scripts and logs.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <vector>

#include "convert_commands.h"
#include "cp932.h"
#include "options.h"

namespace {

using telvane::cli::Fail;
using telvane::cli::kExitBadInput;
using telvane::cli::kExitOutputFailure;

// Reads the whole input; nothing when it cannot be read (the message is in `error`).
std::optional<std::string> ReadInput(const std::string& path, std::string& error) {
    const bool fromStdin = path.empty() || path == "-";
    std::FILE* file = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    if (!fromStdin) {
        std::fclose(file);
    }
    if (failed) {
        error = "cannot read '" + (fromStdin ? std::string("standard input") : path) +
                "': " + std::strerror(readErrno);
        return std::nullopt;
    }
    return bytes;
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

    std::string error;
    const std::optional<std::string> input = ReadInput(options.inputPath, error);
    if (!input) {
        return Fail(kExitBadInput, error);
    }
    const telvane::LocalTime time = options.time.value_or(telvane::CurrentLocalTime());
    return options.batch ? telvane::cli::ConvertBatch(options, *input, time)
                         : telvane::cli::ConvertSingle(options, *input, time);
}
