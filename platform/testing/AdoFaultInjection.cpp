// The fault-injecting data access: every step of its connections and recordsets counted against its plan.
#include "platform/testing/AdoFaultInjection.h"

#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

namespace platform::testing {

namespace detail {

class AdoFaultPlan {
 public:
  // Counts a call of `step` and throws when it is to fail.
  void Step(AdoStep step);
  void Arm(AdoStep step, int nth, std::function<void()> thrower, Persistence persistence);
  void Clear();
  int Calls(AdoStep step) const;

 private:
  mutable std::mutex mutex_;
  std::array<int, kAdoStepCount> calls_{};
  std::array<FaultPlan, kAdoStepCount> plans_{};
  std::array<std::function<void()>, kAdoStepCount> throwers_{};
};

}  // namespace detail

namespace {

using Plan = detail::AdoFaultPlan;

std::size_t IndexOf(AdoStep step) {
  return static_cast<std::size_t>(step);
}

class FaultyRecordset final : public ado::Recordset {
 public:
  FaultyRecordset(std::unique_ptr<ado::Recordset> inner, std::shared_ptr<Plan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}

  void Open(std::string_view source, std::string_view activeConnection, ado::CursorType cursorType,
            ado::LockType lockType, long options) override {
    plan_->Step(AdoStep::RecordsetOpen);
    inner_->Open(source, activeConnection, cursorType, lockType, options);
  }
  void Close() override {
    plan_->Step(AdoStep::RecordsetClose);
    inner_->Close();
  }
  ado::ObjectState State() const override { return inner_->State(); }
  bool Eof() const override {
    plan_->Step(AdoStep::Eof);
    return inner_->Eof();
  }
  bool Bof() const override {
    plan_->Step(AdoStep::Bof);
    return inner_->Bof();
  }
  std::int32_t RecordCount() const override {
    plan_->Step(AdoStep::RecordCount);
    return inner_->RecordCount();
  }
  void MoveFirst() override {
    plan_->Step(AdoStep::MoveFirst);
    inner_->MoveFirst();
  }
  void MoveLast() override {
    plan_->Step(AdoStep::MoveLast);
    inner_->MoveLast();
  }
  void MoveNext() override {
    plan_->Step(AdoStep::MoveNext);
    inner_->MoveNext();
  }
  void MovePrevious() override {
    plan_->Step(AdoStep::MovePrevious);
    inner_->MovePrevious();
  }
  std::int32_t FieldCount() const override { return inner_->FieldCount(); }
  std::string FieldName(std::int32_t index) const override { return inner_->FieldName(index); }
  Variant Field(std::string_view name) const override {
    plan_->Step(AdoStep::Field);
    return inner_->Field(name);
  }
  Variant Field(std::int32_t index) const override {
    plan_->Step(AdoStep::Field);
    return inner_->Field(index);
  }

 private:
  std::unique_ptr<ado::Recordset> inner_;
  std::shared_ptr<Plan> plan_;
};

class FaultyConnection final : public ado::Connection {
 public:
  FaultyConnection(std::unique_ptr<ado::Connection> inner, std::shared_ptr<Plan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}

  void SetConnectionString(std::string_view connectionString) override {
    inner_->SetConnectionString(connectionString);
  }
  std::string ConnectionString() const override { return inner_->ConnectionString(); }
  void Open(std::string_view connectionString) override {
    plan_->Step(AdoStep::ConnectionOpen);
    inner_->Open(connectionString);
  }
  void Close() override {
    plan_->Step(AdoStep::ConnectionClose);
    inner_->Close();
  }
  ado::ObjectState State() const override { return inner_->State(); }
  std::unique_ptr<ado::Recordset> Execute(std::string_view commandText, std::int32_t* recordsAffected,
                                          long options) override {
    plan_->Step(AdoStep::Execute);
    return std::make_unique<FaultyRecordset>(inner_->Execute(commandText, recordsAffected, options), plan_);
  }
  std::int32_t BeginTrans() override {
    plan_->Step(AdoStep::BeginTrans);
    return inner_->BeginTrans();
  }
  void CommitTrans() override {
    plan_->Step(AdoStep::CommitTrans);
    inner_->CommitTrans();
  }
  void RollbackTrans() override {
    plan_->Step(AdoStep::RollbackTrans);
    inner_->RollbackTrans();
  }
  std::string Property(std::string_view name) const override { return inner_->Property(name); }

