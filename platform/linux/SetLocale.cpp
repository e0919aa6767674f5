// The process's setlocale. Every executable takes it in place of the C library's and exports it (see
// platform/CMakeLists.txt), so the libraries it loads call this one too.
//
// The C library's setlocale answers with a pointer to the category's name, and frees that name at the
// next call that sets the category again, from whichever thread. The PostgreSQL ODBC driver sets
// LC_CTYPE from the environment at every connect and then reads the name it got back; with connects on
// several threads (the payment service's workers) one connect frees the name another is reading. Here
// every call runs under one lock, and the name handed out is a copy kept until the process ends, so it
// stays readable whatever other threads set. One copy is kept per distinct name: a process uses a
// handful. Serialising only these calls, not whole connects, keeps the workers' connects parallel.
#include <dlfcn.h>

#include <clocale>
#include <functional>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <string_view>

extern "C" char* setlocale(int category, const char* locale) noexcept {
  using SetLocaleFunction = char* (*)(int, const char*);
  static std::mutex lock;
  // The next definition: the C library's, or a sanitizer's that wraps it.
  static const auto next = reinterpret_cast<SetLocaleFunction>(::dlsym(RTLD_NEXT, "setlocale"));
  // Never destroyed, so names stay valid for callers that run while the process exits. Running out
  // of memory here ends the process, as it does for every allocation of this noexcept function.
  static auto& names =
      *new std::set<std::string, std::less<>>();  // NOLINT(bugprone-unhandled-exception-at-new)

  std::lock_guard<std::mutex> hold(lock);
  if (next == nullptr) return nullptr;
  const char* name = next(category, locale);
  if (name == nullptr) return nullptr;
  try {
    auto kept = names.find(std::string_view(name));
    if (kept == names.end()) kept = names.emplace(name).first;
    return const_cast<char*>(kept->c_str());
  } catch (const std::bad_alloc&) {
    return nullptr;  // no name to hand out: a failure, as the C library reports running out of memory
  }
}
