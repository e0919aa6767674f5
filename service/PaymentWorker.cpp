// The payment worker's hand-over: a fresh payment component for one order, its Run, its release.
#include "interfaces/Payment.h"
#include "service/PaymentBatchWork.h"
#include "service/ServiceModule.h"
#include "service/StringTable.h"

namespace tillmoor {

namespace {

void ReportFailure(ServiceModule& module, int message, const std::string& orderId,
                   platform::HRESULT failure) {
  module.CountFailedPayment();
  const std::string text = LoadServiceString(message);
  const std::string reason = platform::HResultText(failure);
  if (reason.rfind("Error 0x", 0) == 0) {
    module.ReportMessage("%s (order %s, error 0x%08X)", text.c_str(), orderId.c_str(),
                         static_cast<unsigned>(failure));
  } else {
    module.ReportMessage("%s (order %s, error 0x%08X: %s)", text.c_str(), orderId.c_str(),
                         static_cast<unsigned>(failure), reason.c_str());
  }
}

}  // namespace

// The component and its reference are released before this returns, that is before the worker
// signals its slot, so nothing of a worker outlives the cycle that started it.
void PaymentBatchWork::PayOrder(ServiceModule& module, const std::string& orderId) {
  // Created for IUnknown and then asked for the payment interface, so that a component that cannot
  // be made (101) and one without the interface (102) are told apart.
  platform::ComPtr<platform::IUnknown> component;
  platform::HRESULT result =
      components_.CreateInstance(platform::kPaymentProgId, platform::CLSCTX_ALL, component);
  if (platform::Failed(result)) {
    ReportFailure(module, kIdsCreateInstanceFailed, orderId, result);
    return;
  }
  platform::ComPtr<platform::IPayment> payment;
  result = component.As(payment);
  if (platform::Failed(result) || !payment) {
    ReportFailure(module, kIdsRunNotSupported, orderId,
                  platform::Failed(result) ? result : platform::hr::E_NOINTERFACE);
    return;
  }
  short paymentResult = 0;  // the component's 16-bit result; the service has no use for it
  result = payment->Run(orderId, &paymentResult);
  if (platform::Failed(result)) ReportFailure(module, kIdsRunFailed, orderId, result);
}

}  // namespace tillmoor
