#include "messages/message_file.h"

#include <algorithm>

#include "base/utf.h"

namespace vorelo::messages {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

char16_t unitAt(std::string_view bytes, std::size_t index, bool bigEndian) {
  const auto first = static_cast<unsigned char>(bytes[2 * index]);
  const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
  return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
}

// A trailing odd byte cannot form a code unit and is dropped, and so is a lone surrogate.
std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = unitAt(bytes, i, bigEndian);
    if (isHighSurrogate(unit) && i + 1 < units && isLowSurrogate(unitAt(bytes, i + 1, bigEndian))) {
      const char16_t low = unitAt(bytes, ++i, bigEndian);
      utf::appendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{low} - 0xDC00));
    } else if (!isHighSurrogate(unit) && !isLowSurrogate(unit)) {
      utf::appendUtf8(out, unit);
    }
  }
  return out;
}

// UTF-16 LE without a BOM. Text of Chinese characters still holds ASCII ones, the commas and line
// ends between messages at least, and each of them puts a zero byte at an odd offset; text in a
// code page or in UTF-8 holds no zero byte at all. `bytes` (of even length) are taken for UTF-16
// LE when such zero bytes lie across them: in both halves, one in every kAsciiEvery code units at
// least, and more of them than zero bytes at even offsets (those of characters such as U+4E00).
// No code unit may be zero (no text holds U+0000) and no surrogate alone; bytes cut short
// (`cutShort`) may end in the first half of a pair. A stray NUL or a few in an ASCII or GBK file
// do not make it UTF-16.
constexpr std::size_t kAsciiEvery = 256;

bool looksLikeUtf16Le(std::string_view bytes, bool cutShort) {
  const std::size_t units = bytes.size() / 2;
  std::size_t oddZeros[2] = {0, 0};  // in the first half, in the second
  std::size_t evenZeros = 0;
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = unitAt(bytes, i, false);
    if (unit == 0) return false;
    if ((unit & 0xFF) == 0) {
      ++evenZeros;
    } else if ((unit >> 8) == 0) {
      ++oddZeros[i < units / 2 ? 0 : 1];
    }
    if (isLowSurrogate(unit)) return false;
    if (isHighSurrogate(unit)) {
      if (i + 1 == units) {
        if (!cutShort) return false;
      } else if (!isLowSurrogate(unitAt(bytes, ++i, false))) {
        return false;
      }
    }
  }
  const std::size_t ascii = oddZeros[0] + oddZeros[1];
  return oddZeros[0] > 0 && oddZeros[1] > 0 && evenZeros < ascii && ascii * kAsciiEvery >= units;
}

// The valid UTF-8 of `text`: ill-formed sequences are dropped, and so is U+FFFD where
// `fromCodePage` (a code page holds no such character: a converter put it in for bytes it could
// not read).
std::string validUtf8(std::string_view text, bool fromCodePage) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  if (utf::isValidUtf8(text) && (!fromCodePage || text.find(kReplacement) == text.npos)) {
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const utf::CodePoint cp = utf::nextCodePoint(text, pos);
    if (cp.valid && !(fromCodePage && cp.value == utf::kReplacementChar)) {
      out += text.substr(start, pos - start);
    }
  }
  return out;
}

