#include "host/EditorSession.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "host/EditorActions.h"
#include "platform/DrivePaths.h"
#include "platform/PropertyBagFile.h"
#include "runtime/Ascii.h"
#include "runtime/Error.h"

namespace host {

using nlohmann::json;
namespace act = actions;

namespace {

constexpr const char* kDefaultTitle = "VistelleDTC";

// Texts reach the page as JSON strings; bytes that are not UTF-8 are shown as U+FFFD.
std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

EditorReply Error(int status, const std::string& reason, const json* state = nullptr) {
  json body{{"error", reason}};
  if (state) body["state"] = *state;
  return {status, Dump(body)};
}

// ---- answers ----

struct AnswerName {
  const char* name;
  platform::MsgBoxResult result;
};
constexpr AnswerName kAnswers[] = {
    {"ok", platform::MsgBoxResult::OK},         {"cancel", platform::MsgBoxResult::Cancel},
    {"abort", platform::MsgBoxResult::Abort},   {"retry", platform::MsgBoxResult::Retry},
    {"ignore", platform::MsgBoxResult::Ignore}, {"yes", platform::MsgBoxResult::Yes},
    {"no", platform::MsgBoxResult::No},
};

std::vector<std::string> Buttons(std::int32_t buttons) {
  switch (buttons & platform::mb::ButtonsMask) {
    case platform::mb::OKCancel:
      return {"ok", "cancel"};
    case platform::mb::AbortRetryIgnore:
      return {"abort", "retry", "ignore"};
    case platform::mb::YesNoCancel:
      return {"yes", "no", "cancel"};
    case platform::mb::YesNo:
      return {"yes", "no"};
    case platform::mb::RetryCancel:
      return {"retry", "cancel"};
    default:
      return {"ok"};
  }
}

// The answer of a box nobody is left to answer (the session ends): Cancel or No where offered, so
// that nothing is done on the designer's behalf, else the first button.
platform::MsgBoxResult Unattended(std::int32_t buttons) {
  const std::vector<std::string> offered = Buttons(buttons);
  for (const char* wanted : {"cancel", "no"}) {
    if (std::find(offered.begin(), offered.end(), wanted) != offered.end()) {
      for (const AnswerName& a : kAnswers)
        if (a.name == std::string_view(wanted)) return a.result;
    }
  }
  return platform::FirstButton(buttons);
}

// ---- the state of a form as the page draws it ----

template <class T>
const T* As(const platform::Control& control) {
  return dynamic_cast<const T*>(&control);
}

json Items(const platform::ItemList& list) {
  return json(list.Items());
}

json ControlState(const platform::Control& c) {
  json s{{"name", c.Name()},   {"left", c.Left()},     {"top", c.Top()},
         {"width", c.Width()}, {"height", c.Height()}, {"enabled", c.Enabled()}};
  if (const auto* frame = As<platform::Frame>(c)) {
    s["kind"] = "frame";
    s["caption"] = frame->Caption();
  } else if (const auto* label = As<platform::Label>(c)) {
    s["kind"] = "label";
    s["caption"] = label->Caption();
  } else if (const auto* button = As<platform::CommandButton>(c)) {
    s["kind"] = "button";
    s["caption"] = button->Caption();
  } else if (const auto* check = As<platform::CheckBox>(c)) {
    s["kind"] = "check";
    s["caption"] = check->Caption();
    s["value"] = check->Value();
  } else if (const auto* option = As<platform::OptionButton>(c)) {
    s["kind"] = "option";
    s["caption"] = option->Caption();
    s["value"] = option->Value();
  } else if (const auto* box = As<platform::TextBox>(c)) {
    s["kind"] = "text";
    s["text"] = box->Text();
    s["multiline"] = box->MultiLine();
  } else if (const auto* combo = As<platform::ComboBox>(c)) {
    s["kind"] = "combo";
    s["text"] = combo->Text();
    s["items"] = Items(*combo);
    s["listIndex"] = combo->ListIndex();
    s["dropdownList"] = combo->ComboStyle() == platform::ComboBox::Style::DropdownList;
  } else if (const auto* list = As<platform::ListBox>(c)) {
    s["kind"] = "list";
    s["items"] = Items(*list);
    s["listIndex"] = list->ListIndex();
    s["multi"] = list->Mode() != platform::ListBox::MultiSelect::None;
    json selected = json::array();
    for (std::int32_t i = 0; i < list->ListCount(); ++i)
      if (list->Selected(i)) selected.push_back(i);
    s["selected"] = selected;
  } else if (const auto* grid = As<platform::FlexGrid>(c)) {
    s["kind"] = "grid";
    s["rows"] = grid->Rows();
    s["cols"] = grid->Cols();
    s["fixedRows"] = grid->FixedRows();
    s["fixedCols"] = grid->FixedCols();
    s["row"] = grid->Row();
    s["col"] = grid->Col();
    s["topRow"] = grid->TopRow();
    s["rowHeight"] = grid->RowHeight();
    json widths = json::array(), cells = json::array();
    for (std::int32_t col = 0; col < grid->Cols(); ++col) widths.push_back(grid->ShownColWidth(col));
    for (std::int32_t row = 0; row < grid->Rows(); ++row) {
      json line = json::array();
      for (std::int32_t col = 0; col < grid->Cols(); ++col) line.push_back(grid->TextMatrix(row, col));
      cells.push_back(std::move(line));
    }
    s["colWidths"] = std::move(widths);
    s["cells"] = std::move(cells);
  } else if (const auto* tabs = As<platform::TabControl>(c)) {
    s["kind"] = "tabs";
    json captions = json::array();
    for (std::int32_t t = 0; t < tabs->Tabs(); ++t) captions.push_back(tabs->TabCaption(t));
    s["captions"] = std::move(captions);
    s["tab"] = tabs->Tab();
  } else {
    s["kind"] = "other";
  }
  return s;
}

json FormState(const platform::Form& form) {
  json controls = json::array();
  for (const auto& control : form.Controls())
    if (control->Visible()) controls.push_back(ControlState(*control));
  const platform::Control* active = form.ActiveControl();
  return json{{"name", form.Name()},
              {"caption", form.Caption()},
              {"active", active ? json(active->Name()) : json(nullptr)},
              {"controls", std::move(controls)}};
}

// ---- reading actions ----

class Malformed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

const json& Field(const json& action, const char* name) {
  const auto found = action.find(name);
  if (found == action.end()) throw Malformed(std::string("\"") + name + "\" is missing");
  return *found;
}

std::string Str(const json& action, const char* name) {
  const json& value = Field(action, name);
  if (!value.is_string()) throw Malformed(std::string("\"") + name + "\" must be a text");
  return value.get<std::string>();
}

act::Number Num(const json& action, const char* name) {
  const json& value = Field(action, name);
  if (!value.is_number_integer()) throw Malformed(std::string("\"") + name + "\" must be a whole number");
  return act::Number::Of(value.get<std::int64_t>());
}

act::Number NumOr(const json& action, const char* name, std::int64_t otherwise) {
  return action.contains(name) ? Num(action, name) : act::Number::Of(otherwise);
}

bool Flag(const json& action, const char* name) {
  const auto found = action.find(name);
  if (found == action.end()) return false;
  if (!found->is_boolean()) throw Malformed(std::string("\"") + name + "\" must be true or false");
  return found->get<bool>();
}

// {"index": N} or {"item": "text"}.
act::Item ItemOf(const json& action) {
  if (action.contains("index")) return act::Item::At(Num(action, "index"));
  return act::Item::Text(Str(action, "item"));
}

std::optional<act::Item> OptionalItem(const json& action) {
  if (!action.contains("index") && !action.contains("item")) return std::nullopt;
  return ItemOf(action);
}

// ---- the file dialog's listing ----

bool Matches(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip)
      if (Matches(pattern.substr(1), name.substr(skip))) return true;
    return false;
  }
  if (name.empty()) return false;
  const bool same =
      pattern[0] == '?' || platform::AsciiToLower(pattern[0]) == platform::AsciiToLower(name[0]);
  return same && Matches(pattern.substr(1), name.substr(1));
}

