// The rule every test backend's injected failures follow (platform/testing/FaultPlan.h).
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/testing/FaultPlan.h"

namespace {

using platform::testing::FaultPlan;
using platform::testing::Persistence;

std::vector<bool> Calls(FaultPlan& plan, int n) {
  std::vector<bool> fails;
  for (int i = 0; i < n; ++i) fails.push_back(plan.Fails());
  return fails;
}

TEST(FaultPlan, FailsTheNthCallOnceOrFromThenOnAndCountsWhatItInjected) {
  FaultPlan plan;
  EXPECT_EQ(Calls(plan, 3), (std::vector<bool>{false, false, false})) << "a new plan fails nothing";

  plan.FailAt(3);
  EXPECT_EQ(Calls(plan, 5), (std::vector<bool>{false, false, true, false, false}));
  EXPECT_FALSE(plan.Armed()) << "a Once plan is spent by its failure";

  plan.FailAt(2, Persistence::FromThenOn);
  EXPECT_EQ(Calls(plan, 4), (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(plan.Injected(), 4);

  plan.FailAt(2);
  EXPECT_EQ(Calls(plan, 3), (std::vector<bool>{false, true, false})) << "arming replaces a failing plan";
  plan.FailAt(1, Persistence::FromThenOn);
  plan.Clear();
  EXPECT_EQ(Calls(plan, 2), (std::vector<bool>{false, false}));
  EXPECT_EQ(plan.Injected(), 5) << "Clear keeps the count";

  EXPECT_THROW(plan.FailAt(0), std::invalid_argument);
}

}  // namespace
