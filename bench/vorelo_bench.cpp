// Performance of vorelo.exe under Wine. Every figure is measured in this one run beside a
// reference measured the same way on the same machine, and written as a row of a Markdown
// table:
//
//   vorelo_bench.exe <vorelo.exe> <receiver.exe> <bare_window.exe> <rows file> <samples file>
//                    [name=value...]
//
// receiver.exe is the end-to-end tests' window that logs every key message with its time;
// bare_window.exe the smallest window program, built like Vorelo. Paths are Unix paths. The
// rows file receives the table rows, the samples file every single measurement. The
// name=value pairs set the procedure's constants (see Procedure); bench/run passes them and
// documents them.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/layout.h"
#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/unix_tools.h"
#include "probes.h"

namespace vorelo::bench {
namespace {

using app::Control;
using e2e::App;
using e2e::DriverError;
using e2e::isEnterDown;
using e2e::isTextChar;
using e2e::KeyMessage;
using e2e::Millis;
using e2e::narrow;
using e2e::nowMs;
using e2e::Process;
using e2e::Receiver;
using e2e::Shown;
using e2e::TempFolder;
using e2e::toWindowsPath;
using e2e::waitUntilShown;
using e2e::widen;

// The constants of the procedure. The defaults are bench/run's.
struct Procedure {
  int startRuns = 7;           // figure 2: starts of each program, alternating
  int listRuns = 5;            // figure 3: starts with each message file, alternating
  int listItems = 32767;       // figure 3: items in the long message file
  int messageChars = 2000;     // figure 4: characters of the long message
  int typingRuns = 7;          // figure 4: messages typed by Vorelo, and SendInput calls
  int typingInterval = 1;      // figure 4: Vorelo's interval in seconds
  int xdotoolFastRuns = 1;     // figure 4: `xdotool type --delay 0` runs
  int xdotoolDefaultRuns = 1;  // figure 4: `xdotool type` runs (12 ms between keys)
  int settleSeconds = 6;       // figure 6: after Vorelo's start, before the idle stretch
  int idleSeconds = 20;        // figure 6: the idle stretch
  int ticks = 60;              // figure 5: ticks of the 1 s run
  int referenceTicks = 20;     // figure 5: ticks of the bare window doing the same
  int sendCpuSeconds = 20;     // figure 6: CPU measured over the start of the run
  int pollMs = 40;             // figure 6: the bare window's F12 poll, as Vorelo's
  int only = 0;                // measure only this figure (2, 3, 4 or 5 for 5-7); 0: all
};

Procedure parseProcedure(int argc, wchar_t** argv, int first) {
  Procedure p;
  const std::map<std::string, int*> fields = {
      {"start_runs", &p.startRuns},
      {"list_runs", &p.listRuns},
      {"list_items", &p.listItems},
      {"message_chars", &p.messageChars},
      {"typing_runs", &p.typingRuns},
      {"typing_interval", &p.typingInterval},
      {"xdotool_fast_runs", &p.xdotoolFastRuns},
      {"xdotool_default_runs", &p.xdotoolDefaultRuns},
      {"settle_seconds", &p.settleSeconds},
      {"idle_seconds", &p.idleSeconds},
      {"ticks", &p.ticks},
      {"reference_ticks", &p.referenceTicks},
      {"send_cpu_seconds", &p.sendCpuSeconds},
      {"poll_ms", &p.pollMs},
      {"only", &p.only},
  };
  for (int i = first; i < argc; ++i) {
    const std::string arg = narrow(argv[i]);
    const auto eq = arg.find('=');
    const auto field = eq == std::string::npos ? fields.end() : fields.find(arg.substr(0, eq));
    if (field == fields.end()) throw std::invalid_argument("unknown setting: " + arg);
    *field->second = std::stoi(arg.substr(eq + 1));
  }
  return p;
}

// --- Output ----------------------------------------------------------------------------

struct Row {
  std::string figure;
  std::string vorelo;
  std::string reference;
  std::string target;
  std::optional<bool> met;  // nothing: no target
};

std::string format(const char* pattern, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

std::string ms(double value) {
  return format("%.0f ms", value);
}
std::string ms(const Spread& s) {
  return ms(s.median) + " (" + format("%.0f", s.low) + "–" + format("%.0f", s.high) + ")";
}
std::string seconds(const Spread& s) {
  return format("%.2f s", s.median / 1000) + " (" + format("%.2f", s.low / 1000) + "–" +
         format("%.2f", s.high / 1000) + ")";
}
std::string percent(double value) {
  return format("%.3f %%", value);
}
std::string megabytes(double bytes) {
  return format("%.1f MB", bytes / (1024.0 * 1024.0));
}

class Report {
 public:
  Report(std::wstring rowsPath, std::wstring samplesPath)
      : rowsPath_(std::move(rowsPath)), samplesPath_(std::move(samplesPath)) {}

  void add(Row row) {
    std::printf("  %s: %s | %s\n", row.figure.c_str(), row.vorelo.c_str(), row.reference.c_str());
    std::fflush(stdout);
    rows_.push_back(std::move(row));
    write();
  }

  void samples(const std::string& name, const std::vector<double>& values) {
    std::ostringstream line;
    line << name << ":";
    for (double v : values) line << " " << format("%.3f", v);
    samples_.push_back(line.str());
    write();
  }

 private:
  // Rewritten after every addition, so a run that breaks off still leaves what it measured.
  void write() const {
    std::ofstream rows(rowsPath_.c_str(), std::ios::binary | std::ios::trunc);
    for (const Row& r : rows_) {
      const char* verdict = !r.met ? "—" : *r.met ? "met" : "**missed**";
      rows << "| " << r.figure << " | " << r.vorelo << " | " << r.reference << " | " << r.target
           << " | " << verdict << " |\n";
    }
    std::ofstream samples(samplesPath_.c_str(), std::ios::binary | std::ios::trunc);
    for (const std::string& line : samples_) samples << line << "\n";
  }

  std::wstring rowsPath_;
  std::wstring samplesPath_;
  std::vector<Row> rows_;
  std::vector<std::string> samples_;
};

void progress(const char* what) {
  std::printf("%s\n", what);
  std::fflush(stdout);
}

// --- Test data -------------------------------------------------------------------------

// Common characters, none of them a key-string sign, a separator of the message file or a
// character outside the Basic Multilingual Plane: one UTF-16 unit and one key packet each.
constexpr std::string_view kHanzi =
    "春眠不觉晓处处闻啼鸟夜来风雨声花落知多少床前明月光疑是地上霜举头望山低思故乡"
    "白日依尽黄河入海流欲穷千里目更上一层楼";

std::wstring chineseText(int characters) {
  const std::wstring pool = widen(kHanzi);
  std::wstring text;
  for (int i = 0; i < characters; ++i) text += pool[static_cast<std::size_t>(i) % pool.size()];
  return text;
}

// A message file of `items` lines, each a different short Chinese message.
std::string messageFile(int items) {
  std::string file;
  char number[16];
  for (int i = 1; i <= items; ++i) {
    std::snprintf(number, sizeof number, "%05d", i);
    file += "第";
    file += number;
    file += "条消息：今天天气不错，出去走走吧\r\n";
  }
  return file;
}

// --- Reading the receiver's log --------------------------------------------------------

// One typed message as the receiver saw it.
struct Arrival {
  double firstKey = 0;  // first WM_KEYDOWN or WM_CHAR of the message
  double lastChar = 0;  // its last WM_CHAR
  std::wstring text;
  double duration() const { return lastChar - firstKey; }
};

// The messages in log[from, to): split at each Enter key (when `splitAtEnter`), the Enter's
// own character and key-up left out.
std::vector<Arrival> arrivals(const std::vector<KeyMessage>& log, std::size_t from, std::size_t to,
                              bool splitAtEnter) {
  std::vector<Arrival> out;
  std::optional<Arrival> current;
  for (std::size_t i = from; i < to; ++i) {
    const KeyMessage& m = log[i];
    if (splitAtEnter && isEnterDown(m)) {
      if (current) out.push_back(*current);
      current.reset();
      continue;
    }
    const bool starts = (m.kind == "KD" && m.code != VK_RETURN) || isTextChar(m);
    if (!current && starts) current = Arrival{m.ms, m.ms, {}};
    if (current && isTextChar(m)) {
      current->lastChar = m.ms;
      current->text += static_cast<wchar_t>(m.code);
    }
  }
  if (current && !splitAtEnter) out.push_back(*current);
  return out;
}

std::size_t textChars(const std::vector<KeyMessage>& log, std::size_t from) {
  return static_cast<std::size_t>(
      std::count_if(log.begin() + static_cast<std::ptrdiff_t>(from), log.end(), isTextChar));
}

// Enter keys that went down since log[from].
std::ptrdiff_t entersSince(const Receiver& receiver, std::size_t from) {
  const auto& log = receiver.messages();
  return std::count_if(log.begin() + static_cast<std::ptrdiff_t>(from), log.end(), isEnterDown);
}

// Waits (polling every 100 ms, cheap: only new log lines are read) until `done` holds or
// the log has not grown for `quietMs`. Returns whether `done` held.
bool waitForLog(Receiver& receiver, const std::function<bool()>& done, double quietMs,
                double timeoutMs) {
  const double start = nowMs();
  std::size_t seen = receiver.messages().size();
  double lastGrowth = start;
  for (;;) {
    if (done()) return true;
    const double now = nowMs();
    const std::size_t size = receiver.messages().size();
    if (size != seen) {
      seen = size;
      lastGrowth = now;
    }
    if (now - lastGrowth > quietMs || now - start > timeoutMs) return false;
    Sleep(100);
  }
}

// How many characters of `wanted` arrived in order: the longest common subsequence.
std::size_t charactersInOrder(const std::wstring& got, const std::wstring& wanted) {
  std::vector<std::size_t> row(wanted.size() + 1, 0);
  for (wchar_t g : got) {
    std::size_t diagonal = 0;
    for (std::size_t j = 1; j <= wanted.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = g == wanted[j - 1] ? diagonal + 1 : std::max(row[j], row[j - 1]);
      diagonal = above;
    }
  }
  return row.back();
}

// The messages of one way of typing, as the receiver saw them.
struct Typed {
  std::vector<double> ms;         // first key → last character, per message
  std::vector<double> firstKeys;  // when each message's first key arrived
  std::vector<double> commandMs;  // how long the typing command ran (xdotool)
  std::size_t intact = 0;         // messages that arrived exactly as sent
  std::size_t bestRight = 0;      // most characters arrived in order in one message
  std::size_t bestArrived = 0;    // most characters arrived in one message

  void add(const Arrival& a, const std::wstring& wanted) {
    firstKeys.push_back(a.firstKey);
    bestArrived = std::max(bestArrived, a.text.size());
    if (a.text.empty()) return;
    ms.push_back(a.duration());
    if (a.text == wanted) ++intact;
    bestRight = std::max(bestRight, charactersInOrder(a.text, wanted));
  }
};

std::vector<INPUT> unicodeInputs(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t unit : text) {
    for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wScan = static_cast<WORD>(unit);
      in.ki.dwFlags = KEYEVENTF_UNICODE | up;
      inputs.push_back(in);
    }
  }
  return inputs;
}

std::vector<INPUT> enterInputs() {
  std::vector<INPUT> inputs(2);
  for (std::size_t i = 0; i < 2; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = VK_RETURN;
    inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
    inputs[i].ki.dwFlags = i == 0 ? 0 : KEYEVENTF_KEYUP;
  }
  return inputs;
}

void sendInput(const std::vector<INPUT>& inputs) {
  std::vector<INPUT> copy = inputs;
  SendInput(static_cast<UINT>(copy.size()), copy.data(), sizeof(INPUT));
}

void sleepUntil(double when) {
  const double now = nowMs();
  if (when > now) Sleep(static_cast<DWORD>(when - now));
}

// A run of ticks: when each message's Enter arrived, against k x 1000 ms after the start.
struct Ticks {
  std::vector<double> arrivals;  // ms after the start
  Spread offsets;                // arrival k - k x 1000 ms
  double worst = 0;              // the offset farthest from 0
  std::size_t worstTick = 0;     // 1-based
  double drift = 0;              // last - first arrival - (n - 1) x 1000 ms
};

Ticks ticksSince(Receiver& receiver, std::size_t from, double start, int count) {
  Ticks t;
  const auto& log = receiver.messages();
  for (std::size_t i = from; i < log.size() && t.arrivals.size() < std::size_t(count); ++i) {
    if (isEnterDown(log[i])) t.arrivals.push_back(log[i].ms - start);
  }
  if (t.arrivals.size() < 2) throw DriverError("fewer than two ticks arrived");
  std::vector<double> offsets;
  for (std::size_t k = 0; k < t.arrivals.size(); ++k) {
    offsets.push_back(t.arrivals[k] - 1000.0 * static_cast<double>(k + 1));
    if (std::abs(offsets.back()) > std::abs(t.worst)) {
      t.worst = offsets.back();
      t.worstTick = k + 1;
    }
  }
  t.offsets = spread(offsets);
  t.drift =
      t.arrivals.back() - t.arrivals.front() - 1000.0 * static_cast<double>(t.arrivals.size() - 1);
  return t;
}

// Waits until `count` Enter keys have arrived since log[from], a tick a second.
void waitForEnters(Receiver& receiver, std::size_t from, int count) {
  const auto enough = [&] { return entersSince(receiver, from) >= count; };
  if (!waitForLog(receiver, enough, 10000, 1000.0 * count + 15000)) {
    throw DriverError("the run of ticks did not complete");
  }
}

// --- The figures -----------------------------------------------------------------------

class Bench {
 public:
  Bench(const std::string& vorelo, const std::string& receiver, const std::string& bare,
        const std::string& idleCost, Report& report, const Procedure& procedure)
      : vorelo_(vorelo),
        receiverExe_(receiver),
        bareExe_(bare),
        idleCost_(idleCost),
        notepad_(e2e::systemFolder(false) + "\\notepad.exe"),
        report_(report),
        p_(procedure) {}

