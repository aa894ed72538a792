// A test suite that shares one running copy of the program: started once before the suite's
// first test with the given Msg.txt, ended after its last. For tests that only look at the
// window, or that put back what they change.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <string>

#include "e2e/driver.h"

namespace vorelo::e2e {

// Derived names the suite (each suite gets its own copy); Base is testing::Test or
// testing::TestWithParam<...>.
template <typename Derived, typename Base = ::testing::Test>
class SharedApp : public Base {
 protected:
  static void startShared(const std::string& messageFile) {
    try {
      app_ = std::make_unique<App>(programUnderTest(), messageFile);
    } catch (const std::exception& error) {
      startError_ = error.what();
    }
  }
  static void TearDownTestSuite() { app_.reset(); }

  void SetUp() override {
    if (!app_) GTEST_FAIL() << "the program did not start: " << startError_;
    if (!app_->running()) GTEST_FAIL() << "the program has ended";
  }

  static App& app() { return *app_; }

 private:
  static inline std::unique_ptr<App> app_;
  static inline std::string startError_;
};

}  // namespace vorelo::e2e
