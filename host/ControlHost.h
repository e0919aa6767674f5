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
#include <string>

#include "dtc/HeaderDTCClass.h"
#include "platform/Com.h"
#include "platform/DesignTimeControl.h"
#include "platform/DrivePaths.h"
#include "platform/FileDialog.h"
#include "platform/HostedControl.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/TextFiles.h"

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

  platform::ControlServices ForControls();

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

}  // namespace host
