// Rules of the message list that do not depend on the window.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorelo::messages {

// The list counts its items in a 16-bit signed number.
inline constexpr std::size_t kMaxItems = 32767;

// Text that 添加 does not add: empty, or nothing but spaces. A text of tabs is still a message,
// and spaces around words are kept.
bool isBlankMessage(std::string_view text);

}  // namespace vorelo::messages
