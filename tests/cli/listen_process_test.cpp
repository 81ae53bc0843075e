// telvane-convert --listen and --list-devices against a real sound server: a private PulseAudio
// (tests/platform/with_pulseaudio.sh) whose null sink's monitor is the default input. A beacon
// played into the sink with paplay must come out exactly as the same lines typed.

#include <sndfile.h>

#include <chrono>
#include <thread>

#include "audio_writer.h"
#include "process_fixture.h"
#include "recording_generator.h"

namespace telvane::testing {
namespace {

namespace gen = telvane::morse::testing;
using namespace std::chrono_literals;

constexpr int kRate = 22050;

class ListenProcess : public ConvertProcess {
protected:
    // A recording of one beacon at 35 WPM and 10 dB, with a call sign keyed before it.
    gen::KeyedBeacon Record(const fs::path& name) {
        gen::RecordingOptions options;
        options.sampleRate = kRate;
        options.wpm = 35;
        options.seed = 11;
        const gen::Recording recording = gen::Generate(options);
        EXPECT_EQ(gen::WriteAudioFile(dir_ / name, recording.samples, kRate,
                                      SF_FORMAT_WAV | SF_FORMAT_PCM_16),
                  "");
        return recording.beacons.at(0);
    }

    // Starts the converter listening in the background; its output goes to `out`.
    void StartListening(const std::string& args, const fs::path& out) {
        const std::string command = "( " + std::string(TELVANE_CONVERT) + " --listen " + args +
                                    " > " + Quote(out) + " 2> " + Quote(dir_ / "stderr") +
                                    " & echo $! > " + Quote(dir_ / "pid") +
                                    "; wait $!; echo $? > " + Quote(dir_ / "status") + " ) &";
        ASSERT_EQ(std::system(command.c_str()), 0);
        ASSERT_TRUE(WaitFor(dir_ / "pid", "\n"));
        pid_ = std::stoi(ReadFile(dir_ / "pid"));
    }

    // Waits until `path` holds `text`, or a minute has passed.
    bool WaitFor(const fs::path& path, const std::string& text) {
        for (int tenth = 0; tenth < 600; ++tenth) {
            if (ReadFile(path).find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // Sends `signal` to the listener (none: it ends by itself) and gives its exit status.
    int Stop(int signal) {
        if (signal != 0) {
            kill(pid_, signal);
        }
        return WaitFor(dir_ / "status", "\n") ? std::stoi(ReadFile(dir_ / "status")) : -1;
    }

    static std::string Source() { return std::getenv("TELVANE_TEST_SOURCE"); }

    pid_t pid_ = 0;
};

TEST_F(ListenProcess, ListsTheInputsWithTheDefaultMarked) {
    const Outcome run = Convert("--list-devices");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(Source() + "\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(default)\n"), std::string::npos) << run.out;
}

TEST_F(ListenProcess, ABeaconPlayedIntoTheInputConvertsAsTheSameLinesTypedAndIsArchived) {
    const gen::KeyedBeacon keyed = Record("pass.wav");
    const fs::path archive = dir_ / "archive.sqlite";
    StartListening(kTimeOption + std::string("--archive=") + Quote(archive), dir_ / "report");
    ASSERT_EQ(std::system(("paplay " + Quote(dir_ / "pass.wav")).c_str()), 0);
    const Outcome typed = Convert(kTimeOption, Typed(keyed.lines));
    ASSERT_EQ(typed.status, 0);
    // The report is complete once its last line (the web address is near the end) is out.
    EXPECT_TRUE(WaitFor(dir_ / "report", typed.out.substr(typed.out.size() - 40)))
        << ReadFile(dir_ / "stderr");
    EXPECT_EQ(Stop(SIGINT), 0);
    EXPECT_EQ(ReadFile(dir_ / "report"), typed.out);
    EXPECT_EQ(ReadFile(dir_ / "stderr"), "");

    const std::string exported = std::string(TELVANE_ARCHIVE) + " export --format csv --archive " +
                                 Quote(archive) + " > " + Quote(dir_ / "export.csv");
    ASSERT_EQ(RunShell(exported).status, 0);
    EXPECT_NE(ReadFile(dir_ / "export.csv").find("," + keyed.lines[5] + ","), std::string::npos);
}

TEST_F(ListenProcess, UnusableChoicesAreRefusedWithStatusTwo) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--listen --device no-such-input", "no audio input device named 'no-such-input'"},
        {"--listen --audio pass.wav", "--listen takes no FILE or --audio"},
        {"--device x", "--device needs --listen"},
        {"--listen --batch", "--batch with text reports needs -o FOLDER"},
    };
    for (const auto& c : cases) {
        const Outcome run = Convert(c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << ": " << run.err;
    }
}

TEST_F(ListenProcess, AnInputThatGoesAwayEndsTheRunWithAMessage) {
    StartListening("--format json", dir_ / "out.jsonl");
    std::this_thread::sleep_for(1s);
    // Unplugging: the sink goes, and its monitor with it. The server is left without a sink, so
    // this runs last.
    ASSERT_EQ(std::system("pactl unload-module module-null-sink"), 0);
    EXPECT_EQ(Stop(0), 2);
    EXPECT_NE(ReadFile(dir_ / "stderr").find("telvane-convert: listening stopped: "),
              std::string::npos)
        << ReadFile(dir_ / "stderr");
}

}  // namespace
}  // namespace telvane::testing
