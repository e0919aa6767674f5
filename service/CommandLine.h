// The command line of the service executable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tillmoor {

enum class CommandLineAction { Start, UnregServer, RegServer, Service };

// Scans the command line for "-" and "/": the text after each, up to the end of the line, is compared
// without regard to case with "UnregServer", "RegServer" and "Service", in that order; the first
// match wins, a text matching none moves on to the next "-" or "/". So a token counts only as the
// last item of the line. No match: the process starts.
CommandLineAction ScanCommandLine(std::string_view commandLine);

// The command line of a process started with `arguments` (its own path not included): the
// arguments joined by single spaces. The program's path is left out because its "/" separators
// would read as switches ("/opt/x/Service" would register).
std::string CommandLineOf(const std::vector<std::string>& arguments);

}  // namespace tillmoor