// The patterns of the filter's first entry ("ASP files (*.asp)|*.asp;*.inc"); none: every file.
std::vector<std::string> Patterns(const std::string& filter) {
  const std::size_t bar = filter.find('|');
  if (bar == std::string::npos) return {};
  const std::string patterns = filter.substr(bar + 1, filter.find('|', bar + 1) - bar - 1);
  std::vector<std::string> result;
  std::stringstream in(patterns);
  for (std::string p; std::getline(in, p, ';');)
    if (!p.empty()) result.push_back(p);
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------

struct EditorSession::Request {
  std::function<std::optional<EditorReply>()> work;
  std::promise<EditorReply> reply;
  bool replied = false;

  void Reply(EditorReply r) {
    if (replied) return;
    replied = true;
    reply.set_value(std::move(r));
  }
};

// Message boxes: the line every host writes, then the editor thread parks until the page answers.
// While the session starts, and while the page text is made, nobody is at the page: boxes are
// answered with their first button (printed at start-up, collected for the panel otherwise).
class EditorSession::ParkingBoxes : public platform::MessageBoxes {
 public:
  ParkingBoxes(EditorSession& session, std::ostream& out) : session_(session), lines_(out, kDefaultTitle) {}

  platform::MsgBoxResult Show(std::string_view prompt, std::int32_t buttons,
                              std::string_view title) override {
    if (collected) {
      std::ostringstream line;
      platform::StderrMessageBoxes(line, kDefaultTitle).Show(prompt, buttons, title);
      collected->push_back(line.str().substr(0, line.str().size() - 1));
      return platform::FirstButton(buttons);
    }
    lines_.Show(prompt, buttons, title);
    if (unattended || open || session_.Stopping())
      return unattended ? platform::FirstButton(buttons) : Unattended(buttons);
    open =
        Box{std::string(prompt), buttons, std::string(title.empty() ? kDefaultTitle : title), std::nullopt};
    session_.ServeUntil([this] { return open->answer.has_value(); }, true);
    const platform::MsgBoxResult answer = open->answer.value_or(Unattended(buttons));
    open.reset();
    return answer;
  }

  struct Box {
    std::string prompt;
    std::int32_t buttons;
    std::string title;
    std::optional<platform::MsgBoxResult> answer;
  };
  std::optional<Box> open;
  bool unattended = true;
  std::vector<std::string>* collected = nullptr;

 private:
  EditorSession& session_;
  platform::StderrMessageBoxes lines_;
};

// The file-open dialog: the editor thread parks until the page chooses a file or cancels.
class EditorSession::ParkingFileDialogs : public platform::FileDialogs {
 public:
  explicit ParkingFileDialogs(EditorSession& session) : session_(session) {}

  std::optional<std::string> ShowOpen(const platform::FileDialogRequest& request) override {
    if (session_.Stopping() || open) return std::nullopt;
    {
      std::lock_guard lock(session_.fileMutex_);
      session_.fileDialog_ = request;
    }
    open = true;
    answer.reset();
    session_.ServeUntil([this] { return answer.has_value(); }, true);
    open = false;
    {
      std::lock_guard lock(session_.fileMutex_);
      session_.fileDialog_.reset();
    }
    return answer.value_or(std::nullopt);
  }

  bool open = false;
  std::optional<std::optional<std::string>> answer;

 private:
  EditorSession& session_;
};

// ---------------------------------------------------------------------------------------------------

EditorSession::EditorSession(EditorOptions options, std::ostream& messages)
    : options_(std::move(options)), messages_(messages), startedFuture_(started_.get_future().share()) {
  thread_ = std::thread([this] { Main(); });
}

EditorSession::~EditorSession() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

bool EditorSession::Started() {
  return startedFuture_.get();
}

void EditorSession::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
}

