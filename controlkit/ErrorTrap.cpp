// The common error trap: the message "Error in '<procedure>': ..." built and shown for a trapped error.
#include "controlkit/ErrorTrap.h"

#include <new>

namespace controlkit {

std::string TrapMessage(std::string_view procedure, std::int32_t number, std::string_view description) {
  std::string text = "Error in '";
  text.append(procedure).append("': ").append(description);
  text.append(" (").append(std::to_string(number)).append(")");
  return text;
}

void ShowTrappedError(platform::MessageBoxes& boxes, std::string_view procedure) {
  try {
    throw;
  } catch (const platform::Error& e) {
    boxes.Show(TrapMessage(procedure, e.Number(), e.Description()));
  } catch (const std::bad_alloc&) {
    boxes.Show(TrapMessage(procedure, platform::err::OutOfMemory,
                           platform::StandardDescription(platform::err::OutOfMemory)));
  } catch (const std::exception& e) {
    // Anything the platform layer did not translate is an internal error of the control.
    boxes.Show(TrapMessage(procedure, platform::err::InternalError, e.what()));
  }
}

}  // namespace controlkit
