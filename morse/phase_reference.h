#pragma once

// The carrier's phase around a slot, from the key-down slots near it. The satellite's carrier is
// continuous through a transmission, so the slots keyed before and after a run tell its phase;
// knowing it, a run is told from noise by the part of the slot values along that phase alone.

#include <complex>
#include <span>
#include <vector>

namespace telvane::morse {

// `values` are the slots along the grid, scaled to unit noise, with key-down magnitude
// `amplitude`. For each slot, the phase of a key-down run starting there as a von Mises prior:
// direction and concentration in one vector, from the slots near it outside the longest run.
std::vector<std::complex<double>> PhaseReferences(std::span<const std::complex<double>> values,
                                                  double amplitude);

}  // namespace telvane::morse
