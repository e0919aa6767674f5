#include "platform/testing/ComClassTable.h"

#include <array>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/Ascii.h"

namespace platform::testing {

struct ComClassTable::State {
  struct Fault {
    HRESULT failure;
    int successes;
    bool persistent;
  };

  // S_OK, or the injected failure when the countdown for `step` has run out.
  HRESULT Check(ComStep step) {
    std::optional<Fault>& fault = faults[static_cast<std::size_t>(step)];
    if (!fault) return hr::S_OK;
    if (fault->successes > 0) {
      --fault->successes;
      return hr::S_OK;
    }
    const HRESULT failure = fault->failure;
    if (!fault->persistent) fault.reset();
    return failure;
  }

  std::mutex mutex;
  std::vector<std::pair<std::string, GUID>> progIds;
  std::unordered_map<GUID, FunctionClassFactory::CreateFunction> classes;
  std::array<std::optional<Fault>, 3> faults;
  int created = 0;
};

ComClassTable::ComClassTable() : state_(std::make_shared<State>()) {}

void ComClassTable::Register(std::string_view progId, const GUID& clsid,
                             FunctionClassFactory::CreateFunction create) {
  std::lock_guard lock(state_->mutex);
  state_->classes[clsid] = std::move(create);
  if (progId.empty()) return;
  for (auto& [name, id] : state_->progIds) {
    if (EqualsIgnoreAsciiCase(name, progId)) {
      id = clsid;
      return;
    }
  }
  state_->progIds.emplace_back(std::string(progId), clsid);
}

void ComClassTable::InjectFault(ComStep step, HRESULT failure, int successes, bool persistent) {
  std::lock_guard lock(state_->mutex);
  state_->faults[static_cast<std::size_t>(step)] = State::Fault{failure, successes, persistent};
}

void ComClassTable::ClearFaults() {
  std::lock_guard lock(state_->mutex);
  for (auto& fault : state_->faults) fault.reset();
}

int ComClassTable::CreatedCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->created;
}

HRESULT ComClassTable::ClassIdFromProgId(std::string_view progId, GUID& clsid) {
  std::lock_guard lock(state_->mutex);
  if (const HRESULT failure = state_->Check(ComStep::ClassIdLookup); Failed(failure)) return failure;
  for (const auto& [name, id] : state_->progIds) {
    if (EqualsIgnoreAsciiCase(name, progId)) {
      clsid = id;
      return hr::S_OK;
    }
  }
  return hr::CO_E_CLASSSTRING;
}

HRESULT ComClassTable::GetClassObject(const GUID& clsid, std::uint32_t context, const GUID& iid, void** out) {
  if (out == nullptr) return hr::E_POINTER;
  *out = nullptr;
  FunctionClassFactory::CreateFunction create;
  {
    std::lock_guard lock(state_->mutex);
    if (const HRESULT failure = state_->Check(ComStep::ClassObject); Failed(failure)) return failure;
    if ((context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0) return hr::REGDB_E_CLASSNOTREG;
    auto found = state_->classes.find(clsid);
    if (found == state_->classes.end()) return hr::REGDB_E_CLASSNOTREG;
    create = found->second;
  }
  auto factory = MakeComObject<FunctionClassFactory>(
      [state = state_, create = std::move(create)](const GUID& wanted, void** object) {
        {
          std::lock_guard lock(state->mutex);
          if (const HRESULT failure = state->Check(ComStep::Creation); Failed(failure)) return failure;
        }
        const HRESULT result = create(wanted, object);
        if (Succeeded(result)) {
          std::lock_guard lock(state->mutex);
          ++state->created;
        }
        return result;
      });
  return factory->QueryInterface(iid, out);
}

}  // namespace platform::testing
