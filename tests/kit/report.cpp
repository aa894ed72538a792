#include "kit/report.h"

#include <algorithm>
#include <cstdio>

namespace vorelo::kit {

namespace {

constexpr std::string_view kRun = "[ RUN      ] ";
constexpr std::string_view kOk = "[       OK ] ";
constexpr std::string_view kFailed = "[  FAILED  ] ";
constexpr std::string_view kSkipped = "[  SKIPPED ] ";

// The case a result line names: "Suite.Name" without " (12 ms)".
std::string caseName(std::string_view line, std::string_view marker) {
  std::string_view name = line.substr(marker.size());
  name = name.substr(0, name.find(" ("));
  return std::string(name);
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.0f s", value);
  return text;
}

}  // namespace

Cases readGoogleTestOutput(std::string_view output) {
  Cases cases;
  std::string reason;
  bool inSkip = false;
  std::size_t pos = 0;
  while (pos < output.size()) {
    std::size_t end = output.find('\n', pos);
    if (end == std::string_view::npos) end = output.size();
    std::string_view line = output.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    // The summary at the end repeats the failed and skipped cases without a time: not counted.
    const bool timed = line.ends_with(" ms)");
    if (line.starts_with(kRun)) {
      reason.clear();
      inSkip = false;
    } else if (line.starts_with(kOk) && timed) {
      ++cases.passed;
    } else if (line.starts_with(kFailed) && timed) {
      ++cases.failed;
      cases.failures.push_back(caseName(line, kFailed));
    } else if (line.starts_with(kSkipped) && timed) {
      ++cases.skipped;
      cases.skips.emplace_back(caseName(line, kSkipped), reason);
      inSkip = false;
    } else if (line.ends_with(": Skipped")) {
      inSkip = true;
    } else if (inSkip && !line.empty()) {
      reason += (reason.empty() ? "" : " ") + std::string(line);
    }
  }
  return cases;
}

std::string resultLine(const ProgramResult& result) {
  if (result.missing) {
    return "FAIL  " + result.name +
           "  missing from the kit's folder (deleted, or held back by "
           "an antivirus program)";
  }
  const Cases cases = readGoogleTestOutput(result.output);
  std::string line = (result.passed() ? "PASS  " : "FAIL  ") + result.name + "  " +
                     std::to_string(cases.passed) + " passed";
  if (cases.failed > 0) line += ", " + std::to_string(cases.failed) + " failed";
  if (cases.skipped > 0) line += ", " + std::to_string(cases.skipped) + " skipped";
  if (result.timedOut) line += ", timed out";
  if (!result.stoppedBecause.empty()) line += ", stopped: " + result.stoppedBecause;
  if (!result.passed() && !result.timedOut && result.stoppedBecause.empty() && cases.failed == 0) {
    line += ", exit code " + std::to_string(result.exitCode);
  }
  return line + "  (" + seconds(result.seconds) + ")";
}

bool allPassed(const std::vector<ProgramResult>& results) {
  return std::all_of(results.begin(), results.end(),
                     [](const ProgramResult& r) { return r.passed(); });
}

std::string closingLine(const std::vector<ProgramResult>& results) {
  const auto passed = std::count_if(results.begin(), results.end(),
                                    [](const ProgramResult& r) { return r.passed(); });
  return std::to_string(passed) + " passed, " +
         std::to_string(static_cast<long>(results.size()) - passed) + " failed";
}

std::string verdictLine(const std::vector<ProgramResult>& results, const std::string& problem) {
  const bool passed = !results.empty() && allPassed(results) && problem.empty();
  std::string line = passed ? "通过 PASSED: " : "未通过 FAILED: ";
  if (!results.empty()) line += closingLine(results);
  if (!problem.empty()) line += (results.empty() ? "" : "; ") + problem;
  return line;
}

namespace {

std::string listed(const std::vector<std::string>& items) {
  if (items.empty()) return "none";
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : "; ") + item;
  return out;
}

}  // namespace

std::string report(const Machine& machine, const std::vector<ProgramResult>& results) {
  std::string out = "Vorelo test kit report\n\n";
  out += "Kit: " + machine.kitVersion + ", commit " + machine.kitCommit + "\n";
  out += "Windows version: " + machine.windows + "\n";
  out += "Windows edition: " + machine.edition + "\n";
  if (!machine.wine.empty()) out += "Wine version: " + machine.wine + "\n";
  out += "Elevated: " + machine.elevated + "\n";
  for (std::size_t i = 0; i < machine.monitors.size(); ++i) {
    out += "Monitor " + std::to_string(i + 1) + ": " + machine.monitors[i] + "\n";
  }
  out += "Keyboard layouts: " + listed(machine.keyboardLayouts) + "\n";
  out += "Input methods: " + listed(machine.inputMethods) + "\n";
  out += "Code page: ANSI " + std::to_string(machine.ansiCodePage) + ", OEM " +
         std::to_string(machine.oemCodePage) + "\n";
  out += "Locale: " + machine.locale + "\n";
  out += "Time zone: " + machine.timeZone + "\n\nResults\n";
  for (const ProgramResult& r : results) out += "  " + resultLine(r) + "\n";
  out += "\nSkipped, and why\n";
  bool anySkip = false;
  for (const ProgramResult& r : results) {
    for (const auto& [name, reason] : readGoogleTestOutput(r.output).skips) {
      out += "  " + r.name + ": " + name + ": " + (reason.empty() ? "(no reason given)" : reason) +
             "\n";
      anySkip = true;
    }
  }
  if (!anySkip) out += "  none\n";
  for (const ProgramResult& r : results) {
    if (r.passed() || r.missing) continue;
    out += "\nOutput of " + r.name + "\n" + r.output;
    if (!r.output.empty() && r.output.back() != '\n') out += "\n";
  }
  return out + "\n" + closingLine(results) + "\n";
}

bool ForegroundWatch::taken(const Screen& screen, double nowMs) {
  if (!screen.kitWindowShown) {
    // Between two tests nothing of the kit is up, and nothing types.
    kitHadFront_ = false;
    away_ = false;
    return false;
  }
  if (screen.frontIsKit) {
    kitHadFront_ = true;
    away_ = false;
    return false;
  }
  const bool allowed =
      screen.frontIsNone || (screen.frontIsStartWindow && !kitHadFront_ && !screen.voreloSending);
  if (allowed) {
    away_ = false;
    return false;
  }
  if (!away_) {
    away_ = true;
    awaySince_ = nowMs;
  }
  return nowMs - awaySince_ > kMomentMs;
}

}  // namespace vorelo::kit
