#include "e2e/input_methods.h"

#include <imm.h>
#include <msctf.h>

#include <memory>

#include "win32/text.h"

namespace vorelo::e2e {
namespace {

using win32::narrow;

// Spelled out here: not every toolchain's import libraries define them.
constexpr CLSID kProfilesClass = {
    0x33C53A50, 0xF456, 0x4884, {0xB0, 0x49, 0x85, 0xFD, 0x64, 0x3E, 0xCF, 0xED}};
constexpr IID kProfileManager = {
    0x71C6E74C, 0x0F28, 0x11D8, {0xA8, 0x2A, 0x00, 0x06, 0x5B, 0x84, 0x43, 0x5C}};
constexpr IID kProfiles = {
    0x1F02B6C5, 0x7842, 0x4EE6, {0x8A, 0x0B, 0x9A, 0x24, 0x18, 0x3A, 0x95, 0xCA}};
constexpr GUID kKeyboardCategory = {
    0x34745C63, 0xB2F0, 0x4784, {0x8B, 0x67, 0x5E, 0x12, 0xC8, 0x70, 0x1A, 0x31}};
constexpr DWORD kProfileEnabled = 0x2;  // TF_IPP_FLAG_ENABLED

struct Release {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using Com = std::unique_ptr<T, Release>;

std::string languageName(LANGID language) {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) > 0) {
    return narrow(name);
  }
  return std::to_string(language);
}

HKL layoutOf(LANGID language) {
  return reinterpret_cast<HKL>(static_cast<ULONG_PTR>(MAKELONG(language, language)));
}

// COM for the calling thread while this lives, if the thread did not have it yet.
class ComUse {
 public:
  ComUse() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComUse() {
    if (initialised_) CoUninitialize();
  }
  ComUse(const ComUse&) = delete;
  ComUse& operator=(const ComUse&) = delete;

 private:
  bool initialised_;
};

void addTextServices(std::vector<InputMethod>& found) {
  const ComUse com;
  void* made = nullptr;
  if (FAILED(CoCreateInstance(kProfilesClass, nullptr, CLSCTX_INPROC_SERVER, kProfileManager,
                              &made))) {
    return;
  }
  const Com<ITfInputProcessorProfileMgr> manager(static_cast<ITfInputProcessorProfileMgr*>(made));
  made = nullptr;
  if (FAILED(manager->QueryInterface(kProfiles, &made))) return;
  const Com<ITfInputProcessorProfiles> profiles(static_cast<ITfInputProcessorProfiles*>(made));
  IEnumTfInputProcessorProfiles* listed = nullptr;
  if (FAILED(manager->EnumProfiles(0, &listed)) || listed == nullptr) return;
  const Com<IEnumTfInputProcessorProfiles> list(listed);
  TF_INPUTPROCESSORPROFILE profile{};
  ULONG fetched = 0;
  while (list->Next(1, &profile, &fetched) == S_OK && fetched == 1) {
    if (profile.dwProfileType != TF_PROFILETYPE_INPUTPROCESSOR ||
        (profile.dwFlags & kProfileEnabled) == 0 ||
        !IsEqualGUID(profile.catid, kKeyboardCategory)) {
      continue;
    }
    InputMethod method;
    BSTR description = nullptr;
    if (SUCCEEDED(profiles->GetLanguageProfileDescription(profile.clsid, profile.langid,
                                                          profile.guidProfile, &description)) &&
        description != nullptr) {
      method.name = narrow(description);
      SysFreeString(description);
    }
    method.language = languageName(profile.langid);
    method.layout = layoutOf(profile.langid);
    found.push_back(std::move(method));
  }
}

}  // namespace

std::vector<KeyboardLayout> keyboardLayouts() {
  std::vector<KeyboardLayout> layouts;
  const int count = GetKeyboardLayoutList(0, nullptr);
  std::vector<HKL> handles(static_cast<std::size_t>(count > 0 ? count : 0));
  const int got = GetKeyboardLayoutList(count, handles.data());
  handles.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  for (HKL handle : handles) {
    KeyboardLayout layout;
    layout.handle = handle;
    layout.language =
        languageName(static_cast<LANGID>(reinterpret_cast<ULONG_PTR>(handle) & 0xFFFF));
    layout.inputMethod = ImmIsIME(handle) != FALSE;
    if (layout.inputMethod) {
      wchar_t description[256] = {};
      const UINT n = ImmGetDescriptionW(handle, description, 256);
      layout.description = narrow(std::wstring_view(description, n));
    }
    layouts.push_back(std::move(layout));
  }
  return layouts;
}

std::vector<InputMethod> inputMethods() {
  std::vector<InputMethod> found;
  addTextServices(found);
  for (const KeyboardLayout& layout : keyboardLayouts()) {
    if (layout.inputMethod) found.push_back({layout.description, layout.language, layout.handle});
  }
  return found;
}

}  // namespace vorelo::e2e