bool hasNonAscii(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The bytes without a UTF-8 character that the cut left incomplete at their end.
std::string_view withoutCutCharacter(std::string_view bytes) {
  // Back over at most three continuation bytes to the byte that starts the last character.
  std::size_t start = bytes.size();
  while (start > 0 && bytes.size() - start < 3 &&
         (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80) {
    --start;
  }
  if (start == 0) return bytes;
  const auto lead = static_cast<unsigned char>(bytes[start - 1]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length > bytes.size() - start + 1 ? bytes.substr(0, start - 1) : bytes;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isSeparator(char c) {
  return c == ',' || c == '\r' || c == '\n';
}

}  // namespace

uint32_t legacyCodePage(const CodePages& pages) {
  if (pages.system != kUtf8CodePage) return pages.system;
  return pages.user != 0 && pages.user != kUtf8CodePage ? pages.user : kGbkCodePage;
}

std::string decodeMessageFile(std::string_view bytes, const CodePages& pages, bool cutShort) {
  std::string text;
  const std::string_view whole = cutShort ? withoutCutCharacter(bytes) : bytes;
  // A file of an odd length is no UTF-16, unless it was cut short.
  const std::string_view evenBytes = bytes.substr(0, bytes.size() - bytes.size() % 2);
  if (bytes.starts_with(kUtf8Bom)) {
    text = validUtf8(whole.substr(std::min(whole.size(), kUtf8Bom.size())), false);
  } else if (bytes.starts_with(kUtf16LeBom)) {
    text = decodeUtf16(bytes.substr(kUtf16LeBom.size()), false);
  } else if (bytes.starts_with(kUtf16BeBom)) {
    text = decodeUtf16(bytes.substr(kUtf16BeBom.size()), true);
  } else if (hasNonAscii(whole) && utf::isValidUtf8(whole)) {
    text = std::string(whole);
  } else if ((cutShort || evenBytes.size() == bytes.size()) &&
             looksLikeUtf16Le(evenBytes, cutShort)) {
    text = decodeUtf16(evenBytes, false);
  } else if (pages.toUtf8) {
    text = validUtf8(pages.toUtf8(legacyCodePage(pages), bytes), true);
  } else {
    // Without a converter the bytes are kept as they are, as far as they are UTF-8.
    text = validUtf8(bytes, false);
  }
  std::erase(text, '\0');
  return text;
}

std::vector<std::string> splitFields(std::string_view utf8, std::size_t maxItems,
                                     bool* lastRanToEnd) {
  std::vector<std::string> items;
  bool ranToEnd = false;
  const std::size_t end = utf8.size();
  std::size_t pos = 0;
  // An empty text has no fields; otherwise a field is read before the end is checked, so a
  // text of only a line end still gives one (empty) field.
  while (pos < end && items.size() < maxItems) {
    while (pos < end && isBlank(utf8[pos])) ++pos;

    std::string_view field;
    if (pos < end && utf8[pos] == '"') {
      // Quoted: runs to the closing mark (or the end of the text); commas and line ends inside
      // belong to the field, anything between the closing mark and the separator is dropped.
      const std::size_t start = pos + 1;
      const std::size_t close = utf8.find('"', start);
      if (close == std::string_view::npos) {
        field = utf8.substr(start);
        pos = end;
        ranToEnd = true;
      } else {
        field = utf8.substr(start, close - start);
        pos = close + 1;
        ranToEnd = false;
        while (pos < end && !isSeparator(utf8[pos])) ++pos;
      }
    } else {
      const std::size_t start = pos;
      while (pos < end && !isSeparator(utf8[pos])) ++pos;
      field = utf8.substr(start, pos - start);
      while (!field.empty() && isBlank(field.back())) field.remove_suffix(1);
      ranToEnd = pos == end;
    }

    // Consume one separator: a comma, CR LF, a lone CR or a lone LF.
    if (pos < end) {
      if (utf8[pos] == '\r' && pos + 1 < end && utf8[pos + 1] == '\n') ++pos;
      ++pos;
    }
    items.emplace_back(field);
  }
  if (lastRanToEnd != nullptr) *lastRanToEnd = ranToEnd;
  return items;
}

std::vector<std::string> readMessageFile(std::string_view bytes, const CodePages& pages,
                                         FileEnd end) {
  bool lastRanToEnd = false;
  std::vector<std::string> items =
      splitFields(decodeMessageFile(bytes, pages, end != FileEnd::Whole), kMaxItems, &lastRanToEnd);
  if (end == FileEnd::ReadError && lastRanToEnd && !items.empty()) items.pop_back();
  return items;
}

}  // namespace vorelo::messages
