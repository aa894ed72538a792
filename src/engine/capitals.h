// Letters and their capitals, for a letter typed under Shift alone.
#pragma once

#include <optional>

namespace vorelo::engine {

// The capital of a letter that has one (a for A, д for Д, é for É), the letter itself when it is
// such a capital already, and nothing for a character without one (digits, symbols, ß, 中).
std::optional<char32_t> capitalLetter(char32_t ch);

}  // namespace vorelo::engine
