#include "flac_recorder.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace telvane {
namespace {

constexpr int kMostSuffixes = 100;

// Opens `path` only if nothing is there yet: -1 with errno EEXIST when it is taken.
int CreateNew(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

}  // namespace

std::string RecordingStem(std::chrono::system_clock::time_point start) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(start);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stem[64];
    std::strftime(stem, sizeof stem, "Telvane_%Y%m%d_%H%M%SZ", &utc);
    return stem;
}

std::unique_ptr<FlacRecorder> FlacRecorder::Create(const std::filesystem::path& folder,
                                                   int sampleRate,
                                                   std::chrono::system_clock::time_point start,
                                                   std::string& error) {
    const std::string stem = RecordingStem(start);
    std::filesystem::path path;
    int fd = -1;
    for (int n = 1; n <= kMostSuffixes && fd < 0; ++n) {
        std::string name = stem;
        if (n > 1) {
            name.append("-").append(std::to_string(n));
        }
        path = folder / name.append(".flac");
        fd = CreateNew(path);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        error = "Cannot create the recording '" + path.string() + "': " + std::strerror(errno);
        return nullptr;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file == nullptr) {
        error = "Cannot write the recording '" + path.string() + "': " + sf_strerror(nullptr);
        ::close(fd);
        std::filesystem::remove(path);  // our own empty file
        return nullptr;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);  // an overdriven input clips, not wraps
    return std::unique_ptr<FlacRecorder>(new FlacRecorder(file, path));
}

FlacRecorder::FlacRecorder(void* handle, std::filesystem::path path)
    : handle_(handle), path_(std::move(path)) {}

FlacRecorder::~FlacRecorder() {
    sf_close(static_cast<SNDFILE*>(handle_));
}

bool FlacRecorder::Write(std::span<const float> samples) {
    if (!error_.empty()) {
        return false;
    }
    auto* file = static_cast<SNDFILE*>(handle_);
    const auto count = static_cast<sf_count_t>(samples.size());
    if (sf_writef_float(file, samples.data(), count) != count) {
        error_ = "Cannot write the recording '" + path_.string() + "': " + sf_strerror(file);
    }
    return error_.empty();
}

}  // namespace telvane
