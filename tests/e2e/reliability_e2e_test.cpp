// Reliability end to end: many runs started and stopped, one long run typing into the receiver,
// a very long message, and a whole working session that must leave no file behind and start no
// program other than the two power-off commands.
//
// What the program holds is read from outside. Under Wine 8 GetGuiResources is not
// implemented (it returns 0, error 120) and GetProcessHandleCount reports 0, so the figures
// also come from where Wine does keep them: the GDI handle table in the program's own memory,
// the windows it owns, the system's handle list, and its memory counters.
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/rig.h"

namespace vorelo::e2e {
namespace {

using app::Control;

// --- what the program holds ---------------------------------------------------------------

// One entry of the GDI handle table as Wine lays it out (24 bytes on 64-bit).
struct GdiHandleEntry {
  uint64_t object;
  uint32_t owner;
  uint16_t unique;
  uint8_t type;  // 0 for a free entry
  uint8_t flags;
  uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t kGdiHandleCount = 0x10000;
// Where the 64-bit PEB keeps the address of the process's GDI handle table.
constexpr std::size_t kPebGdiSharedHandleTable = 0xF8;

// SystemExtendedHandleInformation: every open kernel handle of every process.
constexpr auto kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
struct HandleEntry {
  void* object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ULONG access;
  USHORT creatorBackTrace;
  USHORT typeIndex;
  ULONG attributes;
  ULONG reserved;
};
struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

struct Figures {
  DWORD guiGdi = 0;   // GetGuiResources(GR_GDIOBJECTS)
  DWORD guiUser = 0;  // GetGuiResources(GR_USEROBJECTS)
  DWORD guiError = 0;
  int gdiObjects = -1;  // entries in use in the GDI handle table, -1 when it cannot be read
  int windows = 0;      // top-level, child and message-only windows of the process
  int handles = -1;     // kernel handles, -1 when the system does not list them
  SIZE_T privateBytes = 0;
  SIZE_T workingSet = 0;
};

int gdiObjectsOf(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic{};
  ULONG length = 0;
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length) !=
      0) {
    return -1;
  }
  uint64_t table = 0;
  SIZE_T read = 0;
  if (!ReadProcessMemory(
          process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiSharedHandleTable,
          &table, sizeof table, &read) ||
      table == 0) {
    return -1;
  }
  std::vector<GdiHandleEntry> entries(kGdiHandleCount);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                         entries.size() * sizeof(GdiHandleEntry), &read)) {
    return -1;
  }
  return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                        [](const GdiHandleEntry& e) { return e.type != 0; }));
}

int kernelHandlesOf(DWORD processId) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ULONG needed = 0;
    const NTSTATUS status =
        NtQuerySystemInformation(kSystemExtendedHandleInformation, buffer.data(),
                                 static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch && buffer.size() < (64u << 20)) {
      buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
      continue;
    }
    if (status != 0) return -1;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    return static_cast<int>(
        std::count_if(list->entries, list->entries + list->count,
                      [&](const HandleEntry& e) { return e.processId == processId; }));
  }
}

BOOL CALLBACK countWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

struct OwnedCount {
  DWORD processId;
  int count = 0;
};

void countOwned(HWND hwnd, OwnedCount& owned) {
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != owned.processId) return;
  ++owned.count;
  EnumChildWindows(hwnd, countWindow, reinterpret_cast<LPARAM>(&owned.count));
}

BOOL CALLBACK countTopLevel(HWND hwnd, LPARAM param) {
  countOwned(hwnd, *reinterpret_cast<OwnedCount*>(param));
  return TRUE;
}

int windowsOf(DWORD processId) {
  OwnedCount owned{processId};
  EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&owned));
  for (HWND hwnd = nullptr; (hwnd = FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr));) {
    countOwned(hwnd, owned);
  }
  return owned.count;
}

