// The audio reader on real files written by libsndfile: every sample format it is meant to take,
// several channels, memory reads, and files that are empty, cut short or not audio at all.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>

#include "audio_file.h"
#include "audio_writer.h"
#include "decoder.h"
#include "recording_generator.h"

namespace telvane {
namespace {

namespace fs = std::filesystem;
using morse::testing::WriteAudioFile;

class TempFolder {
public:
    TempFolder() {
        path_ = fs::temp_directory_path() /
                ("telvane-audio-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::vector<float> Tone(int rate, double seconds, double hz = 700, double amplitude = 0.5) {
    std::vector<float> samples(static_cast<std::size_t>(rate * seconds));
    for (std::size_t n = 0; n < samples.size(); ++n) {
        samples[n] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(n) / rate));
    }
    return samples;
}

std::vector<float> ReadAll(AudioFile& file, std::size_t block = 1000) {
    std::vector<float> all;
    std::vector<float> buffer(block);
    for (std::size_t got = 0; (got = file.Read(buffer)) > 0;) {
        all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
    }
    return all;
}

std::vector<std::byte> Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(chars.size());
    std::transform(chars.begin(), chars.end(), bytes.begin(), [](char c) { return std::byte(c); });
    return bytes;
}

void WriteBytes(const fs::path& path, std::span<const std::byte> bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

struct FormatCase {
    const char* name;
    const char* extension;
    int format;
    int rate;
    int channels;
    double tolerance;  // largest difference from the samples written
};

class AudioFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(AudioFormats, ReadsMonoSamplesAsWritten) {
    const FormatCase& c = GetParam();
    TempFolder folder;
    const fs::path path = folder / (std::string("tone.") + c.extension);
    const std::vector<float> written = Tone(c.rate, 0.5);
    ASSERT_EQ(WriteAudioFile(path, written, c.rate, c.format, c.channels), "");

    std::string error;
    const auto file = AudioFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(file->SampleRate(), c.rate);
    EXPECT_EQ(file->Channels(), c.channels);
    const std::vector<float> read = ReadAll(*file, 777);
    EXPECT_EQ(file->Error(), "");
    ASSERT_EQ(read.size(), written.size());
    double worst = 0;
    for (std::size_t n = 0; n < read.size(); ++n) {
        worst = std::max(worst, static_cast<double>(std::abs(read[n] - written[n])));
    }
    EXPECT_LE(worst, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AudioFormats,
    ::testing::Values(
        FormatCase{"Wav8", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 0.01},
        FormatCase{"Wav16", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1, 1e-4},
        FormatCase{"Wav24", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 22050, 1, 1e-6},
        FormatCase{"Wav32", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 44100, 1, 1e-6},
        FormatCase{"WavFloat", "wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, 0},
        FormatCase{"WavStereo", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 1e-4},
        FormatCase{"Flac16", "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, 1e-4},
        FormatCase{"Flac24Stereo", "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 2, 1e-6},
        FormatCase{"OggVorbis", "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 1, 0.05},
        FormatCase{"Aiff16", "aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1, 1e-4}),
    [](const auto& info) { return std::string(info.param.name); });

// Every 16-bit value, from both ends of the range, reads exactly as libsndfile's own conversion
// gives it (the decoder's decisions depend on the last bit), mono or mixed from two channels.
class SixteenBit : public ::testing::TestWithParam<std::pair<int, int>> {};  // format, channels

TEST_P(SixteenBit, ReadsAsLibsndfileConvertsIt) {
    const auto [format, channels] = GetParam();
    TempFolder folder;
    const fs::path path = folder / "ramp";
    std::vector<short> stored;
    for (int value = std::numeric_limits<short>::min(); value <= std::numeric_limits<short>::max();
         value += 3) {
        stored.push_back(static_cast<short>(value));
    }
    SF_INFO info{8000, 8000, channels, format, 0, 0};
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
    const auto frames = static_cast<sf_count_t>(stored.size()) / channels;
    ASSERT_EQ(sf_writef_short(out, stored.data(), frames), frames);
    sf_close(out);
    SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> converted(stored.size());
    ASSERT_EQ(sf_readf_float(in, converted.data(), frames), frames);
    sf_close(in);
    std::vector<float> expected(static_cast<std::size_t>(frames), 0.0F);
    for (std::size_t n = 0; n < expected.size(); ++n) {
        for (std::size_t channel = 0; channel < static_cast<std::size_t>(channels); ++channel) {
            expected[n] += converted[n * static_cast<std::size_t>(channels) + channel];
        }
        expected[n] /= static_cast<float>(channels);
    }

    std::string error;
    const auto file = AudioFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(ReadAll(*file, 4099), expected);
    EXPECT_EQ(file->Error(), "");
}

INSTANTIATE_TEST_SUITE_P(AudioFile, SixteenBit,
                         ::testing::Values(std::pair(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1),
                                           std::pair(SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2),
                                           std::pair(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1)));

TEST(AudioFile, MemoryReadGivesTheSameSamplesAsTheFile) {
    TempFolder folder;
    const fs::path path = folder / "tone.flac";
    ASSERT_EQ(WriteAudioFile(path, Tone(8000, 0.3), 8000, SF_FORMAT_FLAC | SF_FORMAT_PCM_16), "");
    std::string error;
    const auto file = AudioFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;
    const std::vector<std::byte> bytes = Bytes(path);
    const auto memory = AudioFile::OpenMemory(bytes, error);
    ASSERT_NE(memory, nullptr) << error;
    EXPECT_EQ(memory->Frames(), file->Frames());
    EXPECT_EQ(ReadAll(*memory, 100), ReadAll(*file, 4096));
}

TEST(AudioFile, StereoChannelsAreMixed) {
    TempFolder folder;
    const fs::path path = folder / "stereo.wav";
    // Left +0.5, right -0.25: mono is their mean.
    const std::vector<float> frames = {0.5F, -0.25F, 0.5F, -0.25F};
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr);
    sf_writef_float(out, frames.data(), 2);
    sf_close(out);
    std::string error;
    const auto file = AudioFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(ReadAll(*file), (std::vector<float>{0.125F, 0.125F}));
}

// A sample that is not a number reads as silence, mono or mixed, in whatever blocks the reader
// takes and the caller asks for.
struct NotANumberCase {
    const char* name;
    int channels;
    std::size_t block;
};

class NotANumber : public ::testing::TestWithParam<NotANumberCase> {};

TEST_P(NotANumber, ReadsAsSilence) {
    const NotANumberCase& param = GetParam();
    TempFolder folder;
    const fs::path path = folder / "not-a-number.wav";
    std::vector<float> samples = Tone(8000, 5.0);
    const std::vector<float> bad = {std::nanf(""), std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity()};
    std::vector<float> expected = samples;
    for (std::size_t i = 0; i < bad.size(); ++i) {
        // At the start, on both sides of a read's edge, and at the end.
        for (const std::size_t at : {i, 16383 + i, samples.size() - 1 - i}) {
            samples[at] = bad[i];
            expected[at] = 0.0F;
        }
    }
    ASSERT_EQ(morse::testing::WriteAudioFile(path, samples, 8000, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                                             param.channels),
              "");
    std::string error;
    const auto file = AudioFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(ReadAll(*file, param.block), expected);
    EXPECT_EQ(file->Error(), "");
}

INSTANTIATE_TEST_SUITE_P(AudioFile, NotANumber,
                         ::testing::Values(NotANumberCase{"MonoSmallBlocks", 1, 1000},
                                           NotANumberCase{"MonoOneBlock", 1, 40000},
                                           NotANumberCase{"StereoSmallBlocks", 2, 1000},
                                           NotANumberCase{"StereoOneBlock", 2, 40000}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Damage { kNone, kEmptyFile, kText, kRandomBytes, kHalf, kHeaderOnly, kNoSamples };

struct BadCase {
    const char* name;
    const char* extension;
    int format;
    Damage damage;
    const char* error;  // the one-line message expected (its start), at open or after reading
};

class BadAudio : public ::testing::TestWithParam<BadCase> {};

std::vector<std::byte> Damaged(const BadCase& c, const TempFolder& folder) {
    const fs::path source = folder / (std::string("good.") + c.extension);
    const std::vector<float> samples =
        c.damage == Damage::kNoSamples ? std::vector<float>() : Tone(8000, 0.5);
    WriteAudioFile(source, samples, 8000, c.format);
    std::vector<std::byte> bytes = Bytes(source);
    std::mt19937 random(5);
    switch (c.damage) {
        case Damage::kEmptyFile:
            return {};
        case Damage::kText: {
            const std::string text = "ZK1 ORBEL.JP\r\nZK2 01 23 45\r\n";
            std::vector<std::byte> out(text.size());
            std::transform(text.begin(), text.end(), out.begin(),
                           [](char ch) { return std::byte(ch); });
            return out;
        }
        case Damage::kRandomBytes:
            for (std::byte& b : bytes) {
                b = std::byte(random() & 0xFF);
            }
            return bytes;
        case Damage::kHalf:
            bytes.resize(bytes.size() / 2);
            return bytes;
        case Damage::kHeaderOnly:
            bytes.resize(std::min<std::size_t>(bytes.size(), 30));
            return bytes;
        default:
            return bytes;
    }
}

// Opens or reads to the end; the message from whichever step failed.
std::string Outcome(std::unique_ptr<AudioFile> file, const std::string& openError) {
    if (file == nullptr) {
        return openError;
    }
    ReadAll(*file);
    return file->Error();
}

TEST_P(BadAudio, GivesAOneLineMessage) {
    const BadCase& c = GetParam();
    TempFolder folder;
    const std::vector<std::byte> bytes = Damaged(c, folder);
    const fs::path path = folder / (std::string("bad.") + c.extension);
    WriteBytes(path, bytes);

    std::string error;
    const std::string fromFile = Outcome(AudioFile::Open(path, error), error);
    std::string memoryError;
    const std::string fromMemory = Outcome(AudioFile::OpenMemory(bytes, memoryError), memoryError);
    EXPECT_EQ(fromFile.rfind(c.error, 0), 0U) << fromFile;
    EXPECT_EQ(fromMemory, fromFile);
    EXPECT_EQ(fromFile.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, BadAudio,
    ::testing::Values(
        BadCase{"Empty", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damage::kEmptyFile, "empty"},
        BadCase{"Text", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damage::kText,
                "not an audio file"},
        BadCase{"RandomBytes", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damage::kRandomBytes,
                "not an audio file"},
        BadCase{"TruncatedWav", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damage::kHalf,
                "truncated"},
        BadCase{"TruncatedFlac", "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, Damage::kHalf,
                "truncated"},
        BadCase{"WavHeaderOnly", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damage::kHeaderOnly,
                "damaged audio file: "},
        BadCase{"NoSamples", "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Damage::kNoSamples, "empty"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AudioFile, MissingFileSaysSo) {
    std::string error;
    EXPECT_EQ(AudioFile::Open("/nonexistent/recording.wav", error), nullptr);
    EXPECT_EQ(error.rfind("cannot open: ", 0), 0U) << error;
}

// A beacon written as a real FLAC file comes out of reader and decoder together.
TEST(AudioFile, BeaconThroughFileAndDecoder) {
    morse::testing::RecordingOptions options;
    options.sampleRate = 22050;
    options.wpm = 24;
    options.snrDb = 0;
    options.seed = 21;
    const morse::testing::Recording recording = morse::testing::Generate(options);
    TempFolder folder;
    const fs::path path = folder / "beacon.flac";
    ASSERT_EQ(WriteAudioFile(path, recording.samples, 22050, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2),
              "");

    std::string error;
    const auto file = AudioFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;
    morse::Decoder decoder(file->SampleRate());
    std::vector<float> block(1024);
    for (std::size_t got = 0; (got = file->Read(block)) > 0;) {
        decoder.Feed(std::span<const float>(block).first(got));
    }
    decoder.Finish();
    const auto beacons = decoder.TakeBeacons();
    ASSERT_EQ(beacons.size(), 1U);
    for (std::size_t k = 0; k < kLineCount; ++k) {
        EXPECT_EQ(beacons[0].lines[k].text, recording.beacons[0].lines[k]);
    }
}

}  // namespace
}  // namespace telvane
