// The service's command-line scan, on any bytes, held against what its rule comes to: a switch
// counts only as the end of the line, so the answer depends on the last 12, 10 or 8 bytes alone
// ("-" or "/" and then UnregServer, RegServer or Service without regard to ASCII case, tried in that
// order). The input split at NUL bytes is also taken as arguments: joined as the service joins them,
// they scan to the same answer, and with a switch added as a last argument they scan to that switch.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "service/CommandLine.h"

namespace {

using tillmoor::CommandLineAction;

bool EndsWithSwitch(std::string_view line, std::string_view word) {
  if (line.size() < word.size() + 1) return false;
  const std::string_view end = line.substr(line.size() - word.size() - 1);
  if (end.front() != '-' && end.front() != '/') return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = end[i + 1];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

CommandLineAction ExpectedAction(std::string_view line) {
  if (EndsWithSwitch(line, "unregserver")) return CommandLineAction::UnregServer;
  if (EndsWithSwitch(line, "regserver")) return CommandLineAction::RegServer;
  if (EndsWithSwitch(line, "service")) return CommandLineAction::Service;
  return CommandLineAction::Start;
}

void ExpectAction(std::string_view line, CommandLineAction expected, std::string_view what) {
  const CommandLineAction actual = tillmoor::ScanCommandLine(line);
  if (actual != expected) {
    fuzzing::Fail(what, "line: " + std::string(line) + "\nscanned " +
                            std::to_string(static_cast<int>(actual)) + ", expected " +
                            std::to_string(static_cast<int>(expected)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  ExpectAction(line, ExpectedAction(line), "the scan of a command line");

  std::vector<std::string> arguments;
  std::size_t start = 0;
  for (std::size_t nul = line.find('\0'); nul != std::string_view::npos; nul = line.find('\0', start)) {
    arguments.emplace_back(line.substr(start, nul - start));
    start = nul + 1;
  }
  arguments.emplace_back(line.substr(start));
  std::string joined = tillmoor::CommandLineOf(arguments);
  ExpectAction(joined, ExpectedAction(joined), "the scan of joined arguments");

  for (const auto& [word, action] : {std::pair{"/RegServer", CommandLineAction::RegServer},
                                     std::pair{"-unregserver", CommandLineAction::UnregServer},
                                     std::pair{"-SERVICE", CommandLineAction::Service}}) {
    arguments.emplace_back(word);
    ExpectAction(tillmoor::CommandLineOf(arguments), action, "a switch given as the last argument");
    arguments.pop_back();
  }
  return 0;
}