  const std::string& receiverExe() const { return receiverExe_; }

  // Figure 2: CreateProcess to a visible top-level window; Vorelo, notepad and the bare window
  // in turn.
  void startTime() {
    progress("Figure 2: start to window shown");
    TempFolder folder;
    // One start of each first, not counted: the first start in a new prefix reads cold files.
    for (const std::string* exe : {&vorelo_, &notepad_, &bareExe_}) timeToWindow(*exe, folder);
    std::vector<double> vorelo;
    std::vector<double> notepad;
    std::vector<double> bare;
    std::vector<double> pairs;
    for (int i = 0; i < p_.startRuns; ++i) {
      vorelo.push_back(timeToWindow(vorelo_, folder));
      notepad.push_back(timeToWindow(notepad_, folder));
      bare.push_back(timeToWindow(bareExe_, folder));
      pairs.push_back(vorelo.back() - notepad.back());
    }
    report_.samples("start_ms vorelo", vorelo);
    report_.samples("start_ms notepad", notepad);
    report_.samples("start_ms bare_window", bare);
    const Spread v = spread(vorelo);
    const Spread n = spread(notepad);
    const Spread d = spread(pairs);
    report_.add({"2. Start → window shown (median of " + std::to_string(v.count) + ")", ms(v),
                 "notepad.exe: " + ms(n) + "; Vorelo − notepad, start by start: " +
                     format("%+.0f", d.median) + " (" + format("%+.0f", d.low) + "…" +
                     format("%+.0f", d.high) + "); bare window: " + ms(spread(bare)),
                 "≤ notepad", v.median <= n.median});
  }