bool EditorSession::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

EditorReply EditorSession::Submit(std::function<std::optional<EditorReply>()> work) {
  auto request = std::make_shared<Request>();
  request->work = std::move(work);
  std::future<EditorReply> reply = request->reply.get_future();
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return Error(503, "the editor is closing");
    queue_.push_back(request);
  }
  wake_.notify_all();
  if (reply.wait_for(kReplyWait) != std::future_status::ready)
    return Error(503, "the editor did not answer in time");
  return reply.get();
}

// ---- the editor thread ----

void EditorSession::Main() {
  services_ = std::make_unique<HostServices>(messages_);
  boxes_ = std::make_unique<ParkingBoxes>(*this, messages_);
  fileDialogs_ = std::make_unique<ParkingFileDialogs>(*this);
  services_->boxes = boxes_.get();
  services_->dialogs = fileDialogs_.get();
  control_ = CreateHeaderDTC(*services_, failure_);
  bool started = control_ != nullptr;
  if (started && options_.isNew) {
    started = platform::Succeeded(control_->persistence->InitNew());
    if (!started) failure_ = "the control could not initialise a new page";
  } else if (started) {
    std::ostringstream errors;
    started = LoadBagFile(*control_, options_.bagPath, errors);
    if (!started) failure_ = errors.str() + "dtchost: " + options_.bagPath + " did not load completely";
  }
  if (started) {
    try {
      if (std::optional<platform::MemoryPropertyBag> bag = SaveToBag(*control_))
        savedBag_ = platform::FormatPropertyBagJson(*bag);
    } catch (const platform::Error&) {
      // No bag file can hold it: every later state counts as unsaved.
    }
    control_->Form().SetModalLoop([this](platform::Form& dialog) { ModalLoop(dialog); });
    RefreshPageText();
    boxes_->unattended = false;
  }
  started_.set_value(started);
  if (started) ServeUntil([] { return false; }, false);

  // The session ends: requests still waiting get their answer, the control is released here.
  std::deque<std::shared_ptr<Request>> left;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    left.swap(queue_);
  }
  for (auto& request : left) request->Reply(Error(503, "the editor is closing"));
  for (auto& request : pending_) request->Reply(Error(503, "the editor is closing"));
  pending_.clear();
  if (control_) control_->Form().SetModalLoop(nullptr);
  control_.reset();
  services_.reset();
}

