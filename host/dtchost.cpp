// dtchost: the page-editor host. It creates HeaderDTC the way a page editor does (by its ProgID,
// through component creation: the registry names libVistelleDTC.so, which is loaded then), hands it
// a property bag to load or save, drives its editor from a script and shows what the control holds.
// Message boxes go to standard error, one line each.
//
//   dtchost sample OUT.json                                    the sample configuration, saved and printed
//   dtchost show BAG.json                                      load BAG.json and print the configuration
//   dtchost render BAG.json [--site-base B --site-page D]
//                             load BAG.json into a new control, hand it a site built from the two
//                             locations when both are given, and write its run-time text to
//                             standard output byte for byte. The install directory comes from the
//                             registry file ($TESSERY_REGISTRY), drive letters from $TESSERY_DRIVE_C...
//   dtchost edit BAG.json --script ACTIONS [--save OUT.json]   load, run the editor script, save
//   dtchost new OUT.json [--script ACTIONS]                    a new control, the script, saved to OUT.json
//   dtchost serve BAG.json [--new] [--port N] [--site-base B --site-page D]
//                             the editor as a web page on 127.0.0.1 (EditorServer.h) until SIGINT,
//                             SIGTERM or the page's Close; Save writes BAG.json
//
// Exit status: 0 done; 1 the control could not be created, the bag could not be read or written, or
// the control reported an error while loading or saving; 2 usage; 3 (render) an error ended the
// control's request, so the text written is only what the control had when it stopped; 4 (edit,
// new) the script is faulty or one of its lines failed. A bag file is written only after a complete
// save, and never after a failure.
#include <atomic>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/ControlHost.h"
#include "host/DemoConfiguration.h"
#include "host/EditScript.h"
#include "host/EditorServer.h"
#include "host/EditorSession.h"
#include "platform/linux/StopSignals.h"
#include "runtime/DesignTimeControlSite.h"
#include "runtime/PropertyBag.h"

namespace {

constexpr int kDone = 0, kFailed = 1, kUsage = 2, kIncompleteText = 3, kScriptFailed = 4;

int Usage() {
  std::cerr << "usage: dtchost sample OUT.json\n"
               "       dtchost show BAG.json\n"
               "       dtchost render BAG.json [--site-base B --site-page D]\n"
               "       dtchost edit BAG.json --script ACTIONS [--save OUT.json]\n"
               "       dtchost new OUT.json [--script ACTIONS]\n"
               "       dtchost serve BAG.json [--new] [--port N] [--site-base B --site-page D]\n";
  return kUsage;
}

// The control as the sample configuration reaches it.
class HostedSample : public host::SampleTarget {
 public:
  explicit HostedSample(host::HostedHeaderDTC& control) : control_(control) {}
  platform::Form& EditorForm() override { return control_.Form(); }
  void SetKeyValue(std::int16_t& iTab, std::int16_t& iRow, std::string& iRepresentation, std::string& iValue,
                   dtc::SpecificationType& iType) override {
    std::string error;
    Check(control_.control->SetKeyValue(iTab, iRow, iRepresentation, iValue, iType, &error), error);
  }
  void LetProperty(std::string_view name, std::optional<std::int32_t> index,
                   const platform::Variant& value) override {
    std::string error;
    Check(control_.control->LetProperty(name, index, value, &error), error);
  }

 private:
  static void Check(platform::HRESULT result, const std::string& error) {
    if (platform::Failed(result)) platform::Raise(dtc::ErrorNumberFromHResult(result), error);
  }
  host::HostedHeaderDTC& control_;
};

// One run of the host: its services and the control they serve (released first).
struct Session {
  host::HostServices services{std::cerr};
  std::unique_ptr<host::HostedHeaderDTC> control;