  // Figure 3: the same with a full message list, until the list holds every item.
  void listLoad() {
    progress("Figure 3: start with a full message list");
    const std::string full = messageFile(p_.listItems);
    const std::string small = messageFile(3);
    TempFolder fullFolder(full);
    TempFolder smallFolder(small);
    timeToWindow(vorelo_, smallFolder, 3);
    std::vector<double> fullTimes;
    std::vector<double> smallTimes;
    for (int i = 0; i < p_.listRuns; ++i) {
      smallTimes.push_back(timeToWindow(vorelo_, smallFolder, 3));
      fullTimes.push_back(timeToWindow(vorelo_, fullFolder, p_.listItems));
    }
    report_.samples("list_start_ms full", fullTimes);
    report_.samples("list_start_ms three", smallTimes);
    const Spread f = spread(fullTimes);
    const Spread s = spread(smallTimes);
    const double extra = f.median - s.median;
    report_.add({"3. Start → window shown and list filled, " + std::to_string(p_.listItems) +
                     "-item Msg.txt (" + format("%.1f", static_cast<double>(full.size()) / 1e6) +
                     " MB; median of " + std::to_string(f.count) + ")",
                 ms(f) + ", " + format("%+.0f ms", extra), "3-item Msg.txt: " + ms(s), "< +1000 ms",
                 extra < 1000});
  }

