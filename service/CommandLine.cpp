#include "service/CommandLine.h"

namespace tillmoor {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

CommandLineAction ScanCommandLine(std::string_view commandLine) {
  for (std::size_t at = commandLine.find_first_of("-/"); at != std::string_view::npos;
       at = commandLine.find_first_of("-/", at + 1)) {
    const std::string_view rest = commandLine.substr(at + 1);
    if (EqualsIgnoringCase(rest, "UnregServer")) return CommandLineAction::UnregServer;
    if (EqualsIgnoringCase(rest, "RegServer")) return CommandLineAction::RegServer;
    if (EqualsIgnoringCase(rest, "Service")) return CommandLineAction::Service;
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
