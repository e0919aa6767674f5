// The editor of one control for a page in a browser: the editor thread, the modal bridge and the
// state the page draws.
//
// Editor thread. The control runs on one thread, as on its own platform: it is created, loaded,
// acted on, saved and released there, and nothing else touches it. Other threads (the web server's)
// hand requests to it and wait for the reply. A reply is given at the editor thread's next quiet
// point: when it is idle (no request left) or parked (a handler waits for the designer's answer).
// The state sent with the reply is built there, so it is read only while the thread is idle or
// parked.
//
// Modal bridge. A message box, a modal form or the file-open dialog parks the editor thread inside
// the control's handler: it goes on serving requests (state reads, actions on the dialog on top,
// the answer) until the dialog is answered or hidden, then the handler goes on with the answer.
// While a dialog is open, actions on what lies below it are refused; a message box and the file
// dialog take only their answer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "host/ControlHost.h"
#include "runtime/FileDialog.h"
#include "runtime/Forms.h"
#include "runtime/MessageBox.h"

namespace host {

struct EditorOptions {
  std::string bagPath;  // loaded (unless isNew) and where Save writes
  bool isNew = false;
  std::optional<std::string> siteBase, sitePage;  // the site the page-text panel hands its control
};

// A reply: an HTTP status and its JSON body.
struct EditorReply {
  int status = 200;
  std::string body;
};

class EditorSession {
 public:
  // Starts the editor thread, which creates and loads the control. `messages` gets the message
  // boxes' lines (as the other commands write them) and the host's own lines.
  EditorSession(EditorOptions options, std::ostream& messages);
  ~EditorSession();  // Stop(), then waits for the editor thread
  EditorSession(const EditorSession&) = delete;
  EditorSession& operator=(const EditorSession&) = delete;

  // Whether the control was created and loaded (false: Failure() says why; the thread has ended).
  [[nodiscard]] bool Started();
  const std::string& Failure() const noexcept { return failure_; }

  // Requests, from any thread. Each waits at most `kReplyWait` for the editor thread.
  EditorReply State();
  // One action ({"action": ...}) or several in order ({"actions": [...]}); 400 with {"error": reason}
  // for a refused or malformed action (the actions before it stay done).
  EditorReply Act(const std::string& json);
  EditorReply Save();
  // The folders and files of a drive folder for the open file dialog (its filter applied).
  EditorReply ListFolder(const std::string& path);

  // Ends the session: parked handlers get Cancel (or their dialog's first button), dialogs are
  // hidden, the editor thread releases the control and ends. Safe from any thread, more than once.
  void Stop();
  bool Stopping() const;

  static constexpr std::chrono::seconds kReplyWait{20};

 private:
  struct Request;
  class ParkingBoxes;
  class ParkingFileDialogs;
  struct Layers;

  // ---- editor thread ----
  void Main();
  // Serves requests until `done` is true or the session stops.
  void ServeUntil(const std::function<bool()>& done, bool parked);
  void QuietPoint(bool parked);
  EditorReply Submit(std::function<std::optional<EditorReply>()> work);
  void ModalLoop(platform::Form& dialog);
  std::optional<EditorReply> Apply(const nlohmann::json& action);
  std::optional<EditorReply> ApplyOne(const nlohmann::json& action);
  nlohmann::json BuildState(bool parked);
  void RefreshPageText();

  EditorOptions options_;
  std::ostream& messages_;
  std::string failure_;
  std::promise<bool> started_;
  std::shared_future<bool> startedFuture_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Request>> queue_;
  bool stopping_ = false;

  // Editor thread only.
  std::vector<std::shared_ptr<Request>> pending_;  // replied at the next quiet point
  std::unique_ptr<ParkingBoxes> boxes_;
  std::unique_ptr<ParkingFileDialogs> fileDialogs_;
  std::unique_ptr<HostServices> services_;
  std::unique_ptr<HostedHeaderDTC> control_;
  std::vector<platform::Form*> modal_;  // the modal forms open, the top last
  std::uint64_t version_ = 0;           // counts the actions applied
  std::string savedBag_;                // the bag as last loaded or saved
  bool modified_ = false;
  nlohmann::json pageText_;
  // The open file dialog's folder listing is read on the server's threads.
  mutable std::mutex fileMutex_;
  std::optional<platform::FileDialogRequest> fileDialog_;

  std::thread thread_;
};

}  // namespace host