  // Figure 4: a long Chinese message, first key to last character in the receiver.
  void typing(Receiver& receiver) {
    progress("Figure 4: typing a long Chinese message");
    const std::wstring text = chineseText(p_.messageChars);
    const int runs = p_.typingRuns;
    const double period = 1000.0 * p_.typingInterval;

    // Vorelo: a list of that one message, one tick per interval. It is ended half an interval
    // after the last wanted tick, so exactly that many ticks type.
    Typed vorelo;
    {
      App app(vorelo_, narrow(text));
      app.retypeCombo(Control::comInterval, std::to_string(p_.typingInterval));
      receiver.activate();
      const std::size_t from = receiver.messages().size();
      const double clicked = e2e::beginSending(app, receiver);
      sleepUntil(clicked + period * runs + period / 2);
      // Ended rather than stopped with 停止: under Wine and openbox the restored window takes
      // the focus, and keys still queued for the receiver would go into Vorelo instead.
      TerminateProcess(app.process(), 0);
      app.waitForExit();
      vorelo = collectMessages(receiver, from, text, runs);
      for (double& t : vorelo.firstKeys) t -= clicked;
    }

    // The floor: the same key events handed to SendInput in one call, the receiver idle.
    const std::vector<INPUT> message = unicodeInputs(text);
    const std::vector<INPUT> enter = enterInputs();
    Typed single;
    for (int i = 0; i < runs; ++i) {
      single.add(typeOnce(receiver, text, [&] { sendInput(message); }), text);
    }

    // The floor ticking like Vorelo: each interval the message in one call, then Enter.
    Typed cadence;
    {
      if (!receiver.activate()) throw DriverError("the receiver has no focus");
      const std::size_t from = receiver.messages().size();
      const double start = nowMs();
      for (int i = 1; i <= runs; ++i) {
        sleepUntil(start + period * i);
        sendInput(message);
        sendInput(enter);
      }
      cadence = collectMessages(receiver, from, text, runs);
    }

    // xdotool typing the same text on the X server.
    const std::string textFile = "/tmp/vorelo-bench-text-" + std::to_string(GetCurrentProcessId());
    e2e::writeFile(textFile, narrow(text));
    auto xdotool = [&](int delayMs, int count) {
      Typed typed;
      for (int i = 0; i < count; ++i) {
        double took = 0;
        const Arrival a = typeOnce(receiver, text, [&] {
          const double start = nowMs();
          e2e::runUnix("xdotool type --delay " + std::to_string(delayMs) + " --file " + textFile,
                       600000);
          took = nowMs() - start;
        });
        typed.add(a, text);
        typed.commandMs.push_back(took);
      }
      return typed;
    };
    const Typed fast = xdotool(0, p_.xdotoolFastRuns);
    const Typed slow = xdotool(12, p_.xdotoolDefaultRuns);
    DeleteFileW(widen(toWindowsPath(textFile)).c_str());

    report_.samples("typing_ms vorelo", vorelo.ms);
    report_.samples("typing_first_key_ms_after_click vorelo", vorelo.firstKeys);
    report_.samples("typing_ms sendinput_one_call", single.ms);
    report_.samples("typing_ms sendinput_ticking", cadence.ms);
    report_.samples("typing_ms xdotool_delay0", fast.ms);
    report_.samples("command_ms xdotool_delay0", fast.commandMs);
    report_.samples("typing_ms xdotool_delay12", slow.ms);
    report_.samples("command_ms xdotool_delay12", slow.commandMs);

    const Spread v = spread(vorelo.ms);
    const Spread f = spread(single.ms);
    const Spread c = spread(cadence.ms);
    const std::string chars = std::to_string(p_.messageChars);
    const std::string every = "every " + std::to_string(p_.typingInterval) + " s";
    auto xdotoolText = [&](const char* name, const Typed& t) {
      if (t.commandMs.empty()) return std::string(name) + ": not run";
      const std::string command =
          "the command ran " + format("%.1f s", spread(t.commandMs).median / 1000);
      if (t.bestArrived == 0) return std::string(name) + ": nothing arrived, " + command;
      return std::string(name) + ": " + seconds(spread(t.ms)) + ", " +
             std::to_string(t.bestArrived) + " characters arrived, " + std::to_string(t.bestRight) +
             " of " + chars + " in order; " + command;
    };
    report_.add({"4. " + chars + "-character Chinese message, " + every +
                     ": first key → last character in the receiver (median of " +
                     std::to_string(v.count) + ")",
                 ms(v) + " = " + format("%.2f", v.median / f.median) + " × floor; " +
                     std::to_string(vorelo.intact) + "/" + std::to_string(v.count) + " intact",
                 "floor (SendInput, " + std::to_string(message.size()) + " events in one call): " +
                     ms(f) + "; the same " + every + " with Enter, like Vorelo: " + ms(c) +
                     " (Vorelo " + format("%.2f", v.median / c.median) + " × this); " +
                     xdotoolText("`xdotool type --delay 0`", fast) + "; " +
                     xdotoolText("`xdotool type` (12 ms)", slow),
                 "≤ 1.2 × floor", v.median <= 1.2 * f.median && vorelo.intact == v.count});
  }

