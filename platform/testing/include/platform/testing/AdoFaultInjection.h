// Test backend of DataAccess: wraps a real one and makes chosen steps fail by countdown (FaultPlan).
//
// Every call on the objects it creates is one step of a kind (AdoStep), except a connection's
// Property, which passes through. FailAt(step, n) makes the n-th call of that kind from now on (1 =
// the very next) throw instead of reaching the real object; with Persistence::FromThenOn every later
// call of that kind fails too. Calls() counts the calls of
// each kind, failed ones included. A failing Open leaves its object closed, a failing Close leaves it
// open (the real object is released with the wrapper), any other failing step changes nothing.
//
//   FailAt(AdoStep::RecordsetOpen, 1)   the next recordset cannot be opened
//   FailAt(AdoStep::Execute, 2)         the second statement from now fails
//   FailAt(AdoStep::MoveNext, 3)        rows 1 to 3 are read, moving on to row 4 fails
//
// The default failure looks like the data source's: a DataAccessError (E_FAIL) with one diagnostic
// record whose message is "[injected] <step> failed". The plan is shared by every object the wrapper
// created and may be changed from any thread; each object is used by one thread, as any other.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/Ado.h"
#include "platform/testing/FaultPlan.h"

namespace platform::testing {

enum class AdoStep {
  NewConnection,
  NewRecordset,
  ConnectionOpen,
  ConnectionClose,
  Execute,
  BeginTrans,
  CommitTrans,
  RollbackTrans,
  RecordsetOpen,
  RecordsetClose,
  Eof,
  Bof,
  RecordCount,
  MoveFirst,
  MoveLast,
  MoveNext,
  MovePrevious,
  Field,
};
inline constexpr std::size_t kAdoStepCount = static_cast<std::size_t>(AdoStep::Field) + 1;

std::string_view AdoStepName(AdoStep step);

namespace detail {
class AdoFaultPlan;  // the counts and faults, shared by the wrapper and its objects
}  // namespace detail

class FaultInjectingDataAccess : public ado::DataAccess {
 public:
  // `inner` outlives this object and every object it creates.
  explicit FaultInjectingDataAccess(ado::DataAccess& inner);

  void FailAt(AdoStep step, int nth, Persistence persistence = Persistence::Once);
  // Fails with `error` (its number and description) instead of the default failure.
  void FailAt(AdoStep step, int nth, const Error& error, Persistence persistence = Persistence::Once);
  // Disarms every fault; the counts stay.
  void Clear();
  int Calls(AdoStep step) const;

  std::unique_ptr<ado::Connection> NewConnection() override;
  std::unique_ptr<ado::Recordset> NewRecordset() override;

 private:
  ado::DataAccess& inner_;
  std::shared_ptr<detail::AdoFaultPlan> plan_;
};

}  // namespace platform::testing
