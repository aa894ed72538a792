#include "base/utf.h"

namespace vorelo::utf {

namespace {

bool isSurrogate(char32_t cp) {
  return cp >= 0xD800 && cp <= 0xDFFF;
}

}  // namespace

CodePoint nextCodePoint(std::string_view utf8, std::size_t& pos) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  constexpr CodePoint kInvalid{kReplacementChar, false};

  const unsigned lead = byteAt(pos++);
  if (lead < 0x80) return {lead, true};

  // The allowed range of the first continuation byte excludes overlong forms, surrogates and
  // values above U+10FFFF; later continuation bytes are always 80..BF.
  std::size_t trailing = 0;
  unsigned lo = 0x80;
  unsigned hi = 0xBF;
  char32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return kInvalid;
  }

  for (; trailing > 0; --trailing) {
    if (pos >= utf8.size()) return kInvalid;
    const unsigned b = byteAt(pos);
    if (b < lo || b > hi) return kInvalid;  // the offending byte starts the next read
    cp = (cp << 6) | (b & 0x3F);
    ++pos;
    lo = 0x80;
    hi = 0xBF;
  }
  return {cp, true};
}

bool isValidUtf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (!nextCodePoint(bytes, pos).valid) return false;
  }
  return true;
}

std::string sanitizeUtf8(std::string_view bytes) {
  if (isValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    if (nextCodePoint(bytes, pos).valid) {
      out.append(bytes.substr(start, pos - start));
    } else {
      appendUtf8(out, kReplacementChar);
    }
  }
  return out;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (isSurrogate(cp) || cp > 0x10FFFF) cp = kReplacementChar;
  const auto put = [&](char32_t b) { out.push_back(static_cast<char>(b)); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

void appendUtf16(std::u16string& out, char32_t cp) {
  if (isSurrogate(cp) || cp > 0x10FFFF) cp = kReplacementChar;
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) appendUtf16(out, nextCodePoint(utf8, pos).value);
  return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() + utf16.size() / 2);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    }
    appendUtf8(out, cp);  // a lone surrogate comes out as U+FFFD
  }
  return out;
}

std::size_t prefixBytes(std::string_view utf8, std::size_t maxCodePoints) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < maxCodePoints && pos < utf8.size(); ++n) nextCodePoint(utf8, pos);
  return pos;
}

std::size_t countCodePoints(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < utf8.size(); ++count) nextCodePoint(utf8, pos);
  return count;
}

}  // namespace vorelo::utf
