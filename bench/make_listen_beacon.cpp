// Writes a generated beacon recording at 48 kHz for scripts/measure-listening.sh.
// Usage: make_listen_beacon OUT.wav

#include <sndfile.h>

#include <cstdio>

#include "audio_writer.h"
#include "recording_generator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_listen_beacon OUT.wav\n");
        return 2;
    }
    namespace gen = telvane::morse::testing;
    gen::RecordingOptions options;
    options.sampleRate = 48000;
    options.wpm = 25;
    options.snrDb = 15;
    options.seed = 23;
    const gen::Recording recording = gen::Generate(options);
    const std::string error =
        gen::WriteAudioFile(argv[1], recording.samples, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
