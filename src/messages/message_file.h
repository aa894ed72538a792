// Reads the message file: comma and line separated text fields, a field in double quotation
// marks may hold commas and line breaks; stored as UTF-8, UTF-16 or an ANSI code page.
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

// The code pages a file without a BOM may be in, and the conversion from them; supplied by the
// platform layer (GetACP, the user locale's LOCALE_IDEFAULTANSICODEPAGE and MultiByteToWideChar
// on Windows). Tests pass stand-ins.
struct CodePages {
  // The system's ANSI code page; kUtf8CodePage where Windows is set to use UTF-8 for it.
  uint32_t system = 0;
  // The ANSI code page of the user's locale; 0 where it has none or cannot be read.
  uint32_t user = 0;
  // Bytes in a code page, as UTF-8. Without it the bytes are taken as they are.
  std::function<std::string(uint32_t codePage, std::string_view bytes)> toUtf8;
};

inline constexpr uint32_t kUtf8CodePage = 65001;
// The code page of a Chinese system, for a user locale that names none.
inline constexpr uint32_t kGbkCodePage = 936;

// The code page a file that is neither UTF-8 nor UTF-16 is read in: the system's, or, where that
// is UTF-8, the legacy one of the user's locale (GBK where it names none). Such a file was
// written before the system was switched to UTF-8, in the code page it had then.
uint32_t legacyCodePage(const CodePages& pages);

// Turns the raw file into valid UTF-8 without a BOM and without NUL characters.
// A BOM selects UTF-8, UTF-16 LE or UTF-16 BE. Without one, text that is valid UTF-8 and holds
// non-ASCII bytes is UTF-8; text with zero bytes at odd offsets across it is UTF-16 LE; anything
// else is read in legacyCodePage. Broken input (bytes that are no UTF-8, lone surrogates) is
// dropped: no U+FFFD is made up that the file did not hold.
// Bytes cut short (`cutShort`) may stop inside a character: that piece is dropped and does not
// decide the encoding.
std::string decodeMessageFile(std::string_view bytes, const CodePages& pages,
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
std::vector<std::string> readMessageFile(std::string_view bytes, const CodePages& pages,
                                         FileEnd end = FileEnd::Whole);

}  // namespace vorelo::messages
