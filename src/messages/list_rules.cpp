#include "messages/list_rules.h"

namespace vorelo::messages {

bool isBlankMessage(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace vorelo::messages
