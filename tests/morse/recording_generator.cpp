#include "recording_generator.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>

#include "morse_code.h"

namespace telvane::morse::testing {
namespace {

constexpr double kEdgeSeconds = 0.005;  // raised-cosine rise and fall
constexpr double kAmplitude = 0.1;
constexpr int kCharacterGap = 3;
constexpr int kWordGap = 7;

const std::array<std::string, 6> kTraffic = {
    "VVV", "TEST", "DE JA1ABC", "CQ CQ DE JA1ABC", "VVV VVV DE JA1ABC K", "TEST TEST"};

std::string RandomCharacters(std::mt19937& random, std::string_view from, std::size_t count) {
    std::uniform_int_distribution<std::size_t> pick(0, from.size() - 1);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(from[pick(random)]);
    }
    return text;
}

// Splits `text` into groups of random length with single spaces.
std::string Grouped(std::mt19937& random, const std::string& text) {
    std::uniform_int_distribution<int> group(1, 4);
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto take =
            std::min<std::size_t>(static_cast<std::size_t>(group(random)), text.size() - at);
        if (!out.empty()) {
            out.push_back(' ');
        }
        out.append(text, at, take);
        at += take;
    }
    return out;
}

// Envelope of the key-down intervals with raised-cosine edges, at sample `n`.
class Envelope {
public:
    explicit Envelope(std::vector<std::pair<double, double>> on) : on_(std::move(on)) {}
    double At(double t) {
        while (next_ < on_.size() && on_[next_].second + kEdgeSeconds < t) {
            ++next_;
        }
        if (next_ >= on_.size()) {
            return 0;
        }
        const auto [start, end] = on_[next_];
        return Ramp(t - start) * Ramp(end - t + kEdgeSeconds);
    }

private:
    static double Ramp(double x) {
        if (x <= 0) {
            return 0;
        }
        if (x >= kEdgeSeconds) {
            return 1;
        }
        return 0.5 - 0.5 * std::cos(std::numbers::pi * x / kEdgeSeconds);
    }
    std::vector<std::pair<double, double>> on_;
    std::size_t next_ = 0;
};

// Slow Rayleigh fading: a sum of sinusoids of random direction (Jakes), unit mean power.
class Fading {
public:
    Fading(std::mt19937& random, double dopplerHz) {
        std::uniform_real_distribution<double> angle(0, 2 * std::numbers::pi);
        for (auto& path : paths_) {
            path = {dopplerHz * std::cos(angle(random)), angle(random)};
        }
    }
    std::complex<double> At(double t) const {
        std::complex<double> sum;
        for (const auto& [frequency, phase] : paths_) {
            sum += std::polar(1.0, 2 * std::numbers::pi * frequency * t + phase);
        }
        return sum / std::sqrt(static_cast<double>(paths_.size()));
    }

private:
    std::array<std::pair<double, double>, 12> paths_{};
};

void Key(std::vector<float>& samples, double rate, const std::vector<std::pair<double, double>>& on,
         double amplitude, const std::function<double(double)>& frequency, const Fading* fading,
         double phase) {
    Envelope envelope(on);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        phase += 2 * std::numbers::pi * frequency(t) / rate;
        const double e = envelope.At(t);
        if (e == 0) {
            continue;
        }
        std::complex<double> tone = std::polar(amplitude * e, phase);
        if (fading != nullptr) {
            tone *= fading->At(t);
        }
        samples[n] += static_cast<float>(tone.real());
    }
}

}  // namespace

BeaconLines RandomBeacon(std::mt19937& random) {
    BeaconLines lines;
    std::uniform_int_distribution<std::size_t> urlLength(6, 14);
    std::string url = RandomCharacters(random, kUrlCharacters, urlLength(random));
    lines[0] = std::string(kLineHeaders[0]) + " " + Grouped(random, url);
    for (int k = 1; k < kLineCount; ++k) {
        const std::string digits =
            RandomCharacters(random, kHexDigits, kLineWidths[static_cast<std::size_t>(k)]);
        lines[static_cast<std::size_t>(k)] =
            std::string(kLineHeaders[static_cast<std::size_t>(k)]) + " " + Grouped(random, digits);
    }
    return lines;
}

std::vector<std::pair<double, double>> KeyText(const std::string& text, double ditSeconds,
                                               double start, double& end) {
    std::vector<std::pair<double, double>> on;
    double t = start;
    double lastEnd = start;
    bool afterCharacter = false;
    for (const char c : text) {
        if (c == ' ' || c == '\n') {
            t += (kWordGap - kCharacterGap) * ditSeconds * (afterCharacter ? 1 : 0);
            afterCharacter = false;
            continue;
        }
        const CharacterShape* shape = ShapeOf(c);
        if (shape == nullptr) {
            continue;
        }
        for (int r = 0; r < shape->runCount; ++r) {
            const auto& run = shape->runs[static_cast<std::size_t>(r)];
            on.emplace_back(t + run.firstSlot * ditSeconds,
                            t + (run.firstSlot + run.slots) * ditSeconds);
        }
        lastEnd = t + shape->slotCount * ditSeconds;
        t = lastEnd + kCharacterGap * ditSeconds;
        afterCharacter = true;
    }
    end = lastEnd;
    return on;
}