  // Figures 5, 6 and 7 with one Vorelo: start-up memory, the idle minute beside notepad and
  // the bare windows, then the run of ticks.
  void longRun(Receiver& receiver) {
    progress("Figures 5-7: memory, the idle minute, the run of ticks");
    TempFolder folder;
    Process notepad(notepad_, "", folder.path());
    Process bare(bareExe_, "", folder.path());
    Process poller(bareExe_, "--poll " + std::to_string(p_.pollMs), folder.path());
    for (const Process* p : {&notepad, &bare, &poller}) waitUntilShown(*p);
    receiver.activate();
    const double voreloStarted = nowMs();
    App app(vorelo_, std::string("tick"));
    app.retypeCombo(Control::comInterval, "1");
    // Start-up is over for all of them once the last has waited for input for a while.
    Sleep(static_cast<DWORD>(std::max(0.0, voreloStarted + p_.settleSeconds * 1000.0 - nowMs())));
    const double voreloStartPeak = static_cast<double>(peakWorkingSet(app.process()));
    const double notepadStartPeak = static_cast<double>(peakWorkingSet(notepad.handle()));
    const double bareStartPeak = static_cast<double>(peakWorkingSet(bare.handle()));

    // The idle stretch: wake-ups and CPU time of every program over the same wall time, read
    // from the Linux side (a Wine program is a Linux process).
    progress("  idle stretch");
    const IdleCost idle =
        idleCost({"vorelo.exe", "notepad.exe", "bare_window.exe---poll", "bare_window.exe+--poll"});
    const double notepadIdlePeak = static_cast<double>(peakWorkingSet(notepad.handle()));
    notepad.stop();
    bare.stop();
    poller.stop();

    // The run: one tick a second, keys into the receiver.
    progress("  run of ticks");
    receiver.activate();
    const std::size_t from = receiver.messages().size();
    const double cpuAtClick = cpuMs(app.processId());
    const double clicked = e2e::beginSending(app, receiver);
    Sleep(static_cast<DWORD>(std::max(0.0, clicked + p_.sendCpuSeconds * 1000.0 - nowMs())));
    const double sendCpu = (cpuMs(app.processId()) - cpuAtClick) / (nowMs() - clicked) * 100;
    waitForEnters(receiver, from, p_.ticks);
    const double voreloRunPeak = static_cast<double>(peakWorkingSet(app.process()));
    app.clickButton(Control::cmdStop);

    const Ticks vorelo = ticksSince(receiver, from, clicked, p_.ticks);
    report_.samples("tick_arrival_ms_after_click vorelo", vorelo.arrivals);

    // The reference: the bare window typing "tick" and Enter from a 1 s window timer, started
    // by a posted message as Vorelo's is by the click.
    progress("  reference ticks");
    std::optional<Ticks> bareTicks;
    try {
      // Started minimised and inactive: the window manager would hand a new window the focus
      // and the keys would go there.
      Process ticker(bareExe_, "--tick 1000", folder.path(), SW_SHOWMINNOACTIVE);
      const Shown shown = waitUntilShown(ticker);
      if (!receiver.activate()) throw DriverError("the receiver has no focus");
      const std::size_t start = receiver.messages().size();
      const double posted = nowMs();
      PostMessageW(shown.window, WM_APP, 0, 0);
      waitForEnters(receiver, start, p_.referenceTicks);
      ticker.stop();
      bareTicks = ticksSince(receiver, start, posted, p_.referenceTicks);
      report_.samples("tick_arrival_ms_after_post bare_window", bareTicks->arrivals);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "the reference ticks failed: %s\n", e.what());
    }

