// The payment component: the external component that settles one order by card. It is not part of
// this system; what the service relies on is this interface.
//
// Keeps: creation from the ProgID "CVOrderProcess.CCPayment" with CLSCTX_ALL; the payment interface
// with its interface id; its `Run` method, which handles one order and returns when the order has
// been handled, reporting failure through its HRESULT and handing back a 16-bit value. The order id
// is UTF-8 text (on the platform a BSTR made from the ANSI text, which is UTF-8 here).
// Leaves out: the interface's dispatch side (IDispatch, type information, calls by name) and error
// information objects; the service calls `Run` directly through the interface.
#pragma once

#include <string_view>

#include "platform/Com.h"

namespace platform {

inline constexpr std::string_view kPaymentProgId = "CVOrderProcess.CCPayment";

class IPayment : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{0C03353B-FDDC-11D4-993C-0008C711C445}");

  // Handles the order `orderId`; `result` receives the component's 16-bit result (may not be null).
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT Run(std::string_view orderId, short* result) = 0;

 protected:
  ~IPayment() = default;
};

}  // namespace platform
