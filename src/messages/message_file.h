// Reads the message file: comma and line separated text fields, a field in double quotation
// marks may hold commas and line breaks; stored as UTF-8, UTF-16 or the system ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "messages/list_rules.h"

namespace vorelo::messages {

// Where the bytes read of a file end: at the file's own end, at a read error part way, or at the
// size limit (the file goes on beyond it).
enum class FileEnd : uint8_t { Whole, ReadError, Limit };

// Converts bytes in the system's ANSI code page to UTF-8; supplied by the platform layer
// (MultiByteToWideChar(CP_ACP) on Windows). Tests pass a stand-in.
using AnsiDecoder = std::function<std::string(std::string_view)>;

// Turns the raw file into valid UTF-8 without a BOM and without NUL characters.
// A BOM selects UTF-8, UTF-16 LE or UTF-16 BE. Without one, text that is valid UTF-8 and holds
// non-ASCII bytes is UTF-8; anything else goes through `ansi`. Broken input becomes U+FFFD.
// Bytes cut short (`cutShort`) may stop inside a character: that piece is dropped and does not
// decide the encoding.
std::string decodeMessageFile(std::string_view bytes, const AnsiDecoder& ansi,
                              bool cutShort = false);

// Splits decoded text into fields, at most maxItems of them. `utf8` should be valid UTF-8; fields
// are cut only at ASCII characters, so every field is then valid UTF-8 as well.
// With `lastRanToEnd`, tells whether the last field was ended by the end of the text rather
// than by a separator or its closing quotation mark.
std::vector<std::string> splitFields(std::string_view utf8, std::size_t maxItems = kMaxItems,
                                     bool* lastRanToEnd = nullptr);

// decodeMessageFile followed by splitFields. Bytes that stop at a read error keep every field
// read whole; the field the error cut short is dropped. At the size limit the last field is kept
// as far as it goes.
std::vector<std::string> readMessageFile(std::string_view bytes, const AnsiDecoder& ansi,
                                         FileEnd end = FileEnd::Whole);

}  // namespace vorelo::messages