Figures figuresOf(const App& app) {
  Figures f;
  SetLastError(0);
  f.guiGdi = GetGuiResources(app.process(), GR_GDIOBJECTS);
  f.guiUser = GetGuiResources(app.process(), GR_USEROBJECTS);
  f.guiError = GetLastError();
  // The table's layout is Wine's; Windows answers GetGuiResources instead.
  f.gdiObjects = runningUnderWine() ? gdiObjectsOf(app.process()) : 0;
  f.windows = windowsOf(app.processId());
  f.handles = kernelHandlesOf(app.processId());
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(app.process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    // Wine leaves PrivateUsage at 0 for another process; its page file usage is the
    // process's anonymous memory, which is what PrivateUsage counts on Windows.
    f.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    f.workingSet = memory.WorkingSetSize;
  }
  return f;
}

std::string describe(const Figures& f) {
  std::ostringstream out;
  out << "GetGuiResources gdi " << f.guiGdi << " user " << f.guiUser << " (error " << f.guiError
      << "); GDI table " << f.gdiObjects << "; windows " << f.windows << "; handles " << f.handles
      << "; private " << f.privateBytes / 1024 << " KB; working set " << f.workingSet / 1024
      << " KB";
  return out.str();
}

void report(const char* what, const Figures& f) {
  std::printf("[ figures  ] %s: %s\n", what, describe(f).c_str());
  ::testing::Test::RecordProperty(std::string(what) + "_gdi", f.gdiObjects);
  ::testing::Test::RecordProperty(std::string(what) + "_windows", f.windows);
  ::testing::Test::RecordProperty(std::string(what) + "_handles", f.handles);
  ::testing::Test::RecordProperty(std::string(what) + "_private_kb",
                                  static_cast<int>(f.privateBytes / 1024));
  ::testing::Test::RecordProperty(std::string(what) + "_working_set_kb",
                                  static_cast<int>(f.workingSet / 1024));
}

// Memory may move a little (+10 % or 256 KB, whichever is more); object counts by 2 at most.
constexpr int kObjectNoise = 2;
SIZE_T memoryNoise(SIZE_T base) {
  return std::max<SIZE_T>(base / 10, 256 * 1024);
}

void expectFlat(const Figures& before, const Figures& after) {
  if (before.guiGdi != 0 || before.guiUser != 0) {
    EXPECT_LE(after.guiGdi, before.guiGdi + kObjectNoise) << "GDI objects (GetGuiResources)";
    EXPECT_LE(after.guiUser, before.guiUser + kObjectNoise) << "USER objects (GetGuiResources)";
  } else {
    // Without GetGuiResources (Wine) the handle table is the only count of GDI objects.
    EXPECT_GT(before.gdiObjects, 0) << "the GDI handle table cannot be read";
  }
  if (before.gdiObjects > 0) {
    EXPECT_LE(after.gdiObjects, before.gdiObjects + kObjectNoise) << "GDI objects (table)";
  }
  EXPECT_GT(before.windows, 0);
  EXPECT_LE(after.windows, before.windows + kObjectNoise) << "windows";
  EXPECT_GT(before.handles, 0) << "the system lists no handles of the program";
  EXPECT_LE(after.handles, before.handles + kObjectNoise) << "kernel handles";
  EXPECT_GT(before.privateBytes, 0u);
  EXPECT_LE(after.privateBytes, before.privateBytes + memoryNoise(before.privateBytes))
      << "private memory";
  EXPECT_LE(after.workingSet, before.workingSet + memoryNoise(before.workingSet)) << "working set";
}

// --- acting ---------------------------------------------------------------------------------

bool idle(const App& app) {
  return !app.iconic() && app.enabled(Control::cmdBegin);
}

constexpr Control kLockedWhileSending[] = {
    Control::comContent, Control::comInterval, Control::comTotalTime,
    Control::chkCycle,   Control::cmdAdd,      Control::cmdDel,
    Control::optSend0,   Control::optSend1,    Control::cmdBegin};

// The numbered messages of the long run: each one tells where it belongs in the sequence.
std::vector<std::string> numberedMessages() {
  std::vector<std::string> messages;
  for (int i = 1; i <= 12; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "msg-%03d", i);
    messages.emplace_back(name);
  }
  return messages;
}

