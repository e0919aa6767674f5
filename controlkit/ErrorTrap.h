// The common error trap of the control library's procedures (the control's and its dialogs'): a
// run-time error inside a procedure is shown as a modal message
// "Error in '<procedure>': <description> (<number>)" and the procedure ends; its caller goes on.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/Error.h"
#include "runtime/MessageBox.h"

namespace controlkit {

// The message text the trap shows.
std::string TrapMessage(std::string_view procedure, std::int32_t number, std::string_view description);

// Shows the trap's message for the exception being handled (call from a catch block).
void ShowTrappedError(platform::MessageBoxes& boxes, std::string_view procedure);

// Runs `body` under the trap. Returns true when it ran to its end, false when an error ended it.
template <class Body>
bool RunTrapped(platform::MessageBoxes& boxes, std::string_view procedure, Body&& body) {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    ShowTrappedError(boxes, procedure);
    return false;
  }
}

}  // namespace controlkit