  bool Start() {
    std::string error;
    control = host::CreateHeaderDTC(services, error);
    if (!control) std::cerr << "dtchost: " << error << "\n";
    return control != nullptr;
  }
  ~Session() { control.reset(); }
};

void PrintConfiguration(host::HostedHeaderDTC& control) {
  std::string listing;
  if (platform::Succeeded(control.control->DescribeConfiguration(listing))) std::cout << listing;
}

bool Load(host::HostedHeaderDTC& control, const std::string& path) {
  return host::LoadBagFile(control, path, std::cerr);
}

bool Save(host::HostedHeaderDTC& control, const std::string& path) {
  return host::SaveBagFile(control, path, std::cerr);
}

int Sample(const char* path) {
  Session session;
  if (!session.Start()) return kFailed;
  if (platform::Failed(session.control->persistence->InitNew())) return kFailed;
  try {
    HostedSample sample(*session.control);
    host::BuildSampleConfiguration(sample);
  } catch (const platform::Error& e) {
    std::cerr << "dtchost: the sample configuration cannot be built: " << e.Description() << "\n";
    return kFailed;
  }
  if (!Save(*session.control, path)) return kFailed;
  PrintConfiguration(*session.control);
  return kDone;
}

int Show(const char* path) {
  Session session;
  if (!session.Start()) return kFailed;
  const bool loaded = Load(*session.control, path);
  PrintConfiguration(*session.control);
  return loaded ? kDone : kFailed;
}

struct RenderOptions {
  const char* bag = nullptr;
  std::optional<std::string> siteBase;
  std::optional<std::string> sitePage;
};

// BAG.json, then the two site options in either order, each at most once; both or neither.
std::optional<RenderOptions> ParseRender(int argc, char** argv) {
  RenderOptions options;
  options.bag = argv[2];
  for (int i = 3; i < argc; i += 2) {
    const std::string_view option = argv[i];
    std::optional<std::string>* target = nullptr;
    if (option == "--site-base") target = &options.siteBase;
    if (option == "--site-page") target = &options.sitePage;
    if (target == nullptr || target->has_value() || i + 1 >= argc) return std::nullopt;
    *target = argv[i + 1];
  }
  if (options.siteBase.has_value() != options.sitePage.has_value()) return std::nullopt;
  return options;
}

int Render(const RenderOptions& options) {
  host::HostServices services(std::cerr);
  std::unique_ptr<platform::PropertyBag> bag = host::ReadBagFile(options.bag, std::cerr);
  const host::RenderResult result =
      bag ? host::RenderBag(services, *bag, options.siteBase, options.sitePage, std::cerr)
          : host::RenderResult{};
  if (!result.created && bag) return kFailed;
  if (!result.loaded) {
    std::cerr << "dtchost: the control could not load " << options.bag << "; no text produced\n";
    return kFailed;
  }
  std::cout.write(result.text.data(), static_cast<std::streamsize>(result.text.size()));
  std::cout.flush();
  if (!result.complete) {
    std::cerr << "dtchost: an error ended the control's request; the text written is incomplete\n";
    return kIncompleteText;
  }
  return kDone;
}

// edit BAG --script ACTIONS [--save OUT] and new OUT [--script ACTIONS].
int Edit(bool isNew, const std::vector<std::string_view>& args) {
  if (args.empty()) return Usage();
  const std::string bagPath(args[0]);
  std::optional<std::string> scriptPath, savePath;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return Usage();
    if (args[i] == "--script" && !scriptPath) {
      scriptPath = std::string(args[i + 1]);
    } else if (args[i] == "--save" && !savePath && !isNew) {
      savePath = std::string(args[i + 1]);
    } else {
      return Usage();
    }
  }
  if (!isNew && !scriptPath) return Usage();

  host::ScriptActions actions;
  host::AddEditorActions(actions);
  host::AddDialogActions(actions);
  std::vector<host::ScriptLine> lines;
  if (scriptPath) {
    std::ifstream in(*scriptPath);
    if (!in) {
      std::cerr << "dtchost: cannot read the script " << *scriptPath << "\n";
      return kScriptFailed;
    }
    try {
      lines = host::ParseScript(in, actions);
    } catch (const host::ScriptError& e) {
      std::cerr << "dtchost: " << *scriptPath << ": " << e.what() << "; nothing is saved\n";
      return kScriptFailed;
    }
  }

