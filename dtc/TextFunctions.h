// The text functions under the control's own names. They are the control kit's
// (controlkit/TextFunctions.h), which the translation dialogs share.
#pragma once

#include "controlkit/TextFunctions.h"

namespace dtc {

using controlkit::CharacterCount;
using controlkit::ReplaceNoCase;
using controlkit::RightCharacters;
using controlkit::SplitPiece;
using controlkit::TrimSpaces;
using controlkit::UCase;

}  // namespace dtc
