// Services of the system that are not controls: files and text conversion. The window logic
// asks for these instead of calling the operating system itself, so tests can answer them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorelo::platform {

class System {
 public:
  virtual ~System() = default;
  // The whole content of a file named relative to the current directory, or nothing when it
  // cannot be opened or read.
  virtual std::optional<std::string> readFile(std::string_view name) = 0;
  // Bytes in the system's ANSI code page, as UTF-8.
  virtual std::string ansiToUtf8(std::string_view bytes) = 0;
};

}  // namespace vorelo::platform
