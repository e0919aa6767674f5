// The platform error a call raises, or its number.
#pragma once

#include <cstdint>
#include <utility>

#include "runtime/Error.h"

namespace testsupport {

// The platform error a call raises, or Error(0, "no error") when it raises none.
template <typename F>
platform::Error ErrorOf(F&& call) {
  try {
    std::forward<F>(call)();
  } catch (const platform::Error& e) {
    return e;
  }
  return platform::Error(0, "no error");
}

// The number of the platform error a call raises, or 0 when it raises none.
template <typename F>
std::int32_t ErrorNumberOf(F&& call) {
  return testsupport::ErrorOf(std::forward<F>(call)).Number();
}

}  // namespace testsupport
