// COM apartment joins counted per thread, kinds kept apart.
#include <gtest/gtest.h>

#include <thread>

#include "platform/ComApartment.h"
#include "platform/testing/TestComApartment.h"

namespace platform {
namespace {

TEST(ComApartment, JoinsCountPerThreadAndKindsDoNotMix) {
  testing::TestComApartment test;
  auto linux = OpenComApartment();
  for (ComApartment* com : {static_cast<ComApartment*>(&test), linux.get()}) {
    EXPECT_EQ(com->Initialize(Apartment::Multithreaded), kSOk);
    EXPECT_EQ(com->Initialize(Apartment::Multithreaded), kSFalse);
    EXPECT_EQ(com->Initialize(Apartment::ApartmentThreaded), kRpcEChangedMode);
    std::thread other([&] {
      EXPECT_EQ(com->Initialize(Apartment::ApartmentThreaded), kSOk) << "each thread joins on its own";
      com->Uninitialize();
    });
    other.join();
    com->Uninitialize();
    com->Uninitialize();
    EXPECT_EQ(com->Initialize(Apartment::ApartmentThreaded), kSOk) << "left twice, so free to choose again";
    com->Uninitialize();
    EXPECT_EQ(com->InitializeSecurity(), kSOk);
    EXPECT_EQ(com->InitializeSecurity(), kRpcETooLate);
  }
  EXPECT_EQ(test.OpenJoins(), 0);
}

}  // namespace
}  // namespace platform
