#pragma once

// Reading numbers typed into the interval and duration fields, without looking
// at the user's locale: '.' is always the decimal point and no thousands
// separators are recognised. The full-width digits and point a Chinese input
// method types (０ to ９, ．) read as the ASCII ones, wherever they stand.
// Besides decimals, &H (hexadecimal) and &O (octal) numbers and D exponents
// are read: every notation of a number a user may type into such a field reads
// as that number, where a notation left out would turn the text into 1 without
// a word.

#include <cstdint>
#include <string_view>

namespace vorelo::settings {

// True when the whole text is one number: optional spaces/tabs around it, one
// optional sign, then either decimal digits with at most one '.', at least one
// digit and an optional exponent (E or e, optional sign, digits), or a &H / &O /
// & (octal) literal that fits in 32 bits. Blanks inside the number, a 'D'
// exponent and values too large for a double are rejected.
bool readsAsNumber(std::string_view text);

// The number at the start of the text: spaces, tabs, CR and LF
// are ignored anywhere, reading stops at the first character that cannot
// continue the number, and no number at all gives 0. Exponents may use E or D.
// &H and &O literals of up to 16 bits are signed 16-bit values (&HFFFF is -1),
// up to 32 bits signed 32-bit values (&HFFFFFFFF is -1); a digit that would
// take the literal past 32 bits ends it. The decimal result is the correctly
// rounded double; values too large saturate to +/-infinity, and a zero result
// is always +0.0. Never throws.
double numberAtStart(std::string_view text);

// Rounds to the nearest integer, ties to even (2000.5f -> 2000, 2001.5f -> 2002),
// saturating at the int32 range. NaN gives 0.
std::int32_t roundHalfEven(float value);

}  // namespace vorelo::settings
