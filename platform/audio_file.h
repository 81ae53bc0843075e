#pragma once

// Audio recordings read through libsndfile (WAV, FLAC, Ogg/Vorbis and whatever else it reads), in
// blocks of mono samples: any sample format and rate, several channels mixed to mono. A file that
// is not audio, is empty or is cut short gives a one-line message; no bytes can crash it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace telvane {

class AudioFile {
public:
    // Opens `path`; on failure returns null and sets `error` to a one-line message.
    static std::unique_ptr<AudioFile> Open(const std::filesystem::path& path, std::string& error);
    // Reads a recording held in memory; `bytes` must outlive the object.
    static std::unique_ptr<AudioFile> OpenMemory(std::span<const std::byte> bytes,
                                                 std::string& error);

    ~AudioFile();
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    double SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    // Frames the file says it holds; -1 when it does not say.
    std::int64_t Frames() const { return frames_; }

    // Fills `mono` from the start with the next samples and returns how many; 0 at the end or on
    // an error (then Error() says what went wrong, e.g. "truncated").
    std::size_t Read(std::span<float> mono);
    const std::string& Error() const { return error_; }

private:
    struct Source;
    explicit AudioFile(std::unique_ptr<Source> source);
    static std::unique_ptr<AudioFile> Opened(std::unique_ptr<AudioFile> file, std::int64_t size,
                                             std::string& error);
    std::int64_t ReadFrames(std::span<float> out);
    std::int64_t ReadInterleaved(float* to, std::int64_t frames);
    void CheckEnd();

    std::unique_ptr<Source> source_;
    void* handle_ = nullptr;  // SNDFILE*, kept out of this header
    double sampleRate_ = 0;
    int channels_ = 0;
    std::int64_t frames_ = -1;
    std::int64_t framesRead_ = 0;
    bool sixteenBit_ = false;  // 16-bit integer samples, whatever the container
    std::vector<float> interleaved_;
    std::vector<short> shorts_;  // as read, for sixteenBit_
    bool ended_ = false;
    std::string error_;
};

}  // namespace telvane