 private:
  std::unique_ptr<ado::Connection> inner_;
  std::shared_ptr<Plan> plan_;
};

}  // namespace

std::string_view AdoStepName(AdoStep step) {
  switch (step) {
    case AdoStep::NewConnection:
      return "NewConnection";
    case AdoStep::NewRecordset:
      return "NewRecordset";
    case AdoStep::ConnectionOpen:
      return "Connection.Open";
    case AdoStep::ConnectionClose:
      return "Connection.Close";
    case AdoStep::Execute:
      return "Connection.Execute";
    case AdoStep::BeginTrans:
      return "Connection.BeginTrans";
    case AdoStep::CommitTrans:
      return "Connection.CommitTrans";
    case AdoStep::RollbackTrans:
      return "Connection.RollbackTrans";
    case AdoStep::RecordsetOpen:
      return "Recordset.Open";
    case AdoStep::RecordsetClose:
      return "Recordset.Close";
    case AdoStep::Eof:
      return "Recordset.EOF";
    case AdoStep::Bof:
      return "Recordset.BOF";
    case AdoStep::RecordCount:
      return "Recordset.RecordCount";
    case AdoStep::MoveFirst:
      return "Recordset.MoveFirst";
    case AdoStep::MoveLast:
      return "Recordset.MoveLast";
    case AdoStep::MoveNext:
      return "Recordset.MoveNext";
    case AdoStep::MovePrevious:
      return "Recordset.MovePrevious";
    case AdoStep::Field:
      return "Recordset.Fields";
  }
  return "?";
}

void Plan::Step(AdoStep step) {
  std::function<void()> thrower;
  {
    const std::lock_guard lock(mutex_);
    ++calls_[IndexOf(step)];
    if (plans_[IndexOf(step)].Fails()) thrower = throwers_[IndexOf(step)];
  }
  if (thrower) thrower();
}

void Plan::Arm(AdoStep step, int nth, std::function<void()> thrower, Persistence persistence) {
  const std::lock_guard lock(mutex_);
  plans_[IndexOf(step)].FailAt(nth, persistence);
  throwers_[IndexOf(step)] = std::move(thrower);
}

void Plan::Clear() {
  const std::lock_guard lock(mutex_);
  for (FaultPlan& plan : plans_) plan.Clear();
}

int Plan::Calls(AdoStep step) const {
  const std::lock_guard lock(mutex_);
  return calls_[IndexOf(step)];
}

FaultInjectingDataAccess::FaultInjectingDataAccess(ado::DataAccess& inner)
    : inner_(inner), plan_(std::make_shared<Plan>()) {}

void FaultInjectingDataAccess::FailAt(AdoStep step, int nth, Persistence persistence) {
  const std::string message = "[injected] " + std::string(AdoStepName(step)) + " failed";
  plan_->Arm(
      step, nth,
      [message] {
        throw ado::DataAccessError({{"HY000", 0, message}});
      },
      persistence);
}

void FaultInjectingDataAccess::FailAt(AdoStep step, int nth, const Error& error, Persistence persistence) {
  plan_->Arm(
      step, nth,
      [number = error.Number(), description = error.Description()] { throw Error(number, description); },
      persistence);
}

void FaultInjectingDataAccess::Clear() {
  plan_->Clear();
}

int FaultInjectingDataAccess::Calls(AdoStep step) const {
  return plan_->Calls(step);
}

std::unique_ptr<ado::Connection> FaultInjectingDataAccess::NewConnection() {
  plan_->Step(AdoStep::NewConnection);
  return std::make_unique<FaultyConnection>(inner_.NewConnection(), plan_);
}

std::unique_ptr<ado::Recordset> FaultInjectingDataAccess::NewRecordset() {
  plan_->Step(AdoStep::NewRecordset);
  return std::make_unique<FaultyRecordset>(inner_.NewRecordset(), plan_);
}

}  // namespace platform::testing