    const auto ticks = std::to_string(p_.ticks);
    const std::string reference =
        "bare window ticking from a 1 s timer, " + std::to_string(p_.referenceTicks) + " ticks: ";
    std::string worstReference = reference + "not measured";
    std::string driftReference = worstReference;
    if (bareTicks) {
      worstReference = reference + format("%+.1f ms", bareTicks->worst) + "; all: median " +
                       format("%+.1f", bareTicks->offsets.median) + ", " +
                       format("%+.1f", bareTicks->offsets.low) + "…" +
                       format("%+.1f", bareTicks->offsets.high);
      driftReference = reference + format("%+.1f ms", bareTicks->drift) + " over " +
                       std::to_string(bareTicks->arrivals.size() - 1) + " s";
    }
    report_.add(
        {"5a. Tick accuracy: largest distance of a message's Enter from click + k × 1000 ms, "
         "k = 1…" +
             ticks,
         format("%+.1f ms", vorelo.worst) + " (tick " + std::to_string(vorelo.worstTick) +
             "); all: median " + format("%+.1f", vorelo.offsets.median) + ", " +
             format("%+.1f", vorelo.offsets.low) + "…" + format("%+.1f", vorelo.offsets.high),
         worstReference, "< 50 ms", std::abs(vorelo.worst) < 50});
    report_.add({"5b. Drift: last − first Enter − " + std::to_string(p_.ticks - 1) + " × 1000 ms",
                 format("%+.1f ms", vorelo.drift), driftReference, "< 50 ms",
                 std::abs(vorelo.drift) < 50});
    const std::string stretch = std::to_string(p_.idleSeconds) + " s, " +
                                std::to_string(p_.settleSeconds) + " s after start";
    const auto others = [&](const std::vector<std::string>& figures) {
      return "notepad.exe: " + figures[1] + "; bare window: " + figures[2] +
             "; bare window polling F12 every " + std::to_string(p_.pollMs) + " ms: " + figures[3];
    };
    report_.add({"6a. Idle wake-ups per second (" + stretch + ")", idle.wakeupsText[0],
                 others(idle.wakeupsText), "≤ 1 /s", idle.wakeups[0] <= 1.0});
    report_.add({"6b. CPU time while idle (" + stretch + ")", idle.cpuText[0], others(idle.cpuText),
                 "< 0.2 % of a core", idle.cpuPercent[0] < 0.2});
    report_.add({"6c. CPU while sending (1 s interval, first " + std::to_string(p_.sendCpuSeconds) +
                     " s of the run)",
                 percent(sendCpu), "idle: " + percent(idle.cpuPercent[0]), "—", std::nullopt});
    report_.add({"7a. Peak working set after start-up", megabytes(voreloStartPeak),
                 "notepad.exe: " + megabytes(notepadStartPeak) +
                     "; bare window: " + megabytes(bareStartPeak) + " (Vorelo " +
                     format("%+.1f MB", (voreloStartPeak - bareStartPeak) / 1048576.0) + ")",
                 "< 8 MB", voreloStartPeak < 8.0 * 1048576});
    report_.add({"7b. Peak working set after the " + ticks + "-tick run", megabytes(voreloRunPeak),
                 "notepad.exe after the idle stretch: " + megabytes(notepadIdlePeak), "< 8 MB",
                 voreloRunPeak < 8.0 * 1048576});
  }

