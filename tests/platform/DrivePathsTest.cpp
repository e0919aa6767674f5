// One contract for both forms of drive paths: the environment-driven Linux form and the mapped
// test form, each over the same folders on disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "platform/DrivePaths.h"
#include "platform/testing/MappedDrives.h"
#include "support/ErrorNumber.h"
#include "support/TempFolder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testsupport::ErrorNumberOf;

enum class Form { Environment, Mapped };

std::string FormName(const ::testing::TestParamInfo<Form>& param) {
  return param.param == Form::Environment ? "Linux" : "Mapped";
}

class DrivePathsContract : public ::testing::TestWithParam<Form> {
 protected:
  void SetUp() override {
    for (const char* file : {"c/Prog/Vistelle/include/DTC_TEMPLATE.ASP", "c/Mixed/Foo", "c/Mixed/FOO",
                             "c/Mixed/foo", "work/Vistelle/include/DTC_TEMPLATE.ASP"}) {
      temp_.Put(file, "x");
    }
    c_ = temp_.Path() / "c";
    work_ = temp_.Path() / "work";
    if (GetParam() == Form::Environment) {
      oldWorking_ = fs::current_path();
      fs::current_path(work_);
      ::setenv("TESSERY_DRIVE_C", c_.c_str(), 1);
      ::unsetenv("TESSERY_DRIVE_D");
      drives_ = DrivePathsFromEnvironment();
    } else {
      auto mapped = std::make_unique<testing::MappedDrives>(work_);
      mapped->Map('c', c_);
      drives_ = std::move(mapped);
    }
  }
  void TearDown() override {
    if (GetParam() == Form::Environment) {
      fs::current_path(oldWorking_);
      ::unsetenv("TESSERY_DRIVE_C");
    }
  }

  fs::path Resolve(std::string_view path) const { return drives_->Resolve(path); }

  testsupport::TempFolder temp_;
  fs::path c_, work_, oldWorking_;
  std::unique_ptr<DrivePaths> drives_;
};

TEST_P(DrivePathsContract, UpperCasedPathFindsTheFileOnACaseSensitiveFileSystem) {
  const fs::path expected = c_ / "Prog" / "Vistelle" / "include" / "DTC_TEMPLATE.ASP";
  EXPECT_EQ(Resolve("C:\\PROG\\VISTELLE\\INCLUDE\\DTC_TEMPLATE.ASP"), expected);
  EXPECT_EQ(Resolve("c:/prog/vistelle/include/dtc_template.asp"), expected);
  EXPECT_EQ(Resolve("C:\\\\PROG\\Vistelle\\\\include\\DTC_TEMPLATE.ASP"), expected);  // doubled separators
  EXPECT_TRUE(fs::exists(Resolve("C:\\PROG\\VISTELLE\\INCLUDE\\DTC_TEMPLATE.ASP")));
}

TEST_P(DrivePathsContract, ExactNameWinsThenTheFirstInByteOrder) {
  EXPECT_EQ(Resolve("C:\\Mixed\\Foo"), c_ / "Mixed" / "Foo");
  EXPECT_EQ(Resolve("C:\\Mixed\\foo"), c_ / "Mixed" / "foo");
  EXPECT_EQ(Resolve("C:\\Mixed\\fOO"), c_ / "Mixed" / "FOO");
}

TEST_P(DrivePathsContract, MissingComponentsAreKeptAsWritten) {
  EXPECT_EQ(Resolve("C:\\PROG\\New Folder\\VISTELLE"), c_ / "Prog" / "New Folder" / "VISTELLE");
  EXPECT_EQ(Resolve("C:\\TEMP\\DTC.TXT"), c_ / "TEMP" / "DTC.TXT");
  EXPECT_EQ(Resolve("C:\\PROG\\"), c_ / "Prog");
}

TEST_P(DrivePathsContract, DotsResolveByNameAndNeverLeaveTheDrive) {
  EXPECT_EQ(Resolve("C:\\..\\..\\PROG\\.\\VISTELLE"), c_ / "Prog" / "Vistelle");
  EXPECT_EQ(Resolve("C:\\PROG\\missing\\..\\VISTELLE"), c_ / "Prog" / "Vistelle");  // lookup resumes
  EXPECT_EQ(Resolve("C:\\.."), c_);
  EXPECT_EQ(Resolve("C:PROG"), c_ / "Prog");  // the drive's current folder is its root
}

TEST_P(DrivePathsContract, RelativePathsResolveAgainstTheWorkingFolder) {
  EXPECT_EQ(Resolve("VISTELLE\\INCLUDE\\DTC_TEMPLATE.ASP"),
            work_ / "Vistelle" / "include" / "DTC_TEMPLATE.ASP");
  EXPECT_EQ(Resolve("..\\c\\PROG"), temp_.Path() / "c" / "Prog");
}

TEST_P(DrivePathsContract, PathsWithoutAMappedDriveAreNotFound) {
  EXPECT_EQ(ErrorNumberOf([&] { Resolve("D:\\data\\x.txt"); }), err::PathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { Resolve("\\\\server\\share\\x.txt"); }), err::PathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { Resolve("\\PROG\\x.txt"); }), err::PathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { Resolve(std::string_view("C:\\PROG\0x", 9)); }), err::PathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { Resolve(""); }), err::PathFileAccessError);
}

INSTANTIATE_TEST_SUITE_P(Forms, DrivePathsContract, ::testing::Values(Form::Environment, Form::Mapped),
                         FormName);

}  // namespace
}  // namespace platform