std::string lowerCase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string join(const std::vector<std::string>& items, const std::string& separator) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) out += (i == 0 ? "" : separator) + items[i];
  return out;
}

// --- start / stop cycles ----------------------------------------------------------------------

TEST(ReliabilityE2E, TwoHundredStartStopCyclesLeaveTheWindowIdleUsableAndNoBigger) {
  Receiver receiver(siblingProgram("receiver.exe"));
  App app(programUnderTest(), std::string("x"));
  app.retypeCombo(Control::comInterval, "30");
  const Icon idleIcon = rig().icon(app.window());
  ASSERT_GT(idleIcon.width, 0) << "the window manager shows no icon";

  Figures at20;
  const double began = nowMs();
  for (int cycle = 1; cycle <= 200; ++cycle) {
    app.clickButton(Control::cmdBegin);
    ASSERT_TRUE(waitFor([&] { return app.iconic(); })) << "cycle " << cycle << ": 开始";
    app.clickButton(Control::cmdStop);
    ASSERT_TRUE(waitFor([&] { return idle(app); }))
        << "cycle " << cycle << ": 停止, " << (app.iconic() ? "still minimised" : "开始 disabled");
    if (cycle == 20) {
      app.sync();
      at20 = figuresOf(app);
    }
  }
  app.sync();
  const Figures at200 = figuresOf(app);
  std::printf("[ figures  ] 200 cycles in %.1f s\n", (nowMs() - began) / 1000.0);
  report("after_cycle_20", at20);
  report("after_cycle_200", at200);
  expectFlat(at20, at200);

  // Every run was far shorter than the interval, so none of them typed anything.
  EXPECT_EQ(receiver.typed(), "");

  // Idle: the window as it was before the first run, every control unlocked.
  EXPECT_EQ(app.caption(), "Vorelo");
  for (HWND box : app.otherWindows()) {
    ADD_FAILURE() << "a box is open: " << messageBoxText(box).value_or(windowText(box));
  }
  for (Control c : kLockedWhileSending) EXPECT_TRUE(app.enabled(c)) << app::entry(c).name;
  EXPECT_EQ(rig().icon(app.window()).argb, idleIcon.argb) << "the idle icon is back";

  // Usable: a field takes typing, and a run still sends.
  app.retypeCombo(Control::comInterval, "1");
  EXPECT_EQ(app.comboEditText(Control::comInterval), "1");
  beginSending(app, receiver);
  ASSERT_TRUE(waitFor([&] { return !receiver.submitTimes().empty(); })) << "nothing was sent";
  app.clickButton(Control::cmdStop);
  ASSERT_TRUE(waitFor([&] { return idle(app); }));
  EXPECT_EQ(receiver.typed().substr(0, 8), "x[Enter]");
}

// --- a very long message ------------------------------------------------------------------

