#pragma once

// Two doubles handled as one, in the vector registers every x86-64 processor has: the decoder's
// inner loops take two phases, bins or parts of a complex number at a time. Each lane computes
// exactly what the scalar code would.

#include <complex>
#include <cstring>

namespace telvane::morse {

using Lanes = double __attribute__((vector_size(16)));
// Two whole numbers, one for each lane.
using Index = int __attribute__((vector_size(8)));

// Two neighbouring doubles from anywhere in memory.
inline Lanes LoadLanes(const double* from) {
    Lanes lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

inline void StoreLanes(double* to, Lanes lanes) {
    std::memcpy(to, &lanes, sizeof lanes);
}

// The two lanes the other way round.
inline Lanes Swapped(Lanes lanes) {
    return Lanes{lanes[1], lanes[0]};
}

// A complex number's real and imaginary parts.
inline Lanes LoadLanes(const std::complex<double>& z) {
    Lanes lanes;
    std::memcpy(&lanes, &z, sizeof lanes);
    return lanes;
}

}  // namespace telvane::morse
