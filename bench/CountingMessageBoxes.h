// Message boxes for benchmarks: every box is answered with its first button and counted, nothing is
// kept, so showing messages costs the benchmark next to nothing.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/MessageBox.h"

namespace bench {

class CountingMessageBoxes : public platform::MessageBoxes {
 public:
  platform::MsgBoxResult Show(std::string_view, std::int32_t buttons, std::string_view) override {
    ++shown;
    return platform::FirstButton(buttons);
  }
  int shown = 0;
};

}  // namespace bench
