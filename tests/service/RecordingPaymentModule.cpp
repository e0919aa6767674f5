// A payment component for the tests of several hosts (libRecordingPayment.so): it records every Run
// call, not only the settlements, and settles as the reference component does. regsvr registers it
// under the payment ProgID with a class id of its own.
//
// Each Run appends to the file $TESSERY_RUN_LOG (when set), with one write per line so that lines
// of concurrent calls never mix:
//   begin <order id> <pid> <t>            before the order is handed to the reference component
//   end <order id> <pid> <hresult> <t>    when it has returned, the result as 0x%08X
// t is the monotonic clock in nanoseconds, one clock for every process of the machine. A Run whose
// process is killed meanwhile has a begin and no end.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "components/CCPayment.h"

namespace {

using namespace platform;

constexpr GUID kRecordingPaymentClsid = GuidLiteral("{3C9A7E15-2B64-4D0F-9E81-6F5A2C3B7D90}");

ClassRegistration Registration() {
  return {kRecordingPaymentClsid, std::string(kPaymentProgId), "Payment component that records every Run",
          "Both"};
}

ado::DataAccess& ModuleDataAccess() {
  static ado::DataAccess* const access = ado::OpenOdbcDataAccess().release();
  return *access;
}

void Record(const std::string& line) {
  const char* path = std::getenv("TESSERY_RUN_LOG");
  if (path == nullptr || *path == '\0') return;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const std::string text =
      line + " " + std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec) + "\n";
  const int file = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (file < 0) return;
  [[maybe_unused]] const ssize_t written = ::write(file, text.data(), text.size());
  ::close(file);
}

class RecordingPayment final : public ComObject<IPayment> {
 public:
  explicit RecordingPayment(Registry& registry)
      : settle_(components::MakeCCPayment(registry, ModuleDataAccess())) {}

  HRESULT Run(std::string_view orderId, short* result) override {
    const std::string id(orderId);
    const std::string pid = std::to_string(::getpid());
    Record("begin " + id + " " + pid);
    const HRESULT outcome = settle_->Run(orderId, result);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(outcome));
    Record("end " + id + " " + pid + " " + code);
    return outcome;
  }

 private:
  ComPtr<IPayment> settle_;
};

}  // namespace

COM_MODULE_EXPORT HRESULT DllGetClassObject(const ModuleSite& site, const GUID& clsid, const GUID& iid,
                                            void** out) {
  if (clsid != kRecordingPaymentClsid) return ServeClassObject({}, iid, out);
  Registry* registry = &site.registry;
  return ServeClassObject(
      [registry](const GUID& wanted, void** object) {
        return MakeComObject<RecordingPayment>(*registry)->QueryInterface(wanted, object);
      },
      iid, out);
}

COM_MODULE_EXPORT HRESULT DllRegisterServer(const ModuleSite& site) {
  return RegisterComClass(site.registry, Registration(), site.modulePath);
}

COM_MODULE_EXPORT HRESULT DllUnregisterServer(const ModuleSite& site) {
  return UnregisterComClass(site.registry, Registration());
}
