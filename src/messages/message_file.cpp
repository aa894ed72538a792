#include "messages/message_file.h"

#include <algorithm>

#include "base/utf.h"

namespace vorelo::messages {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// A trailing odd byte cannot form a code unit and is dropped.
std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return utf::utf16ToUtf8(units);
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

std::string decodeMessageFile(std::string_view bytes, const AnsiDecoder& ansi, bool cutShort) {
  std::string text;
  const std::string_view whole = cutShort ? withoutCutCharacter(bytes) : bytes;
  if (bytes.starts_with(kUtf8Bom)) {
    text = utf::sanitizeUtf8(whole.substr(std::min(whole.size(), kUtf8Bom.size())));
  } else if (bytes.starts_with(kUtf16LeBom)) {
    text = decodeUtf16(bytes.substr(kUtf16LeBom.size()), false);
  } else if (bytes.starts_with(kUtf16BeBom)) {
    text = decodeUtf16(bytes.substr(kUtf16BeBom.size()), true);
  } else if (hasNonAscii(whole) && utf::isValidUtf8(whole)) {
    text = std::string(whole);
  } else {
    // Without a decoder the bytes are kept as they are; the check below still makes them UTF-8.
    text = utf::sanitizeUtf8(ansi ? ansi(bytes) : std::string(bytes));
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

std::vector<std::string> readMessageFile(std::string_view bytes, const AnsiDecoder& ansi,
                                         FileEnd end) {
  bool lastRanToEnd = false;
  std::vector<std::string> items =
      splitFields(decodeMessageFile(bytes, ansi, end != FileEnd::Whole), kMaxItems, &lastRanToEnd);
  if (end == FileEnd::ReadError && lastRanToEnd && !items.empty()) items.pop_back();
  return items;
}

}  // namespace vorelo::messages
