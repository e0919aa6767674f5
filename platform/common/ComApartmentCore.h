// The bookkeeping of COM apartments, shared by every backend. Not part of the public interface.
#pragma once

#include <functional>
#include <memory>

#include "platform/ComApartment.h"

namespace platform::detail {

// `initializeFault` returns 0, or the HRESULT with which this Initialize fails.
std::unique_ptr<ComApartment> MakeComApartment(std::function<HRESULT()> initializeFault);

}  // namespace platform::detail
