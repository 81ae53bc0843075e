#pragma once

// Helpers for reading decoded values back out of report sections.

#include <string>
#include <vector>

#include "conversion_state.h"

namespace telvane::testing {

using Strings = std::vector<std::string>;

// Runs one decoder over `line` (already upper-cased and stripped of its header) with the given
// shared values, returning the section it appends.
template <typename Decoder>
std::string Section(Decoder decode, std::string ConversionState::*member, const std::string& line,
                    bool trickle = false, double vref = 4.77) {
    ConversionState state;
    state.*member = line;
    state.m_bTrickle = trickle;
    state.m_dVref = vref;
    decode(state);
    return state.m_strResult;
}

// The value of every line that has one: the number after the line's last tab, without its unit.
inline std::vector<std::string> Values(const std::string& section) {
    std::vector<std::string> values;
    std::size_t start = 0;
    while (start < section.size()) {
        const std::size_t end = section.find("\r\n", start);
        const std::string line = section.substr(start, end - start);
        start = end + 2;
        const std::size_t tab = line.rfind('\t');
        if (tab == std::string::npos) {
            continue;
        }
        std::size_t stop = tab + 1;
        while (stop < line.size() &&
               std::string("-.0123456789infa").find(line[stop]) != std::string::npos) {
            ++stop;
        }
        values.push_back(line.substr(tab + 1, stop - tab - 1));
    }
    return values;
}

}  // namespace telvane::testing
