// Keystrokes into the focused window, and programs started from the system's own folders.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>

#include "engine/key_string.h"
#include "platform/system.h"

namespace vorelo::win32 {

// SendInput, in one batch per call. False when the system took none or only part of it; the
// keys the delivered part pressed are then released.
bool injectKeys(std::span<const engine::KeyAction> actions);

bool launchProgram(platform::Folder folder, std::string_view program, std::string_view commandLine,
                   int windowStyle);

}  // namespace vorelo::win32
