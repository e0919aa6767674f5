// The page editor's site built from two locations, and the contexts it does not give out.
#include <gtest/gtest.h>

#include "runtime/DesignTimeControlSite.h"
#include "support/ErrorNumber.h"

namespace platform {
namespace {

using testsupport::ErrorNumberOf;

TEST(PageLocationSite, TheTargetEnvironmentResolvesToTheTwoLocations) {
  auto site = MakePageLocationSite("/shop/", "/shop/orders/list.asp");
  auto environment = site->GetContext("targetenvironment");
  ASSERT_NE(environment, nullptr);
  auto items = site->SecondObjectModel()->Resolve(*environment);
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(items->Count(), 1);
  auto properties = items->Item(1)->Properties();
  EXPECT_EQ(properties->Item(kSiteBaseLocationProperty), Variant("/shop/"));
  EXPECT_EQ(properties->Item(kSitePageLocationProperty), Variant("/shop/orders/list.asp"));
  EXPECT_TRUE(properties->Item(1).IsEmpty());
  EXPECT_EQ(ErrorNumberOf([&] { properties->Item(7); }), err::SubscriptOutOfRange);
  EXPECT_EQ(ErrorNumberOf([&] { items->Item(2); }), err::SubscriptOutOfRange);
}

TEST(PageLocationSite, OtherContextsAreNotGivenOutOrResolved) {
  auto site = MakePageLocationSite("/a/", "/a/b.asp");
  EXPECT_EQ(site->GetContext("Selection"), nullptr);
  auto other = MakePageLocationSite("/a/", "/a/b.asp")->GetContext("TargetEnvironment");
  EXPECT_EQ(site->SecondObjectModel()->Resolve(*other), nullptr);
}

}  // namespace
}  // namespace platform