 private:
  struct IdleCost {
    std::vector<double> wakeups;
    std::vector<double> cpuPercent;
    std::vector<std::string> wakeupsText;
    std::vector<std::string> cpuText;
  };
  // Wake-ups a second and CPU time of running programs over the idle stretch (bench/idle_cost).
  IdleCost idleCost(const std::vector<std::string>& programs) {
    std::string command = idleCost_ + " " + std::to_string(p_.idleSeconds);
    for (const std::string& program : programs) command += " " + program;
    const auto out = e2e::runUnix(command, static_cast<unsigned>(p_.idleSeconds + 30) * 1000);
    if (!out) throw DriverError("bench/idle_cost did not answer");
    IdleCost cost;
    std::istringstream lines(*out);
    std::vector<double> samples;
    for (const std::string& program : programs) {
      std::string name, wakeups, cpu;
      lines >> name >> wakeups >> cpu;
      if (name != program || wakeups == "-") throw DriverError(program + " not found: " + *out);
      const double cpuMs = std::stod(cpu);
      cost.wakeups.push_back(std::stod(wakeups));
      cost.cpuPercent.push_back(cpuMs / (p_.idleSeconds * 1000.0) * 100);
      cost.wakeupsText.push_back(wakeups + " /s");
      cost.cpuText.push_back(cpu + " ms (" + percent(cost.cpuPercent.back()) + ")");
      samples.push_back(cost.wakeups.back());
      samples.push_back(cpuMs);
    }
    report_.samples("idle_wakeups_per_s_and_cpu_ms vorelo notepad bare poller", samples);
    return cost;
  }

