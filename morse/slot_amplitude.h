#pragma once

// The key-down amplitude around each slot. A fading channel lets the tone's strength swing by
// many decibels within one keying-grid window, and a slot judged against the window's loudest
// stretch reads as key-up wherever the signal has faded. A window whose key-down strength swings
// slowly is followed slot by slot, the window's amplitude all but set aside.

#include <complex>
#include <span>
#include <vector>

namespace telvane::morse {

// `values` are the slots along the grid, scaled to unit noise; `amplitude` the key-down
// magnitude over the whole window; `fading` what Fades tells of them. For each slot, the key-down
// magnitude of the slots near it, drawn towards `amplitude` where they tell little (all but set
// aside in a fading window).
std::vector<double> LocalAmplitudes(std::span<const std::complex<double>> values, double amplitude,
                                    bool fading);

// Whether the key-down strength of the slots swings slowly over the window, as a fading channel
// swings it, rather than from slot to slot as noise does.
bool Fades(std::span<const std::complex<double>> values, double amplitude);

}  // namespace telvane::morse
