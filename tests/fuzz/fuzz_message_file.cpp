// The message list file as the user might hand it over: any bytes at all, with or without a BOM,
// in UTF-8, UTF-16 or an ANSI code page.

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

void checkItems(std::string_view file, const messages::AnsiDecoder& ansi) {
  const std::vector<std::string> items = messages::readMessageFile(file, ansi);
  require(items.size() <= messages::kMaxItems, "at most kMaxItems items");

  // Without a quotation mark every field is unquoted, and an unquoted field ends at a comma or
  // a line end and loses the blanks around it.
  const bool quoted = messages::decodeMessageFile(file, ansi).find('"') != std::string::npos;
  for (const std::string& item : items) {
    require(vorelo::utf::isValidUtf8(item), "every item is valid UTF-8");
    require(item.find('\0') == std::string::npos, "no item holds a NUL");
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
  checkItems(file, latin1);
  // Without a decoder the bytes go in as they are and must still come out as UTF-8.
  checkItems(file, nullptr);
  return 0;
}
