// One contract for both forms of sequential text files: the host's file system (through mapped
// drives on a temporary folder) and the in-memory test form.
#include <gtest/gtest.h>

#include "platform/TextFiles.h"
#include "platform/testing/MappedDrives.h"
#include "platform/testing/MemoryTextFiles.h"
#include "support/ErrorNumber.h"
#include "support/TempFolder.h"

namespace platform {
namespace {

using testsupport::ErrorNumberOf;
using Lines = std::vector<std::string>;

enum class Form { Host, Memory };

std::string FormName(const ::testing::TestParamInfo<Form>& param) {
  return param.param == Form::Host ? "Host" : "Memory";
}

class TextFilesContract : public ::testing::TestWithParam<Form> {
 protected:
  void SetUp() override {
    if (GetParam() == Form::Host) {
      std::filesystem::create_directories(temp_.Path() / "c" / "Temp");
      std::filesystem::create_directories(temp_.Path() / "work");
      drives_.Map('C', temp_.Path() / "c");
      drives_.SetWorkingFolder(temp_.Path() / "work");
      files_ = OpenHostTextFiles(drives_);
    } else {
      auto memory = std::make_unique<testing::MemoryTextFiles>();
      memory->AddFolder("C:\\Temp");
      files_ = std::move(memory);
    }
  }

  void Write(std::string_view path, std::string_view content) {
    auto out = files_->OpenForOutput(path);
    out->Write(content);
    out->Close();
  }

  Lines ReadLines(std::string_view path) {
    auto in = files_->OpenForInput(path);
    Lines lines;
    while (!in->AtEnd()) lines.push_back(in->ReadLine());
    in->Close();
    return lines;
  }

  testsupport::TempFolder temp_;
  testing::MappedDrives drives_;
  std::unique_ptr<TextFiles> files_;
};

TEST_P(TextFilesContract, LinesEndAtCrOrCrLfAndALoneLfBelongsToTheLine) {
  Write("C:\\Temp\\a.txt", "one\r\ntwo\rthree\nstill three\r\n\r\nlast");
  EXPECT_EQ(ReadLines("C:\\Temp\\a.txt"), (Lines{"one", "two", "three\nstill three", "", "last"}));
  Write("C:\\Temp\\b.txt", "one\r\n");
  EXPECT_EQ(ReadLines("C:\\Temp\\b.txt"), (Lines{"one"}));  // no empty line after the last terminator
  Write("C:\\Temp\\c.txt", "\r\r\n\r");
  EXPECT_EQ(ReadLines("C:\\Temp\\c.txt"), (Lines{"", "", ""}));
}

TEST_P(TextFilesContract, AnEmptyFileHasNoLineAndReadingPastTheEndFails) {
  Write("C:\\Temp\\empty.txt", "");
  auto in = files_->OpenForInput("C:\\Temp\\empty.txt");
  EXPECT_TRUE(in->AtEnd());
  EXPECT_EQ(ErrorNumberOf([&] { in->ReadLine(); }), err::InputPastEndOfFile);
  in->Close();
  EXPECT_EQ(ErrorNumberOf([&] { in->AtEnd(); }), 52);  // closed
}

TEST_P(TextFilesContract, BytesPassUnchangedAndOutputReplacesTheOldContent) {
  Write("C:\\Temp\\u.txt", "a much longer first version\r\n");
  auto out = files_->OpenForOutput("C:\\Temp\\u.txt");
  out->WriteLine("Räumung \"x\"\t€");
  out->Write("tail");
  out->Close();
  EXPECT_EQ(ReadLines("C:\\Temp\\u.txt"), (Lines{"Räumung \"x\"\t€", "tail"}));
}

TEST_P(TextFilesContract, PathsAreFoundWithoutRegardToCase) {
  Write("C:\\Temp\\Mixed.Txt", "x");
  EXPECT_EQ(ReadLines("c:/TEMP/MIXED.TXT"), (Lines{"x"}));
  Write("relative.txt", "r");
  EXPECT_EQ(ReadLines("RELATIVE.TXT"), (Lines{"r"}));
}

TEST_P(TextFilesContract, OpenFailuresAreTheFileErrors) {
  EXPECT_EQ(ErrorNumberOf([&] { files_->OpenForInput("C:\\Temp\\missing.txt"); }), err::FileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { files_->OpenForInput("C:\\NoSuchFolder\\x.txt"); }), err::PathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { files_->OpenForOutput("C:\\NoSuchFolder\\x.txt"); }), err::PathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { files_->OpenForInput("C:\\Temp"); }), err::PathFileAccessError);
  EXPECT_EQ(ErrorNumberOf([&] { files_->OpenForOutput("C:\\Temp"); }), err::PathFileAccessError);
  EXPECT_EQ(ErrorNumberOf([&] { files_->OpenForInput(""); }), err::PathFileAccessError);
}

INSTANTIATE_TEST_SUITE_P(Forms, TextFilesContract, ::testing::Values(Form::Host, Form::Memory), FormName);

// The line rule holds wherever the input's buffer happens to end.
TEST(TextInputBuffering, LinesAreTheSameForEveryChunkSize) {
  const std::string content = "a\r\nbc\rdef\r\n\r\ng\nh\r";
  for (std::size_t chunk = 1; chunk <= content.size(); ++chunk) {
    testing::MemoryTextFiles files;
    files.SetChunkSize(chunk);
    files.Put("x.txt", content);
    auto in = files.OpenForInput("x.txt");
    Lines lines;
    while (!in->AtEnd()) lines.push_back(in->ReadLine());
    EXPECT_EQ(lines, (Lines{"a", "bc", "def", "", "g\nh"})) << "chunk " << chunk;
  }
}

TEST(TextInputBuffering, HostFileWithACrLfAcrossTheReadBuffer) {
  testsupport::TempFolder temp;
  const std::string longLine(64 * 1024 - 1, 'a');
  temp.Put("big.txt", longLine + "\r\nb");
  testing::MappedDrives drives(temp.Path());
  auto files = OpenHostTextFiles(drives);
  auto in = files->OpenForInput("BIG.TXT");
  EXPECT_EQ(in->ReadLine(), longLine);
  EXPECT_EQ(in->ReadLine(), "b");
  EXPECT_TRUE(in->AtEnd());
}

TEST(MemoryTextFilesFaults, InjectedFailuresReachTheCaller) {
  testing::MemoryTextFiles files;
  files.Put("C:\\a.txt", "one\r\ntwo\r\n");
  files.FailNextOpen("c:/A.TXT", Error(70, "Permission denied"));
  EXPECT_EQ(ErrorNumberOf([&] { files.OpenForInput("C:\\a.txt"); }), 70);
  EXPECT_NE(files.OpenForInput("C:\\a.txt"), nullptr);  // once only

  files.FailReadsAfter(5, Error(57, "Device I/O error"));
  auto in = files.OpenForInput("C:\\a.txt");
  EXPECT_EQ(in->ReadLine(), "one");
  EXPECT_EQ(ErrorNumberOf([&] { in->ReadLine(); }), 57);
}

}  // namespace
}  // namespace platform
