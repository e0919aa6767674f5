// The running process.
//
// Keeps: the full path of the process's executable (GetModuleFileName for the process itself).
// Leaves out: other modules, the command line (programs get their arguments from main).
//
// Linux backend: the target of /proc/self/exe.
#pragma once

#include <string>

namespace platform {

// "" when it cannot be found out.
std::string ModuleFileName();

}  // namespace platform
