// regsvr: registers a component module in the machine's registry, or removes it.
//
//   regsvr MODULE       loads MODULE and calls its DllRegisterServer
//   regsvr -u MODULE    loads MODULE and calls its DllUnregisterServer
//
// The registry is the file at $TESSERY_REGISTRY (the machine's registry when unset). Prints one line
// saying what happened; exit status 0 on success, 1 when the module or its registration failed, 2
// for a wrong command line.
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/Com.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: regsvr [-u] MODULE\n");
  return 2;
}

std::string Hex(platform::HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  bool unregister = false;
  int next = 1;
  if (next < argc && std::string_view(argv[next]) == "-u") {
    unregister = true;
    ++next;
  }
  if (argc - next != 1 || argv[next][0] == '\0' || argv[next][0] == '-') return Usage();
  const std::filesystem::path module = argv[next];
  const std::filesystem::path registryPath = platform::DefaultRegistryPath();

  auto registry = platform::OpenFileRegistry(registryPath);
  std::string message;
  const platform::HRESULT result = unregister ? platform::UnregisterModule(*registry, module, &message)
                                              : platform::RegisterModule(*registry, module, &message);
  if (platform::Failed(result)) {
    if (message.empty()) message = platform::HResultText(result);
    std::fprintf(stderr, "regsvr: %s (%s)\n", message.c_str(), Hex(result).c_str());
    return 1;
  }
  std::printf("regsvr: %s %s in %s\n", unregister ? "unregistered" : "registered",
              std::filesystem::absolute(module).lexically_normal().c_str(), registryPath.c_str());
  return 0;
}