  Session session;
  if (!session.Start()) return kFailed;
  if (isNew) {
    if (platform::Failed(session.control->persistence->InitNew())) return kFailed;
  } else if (!Load(*session.control, bagPath)) {
    std::cerr << "dtchost: " << bagPath << " did not load completely; nothing is saved\n";
    return kFailed;
  }
  host::ScriptContext context(session.control->Form(), session.services.messageBoxes,
                              session.services.fileDialogs);
  host::DriveModalDialogs(session.control->Form(), &context);  // dialogs take the lines that follow
  try {
    host::RunScript(lines, actions, context);
    host::DriveModalDialogs(session.control->Form(), nullptr);
  } catch (const host::ScriptError& e) {
    host::DriveModalDialogs(session.control->Form(), nullptr);
    std::cerr << "dtchost: " << *scriptPath << ": " << e.what() << "; nothing is saved\n";
    return kScriptFailed;
  }
  if (!Save(*session.control, savePath.value_or(bagPath))) return kFailed;
  PrintConfiguration(*session.control);
  return kDone;
}

// serve BAG [--new] [--port N] [--site-base B --site-page D]
int Serve(const std::vector<std::string_view>& args) {
  if (args.empty()) return Usage();
  host::EditorOptions options;
  options.bagPath = std::string(args[0]);
  int port = 0;
  bool portGiven = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view option = args[i];
    if (option == "--new" && !options.isNew) {
      options.isNew = true;
      continue;
    }
    if (i + 1 >= args.size()) return Usage();
    const std::string_view value = args[++i];
    if (option == "--port" && !portGiven) {
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), port);
      if (error != std::errc() || end != value.data() + value.size() || port < 0 || port > 65535)
        return Usage();
      portGiven = true;
    } else if (option == "--site-base" && !options.siteBase) {
      options.siteBase = std::string(value);
    } else if (option == "--site-page" && !options.sitePage) {
      options.sitePage = std::string(value);
    } else {
      return Usage();
    }
  }
  if (options.siteBase.has_value() != options.sitePage.has_value()) return Usage();

  // SIGINT and SIGTERM are taken by this thread alone; every thread started below blocks them.
  platform::linux_backend::BlockStopSignals();
  host::EditorSession session(options, std::cerr);
  if (!session.Started()) {
    std::cerr << "dtchost: " << session.Failure() << "\n";
    return kFailed;
  }
  std::atomic<bool> closed = false;
  host::EditorServer server(session, [&closed] { closed = true; });
  if (server.Bind(port) < 0) {
    std::cerr << "dtchost: cannot listen on 127.0.0.1:" << port << "\n";
    return kFailed;
  }
  std::atomic<bool> servingFailed = false;
  std::thread serving([&] {
    if (!server.Listen()) servingFailed = closed = true;
  });
  std::cout << "dtchost: editing " << options.bagPath << " at " << server.Url() << std::endl;
  while (!closed && platform::linux_backend::TakeStopSignal(100) == 0) {
  }
  session.Stop();
  server.Stop();
  serving.join();
  if (servingFailed) {
    std::cerr << "dtchost: serving on 127.0.0.1:" << port << " failed\n";
    return kFailed;
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string_view command = argv[1];
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "sample" && args.size() == 1) return Sample(argv[2]);
  if (command == "show" && args.size() == 1) return Show(argv[2]);
  if (command == "render") {
    const std::optional<RenderOptions> options = ParseRender(argc, argv);
    return options ? Render(*options) : Usage();
  }
  if (command == "edit") return Edit(false, args);
  if (command == "new") return Edit(true, args);
  if (command == "serve") return Serve(args);
  return Usage();
}
