// A listening session's FLAC recording on real files: it reads back as what was written, it
// never touches a file that is already there, and a folder it cannot write says why.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

#include "audio_file.h"
#include "flac_recorder.h"

namespace telvane {
namespace {

namespace fs = std::filesystem;
using std::chrono::system_clock;

// 2024-03-05 09:07:00 UTC
const system_clock::time_point kStart = system_clock::from_time_t(1709629620);

class FlacRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("telvane-flac-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    fs::path folder_;
};

TEST_F(FlacRecorderTest, ReadsBackAsTheSamplesWrittenInBlocks) {
    constexpr int kRate = 22050;
    std::vector<float> tone(kRate);
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone[i] = 0.5F * static_cast<float>(std::sin(2 * std::numbers::pi * 700 * i / kRate));
    }
    std::string error;
    fs::path path;
    {
        const auto recorder = FlacRecorder::Create(folder_, kRate, kStart, error);
        ASSERT_NE(recorder, nullptr) << error;
        path = recorder->Path();
        for (std::size_t at = 0; at < tone.size(); at += 1000) {
            const std::size_t count = std::min<std::size_t>(1000, tone.size() - at);
            ASSERT_TRUE(recorder->Write(std::span(tone).subspan(at, count)));
        }
    }
    EXPECT_EQ(path.filename(), "Telvane_20240305_090700Z.flac");
    const auto file = AudioFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(file->SampleRate(), kRate);
    std::vector<float> back(tone.size() + 100);
    ASSERT_EQ(file->Read(back), tone.size());
    for (std::size_t i = 0; i < tone.size(); i += 97) {
        EXPECT_NEAR(back[i], tone[i], 1.0 / 16384) << i;
    }
}

TEST_F(FlacRecorderTest, NamesThatAreTakenAreLeftAsTheyAre) {
    const struct {
        std::vector<std::string> taken;
        std::string chosen;
    } cases[] = {
        {{}, "Telvane_20240305_090700Z.flac"},
        {{"Telvane_20240305_090700Z.flac"}, "Telvane_20240305_090700Z-2.flac"},
        {{"Telvane_20240305_090700Z.flac", "Telvane_20240305_090700Z-2.flac"},
         "Telvane_20240305_090700Z-3.flac"},
    };
    for (const auto& c : cases) {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        for (const std::string& name : c.taken) {
            std::ofstream(folder_ / name) << "kept: " << name;
        }
        std::string error;
        const auto recorder = FlacRecorder::Create(folder_, 8000, kStart, error);
        ASSERT_NE(recorder, nullptr) << error;
        EXPECT_EQ(recorder->Path().filename(), c.chosen);
        for (const std::string& name : c.taken) {
            EXPECT_EQ(Read(folder_ / name), "kept: " + name);
        }
    }
}

TEST_F(FlacRecorderTest, AFolderThatCannotTakeTheRecordingSaysWhy) {
    std::string error;
    EXPECT_EQ(FlacRecorder::Create(folder_ / "missing", 8000, kStart, error), nullptr);
    EXPECT_NE(error.find("Cannot create the recording '"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace telvane
