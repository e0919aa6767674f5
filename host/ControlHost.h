// The page editor's side of a hosted HeaderDTC: the platform services the host offers its controls,
// taken from the environment, and the control created through component creation (the registry
// names the module, libVistelleDTC.so, which is loaded then).
//
// Services: the registry file ($TESSERY_REGISTRY), drive letters mapped by $TESSERY_DRIVE_<X>,
// text files on the host, message boxes as lines on standard error answered from a queue, and the
// file-open dialog answered from a queue. There is no container to tell about changes.
#pragma once

#include <deque>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "dtc/HeaderDTCClass.h"
#include "interfaces/DesignTimeControl.h"
#include "interfaces/HostedControl.h"
#include "platform/Com.h"
#include "platform/DrivePaths.h"
#include "platform/Registry.h"
#include "platform/TextFiles.h"
#include "runtime/FileDialog.h"
#include "runtime/MessageBox.h"
#include "runtime/PropertyBag.h"

namespace host {

// Message boxes as lines "<title>: <prompt>" on a stream; each box takes the next queued answer,
// or its first button when none is queued. A queued answer that the box does not offer is still
// given: the script asked for it.
class QueuedMessageBoxes : public platform::MessageBoxes {
 public:
  QueuedMessageBoxes(std::ostream& out, std::string defaultTitle);
  platform::MsgBoxResult Show(std::string_view prompt, std::int32_t buttons = platform::mb::OKOnly,
                              std::string_view title = {}) override;

  void Queue(platform::MsgBoxResult answer) { answers_.push_back(answer); }
  std::size_t PendingAnswers() const noexcept { return answers_.size(); }

 private:
  platform::StderrMessageBoxes lines_;
  std::deque<platform::MsgBoxResult> answers_;
};

// The services of one host process.
class HostServices {
 public:
  explicit HostServices(std::ostream& messages);

  // The services handed to a control: the queued message boxes and file dialogs below, or the ones
  // a host puts in their place (`boxes`, `dialogs`).
  platform::ControlServices ForControls();
  platform::MessageBoxes* boxes = nullptr;
  platform::FileDialogs* dialogs = nullptr;

  std::unique_ptr<platform::Registry> registry;
  std::unique_ptr<platform::DrivePaths> drives;
  std::unique_ptr<platform::TextFiles> files;
  std::unique_ptr<platform::ComponentCreator> components;
  QueuedMessageBoxes messageBoxes;
  platform::ScriptedFileDialogs fileDialogs;
};

// A HeaderDTC created by its ProgID and started with the host's services, with the interfaces the
// host uses.
struct HostedHeaderDTC {
  platform::ComPtr<dtc::IHeaderDTC> control;
  platform::ComPtr<platform::IHostedControl> hosted;
  platform::ComPtr<platform::IPersistPropertyBag> persistence;
  platform::ComPtr<platform::IDesignTimeControl> designTime;
  platform::ComPtr<platform::IProvideRuntimeText> runtimeText;

  platform::Form& Form() const { return *hosted->UserControlForm(); }
};

// Creates and starts the control. On failure returns null and puts a one-line account into `error`.
std::unique_ptr<HostedHeaderDTC> CreateHeaderDTC(HostServices& services, std::string& error);

// Loads the bag file into the control. A file that is there but holds no valid bag is the control's
// to report, as any load fault. False when the file cannot be read (said on `errors`) or the load
// reported an error.
[[nodiscard]] bool LoadBagFile(HostedHeaderDTC& control, const std::string& path, std::ostream& errors);

// The control's save as a bag; none when the control reports that its save failed.
std::optional<platform::MemoryPropertyBag> SaveToBag(HostedHeaderDTC& control);

// Has the control save into a new bag and writes it to `path`; the file is replaced only by a whole
// bag (written to a temporary file and renamed), so a save the control reports as failed leaves it as
// it was. False, with the reason on `errors`, when nothing was written.
[[nodiscard]] bool SaveBagFile(HostedHeaderDTC& control, const std::string& path, std::ostream& errors);

// What `dtchost render` does with a bag: a new control (made by `services`) loads it, is handed a site built
// from the two locations when both are given, and is asked for its run-time text. Messages go where
// `services` writes them.
struct RenderResult {
  bool created = false;   // the control could be created
  bool loaded = false;    // and loaded the bag completely
  bool complete = false;  // and its text request ended without an error
  std::string text;       // what the request returned (also when it did not end well)
};
RenderResult RenderBag(HostServices& services, platform::PropertyBag& bag,
                       const std::optional<std::string>& siteBase, const std::optional<std::string>& sitePage,
                       std::ostream& errors);

// The bag in a file as a control's load reads it: a file that is not a valid bag gives a bag whose
// every read fails with the reason (the control's load reports it). None, with the reason on
// `errors`, when the file cannot be read.
std::unique_ptr<platform::PropertyBag> ReadBagFile(const std::string& path, std::ostream& errors);

}  // namespace host
