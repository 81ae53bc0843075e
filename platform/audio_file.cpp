#include "audio_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace telvane {
namespace {

constexpr sf_count_t kFramesPerRead = 16384;
constexpr int kMostChannels = 64;               // more is a damaged header, not a recording
constexpr float kShortScale = 1.0F / 32768.0F;  // a 16-bit sample's full scale is 1

SNDFILE* Handle(void* handle) {
    return static_cast<SNDFILE*>(handle);
}

// What libsndfile's refusal to open means to the user, in one line.
std::string OpenError(int code) {
    switch (code) {
        case SF_ERR_UNRECOGNISED_FORMAT:
            return "not an audio file";
        case SF_ERR_UNSUPPORTED_ENCODING:
            return "audio encoding not supported";
        default:
            return std::string("damaged audio file: ") + sf_error_number(code);
    }
}

// libsndfile reads what is there of a WAV file whose header promises more, and notes the sizes
// the header should have given in its log ("data : 8000 (should be 3956)").
bool LogSaysTruncated(SNDFILE* handle) {
    std::string log(8192, '\0');
    const int length =
        sf_command(handle, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    log.resize(static_cast<std::size_t>(std::clamp(length, 0, static_cast<int>(log.size()))));
    return log.find("(should be ") != std::string::npos;
}

}  // namespace

// Bytes in memory, read through libsndfile's virtual I/O.
struct AudioFile::Source {
    std::span<const std::byte> bytes;
    sf_count_t position = 0;

    static Source& Of(void* user) { return *static_cast<Source*>(user); }
    static sf_count_t Length(void* user) { return static_cast<sf_count_t>(Of(user).bytes.size()); }
    static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
        Source& source = Of(user);
        const sf_count_t base = whence == SEEK_CUR   ? source.position
                                : whence == SEEK_END ? Length(user)
                                                     : 0;
        if (offset > Length(user) || offset < -Length(user)) {
            return -1;
        }
        const sf_count_t to = base + offset;
        if (to < 0 || to > Length(user)) {
            return -1;
        }
        source.position = to;
        return to;
    }
    static sf_count_t Read(void* out, sf_count_t count, void* user) {
        Source& source = Of(user);
        const sf_count_t take = std::clamp<sf_count_t>(count, 0, Length(user) - source.position);
        if (take > 0) {
            std::memcpy(out, source.bytes.data() + source.position, static_cast<std::size_t>(take));
        }
        source.position += take;
        return take;
    }
    static sf_count_t Write(const void* /*bytes*/, sf_count_t /*count*/, void* /*user*/) {
        return 0;
    }
    static sf_count_t Tell(void* user) { return Of(user).position; }
};

AudioFile::AudioFile(std::unique_ptr<Source> source) : source_(std::move(source)) {}

AudioFile::~AudioFile() {
    if (handle_ != nullptr) {
        sf_close(Handle(handle_));
    }
}

std::unique_ptr<AudioFile> AudioFile::Open(const std::filesystem::path& path, std::string& error) {
    std::error_code code;
    const auto size = std::filesystem::file_size(path, code);
    if (code) {
        error = "cannot open: " + code.message();
        return nullptr;
    }
    std::unique_ptr<AudioFile> file(new AudioFile(nullptr));
    SF_INFO info{};
    file->handle_ = size == 0 ? nullptr : sf_open(path.c_str(), SFM_READ, &info);
    return Opened(std::move(file), static_cast<std::int64_t>(size), error);
}

std::unique_ptr<AudioFile> AudioFile::OpenMemory(std::span<const std::byte> bytes,
                                                 std::string& error) {
    std::unique_ptr<AudioFile> file(new AudioFile(std::make_unique<Source>(Source{bytes, 0})));
    SF_VIRTUAL_IO io{Source::Length, Source::Seek, Source::Read, Source::Write, Source::Tell};
    SF_INFO info{};
    file->handle_ =
        bytes.empty() ? nullptr : sf_open_virtual(&io, SFM_READ, &info, file->source_.get());
    return Opened(std::move(file), static_cast<std::int64_t>(bytes.size()), error);
}

