// COM apartments: which threads are in which apartment, how often they joined, and whether process
// security was set.
#include <map>
#include <mutex>

#include "ComApartmentCore.h"
#include "platform/Threading.h"

namespace platform::detail {

namespace {

class CoreComApartment final : public ComApartment {
 public:
  explicit CoreComApartment(std::function<HRESULT()> initializeFault)
      : initializeFault_(std::move(initializeFault)) {}

  HRESULT Initialize(Apartment apartment) override {
    if (initializeFault_) {
      if (HRESULT code = initializeFault_(); code != 0) return code;
    }
    std::lock_guard lock(mutex_);
    auto [entry, added] = threads_.try_emplace(CurrentThreadId(), Joined{apartment, 0});
    if (!added && entry->second.apartment != apartment) return kRpcEChangedMode;
    ++entry->second.count;
    return added ? kSOk : kSFalse;
  }

  void Uninitialize() override {
    std::lock_guard lock(mutex_);
    auto entry = threads_.find(CurrentThreadId());
    if (entry == threads_.end()) return;
    if (--entry->second.count == 0) threads_.erase(entry);
  }

  HRESULT InitializeSecurity() override {
    std::lock_guard lock(mutex_);
    if (securitySet_) return kRpcETooLate;
    securitySet_ = true;
    return kSOk;
  }

 private:
  struct Joined {
    Apartment apartment;
    int count;
  };

  std::function<HRESULT()> initializeFault_;
  std::mutex mutex_;
  std::map<ThreadId, Joined> threads_;
  bool securitySet_ = false;
};

}  // namespace

std::unique_ptr<ComApartment> MakeComApartment(std::function<HRESULT()> initializeFault) {
  return std::make_unique<CoreComApartment>(std::move(initializeFault));
}

}  // namespace platform::detail
