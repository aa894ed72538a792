#include "e2e/receiver_client.h"

#include <algorithm>
#include <cstdio>

#include "base/utf.h"
#include "e2e/receiver_messages.h"
#include "e2e/rig.h"

namespace vorelo::e2e {

std::optional<KeyMessage> parseKeyMessage(const std::string& line) {
  KeyMessage m;
  char kind[12] = {};
  char mods[5] = {};
  if (std::sscanf(line.c_str(), "%lf %11s %x %4s %x", &m.ms, kind, &m.code, mods, &m.scan) != 5) {
    return std::nullopt;
  }
  m.kind = kind;
  m.ctrl = mods[0] == 'C';
  m.shift = mods[1] == 'S';
  m.alt = mods[2] == 'A';
  m.extended = mods[3] == 'E';
  return m;
}

bool isEnterDown(const KeyMessage& m) {
  return m.kind == "KD" && m.code == VK_RETURN;
}

bool isTextChar(const KeyMessage& m) {
  return m.kind == "CH" && m.code != 0x0D && m.code != 0x0A;
}

Receiver::Receiver(const std::string& exe, const std::string& windowClass,
                   const std::string& options)
    : logPath_(uniqueTempPath("vorelo-receiver-") + ".log"),
      caption_("Vorelo Receiver " + std::to_string(GetTickCount64())),
      process_(exe, "\"" + logPath_ + "\" \"" + caption_ + "\" " +
                        (windowClass.empty() ? "-" : windowClass) +
                        (options.empty() ? "" : " " + options)) {
  // The window with the caption: with an owner, the program has a second window.
  window_ = waitUntilShown(
                process_, [&](HWND w) { return windowText(w) == caption_; }, Millis{15000})
                .window;
  activate();
}

Receiver::~Receiver() {
  process_.stop();
  DeleteFileW(widen(logPath_).c_str());
}

bool Receiver::active() const {
  return GetForegroundWindow() == window_;
}

bool Receiver::activate() {
  PostMessageW(window_, WM_APP, 0, 0);
  if (waitFor([&] { return active(); }, Millis{1000})) return true;
  // Windows does not let a program in the background bring itself to the front.
  return rig().activate(window_) && active();
}

void Receiver::freeze(DWORD ms) {
  PostMessageW(window_, WM_APP + 1, ms, 0);
}

HWND Receiver::openPrompt() {
  const std::size_t before = logged("PROMPT");
  PostMessageW(window_, WM_APP + 2, 0, 0);
  HWND prompt = nullptr;
  waitFor([&] {
    if (logged("PROMPT") == before) return false;
    for (HWND w : visibleWindowsOf(process_.id())) {
      if (windowClass(w) == "#32770") prompt = w;
    }
    return prompt != nullptr && GetForegroundWindow() == prompt;
  });
  return prompt;
}

std::size_t Receiver::logged(const std::string& kind) const {
  const auto& all = messages();
  return static_cast<std::size_t>(
      std::count_if(all.begin(), all.end(), [&](const KeyMessage& m) { return m.kind == kind; }));
}

std::optional<bool> Receiver::capsLockOn() const {
  return rig().capsLockOn(window_);
}

bool Receiver::turnInputMethodOn(HKL layout) {
  DWORD_PTR open = 0;
  return SendMessageTimeoutW(window_, kReceiverInputMethodOn, reinterpret_cast<WPARAM>(layout), 0,
                             SMTO_ABORTIFHUNG, 5000, &open) &&
         open != 0;
}

const std::vector<KeyMessage>& Receiver::messages() const {
  const std::string added = readFile(logPath_, readOffset_);
  readOffset_ += static_cast<long long>(added.size());
  partialLine_ += added;
  // Whole lines only; a line still being written waits for the next call.
  std::size_t start = 0;
  for (std::size_t end; (end = partialLine_.find('\n', start)) != std::string::npos;
       start = end + 1) {
    if (auto m = parseKeyMessage(partialLine_.substr(start, end - start))) {
      messages_.push_back(std::move(*m));
    }
  }
  partialLine_.erase(0, start);
  return messages_;
}

std::string Receiver::typed() const {
  std::u16string text;
  std::string out;
  for (const KeyMessage& m : messages()) {
    if (isEnterDown(m)) {
      out += utf::utf16ToUtf8(text) + (m.ctrl ? "[^Enter]" : "[Enter]");
      text.clear();
    } else if (isTextChar(m)) {
      text.push_back(static_cast<char16_t>(m.code));
    }
  }
  return out + utf::utf16ToUtf8(text);
}

std::vector<double> Receiver::submitTimes() const {
  std::vector<double> times;
  for (const KeyMessage& m : messages()) {
    if (isEnterDown(m)) times.push_back(m.ms);
  }
  return times;
}

double beginSending(App& app, Receiver& receiver) {
  const double clicked = nowMs();
  app.clickButton(app::Control::cmdBegin);
  if (!waitFor([&] { return app.iconic(); })) throw DriverError("开始 does not minimise Vorelo");
  if (!receiver.active() && !receiver.activate()) {
    throw DriverError("the receiver does not get the focus back");
  }
  return clicked;
}

}  // namespace vorelo::e2e
