// File dialogs answered from a script, then cancelled; without a user every one is cancelled.
#include <gtest/gtest.h>

#include "runtime/FileDialog.h"

namespace platform {
namespace {

TEST(FileDialogTest, ScriptedAnswersInOrderThenCancel) {
  ScriptedFileDialogs user;
  user.Choose("C:\\SITE\\a.asp");
  user.Cancel();
  CommonDialog dialog(&user);
  dialog.SetInitDir("C:\\SITE\\");
  dialog.SetFilter("ASP files (*.asp)|*.asp");
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName(), "C:\\SITE\\a.asp");
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName(), "") << "a cancelled dialog leaves no file name";
  dialog.SetFileName("kept?");
  dialog.ShowOpen();  // nothing scripted any more
  EXPECT_EQ(dialog.FileName(), "");

  ASSERT_EQ(user.Shown().size(), 3u);
  EXPECT_EQ(user.Shown()[0].initDir, "C:\\SITE\\");
  EXPECT_EQ(user.Shown()[0].filter, "ASP files (*.asp)|*.asp");
  EXPECT_EQ(user.Shown()[2].fileName, "kept?") << "the dialog opens on the file name it holds";
  EXPECT_EQ(user.PendingAnswers(), 0u);
}

TEST(FileDialogTest, WithoutAUserEveryDialogIsCancelled) {
  CommonDialog dialog(nullptr);
  dialog.SetFileName("x");
  dialog.ShowOpen();
  EXPECT_EQ(dialog.FileName(), "");
}

}  // namespace
}  // namespace platform
