// COM apartments and process security for the threads of a server process.
//
// Keeps: joining an apartment (CoInitializeEx: S_OK the first time on a thread, S_FALSE when the
// thread is already in an apartment of the same kind, RPC_E_CHANGED_MODE for the other kind);
// leaving it (CoUninitialize, one for each successful join); process-wide security
// (CoInitializeSecurity, here always access for everyone with packet-level authentication and
// impersonation: S_OK the first time, RPC_E_TOO_LATE after that).
// Leaves out: security descriptors and authentication lists, class-object registration (a server
// whose class table is empty has nothing to register), marshalling, apartment message pumps.
// Creating components is Com.h's.
//
// Backends: OpenComApartment() on Linux keeps the apartments' bookkeeping in the process;
// TestComApartment in platform/testing runs the same code and can fail joining by countdown.
#pragma once

#include <memory>

#include "runtime/Error.h"

namespace platform {

inline constexpr HRESULT kSOk = 0;
inline constexpr HRESULT kSFalse = 1;
inline constexpr HRESULT kRpcEChangedMode = static_cast<HRESULT>(0x80010106u);
inline constexpr HRESULT kRpcETooLate = static_cast<HRESULT>(0x80010119u);

enum class Apartment { Multithreaded, ApartmentThreaded };

class ComApartment {
 public:
  virtual ~ComApartment() = default;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT Initialize(Apartment apartment) = 0;
  virtual void Uninitialize() = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT InitializeSecurity() = 0;
};

std::unique_ptr<ComApartment> OpenComApartment();

}  // namespace platform
