#pragma once

// The grid of dit-long slots that catches the most keying energy, when its phase may change.
// Every transmission is keyed on a grid of its own: the same speed, but traffic and beacons start
// wherever the operator or the satellite's clock sent them. A path through the grid's phases, slot
// by slot, that pays a fixed cost for each change follows all of them through one window, where a
// single phase would fit one and split the slots of the others.

#include <complex>
#include <span>
#include <vector>

namespace telvane::morse {

struct GridPath {
    double capture = 0;          // energy caught beyond what noise alone gives, in noise units
    std::vector<double> points;  // the slot boundaries along the path, ascending (when asked for)
};

// `cumulative` holds the running sum of the baseband scaled to unit noise (cumulative[n] is the
// sum of samples before n); `weights` one weight per sample for the slot centred there; `phases`
// the grid phases tried within one period; `changeCost` what a change of phase costs, in the
// units of the capture.
GridPath FollowGrid(std::span<const std::complex<double>> cumulative, double period, int phases,
                    std::span<const float> weights, double changeCost, bool withPoints);

}  // namespace telvane::morse
