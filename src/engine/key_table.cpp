#include "engine/key_table.h"

namespace vorelo::engine {

namespace {

using K = Key;
// clang-format off
constexpr KeyRow kKeys[] = {
    {K::Shift,       vk::Shift,    false, {}},
    {K::Control,     vk::Control,  false, {}},
    {K::Alt,         vk::Menu,     false, {}},
    {std::nullopt,   vk::LShift,   false, {}},
    {std::nullopt,   vk::RShift,   false, {}},
    {std::nullopt,   vk::LControl, false, {}},
    {std::nullopt,   vk::RControl, true,  {}},
    {std::nullopt,   vk::LMenu,    false, {}},
    {std::nullopt,   vk::RMenu,    true,  {}},
    {std::nullopt,   vk::LWin,     true,  {}},
    {std::nullopt,   vk::RWin,     true,  {}},
    {K::Enter,       vk::Return,   false, {"ENTER"}},
    {K::Tab,         0x09,         false, {"TAB"}},
    {K::Escape,      0x1B,         false, {"ESC", "ESCAPE"}},
    {K::Home,        0x24,         true,  {"HOME"}},
    {K::End,         0x23,         true,  {"END"}},
    {K::Left,        0x25,         true,  {"LEFT"}},
    {K::Right,       0x27,         true,  {"RIGHT"}},
    {K::Up,          0x26,         true,  {"UP"}},
    {K::Down,        0x28,         true,  {"DOWN"}},
    {K::PageUp,      0x21,         true,  {"PGUP"}},
    {K::PageDown,    0x22,         true,  {"PGDN"}},
    {K::NumLock,     0x90,         true,  {"NUMLOCK"}},
    {K::ScrollLock,  0x91,         false, {"SCROLLLOCK"}},
    {K::PrintScreen, 0x2C,         true,  {"PRTSC"}},
    {K::Break,       0x03,         true,  {"BREAK"}},
    {K::Backspace,   0x08,         false, {"BACKSPACE", "BKSP", "BS"}},
    {K::Clear,       0x0C,         false, {"CLEAR"}},
    {K::CapsLock,    vk::CapsLock, false, {"CAPSLOCK"}},
    {K::Insert,      0x2D,         true,  {"INS", "INSERT"}},
    {K::Delete,      0x2E,         true,  {"DEL", "DELETE"}},
    {K::Help,        0x2F,         false, {"HELP"}},
    {K::F1,          0x70,         false, {"F1"}},
    {K::F2,          0x71,         false, {"F2"}},
    {K::F3,          0x72,         false, {"F3"}},
    {K::F4,          0x73,         false, {"F4"}},
    {K::F5,          0x74,         false, {"F5"}},
    {K::F6,          0x75,         false, {"F6"}},
    {K::F7,          0x76,         false, {"F7"}},
    {K::F8,          0x77,         false, {"F8"}},
    {K::F9,          0x78,         false, {"F9"}},
    {K::F10,         0x79,         false, {"F10"}},
    {K::F11,         0x7A,         false, {"F11"}},
    {K::F12,         vk::F12,      false, {"F12"}},
    {K::F13,         0x7C,         false, {"F13"}},
    {K::F14,         0x7D,         false, {"F14"}},
    {K::F15,         0x7E,         false, {"F15"}},
    {K::F16,         0x7F,         false, {"F16"}},
    {K::Multiply,    0x6A,         false, {"MULTIPLY"}},
    {K::Add,         0x6B,         false, {"ADD"}},
    {K::Subtract,    0x6D,         false, {"SUBTRACT"}},
    {K::Divide,      0x6F,         true,  {"DIVIDE"}},
};
// clang-format on

bool sameName(std::string_view name, std::string_view upper) {
  if (name.size() != upper.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != upper[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<Key> keyNamed(std::string_view name) {
  for (const KeyRow& row : kKeys) {
    for (const std::string_view known : row.names) {
      if (!known.empty() && sameName(name, known)) return row.key;
    }
  }
  return std::nullopt;
}

uint16_t virtualKey(Key key) {
  for (const KeyRow& row : kKeys) {
    if (row.key == key) return row.vk;
  }
  return 0;
}

bool isExtendedKey(uint16_t virtualKey) {
  for (const KeyRow& row : kKeys) {
    if (row.vk == virtualKey) return row.extended;
  }
  return false;
}

}  // namespace vorelo::engine
