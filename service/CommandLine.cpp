#include "service/CommandLine.h"

#include "runtime/Ascii.h"

namespace tillmoor {

using platform::EqualsIgnoreAsciiCase;

CommandLineAction ScanCommandLine(std::string_view commandLine) {
  for (std::size_t at = commandLine.find_first_of("-/"); at != std::string_view::npos;
       at = commandLine.find_first_of("-/", at + 1)) {
    const std::string_view rest = commandLine.substr(at + 1);
    if (EqualsIgnoreAsciiCase(rest, "UnregServer")) return CommandLineAction::UnregServer;
    if (EqualsIgnoreAsciiCase(rest, "RegServer")) return CommandLineAction::RegServer;
    if (EqualsIgnoreAsciiCase(rest, "Service")) return CommandLineAction::Service;
  }
  return CommandLineAction::Start;
}

std::string CommandLineOf(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line.push_back(' ');
    line += argument;
  }
  return line;
}

}  // namespace tillmoor
