// The browser editor's round trip: one action on the demo page posted to `dtchost serve`'s server (the
// same EditorSession and EditorServer, on 127.0.0.1) and the new state received, against the same
// action applied in process through the script interpreter.
//
// The action ticks and clears the extra-filters check box on the General tab: a change of the page,
// so every round trip also saves the configuration and renders the page text for the panel. The
// control is the real one (libVistelleDTC.so through a registry file, the demo installation as drive
// C:). Printed: the median round trip in ms (target: at most 20), the size of the state (target: at
// most 64 KB), the median of the in-process action, and their ratio.
#include <httplib.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/ControlHost.h"
#include "host/EditScript.h"
#include "host/EditorServer.h"
#include "host/EditorSession.h"
#include "platform/Registry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 200;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// A registry file naming the demo installation and the two modules, drive C: on demo/.
fs::path Machine() {
  std::string pattern = (fs::temp_directory_path() / "tessery-serve-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
  const fs::path folder = pattern;
  std::ofstream(folder / "registry.reg")
      << "Windows Registry Editor Version 5.00\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane]\n\"InstallDir\"=\"c:\\\\install\"\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane\\DataProviders]\n"
         "\"CatalogFile\"=\"c:\\\\install\\\\Vistelle\\\\dataproviders.json\"\n";
  ::setenv("TESSERY_REGISTRY", (folder / "registry.reg").c_str(), 1);
  ::setenv("TESSERY_DRIVE_C", TESSERY_SOURCE_DIR "/demo", 1);
  auto registry = platform::OpenFileRegistry((folder / "registry.reg").string());
  for (const char* module : {TESSERY_BINARY_DIR "/dtc/libVistelleDTC.so",
                             TESSERY_BINARY_DIR "/components/libCorvaneDataProviders.so"}) {
    std::string message;
    if (platform::Failed(platform::RegisterModule(*registry, module, &message)))
      throw std::runtime_error("cannot register " + std::string(module) + ": " + message);
  }
  fs::copy_file(TESSERY_SOURCE_DIR "/demo/pages/orders.json", folder / "page.json");
  return folder;
}

}  // namespace

// A set-up that fails ends the benchmark through std::terminate, which prints the exception.
int main() {  // NOLINT(bugprone-exception-escape)
  const fs::path folder = Machine();
  std::ostringstream messages;

  // Through the server.
  std::vector<double> roundTrips;
  std::size_t stateBytes = 0;
  {
    host::EditorOptions options;
    options.bagPath = (folder / "page.json").string();
    host::EditorSession session(options, messages);
    if (!session.Started()) {
      std::cerr << "ServeBench: the editor did not start: " << session.Failure() << "\n";
      return 1;
    }
    host::EditorServer server(session, nullptr);
    const int port = server.Bind(0);
    std::thread serving(
        [&server] { platform::IgnoreResult(server.Listen(), "the benchmark stops the server itself"); });
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);  // as browsers send
    const std::string path = "/action?token=" + server.Token();
    const std::string click = R"({"action":"click","control":"EnableExtraFiltersCheck"})";
    for (int i = 0; i < kRounds + 10; ++i) {
      const auto start = Clock::now();
      auto reply = client.Post(path.c_str(), click, "application/json");
      const auto took = Clock::now() - start;
      if (!reply || reply->status != 200) {
        std::cerr << "ServeBench: the action failed\n";
        return 1;
      }
      stateBytes = std::max(stateBytes, reply->body.size());
      if (i >= 10) roundTrips.push_back(Ms(took));  // the first ones warm up
    }
    server.Stop();
    serving.join();
  }

  // In process, through the script interpreter.
  std::vector<double> inProcess;
  {
    host::HostServices services(messages);
    std::string error;
    std::unique_ptr<host::HostedHeaderDTC> control = host::CreateHeaderDTC(services, error);
    if (!control || !host::LoadBagFile(*control, (folder / "page.json").string(), messages)) {
      std::cerr << "ServeBench: the control did not start: " << error << "\n";
      return 1;
    }
    host::ScriptActions actions;
    host::AddEditorActions(actions);
    std::istringstream script("click EnableExtraFiltersCheck\n");
    const std::vector<host::ScriptLine> lines = host::ParseScript(script, actions);
    host::ScriptContext context(control->Form(), services.messageBoxes, services.fileDialogs);
    for (int i = 0; i < kRounds + 10; ++i) {
      const auto start = Clock::now();
      host::RunScript(lines, actions, context);
      const auto took = Clock::now() - start;
      if (i >= 10) inProcess.push_back(Ms(took));
    }
  }
  fs::remove_all(folder);

  const double roundTrip = Median(roundTrips), local = Median(inProcess);
  std::printf("round trip: median %.3f ms over %d actions (target <= 20)\n", roundTrip, kRounds);
  std::printf("state: %zu bytes (target <= 65536)\n", stateBytes);
  std::printf("in process through the script interpreter: median %.5f ms; round trip / in process = %.0f\n",
              local, local > 0 ? roundTrip / local : 0.0);
  return 0;
}
