// The keyboard layouts and input methods of the user, as the test kit's report lists them and as
// the test that types with an input method on looks for one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorelo::e2e {

struct KeyboardLayout {
  HKL handle = nullptr;
  std::string language;      // "zh-CN"
  bool inputMethod = false;  // an input method of the old kind (IMM)
  std::string description;   // the input method's name, if it is one
};
// The layouts the user can switch between (GetKeyboardLayoutList).
std::vector<KeyboardLayout> keyboardLayouts();

struct InputMethod {
  std::string name;
  std::string language;  // "zh-CN"
  // What a window is switched to for it: the layout of its language for a text service, the
  // input method's own layout for one of the old kind.
  HKL layout = nullptr;
};
// The enabled keyboard input methods: the text services (TSF) and the old kind (IMM).
std::vector<InputMethod> inputMethods();

}  // namespace vorelo::e2e
