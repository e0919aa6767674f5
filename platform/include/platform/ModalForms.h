// Modal forms: a form shown modally holds its caller until the form is hidden again.
//
// Keeps: the modal loop of one form: the caller waits while the designer works in the form, and goes
// on when the form's own code hides it. Leaves out: owner windows, positions, the return value of a
// modal form (forms report through their own members).
//
// Backends: hosts run their loop (dtchost runs the next script lines against the form); tests drive
// the form from a callback. Without a backend nobody is at the screen: the caller goes on at once, and
// the form is closed as it stands, as if the designer had closed its window.
#pragma once

#include <functional>

#include "platform/Forms.h"

namespace platform {

class ModalForms {
 public:
  virtual ~ModalForms() = default;
  // Runs the modal loop of `form`, which the caller has just shown; returns once `shown` answers
  // false (the form hid itself) or the backend gives up on it.
  virtual void ShowModal(Form& form, const std::function<bool()>& shown) = 0;
};

}  // namespace platform