void EditorSession::ServeUntil(const std::function<bool()>& done, bool parked) {
  for (;;) {
    if (done()) return;
    std::shared_ptr<Request> request;
    {
      std::unique_lock lock(mutex_);
      if (queue_.empty() && !stopping_) {
        lock.unlock();
        QuietPoint(parked);
        lock.lock();
      }
      // Bounded waits: a lost wake-up costs a tenth of a second, never a hang.
      while (queue_.empty() && !stopping_) wake_.wait_for(lock, std::chrono::milliseconds(100));
      if (stopping_) return;
      request = std::move(queue_.front());
      queue_.pop_front();
    }
    pending_.push_back(request);
    std::optional<EditorReply> immediate;
    try {
      immediate = request->work();
    } catch (const std::exception& e) {
      immediate = Error(500, e.what());
    }
    if (immediate) {
      request->Reply(std::move(*immediate));
      std::erase(pending_, request);
    }
  }
}

void EditorSession::QuietPoint(bool parked) {
  if (pending_.empty()) return;
  if (!parked) RefreshPageText();
  const EditorReply reply{200, Dump(BuildState(parked))};
  for (auto& request : pending_) request->Reply(reply);
  pending_.clear();
}

void EditorSession::ModalLoop(platform::Form& dialog) {
  modal_.push_back(&dialog);
  ServeUntil([&dialog] { return !dialog.Shown(); }, true);
  if (dialog.Shown()) dialog.Hide();  // the session ends: as if cancelled
  modal_.pop_back();
}

void EditorSession::RefreshPageText() {
  std::vector<std::string> messages;
  boxes_->collected = &messages;
  std::optional<platform::MemoryPropertyBag> saved = SaveToBag(*control_);
  boxes_->collected = nullptr;
  if (!saved) {
    modified_ = true;
    pageText_ = json{{"text", ""}, {"messages", messages}, {"complete", false}};
    return;
  }
  std::string bagJson;
  platform::MemoryPropertyBag bag;
  try {
    bagJson = platform::FormatPropertyBagJson(*saved);
    bag = platform::ParsePropertyBagJson(bagJson);
  } catch (const platform::Error& e) {
    // A configuration no bag file can hold (a Save would say the same and write nothing).
    modified_ = true;
    messages.push_back("dtchost: " + e.Description());
    pageText_ = json{{"text", ""}, {"messages", messages}, {"complete", false}};
    return;
  }
  modified_ = bagJson != savedBag_;
  // What `dtchost render` writes for the bag this page would be saved as.
  std::ostringstream lines;
  HostServices services(lines);
  const RenderResult result = RenderBag(services, bag, options_.siteBase, options_.sitePage, lines);
  std::istringstream in(lines.str());
  for (std::string line; std::getline(in, line);) messages.push_back(line);
  pageText_ =
      json{{"text", result.text}, {"messages", messages}, {"complete", result.loaded && result.complete}};
}

json EditorSession::BuildState(bool parked) {
  json layers = json::array();
  layers.push_back(FormState(control_->Form()));
  for (const platform::Form* form : modal_) layers.push_back(FormState(*form));
  json message = nullptr;
  if (boxes_->open) {
    message = json{{"prompt", boxes_->open->prompt},
                   {"title", boxes_->open->title},
                   {"buttons", Buttons(boxes_->open->buttons)}};
  }
  json file = nullptr;
  {
    std::lock_guard lock(fileMutex_);
    if (fileDialog_) {
      file = json{
          {"initDir", fileDialog_->initDir}, {"filter", fileDialog_->filter}, {"title", fileDialog_->title}};
    }
  }
  return json{{"version", version_},         {"state", modified_ ? "modified" : "saved"},
              {"bag", options_.bagPath},     {"parked", parked},
              {"layers", std::move(layers)}, {"message", std::move(message)},
              {"file", std::move(file)},     {"pageText", pageText_}};
}