std::unique_ptr<AudioFile> AudioFile::Opened(std::unique_ptr<AudioFile> file, std::int64_t size,
                                             std::string& error) {
    if (size == 0) {
        error = "empty";
        return nullptr;
    }
    if (file->handle_ == nullptr) {
        error = OpenError(sf_error(nullptr));
        return nullptr;
    }
    SF_INFO info{};
    sf_command(Handle(file->handle_), SFC_GET_CURRENT_SF_INFO, &info, sizeof(info));
    if (info.channels < 1 || info.channels > kMostChannels || info.samplerate <= 0) {
        error = "damaged audio header";
        return nullptr;
    }
    if (info.frames == 0) {
        error = "empty";
        return nullptr;
    }
    file->sampleRate_ = info.samplerate;
    file->channels_ = info.channels;
    file->sixteenBit_ = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    // libsndfile gives the largest count it has when the length is unknown.
    file->frames_ = info.frames >= SF_COUNT_MAX / 2 ? -1 : info.frames;
    return file;
}

std::size_t AudioFile::Read(std::span<float> mono) {
    if (ended_) {
        return 0;
    }
    std::size_t done = 0;
    while (done < mono.size()) {
        const auto want =
            std::min<sf_count_t>(kFramesPerRead, static_cast<sf_count_t>(mono.size() - done));
        const std::span<float> out = mono.subspan(done, static_cast<std::size_t>(want));
        const sf_count_t got = std::max<sf_count_t>(ReadFrames(out), 0);
        done += static_cast<std::size_t>(got);
        framesRead_ += got;
        if (got < want) {
            CheckEnd();
            break;
        }
    }
    return done;
}

// Reads up to `frames` frames, interleaved, into `to`.
std::int64_t AudioFile::ReadInterleaved(float* to, std::int64_t frames) {
    if (!sixteenBit_) {
        return sf_readf_float(Handle(handle_), to, frames);
    }
    // 16-bit samples are read as stored and scaled here: the same values as libsndfile's own
    // conversion (the scale is a power of two), in a fraction of the time.
    shorts_.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_));
    const sf_count_t got = sf_readf_short(Handle(handle_), shorts_.data(), frames);
    const auto count = static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) *
                       static_cast<std::size_t>(channels_);
    for (std::size_t n = 0; n < count; ++n) {
        to[n] = static_cast<float>(shorts_[n]) * kShortScale;
    }
    return got;
}

// One read into `out`, mixed to mono; a sample that is not a number reads as silence.
std::int64_t AudioFile::ReadFrames(std::span<float> out) {
    const auto frames = static_cast<sf_count_t>(out.size());
    if (channels_ == 1) {
        // A mono file is read straight into place; a 16-bit sample always is a number.
        const sf_count_t got = ReadInterleaved(out.data(), frames);
        if (sixteenBit_) {
            return got;
        }
        for (sf_count_t f = 0; f < got; ++f) {
            float& sample = out[static_cast<std::size_t>(f)];
            sample = std::isfinite(sample) ? sample : 0.0F;
        }
        return got;
    }
    const auto channels = static_cast<std::size_t>(channels_);
    interleaved_.resize(out.size() * channels);
    const sf_count_t got = ReadInterleaved(interleaved_.data(), frames);
    for (sf_count_t f = 0; f < got; ++f) {
        const float* frame = interleaved_.data() + static_cast<std::size_t>(f) * channels;
        float sum = 0;
        for (std::size_t c = 0; c < channels; ++c) {
            sum += frame[c];
        }
        const float sample = sum / static_cast<float>(channels);
        out[static_cast<std::size_t>(f)] = std::isfinite(sample) ? sample : 0.0F;
    }
    return got;
}

// A read came up short: the end, or a file that ends before its header says it should.
void AudioFile::CheckEnd() {
    ended_ = true;
    if ((frames_ > 0 && framesRead_ < frames_) || LogSaysTruncated(Handle(handle_))) {
        error_ = "truncated";
    } else if (sf_error(Handle(handle_)) != SF_ERR_NO_ERROR) {
        error_ = std::string("damaged audio file: ") + sf_strerror(Handle(handle_));
    }
}

}  // namespace telvane