// 5,000 characters of ASCII, Chinese and emoji, with none of + ^ % ~ ( ) { } (keys in a key
// string), no comma or quotation mark (field syntax of the message file) and no tab or line
// break (keys too).
std::string longMixedMessage() {
  const std::vector<std::string> ascii = [] {
    std::vector<std::string> chars;
    for (char c : std::string_view("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                   "0123456789 .!?-_=:;/<>@#$&*'|")) {
      chars.emplace_back(1, c);
    }
    return chars;
  }();
  const std::vector<std::string> chinese = {"你", "好", "世", "界", "消", "息", "发", "送",
                                            "测", "试", "中", "文", "，", "。", "！", "？"};
  const std::vector<std::string> emoji = {"😀", "🎉", "🚀", "👍", "🌟", "🍀"};
  std::mt19937 random(7);
  std::string message = "A";
  for (int n = 1; n < 4999; ++n) {
    const uint32_t pick = random() % 10;
    const auto& pool = pick < 5 ? ascii : pick < 9 ? chinese : emoji;
    message += pool[random() % pool.size()];
  }
  return message + "Z";
}

TEST(ReliabilityE2E, AFiveThousandCharacterMessageArrivesCompleteAndInOrderWithItsEnter) {
  const std::string message = longMixedMessage();
  Receiver receiver(siblingProgram("receiver.exe"));
  App app(programUnderTest(), message);
  ASSERT_EQ(app.comboEditText(Control::comContent), message) << "the list holds it whole";
  app.retypeCombo(Control::comInterval, "1");
  beginSending(app, receiver);
  ASSERT_TRUE(waitFor([&] { return !receiver.submitTimes().empty(); }, Millis{60000}))
      << "no Enter arrived";
  app.clickButton(Control::cmdStop);
  ASSERT_TRUE(waitFor([&] { return idle(app); }));

  const std::string expected = message + "[Enter]";
  const std::string typed = receiver.typed();
  ASSERT_GE(typed.size(), expected.size()) << typed;
  EXPECT_TRUE(typed.compare(0, expected.size(), expected) == 0)
      << "first difference at byte "
      << std::mismatch(expected.begin(), expected.end(), typed.begin()).first - expected.begin();
}

// --- the long run, as one whole session -----------------------------------------------------

// What a folder tree holds: every file and folder with its size and last write time (folders
// by presence only: their time changes whenever anything inside them does).
struct FileState {
  uint64_t size = 0;
  uint64_t written = 0;
  bool operator==(const FileState&) const = default;
};
using Snapshot = std::map<std::wstring, FileState>;

void addTree(const std::wstring& folder, Snapshot& into, int depth = 0) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    FileState state;
    if (!isFolder) {
      state.size = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
      state.written = (uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) |
                      found.ftLastWriteTime.dwLowDateTime;
    }
    into[path] = state;
    // Links may lead out of the tree, or round in circles.
    if (isFolder && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && depth < 32) {
      addTree(path, into, depth + 1);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

Snapshot snapshot(const std::vector<std::string>& folders) {
  Snapshot all;
  for (const std::string& folder : folders) addTree(widen(folder), all);
  return all;
}

// Paths that appeared, went or changed, in lower case.
std::set<std::string> changes(const Snapshot& before, const Snapshot& after) {
  std::set<std::string> changed;
  for (const auto& [path, state] : before) {
    const auto now = after.find(path);
    if (now == after.end() || !(now->second == state)) changed.insert(lowerCase(narrow(path)));
  }
  for (const auto& [path, state] : after) {
    if (!before.contains(path)) changed.insert(lowerCase(narrow(path)));
  }
  return changed;
}

// Every process seen while it watches, polled every 50 ms.
class ProcessWatch {
 public:
  ~ProcessWatch() { stop(); }

  void start() {
    running_ = true;
    thread_ = std::thread([this] {
      while (running_) {
        poll();
        std::this_thread::sleep_for(Millis{50});
      }
    });
  }
  void stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }

  // The file names of the programs `parent` started, empty for one whose name is unknown.
  std::set<std::string> childrenOf(DWORD parent) const {
    std::lock_guard lock(mutex_);
    std::set<std::string> names;
    for (const auto& [id, process] : seen_) {
      if (process.parent != parent) continue;
      std::string name = process.name;
      const auto held = unnamed_.find(id);
      if (name.empty() && held != unnamed_.end()) name = imageName(held->second.get());
      names.insert(lowerCase(name));
    }
    return names;
  }

 private:
  struct Process {
    DWORD parent;
    std::string name;
  };

  static std::string imageName(HANDLE process) {
    wchar_t path[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process, 0, path, &length)) return "";
    const std::wstring full(path, length);
    return narrow(full.substr(full.find_last_of(L"\\/") + 1));
  }

  void poll() {
    // A snapshot fails with INVALID_HANDLE_VALUE, as CreateFile does.
    UniqueFile list(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!list) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::lock_guard lock(mutex_);
    for (BOOL more = Process32FirstW(list.get(), &entry); more;
         more = Process32NextW(list.get(), &entry)) {
      Process& process = seen_[entry.th32ProcessID];
      process.parent = entry.th32ParentProcessID;
      if (entry.szExeFile[0] != L'\0') {
        process.name = narrow(entry.szExeFile);
      } else if (process.name.empty() && !unnamed_.contains(entry.th32ProcessID)) {
        // Caught while it was still starting, before Wine knew its name: a handle keeps the
        // process to ask for its image later, even once it has ended.
        unnamed_.emplace(entry.th32ProcessID,
                         UniqueHandle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                                  entry.th32ProcessID)));
      }
    }
  }

  std::atomic<bool> running_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<DWORD, Process> seen_;
  std::map<DWORD, UniqueHandle> unnamed_;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

