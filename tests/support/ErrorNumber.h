// The number of the platform error a call raises, or 0 when it raises none.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/Error.h"

namespace testsupport {

template <typename F>
std::int32_t ErrorNumberOf(F&& call) {
  try {
    std::forward<F>(call)();
  } catch (const platform::Error& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace testsupport
