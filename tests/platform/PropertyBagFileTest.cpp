// Property-bag files: written whole or not at all, no temporary left behind, read errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/PropertyBagFile.h"
#include "support/ErrorNumber.h"
#include "support/TempFolder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

using testsupport::ErrorOf;

class PropertyBagFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("bagtest-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  static MemoryPropertyBag Sample(std::int32_t value) {
    MemoryPropertyBag bag;
    bag.WriteProperty("Value", value);
    return bag;
  }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
};

TEST_F(PropertyBagFileTest, WriteThenReadAndReplace) {
  const fs::path file = folder_ / "page.json";
  WritePropertyBagFile(file, Sample(1));
  WritePropertyBagFile(file, Sample(2));
  EXPECT_EQ(ReadPropertyBagFile(file).ReadProperty("Value").ToLong(), 2);
  EXPECT_EQ(FileCount(), 1u);  // no temporary file left behind
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

TEST_F(PropertyBagFileTest, FailedWriteLeavesOldFileAndNoTemporary) {
  const fs::path file = folder_ / "page.json";
  WritePropertyBagFile(file, Sample(1));
  const std::string before = testsupport::ReadWholeFile(file);

  fs::create_directory(folder_ / "dir.json");  // a target that is a folder: rename fails
  Error e = ErrorOf([&] { WritePropertyBagFile(folder_ / "dir.json", Sample(2)); });
  EXPECT_EQ(e.Number(), err::PathFileAccessError);
  EXPECT_NE(e.Description().find("dir.json"), std::string::npos) << e.Description();
  e = ErrorOf([&] { WritePropertyBagFile(file / "child.json", Sample(2)); });  // parent is a regular file
  EXPECT_EQ(e.Number(), err::PathFileAccessError);
  EXPECT_NE(e.Description().find("Not a directory"), std::string::npos) << e.Description();
  EXPECT_EQ(testsupport::ReadWholeFile(file), before);
  EXPECT_EQ(FileCount(), 2u);  // page.json and dir.json
}

TEST_F(PropertyBagFileTest, ReadErrorsAndReadDoesNotModify) {
  const fs::path file = folder_ / "page.json";
  Error e = ErrorOf([&] { ReadPropertyBagFile(file); });
  EXPECT_EQ(e.Number(), err::FileNotFound);
  EXPECT_NE(e.Description().find(file.string()), std::string::npos);
  EXPECT_EQ(ErrorOf([&] { ReadPropertyBagFile(folder_); }).Number(), err::PathFileAccessError);

  std::ofstream(file) << R"({"b": 1, "a": 2})";
  const auto time = fs::last_write_time(file);
  const MemoryPropertyBag read = ReadPropertyBagFile(file);
  ASSERT_EQ(read.Entries().size(), 2u);
  EXPECT_EQ(read.Entries()[0].first, "b");
  EXPECT_EQ(read.Entries()[1].first, "a");
  EXPECT_EQ(testsupport::ReadWholeFile(file), R"({"b": 1, "a": 2})");
  EXPECT_EQ(fs::last_write_time(file), time);

  std::ofstream(file) << R"({"b": [1]})";
  e = ErrorOf([&] { ReadPropertyBagFile(file); });
  EXPECT_EQ(e.Number(), err::BadPropertyBag);
  EXPECT_NE(e.Description().find(file.string()), std::string::npos);
}

}  // namespace
}  // namespace platform
