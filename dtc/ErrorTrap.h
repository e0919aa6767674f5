// The common error trap under the control's own names. The trap is the control kit's
// (controlkit/ErrorTrap.h), which the translation dialogs share.
#pragma once

#include "controlkit/ErrorTrap.h"

namespace dtc {

using controlkit::RunTrapped;
using controlkit::ShowTrappedError;
using controlkit::TrapMessage;

}  // namespace dtc