int longRunMinutes() {
  int seconds = 60;
  if (auto text = environment("VORELO_LONG_RUN_SECONDS")) seconds = std::atoi(text->c_str());
  return std::clamp((seconds + 59) / 60, 1, 60);
}

// One session as a user has it: the list is edited, the times typed, the power-off box
// ticked, and a long run at one message a second ends by its budget. Everything typed arrives
// once, in order, with its Enter; the program neither grows nor writes a file nor starts any
// program other than the two power-off commands.
TEST(ReliabilityE2E, ALongSessionLosesNothingGrowsNotWritesNothingAndStartsOnlyThePowerOff) {
  if (const auto why = powerOffCannotBeFaked()) GTEST_SKIP() << *why;
  const int minutes = longRunMinutes();
  // The budget is spent once it drops below zero: one message more than whole seconds.
  const std::size_t expectedMessages = static_cast<std::size_t>(minutes) * 60 + 1;

  const std::string fake = siblingProgram("fake_poweroff.exe");
  const std::string rundll = systemFolder(true) + "\\rundll.exe";
  const std::string shutdown = systemFolder(false) + "\\shutdown.exe";
  ASSERT_TRUE(CopyFileW(widen(fake).c_str(), widen(rundll).c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(widen(fake).c_str(), widen(shutdown).c_str(), FALSE));

  // The program runs from a folder of its own, so anything it wrote beside itself shows.
  const TempFolder base;
  const std::string exe = base.path() + "\\vorelo.exe";
  ASSERT_TRUE(
      CopyFileW(widen(toWindowsPath(programUnderTest())).c_str(), widen(exe).c_str(), FALSE));
  const std::string log = base.path() + "\\poweroff.log";
  SetEnvironmentVariableW(L"VORELO_POWEROFF_LOG", widen(log).c_str());

  Receiver receiver(siblingProgram("receiver.exe"));
  // The receiver's own log is the test's instrument, not the program's doing.
  const std::string receiverLog = lowerCase(receiver.logPath());

  const std::vector<std::string> messages = numberedMessages();
  const std::vector<std::string> fromFile(messages.begin(), messages.end() - 1);
  const std::string drive = systemFolder(true).substr(0, 2);
  std::vector<std::string> watched;
  Snapshot before;
  ProcessWatch processes;
  const auto beforeStart = [&](const std::string& workingFolder) {
    watched = {workingFolder, base.path(), drive + "\\users", systemFolder(true) + "\\temp"};
    before = snapshot(watched);
    processes.start();
  };
  App app(exe, join(fromFile, ",") + ",spare\r\n", Millis{15000}, beforeStart);

  // The list: the last item loaded is selected, 删除 takes it out, 添加 appends one.
  ASSERT_EQ(app.comboEditText(Control::comContent), "spare");
  app.clickButton(Control::cmdDel);
  app.sync();
  ASSERT_EQ(app.comboItems(Control::comContent), fromFile);
  app.clickButton(Control::cmdAdd);
  HWND box = nullptr;
  ASSERT_TRUE(waitFor([&] {
    for (HWND window : app.otherWindows()) {
      if (FindWindowExW(window, nullptr, L"Edit", nullptr)) box = window;
    }
    return box != nullptr;
  })) << "添加 opens no input box";
  HWND boxEdit = FindWindowExW(box, nullptr, L"Edit", nullptr);
  const std::wstring added = widen(messages.back());
  SendMessageW(boxEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(added.c_str()));
  clickDialogButton(box, IDOK);
  ASSERT_TRUE(waitFor([&] { return !IsWindow(box); })) << "the input box stays open";
  app.sync();
  ASSERT_EQ(app.comboItems(Control::comContent), messages);

  // The times, typed; the power-off box, ticked.
  app.retypeCombo(Control::comInterval, "1");
  app.retypeCombo(Control::comTotalTime, std::to_string(minutes));
  ASSERT_EQ(app.comboEditText(Control::comInterval), "1");
  ASSERT_EQ(app.comboEditText(Control::comTotalTime), std::to_string(minutes));
  app.clickButton(Control::chkCut);
  app.sync();
  ASSERT_TRUE(app.checked(Control::chkCut));

  beginSending(app, receiver);
  const double began = nowMs();
  ASSERT_TRUE(waitFor([&] { return !receiver.submitTimes().empty(); })) << "nothing was sent";
  const Figures atStart = figuresOf(app);
  // The end is measured while the run still goes, so both figures are of a sending program.
  const auto submits = [&] { return receiver.submitTimes().size(); };
  ASSERT_TRUE(
      waitFor([&] { return submits() + 1 >= expectedMessages; }, Millis{minutes * 60000 + 30000}))
      << receiver.submitTimes().size() << " of " << expectedMessages << " messages arrived";
  const Figures atEnd = figuresOf(app);

  // The budget ends the run: the window comes back idle and the power-off commands run.
  ASSERT_TRUE(waitFor([&] { return idle(app); }, Millis{15000})) << "the run does not end";
  ASSERT_TRUE(waitFor([&] { return submits() >= expectedMessages; }));
  ASSERT_TRUE(waitFor([&] { return lines(readFile(log)).size() >= 2; })) << "no power-off ran";
  const double ended = nowMs();

  std::string expected;
  for (std::size_t i = 0; i < expectedMessages; ++i) expected += messages[i % 12] + "[Enter]";
  EXPECT_EQ(receiver.typed(), expected);

  std::printf("[ figures  ] long run: %zu messages in %.1f s\n", receiver.submitTimes().size(),
              (ended - began) / 1000.0);
  RecordProperty("messages_sent", static_cast<int>(receiver.submitTimes().size()));
  report("long_run_start", atStart);
  report("long_run_end", atEnd);
  expectFlat(atStart, atEnd);

  // The session ends with 退出.
  app.clickButton(Control::cmdExit);
  ASSERT_TRUE(app.waitForExit()) << "退出 does not end the program";
  processes.stop();

  // Only the two power-off commands were started, from the system's folders.
  const std::set<std::string> started = processes.childrenOf(app.processId());
  for (const std::string& name : started) {
    EXPECT_TRUE(name == "rundll.exe" || name == "shutdown.exe")
        << "the program started " << (name.empty() ? "a program of unknown name" : name);
  }
  std::printf("[ figures  ] programs started: %s\n",
              join(std::vector<std::string>(started.begin(), started.end()), ", ").c_str());
  const std::vector<std::string> ran = lines(readFile(log));
  ASSERT_EQ(ran.size(), 2u) << readFile(log);
  // Both run side by side, so their lines come in the scheduler's order.
  std::set<std::string> paths;
  for (const std::string& line : ran) paths.insert(lowerCase(line.substr(0, line.find('|'))));
  EXPECT_EQ(paths, (std::set<std::string>{lowerCase(rundll), lowerCase(shutdown)}));

  // No file was written, changed or removed except the power-off log.
  std::set<std::string> changed = changes(before, snapshot(watched));
  std::erase_if(changed, [&](const std::string& path) {
    return path == lowerCase(log) || path == receiverLog;
  });
  EXPECT_TRUE(changed.empty()) << "changed: "
                               << join(std::vector<std::string>(changed.begin(), changed.end()),
                                       ", ");
  std::printf("[ figures  ] files watched: %zu\n", before.size());

  // Nothing arrived after the end.
  EXPECT_EQ(receiver.submitTimes().size(), expectedMessages);
}

}  // namespace
}  // namespace vorelo::e2e
