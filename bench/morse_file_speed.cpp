// Speed and peak memory of reading a recording through the audio reader and decoding it, as the
// converter will. With --write it first writes a long generated recording (beacons and traffic at
// -6 dB, in pieces so the writer stays small); with --write-pass, a pass as a station records it:
// two beacons at -6 dB in the middle, noise alone before and after.
//   morse_file_speed --write[-pass] MINUTES RATE PATH     then     morse_file_speed PATH

#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio_file.h"
#include "decoder.h"
#include "recording_generator.h"

namespace {

namespace testing = telvane::morse::testing;

SNDFILE* OpenForWriting(int rate, const char* path) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "%s\n", sf_strerror(nullptr));
    }
    return file;
}

int Write(double minutes, int rate, const char* path) {
    SNDFILE* file = OpenForWriting(rate, path);
    if (file == nullptr) {
        return 1;
    }
    double written = 0;
    for (std::uint32_t piece = 1; written < minutes * 60; ++piece) {
        testing::RecordingOptions options;
        options.sampleRate = rate;
        options.snrDb = -6;
        options.beacons = 2;
        options.wpm = 12 + piece % 17;
        options.seed = piece;
        const testing::Recording recording = testing::Generate(options);
        const auto frames =
            std::min<sf_count_t>(static_cast<sf_count_t>(recording.samples.size()),
                                 static_cast<sf_count_t>((minutes * 60 - written) * rate) + 1);
        sf_writef_float(file, recording.samples.data(), frames);
        written += static_cast<double>(frames) / rate;
    }
    sf_close(file);
    return 0;
}

int WritePass(double minutes, int rate, const char* path) {
    testing::RecordingOptions options;
    options.sampleRate = rate;
    options.snrDb = -6;
    options.beacons = 2;
    options.otherText = false;
    const double keyed = static_cast<double>(testing::Generate(options).samples.size()) / rate;
    options.leadSeconds = options.tailSeconds = std::max(1.0, (minutes * 60 - keyed) / 2 + 1);
    const testing::Recording recording = testing::Generate(options);
    SNDFILE* file = OpenForWriting(rate, path);
    if (file == nullptr) {
        return 1;
    }
    sf_writef_float(file, recording.samples.data(),
                    static_cast<sf_count_t>(recording.samples.size()));
    sf_close(file);
    return 0;
}

int Decode(const char* path) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    const auto file = telvane::AudioFile::Open(path, error);
    if (file == nullptr) {
        std::fprintf(stderr, "%s: %s\n", path, error.c_str());
        return 1;
    }
    telvane::morse::Decoder decoder(file->SampleRate());
    std::vector<float> block(4096);
    std::size_t beacons = 0;
    for (std::size_t got = 0; (got = file->Read(block)) > 0;) {
        decoder.Feed(std::span<const float>(block).first(got));
        beacons += decoder.TakeBeacons().size();
        decoder.TakeTranscript();
    }
    decoder.Finish();
    beacons += decoder.TakeBeacons().size();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "%.0f s of audio at %.0f Hz in %.3f s: %.0f x real time, %zu beacons, peak RSS %.1f MB\n",
        decoder.SecondsFed(), file->SampleRate(), seconds, decoder.SecondsFed() / seconds, beacons,
        static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--write") {
        return Write(std::atof(argv[2]), std::atoi(argv[3]), argv[4]);
    }
    if (argc == 5 && std::string(argv[1]) == "--write-pass") {
        return WritePass(std::atof(argv[2]), std::atoi(argv[3]), argv[4]);
    }
    if (argc == 2) {
        return Decode(argv[1]);
    }
    std::fprintf(
        stderr,
        "usage: morse_file_speed --write[-pass] MINUTES RATE PATH | morse_file_speed PATH\n");
    return 2;
}
