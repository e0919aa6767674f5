// Message boxes: the first button, one stderr line per message, recorded answers.
#include <gtest/gtest.h>

#include <sstream>

#include "runtime/MessageBox.h"
#include "runtime/testing/RecordingMessageBoxes.h"

namespace platform {
namespace {

TEST(MessageBoxes, FirstButtonIgnoresIconFlags) {
  EXPECT_EQ(FirstButton(mb::OKOnly), MsgBoxResult::OK);
  EXPECT_EQ(FirstButton(mb::OKCancel | mb::Critical), MsgBoxResult::OK);
  EXPECT_EQ(FirstButton(mb::AbortRetryIgnore), MsgBoxResult::Abort);
  EXPECT_EQ(FirstButton(mb::YesNoCancel | mb::Question), MsgBoxResult::Yes);
  EXPECT_EQ(FirstButton(mb::YesNo | mb::Exclamation), MsgBoxResult::Yes);
  EXPECT_EQ(FirstButton(mb::RetryCancel | mb::Information), MsgBoxResult::Retry);
}

TEST(MessageBoxes, StderrWritesOneLinePerMessage) {
  std::ostringstream out;
  StderrMessageBoxes boxes(out, "Tessery");
  EXPECT_EQ(boxes.Show("Save?\r\nReally\nsure\r", mb::YesNo, ""), MsgBoxResult::Yes);
  EXPECT_EQ(boxes.Show("Done", mb::OKOnly, "Export"), MsgBoxResult::OK);
  EXPECT_EQ(out.str(), "Tessery: Save?\\nReally\\nsure\\n\nExport: Done\n");
}

TEST(MessageBoxes, RecordingAnswersFromScriptThenFirstButton) {
  testing::RecordingMessageBoxes boxes;
  MessageBoxes& service = boxes;  // callers go through the service and its default arguments
  boxes.Answer(MsgBoxResult::No);
  EXPECT_EQ(service.Show("one", mb::YesNo), MsgBoxResult::No);
  EXPECT_EQ(service.Show("two", mb::RetryCancel, "T"), MsgBoxResult::Retry);
  ASSERT_EQ(boxes.Messages().size(), 2u);
  EXPECT_EQ(boxes.Messages()[1].buttons, mb::RetryCancel);
  EXPECT_EQ(boxes.Messages()[1].title, "T");
  EXPECT_EQ(boxes.Prompts(), (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace platform
