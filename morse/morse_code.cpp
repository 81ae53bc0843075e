#include "morse_code.h"

#include <algorithm>
#include <vector>

namespace telvane::morse {
namespace {

struct Keying {
    char character;
    std::string_view marks;  // '.' a dit, '-' a dah
};

// International Morse; the prosign-like punctuation appears in ordinary traffic (test letters,
// calls), never in the beacon.
constexpr std::array kKeyings = {
    Keying{'A', ".-"},     Keying{'B', "-..."},   Keying{'C', "-.-."},   Keying{'D', "-.."},
    Keying{'E', "."},      Keying{'F', "..-."},   Keying{'G', "--."},    Keying{'H', "...."},
    Keying{'I', ".."},     Keying{'J', ".---"},   Keying{'K', "-.-"},    Keying{'L', ".-.."},
    Keying{'M', "--"},     Keying{'N', "-."},     Keying{'O', "---"},    Keying{'P', ".--."},
    Keying{'Q', "--.-"},   Keying{'R', ".-."},    Keying{'S', "..."},    Keying{'T', "-"},
    Keying{'U', "..-"},    Keying{'V', "...-"},   Keying{'W', ".--"},    Keying{'X', "-..-"},
    Keying{'Y', "-.--"},   Keying{'Z', "--.."},   Keying{'0', "-----"},  Keying{'1', ".----"},
    Keying{'2', "..---"},  Keying{'3', "...--"},  Keying{'4', "....-"},  Keying{'5', "....."},
    Keying{'6', "-...."},  Keying{'7', "--..."},  Keying{'8', "---.."},  Keying{'9', "----."},
    Keying{'/', "-..-."},  Keying{'.', ".-.-.-"}, Keying{'-', "-....-"}, Keying{'?', "..--.."},
    Keying{',', "--..--"}, Keying{'=', "-...-"},  Keying{'+', ".-.-."},  Keying{'@', ".--.-."},
    Keying{':', "---..."}, Keying{'(', "-.--."},  Keying{')', "-.--.-"}, Keying{'\'', ".----."},
};

CharacterShape Lay(const Keying& keying) {
    CharacterShape shape;
    shape.character = keying.character;
    int slot = 0;
    for (const char mark : keying.marks) {
        const int length = mark == '-' ? 3 : 1;
        shape.runs[shape.runCount++] = {static_cast<std::uint8_t>(slot),
                                        static_cast<std::uint8_t>(length)};
        slot += length + 1;
    }
    shape.slotCount = static_cast<std::uint8_t>(slot - 1);
    return shape;
}

const std::vector<CharacterShape>& Shapes() {
    static const std::vector<CharacterShape> shapes = [] {
        std::vector<CharacterShape> laid;
        laid.reserve(kKeyings.size());
        for (const Keying& keying : kKeyings) {
            laid.push_back(Lay(keying));
        }
        return laid;
    }();
    return shapes;
}

}  // namespace

std::span<const CharacterShape> Alphabet() {
    return Shapes();
}

int AlphabetIndex(char character) {
    const auto& shapes = Shapes();
    const auto found = std::find_if(shapes.begin(), shapes.end(), [character](const auto& shape) {
        return shape.character == character;
    });
    return found == shapes.end() ? -1 : static_cast<int>(found - shapes.begin());
}

const CharacterShape* ShapeOf(char character) {
    const int index = AlphabetIndex(character);
    return index < 0 ? nullptr : &Shapes()[static_cast<std::size_t>(index)];
}

}  // namespace telvane::morse