RecordingOptions PlayedBeaconOptions() {
    RecordingOptions options;
    options.sampleRate = 48000;
    options.wpm = 35;
    options.snrDb = 15;
    options.otherText = false;
    options.leadSeconds = 2;
    options.seed = 23;
    return options;
}

void AddKeying(std::vector<float>& samples, double sampleRate, const std::string& text, double wpm,
               double toneHz, double startSeconds) {
    double end = 0;
    const auto on = KeyText(text, 1.2 / wpm, startSeconds, end);
    Key(
        samples, sampleRate, on, 1.0, [toneHz](double) { return toneHz; }, nullptr, 0.0);
}

Recording Generate(const RecordingOptions& options) {
    std::mt19937 random(options.seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    const double dit = 1.2 / options.wpm;
    Recording recording;
    recording.sampleRate = options.sampleRate;

    // The keyed text, one transmission of exact timing, with silences of any length between
    // traffic and beacons.
    std::vector<std::pair<double, double>> on;
    double t = options.leadSeconds;
    const auto send = [&](const std::string& text) {
        double end = 0;
        const auto keyed = KeyText(text, dit, t, end);
        on.insert(on.end(), keyed.begin(), keyed.end());
        recording.keyedText += text + "\n";
        const double startedAt = t;
        t = end + (0.5 + 2.0 * uniform(random));
        return std::make_pair(startedAt, end);
    };
    const auto traffic = [&] {
        if (options.otherText) {
            send(kTraffic[random() % kTraffic.size()]);
        }
    };
    traffic();
    for (int b = 0; b < options.beacons; ++b) {
        KeyedBeacon beacon{RandomBeacon(random), 0, 0, {}};
        std::string text;
        for (const std::string& line : beacon.lines) {
            text += line + "\n";
        }
        std::tie(beacon.startSeconds, beacon.endSeconds) = send(text);
        std::string keyed;
        for (std::size_t k = 0; k < beacon.lines.size(); ++k) {
            keyed += beacon.lines[k] + "\n";
            KeyText(keyed, dit, beacon.startSeconds, beacon.lineEndSeconds[k]);
        }
        recording.beacons.push_back(beacon);
        traffic();
    }
    const double length = t + options.tailSeconds;
    recording.samples.assign(static_cast<std::size_t>(length * options.sampleRate), 0.0F);

    const ChannelOptions& channel = options.channel;
    const double centre = length * (0.3 + 0.4 * uniform(random));
    recording.driftCentreSeconds = centre;
    const double excursion = 250.0;
    const auto frequency = [&](double time) {
        if (channel.driftHzPerSecond <= 0) {
            return options.toneHz;
        }
        const double tau = excursion / channel.driftHzPerSecond;
        return options.toneHz + excursion * std::tanh((time - centre) / tau);
    };
    Fading fading(random, 0.15);
    Key(recording.samples, options.sampleRate, on, kAmplitude, frequency,
        channel.fading ? &fading : nullptr, 2 * std::numbers::pi * uniform(random));

    if (channel.interfererDb > -60) {
        const double interfererWpm = 14 + 14 * uniform(random);
        double at = std::max(0.3, channel.interfererFromSeconds);
        std::vector<std::pair<double, double>> other;
        while (at < length) {
            double end = 0;
            const std::string text =
                "CQ CQ DE " + RandomCharacters(random, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 2) + "1" +
                RandomCharacters(random, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 3) + " K";
            const auto keyed = KeyText(text, 1.2 / interfererWpm, at, end);
            other.insert(other.end(), keyed.begin(), keyed.end());
            at = end + 1.0;
        }
        const double amplitude = kAmplitude * std::pow(10.0, channel.interfererDb / 20);
        Key(
            recording.samples, options.sampleRate, other, amplitude,
            [&](double time) { return frequency(time) + channel.interfererOffsetHz; }, nullptr,
            0.0);
    }

    // White noise: tone power / (sigma^2 * 2500 / (fs / 2)) = SNR.
    const double tonePower = kAmplitude * kAmplitude / 2;
    const double sigma = std::sqrt(tonePower / std::pow(10.0, options.snrDb / 10) *
                                   (options.sampleRate / 2) / 2500.0);
    std::normal_distribution<double> noise(0.0, sigma);
    for (float& sample : recording.samples) {
        sample += static_cast<float>(noise(random));
    }
    if (channel.clicksPerSecond > 0) {
        std::exponential_distribution<double> gap(channel.clicksPerSecond);
        for (double at = gap(random); at < length; at += gap(random)) {
            const auto n = static_cast<std::size_t>(at * options.sampleRate);
            for (std::size_t i = 0; i < 8 && n + i < recording.samples.size(); ++i) {
                recording.samples[n + i] += static_cast<float>(
                    10 * kAmplitude * (i % 2 == 0 ? 1 : -1) / (1.0 + static_cast<double>(i)));
            }
        }
    }
    return recording;
}

}  // namespace telvane::morse::testing
