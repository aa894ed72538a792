// The message list file as the user might hand it over: any bytes at all, with or without a BOM,
// in UTF-8, UTF-16 (also LE without a BOM) or an ANSI code page.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf.h"
#include "messages/message_file.h"
#include "property.h"

namespace {

using vorelo::fuzz::require;
namespace messages = vorelo::messages;

// Stands in for the system code page: every byte is the code point of the same value, as in
// Latin-1, so the result is always valid UTF-8.
std::string latin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) vorelo::utf::appendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string latin1Page(std::uint32_t, std::string_view bytes) {
  return latin1(bytes);
}

// U+FFFD in UTF-8, or as a UTF-16 code unit in either order.
bool holdsReplacement(std::string_view text) {
  return text.find("\xEF\xBF\xBD") != text.npos || text.find("\xFD\xFF") != text.npos ||
         text.find("\xFF\xFD") != text.npos;
}

void checkItems(std::string_view file, const messages::CodePages& pages) {
  const std::vector<std::string> items = messages::readMessageFile(file, pages);
  require(items.size() <= messages::kMaxItems, "at most kMaxItems items");

  // Without a quotation mark every field is unquoted, and an unquoted field ends at a comma or
  // a line end and loses the blanks around it.
  const bool quoted = messages::decodeMessageFile(file, pages).find('"') != std::string::npos;
  const bool fileHoldsReplacement = holdsReplacement(file);
  for (const std::string& item : items) {
    require(vorelo::utf::isValidUtf8(item), "every item is valid UTF-8");
    require(item.find('\0') == std::string::npos, "no item holds a NUL");
    require(fileHoldsReplacement || item.find("\xEF\xBF\xBD") == std::string::npos,
            "no item holds a U+FFFD the file does not hold");
    if (quoted) continue;
    require(item.find_first_of("\r\n") == std::string::npos, "an unquoted item holds no CR or LF");
    require(item.find(',') == std::string::npos, "an unquoted item holds no comma");
    require(item.empty() || (!isBlank(item.front()) && !isBlank(item.back())),
            "an unquoted item has no blanks around it");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  checkItems(file, {936, 936, latin1Page});
  checkItems(file, {messages::kUtf8CodePage, 0, latin1Page});
  // Without a converter the bytes go in as they are and must still come out as UTF-8.
  checkItems(file, {});
  return 0;
}
