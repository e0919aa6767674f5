// Test backend of ComponentCreator: classes are C++ functions kept in a table under their class id
// and ProgID; no registry and no modules are involved. Like the Linux backend it finds classes only
// for contexts that include an in-process server.
//
// Failures are injected by countdown for one step of creation (ProgID lookup, class object, object
// creation): after a number of successful steps of that kind the next one fails with a chosen
// HRESULT, once or from then on (FaultPlan). Safe to use from several threads; class objects it hands out
// stay usable after the table is gone.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Com.h"

namespace platform::testing {

enum class ComStep { ClassIdLookup, ClassObject, Creation };

class ComClassTable final : public ComponentCreator {
 public:
  ComClassTable();

  // Registers a class under `clsid` and, unless `progId` is empty, under that ProgID (compared
  // without regard to case). A later registration of the same class id or ProgID replaces it.
  void Register(std::string_view progId, const GUID& clsid, FunctionClassFactory::CreateFunction create);
  template <typename T>
  void Register(std::string_view progId, const GUID& clsid) {
    Register(progId, clsid, CreateFunctionFor<T>());
  }

  // After `successes` more successful steps of kind `step`, the next one fails with `failure`; with
  // `persistent`, every later one fails too. Replaces an earlier fault for that step.
  void InjectFault(ComStep step, HRESULT failure, int successes = 0, bool persistent = false);
  void ClearFaults();

  // Objects made by the table's classes so far.
  int CreatedCount() const;

  [[nodiscard, gnu::warn_unused_result]] HRESULT ClassIdFromProgId(std::string_view progId,
                                                                   GUID& clsid) override;
  [[nodiscard, gnu::warn_unused_result]] HRESULT GetClassObject(const GUID& clsid, std::uint32_t context,
                                                                const GUID& iid, void** out) override;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace platform::testing
