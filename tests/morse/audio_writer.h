#pragma once

// Writes test recordings as real audio files through libsndfile, for the audio reader's tests,
// the fuzz corpus and the speed measurement of reader and decoder together.

#include <filesystem>
#include <span>
#include <string>

namespace telvane::morse::testing {

// `format` is a libsndfile major format and encoding, e.g. SF_FORMAT_WAV | SF_FORMAT_PCM_16.
// Several channels get the same samples. Returns an empty string, or what went wrong.
std::string WriteAudioFile(const std::filesystem::path& path, std::span<const float> samples,
                           int sampleRate, int format, int channels = 1);

}  // namespace telvane::morse::testing
