#pragma once

// The Morse alphabet as keyed on a grid of dit-long slots: which slots of a character are key-down.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace telvane::morse {

// One key-down run of a character: its first slot (from the character's start) and its length in
// slots (1 for a dit, 3 for a dah).
struct KeyDownRun {
    std::uint8_t firstSlot = 0;
    std::uint8_t slots = 0;
};

inline constexpr int kMaxRuns = 7;

// A character's keying laid out in slots: runs separated by one key-up slot.
struct CharacterShape {
    char character = '\0';
    std::uint8_t runCount = 0;
    std::uint8_t slotCount = 0;  // from the first slot of the first run to the end of the last
    std::array<KeyDownRun, kMaxRuns> runs{};
};

// Every character the decoder can hear, the beacon's and those of other traffic.
std::span<const CharacterShape> Alphabet();

// The shape of a character, or nullptr when the alphabet has none.
const CharacterShape* ShapeOf(char character);

// Index of a character in Alphabet(), or -1.
int AlphabetIndex(char character);

}  // namespace telvane::morse