// ---- requests ----

EditorReply EditorSession::State() {
  return Submit([] { return std::nullopt; });
}

EditorReply EditorSession::Act(const std::string& text) {
  json action;
  try {
    action = json::parse(text);
  } catch (const json::exception& e) {
    return Error(400, std::string("malformed action: not JSON (") + e.what() + ")");
  }
  return Submit([this, action] { return Apply(action); });
}

std::optional<EditorReply> EditorSession::Apply(const json& request) {
  try {
    if (!request.is_object()) throw Malformed("an action is a JSON object");
    if (request.contains("version") &&
        (!request["version"].is_number_unsigned() || request["version"].get<std::uint64_t>() != version_)) {
      const json state = BuildState(!modal_.empty() || boxes_->open || fileDialogs_->open);
      return Error(409, "the page showed an older state of the editor; it now shows the editor as it is",
                   &state);
    }
    if (request.contains("actions")) {
      const json& list = request["actions"];
      if (!list.is_array() || list.empty()) throw Malformed("\"actions\" must be a list of actions");
      for (const json& action : list) {
        if (!action.is_object()) throw Malformed("an action is a JSON object");
        if (std::optional<EditorReply> refused = ApplyOne(action)) return refused;
      }
      return std::nullopt;
    }
    return ApplyOne(request);
  } catch (const Malformed& e) {
    return Error(400, std::string("malformed action: ") + e.what());
  }
}

std::optional<EditorReply> EditorSession::ApplyOne(const json& a) {
  const std::string kind = Str(a, "action");
  const bool parkedNow = !modal_.empty() || boxes_->open || fileDialogs_->open;
  auto refuse = [&](const std::string& reason) {
    const json state = BuildState(parkedNow);
    return Error(400, reason, &state);
  };
  try {
    if (kind == "answer") {
      if (boxes_->open) {
        const std::string answer = Str(a, "answer");
        const std::vector<std::string> offered = Buttons(boxes_->open->buttons);
        if (std::find(offered.begin(), offered.end(), answer) == offered.end())
          throw act::Refused("the message box offers no '" + answer + "'");
        for (const AnswerName& name : kAnswers)
          if (answer == name.name) boxes_->open->answer = name.result;
      } else if (fileDialogs_->open) {
        const json& file = Field(a, "file");
        if (file.is_null()) {
          fileDialogs_->answer = std::optional<std::string>();
        } else if (file.is_string() && !file.get<std::string>().empty()) {
          fileDialogs_->answer = file.get<std::string>();
        } else {
          throw Malformed("\"file\" must be a path or null");
        }
      } else {
        throw act::Refused("no dialog is waiting for an answer");
      }
      ++version_;
      return std::nullopt;
    }
    if (boxes_->open) throw act::Refused("a message box is open; answer it first");
    if (fileDialogs_->open) throw act::Refused("the file dialog is open; choose a file or cancel it");
    platform::Form& form = modal_.empty() ? control_->Form() : *modal_.back();
    const std::string formName = a.contains("form") ? Str(a, "form") : control_->Form().Name();
    if (formName != form.Name()) {
      if (modal_.empty()) throw act::Refused("no dialog '" + formName + "' is open");
      throw act::Refused("dialog '" + form.Name() + "' is open; act on it or close it first");
    }
    const auto control = [&] { return Str(a, "control"); };
    // Every argument is read before the action runs, so a malformed one changes nothing.
    if (kind == "tab") {
      std::optional<std::string> tabs;
      if (a.contains("control")) tabs = control();
      const act::Number index = Num(a, "tab");
      ++version_;
      act::Tab(form, tabs, act::TabRef{index.text, true});
    } else if (kind == "click" || kind == "focus" || kind == "choose") {
      const std::string name = control();
      ++version_;
      if (kind == "click") act::Click(form, name);
      if (kind == "focus") act::Focus(form, name);
      if (kind == "choose") act::Choose(form, name);
    } else if (kind == "dblclick") {
      const std::string name = control();
      const std::optional<act::Item> item = OptionalItem(a);
      ++version_;
      act::DblClick(form, name, item);
    } else if (kind == "select" || kind == "deselect") {
      const std::string name = control();
      const act::Item item = ItemOf(a);
      const bool range = Flag(a, "shift");
      ++version_;
      if (range && kind == "select") {
        act::SelectRange(form, name, item);
      } else {
        act::Select(form, name, item, kind == "select");
      }
    } else if (kind == "text" || kind == "type") {
      const std::string name = control(), text = Str(a, "text");
      ++version_;
      if (kind == "text") act::Text(form, name, text);
      if (kind == "type") act::Type(form, name, text);
    } else if (kind == "keypress") {
      const std::string name = control();
      const act::Number code = Num(a, "code");
      ++version_;
      act::KeyPress(form, name, code);
    } else if (kind == "keydown") {
      const std::string name = control();
      const act::Number code = Num(a, "code"), shift = NumOr(a, "shift", 0);
      ++version_;
      act::KeyDown(form, name, code, shift);
    } else if (kind == "cell" || kind == "pick") {
      const std::string name = control();
      const act::Number row = Num(a, "row"), col = Num(a, "col");
      std::optional<act::Item> item;
      if (kind == "pick") item = ItemOf(a);
      ++version_;
      if (kind == "cell") act::Cell(form, name, row, col);
      if (kind == "pick") act::Pick(form, name, row, col, *item);
    } else if (kind == "lines") {
      const std::string name = control();
      const json& lines = Field(a, "lines");
      if (!lines.is_array() ||
          !std::all_of(lines.begin(), lines.end(), [](const json& l) { return l.is_string(); }))
        throw Malformed("\"lines\" must be a list of texts");
      ++version_;
      act::Lines(form, name, lines.get<std::vector<std::string>>());
    } else {
      throw Malformed("unknown action '" + kind + "'");
    }
  } catch (const act::Refused& e) {
    return refuse(e.what());
  } catch (const Malformed&) {
    throw;
  } catch (const platform::Error& e) {
    return refuse(kind + " failed: " + e.Description() + " (" + std::to_string(e.Number()) + ")");
  }
  return std::nullopt;
}

