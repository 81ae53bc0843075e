#include "recording_decoding.h"

#include "audio_file.h"
#include "decoder.h"

namespace telvane {
namespace {

constexpr std::size_t kBlockFrames = 1 << 15;

void Collect(morse::Decoder& decoder, bool keepTranscript, DecodedRecording& decoded) {
    for (morse::CopiedBeacon& beacon : decoder.TakeBeacons()) {
        decoded.beacons.push_back(std::move(beacon));
    }
    std::vector<morse::HeardText> heard = decoder.TakeTranscript();
    if (keepTranscript) {
        decoded.transcript.insert(decoded.transcript.end(), heard.begin(), heard.end());
    }
}

}  // namespace

DecodedRecording DecodeRecording(const std::filesystem::path& path, const DecodeControl& control) {
    DecodedRecording decoded;
    const std::unique_ptr<AudioFile> audio = AudioFile::Open(path, decoded.error);
    if (!audio) {
        return decoded;
    }
    morse::Decoder decoder(audio->SampleRate());
    std::vector<float> block(kBlockFrames);
    double frames = 0;
    while (const std::size_t read = audio->Read(block)) {
        decoder.Feed(std::span<const float>(block.data(), read));
        Collect(decoder, control.keepTranscript, decoded);
        frames += static_cast<double>(read);
        const double share =
            audio->Frames() > 0 ? frames / static_cast<double>(audio->Frames()) : -1;
        if (control.progress && !control.progress(share, decoder.SecondsFed())) {
            decoded.cancelled = true;
            return decoded;
        }
    }
    decoded.error = audio->Error();
    decoder.Finish();
    Collect(decoder, control.keepTranscript, decoded);
    decoded.seconds = decoder.SecondsFed();
    return decoded;
}

bool IsRecording(const std::filesystem::path& path) {
    std::string error;
    return AudioFile::Open(path, error) != nullptr;
}

std::array<std::string, kLineCount> LinesOf(const morse::CopiedBeacon& beacon) {
    std::array<std::string, kLineCount> lines;
    for (int k = 0; k < kLineCount; ++k) {
        lines[k] = beacon.lines[k].text;
    }
    return lines;
}

CopyMeasures MeasuresOf(const morse::CopiedBeacon& beacon) {
    CopyMeasures copy;
    copy.startSeconds = beacon.startSeconds;
    copy.endSeconds = beacon.endSeconds;
    copy.toneHz = beacon.toneHz;
    copy.speedWpm = beacon.speedWpm;
    copy.snrDb = beacon.snrDb;
    for (int k = 0; k < kLineCount; ++k) {
        copy.confidence[k] = beacon.lines[k].confidence;
    }
    return copy;
}

}  // namespace telvane
