#pragma once

// Runs the telvane-convert program itself, as scripts do, in a fresh temporary folder.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "conversion.h"

namespace telvane::testing {

namespace fs = std::filesystem;

inline const std::string kBeacon =
    "ZK1 AB CD/EF\nZK2 01 23 45\nZK3 25 38 02 00\nZK4 37 A0 8C\nZK5 4 3 2 1 0 5\nZK6 8899AABB 5C\n";
inline const std::array<std::string, kLineCount> kBoxes = {"ZK1 AB CD/EF",    "ZK2 01 23 45",
                                                           "ZK3 25 38 02 00", "ZK4 37 A0 8C",
                                                           "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"};
inline constexpr const char* kTimeOption = "--time '2024-03-05 09:07:00' ";
inline constexpr LocalTime kTime{2024, 3, 5, 9, 7, 0};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// Six lines as a file of typed lines holds them.
inline std::string Typed(const std::array<std::string, kLineCount>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

// A path quoted for the shell.
inline std::string Quote(const fs::path& path) {
    std::string quoted(1, '\'');
    quoted += path.string();
    quoted += '\'';
    return quoted;
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class ConvertProcess : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "telvane-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs the converter with `args` (already quoted for the shell) and `input` on its stdin,
    // after the shell commands in `prefix`.
    // `stdoutRedirect` replaces the capture of standard output, e.g. "> /dev/full".
    Outcome Convert(const std::string& args, std::string_view input = kBeacon,
                    const std::string& stdoutRedirect = "", const std::string& prefix = "") {
        WriteFile(dir_ / "stdin", input);
        const std::string out =
            stdoutRedirect.empty() ? "> " + Quote(dir_ / "stdout") : stdoutRedirect;
        const std::string command = prefix + TELVANE_CONVERT + " " + args + " < " +
                                    Quote(dir_ / "stdin") + " " + out + " 2> " +
                                    Quote(dir_ / "stderr");
        Outcome run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = stdoutRedirect.empty() ? ReadFile(dir_ / "stdout") : "";
        run.err = ReadFile(dir_ / "stderr");
        return run;
    }

    // Runs a shell command line, capturing its standard error.
    Outcome RunShell(const std::string& command) {
        Outcome run;
        const int raw = std::system((command + " 2> " + Quote(dir_ / "stderr")).c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.err = ReadFile(dir_ / "stderr");
        return run;
    }

    fs::path dir_;
};

}  // namespace telvane::testing