  // Milliseconds from CreateProcess to a visible window (with `items` in the message list,
  // when given); the program is ended before this returns.
  double timeToWindow(const std::string& exe, const TempFolder& folder,
                      std::optional<int> items = std::nullopt) {
    Process process(exe, "", folder.path());
    const auto ready = [&](HWND window) {
      return !items ||
             comboCount(GetDlgItem(window, app::controlId(Control::comContent))) == *items;
    };
    const Shown shown = waitUntilShown(process, ready, Millis{30000}, Millis{1});
    process.stop();
    return shown.at - process.startedAt();
  }

  // Types `text` into the receiver with `type` and returns what arrived.
  Arrival typeOnce(Receiver& receiver, const std::wstring& text,
                   const std::function<void()>& type) {
    if (!receiver.activate()) throw DriverError("the receiver has no focus");
    const std::size_t from = receiver.messages().size();
    type();
    waitForLog(
        receiver, [&] { return textChars(receiver.messages(), from) >= text.size(); }, 5000,
        600000);
    const auto& log = receiver.messages();
    const std::vector<Arrival> got = arrivals(log, from, log.size(), false);
    return got.empty() ? Arrival{} : got.front();
  }

  // Waits until `count` messages, each ended by Enter, have arrived since log[from] and the
  // receiver has gone quiet, and returns them.
  Typed collectMessages(Receiver& receiver, std::size_t from, const std::wstring& text, int count) {
    waitForLog(
        receiver, [&] { return entersSince(receiver, from) >= count; }, 15000, 15000.0 * count);
    waitForLog(
        receiver, [] { return false; }, 1000, 60000);
    Typed typed;
    const auto& log = receiver.messages();
    for (const Arrival& a : arrivals(log, from, log.size(), true)) typed.add(a, text);
    if (typed.ms.size() != static_cast<std::size_t>(count)) {
      throw DriverError(std::to_string(count) + " messages were typed, " +
                        std::to_string(typed.ms.size()) + " arrived");
    }
    return typed;
  }

  std::string vorelo_;
  std::string receiverExe_;
  std::string bareExe_;
  std::string idleCost_;
  std::string notepad_;
  Report& report_;
  Procedure p_;
};

// Runs one figure; a figure that cannot be measured is reported and the others still run.
void measure(Report& report, const char* figure, const std::function<void()>& run) {
  try {
    run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s failed: %s\n", figure, e.what());
    report.add({figure, std::string("not measured: ") + e.what(), "—", "—", false});
  }
}

}  // namespace
}  // namespace vorelo::bench

int wmain(int argc, wchar_t** argv) {
  using namespace vorelo::bench;
  if (argc < 7) {
    std::fprintf(stderr,
                 "usage: vorelo_bench <vorelo.exe> <receiver.exe> <bare_window.exe> <rows file> "
                 "<samples file> <bench/idle_cost> [name=value...]\n");
    return 2;
  }
  try {
    const Procedure procedure = parseProcedure(argc, argv, 7);
    Report report(widen(toWindowsPath(narrow(argv[4]))), widen(toWindowsPath(narrow(argv[5]))));
    Bench bench(narrow(argv[1]), narrow(argv[2]), narrow(argv[3]), narrow(argv[6]), report,
                procedure);
    const auto wanted = [&](int figure) { return procedure.only == 0 || procedure.only == figure; };
    if (wanted(2)) measure(report, "2. Start → window shown", [&] { bench.startTime(); });
    if (wanted(3)) measure(report, "3. Start with a full message list", [&] { bench.listLoad(); });
    Receiver receiver(bench.receiverExe());
    if (wanted(4)) measure(report, "4. Typing a long message", [&] { bench.typing(receiver); });
    if (wanted(5)) {
      measure(report, "5–7. Idle cost and run of ticks", [&] { bench.longRun(receiver); });
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vorelo_bench: %s\n", e.what());
    return 1;
  }
}
