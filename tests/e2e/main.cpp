// The end-to-end test programs' entry: Google Test, and after every test, passed or failed, the
// rig lets go of what it holds, so that no key stays down and CapsLock is as it was.
#include <gtest/gtest.h>

#include <memory>

#include "e2e/rig.h"

namespace {

class LetGoAfterEachTest final : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override { vorelo::e2e::rig().letGo(); }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Google Test owns its listeners and deletes them at exit.
  testing::UnitTest::GetInstance()->listeners().Append(
      std::make_unique<LetGoAfterEachTest>().release());
  return RUN_ALL_TESTS();
}