EditorReply EditorSession::Save() {
  return Submit([this]() -> std::optional<EditorReply> {
    if (!modal_.empty() || boxes_->open || fileDialogs_->open) {
      const json state = BuildState(true);
      return Error(400, "close the open dialog first; then save", &state);
    }
    std::ostringstream errors;
    std::optional<platform::MemoryPropertyBag> bag = SaveToBag(*control_);
    if (!bag) {
      errors << "the control could not save its configuration; " << options_.bagPath << " is left as it was";
    } else {
      try {
        platform::WritePropertyBagFile(options_.bagPath, *bag);
        savedBag_ = platform::FormatPropertyBagJson(*bag);
        ++version_;
        return std::nullopt;
      } catch (const platform::Error& e) {
        errors << e.Description();
      }
    }
    messages_ << "dtchost: " << errors.str() << "\n";
    const json state = BuildState(false);
    return Error(500, errors.str(), &state);
  });
}

EditorReply EditorSession::ListFolder(const std::string& path) {
  std::string filter;
  {
    std::lock_guard lock(fileMutex_);
    if (!fileDialog_) return Error(400, "no file dialog is open");
    filter = fileDialog_->filter;
  }
  namespace fs = std::filesystem;
  fs::path folder;
  try {
    folder = platform::DrivePathsFromEnvironment()->Resolve(path);
  } catch (const platform::Error& e) {
    return Error(400, "'" + path + "' is not on a mapped drive: " + e.Description());
  }
  const std::vector<std::string> patterns = Patterns(filter);
  std::vector<std::string> folders, files;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::error_code kindError;
    if (it->is_directory(kindError)) {
      folders.push_back(name);
    } else if (it->is_regular_file(kindError) &&
               (patterns.empty() || std::any_of(patterns.begin(), patterns.end(),
                                                [&](const std::string& p) { return Matches(p, name); }))) {
      files.push_back(name);
    }
  }
  if (error) return Error(400, "'" + path + "' cannot be listed: " + error.message());
  std::sort(folders.begin(), folders.end(), platform::LessIgnoreAsciiCase{});
  std::sort(files.begin(), files.end(), platform::LessIgnoreAsciiCase{});
  return {200, Dump(json{{"path", path}, {"folders", folders}, {"files", files}})};
}

}  // namespace host
