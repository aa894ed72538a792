// The taskbar's own thread: a taskbar that hangs (Explorer busy) never holds the window's thread,
// and shows the latest value once it answers again.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <vector>

#include "win32/handles.h"
#include "win32/taskbar.h"

namespace vorelo::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// What the stand-in button was asked to show; it hangs, as a hung Explorer does, until the test
// lets it go.
struct Seen {
  UniqueHandle hung{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  SRWLOCK lock = SRWLOCK_INIT;
  std::vector<double> shown;
  std::vector<double> snapshot() {
    AcquireSRWLockExclusive(&lock);
    std::vector<double> copy = shown;
    ReleaseSRWLockExclusive(&lock);
    return copy;
  }
};

class HungButton final : public TaskbarProgress::Button {
 public:
  explicit HungButton(std::shared_ptr<Seen> seen) : seen_(std::move(seen)) {}
  bool start() override { return true; }
  void show(HWND, const platform::Progress& progress) override {
    WaitForSingleObject(seen_->hung.get(), 10000);
    AcquireSRWLockExclusive(&seen_->lock);
    seen_->shown.push_back(progress.done);
    ReleaseSRWLockExclusive(&seen_->lock);
  }

 private:
  std::shared_ptr<Seen> seen_;
};

TEST(TaskbarProgress, AHungTaskbarNeverHoldsTheWindow) {
  auto seen = std::make_shared<Seen>();
  auto progress =
      std::make_unique<TaskbarProgress>([seen] { return std::make_unique<HungButton>(seen); });
  HWND window = GetDesktopWindow();
  progress->buttonCreated(window);
  Clock::duration slowest{};
  for (int tick = 1; tick <= 100; ++tick) {
    const auto before = Clock::now();
    progress->show(window, {platform::Progress::State::Running, tick / 100.0});
    slowest = std::max(slowest, Clock::now() - before);
  }
  EXPECT_LT(slowest, std::chrono::milliseconds(50)) << "the window waited for the taskbar";

  SetEvent(seen->hung.get());
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline && (seen->snapshot().empty() || seen->snapshot().back() != 1.0)) {
    Sleep(10);
  }
  const std::vector<double> shown = seen->snapshot();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), 1.0) << "the latest value is shown";
  EXPECT_LE(shown.size(), 3u) << "only the latest value, not every one asked for";

  // A window that closes while the taskbar hangs does not wait for it either.
  ResetEvent(seen->hung.get());
  progress->show(window, {platform::Progress::State::Error, 0.5});
  const auto closing = Clock::now();
  progress.reset();
  EXPECT_LT(Clock::now() - closing, std::chrono::seconds(1));
  SetEvent(seen->hung.get());
}

}  // namespace
}  // namespace vorelo::win32
