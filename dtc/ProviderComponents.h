// The editor's calls on the product's data-provider components. Failures surface as run-time errors:
// a class that cannot be created as the platform's error 429 (with the creation failure in the
// description), a failing call as its HRESULT with the data-provider text. The kinds' own calls
// (their source component, their field items) are named in the kind table (dtc/ProviderKinds.h).
#pragma once

#include <string>

#include "interfaces/DataProviders.h"
#include "platform/Com.h"
#include "runtime/Error.h"
#include "runtime/Forms.h"

namespace dtc {

inline constexpr std::int32_t kCannotCreateObject = 429;

// Raises a failing HRESULT with its data-provider text.
void Check(platform::HRESULT result);

template <class Interface>
platform::ComPtr<Interface> CreateComponent(platform::ComponentCreator* creator,
                                            const platform::GUID& clsid) {
  platform::ComPtr<Interface> object;
  const platform::HRESULT result =
      creator ? creator->CreateInstance(clsid, platform::CLSCTX_ALL, Interface::kIid, object.PutVoid())
              : platform::hr::REGDB_E_CLASSNOTREG;
  if (platform::Failed(result)) {
    platform::Raise(kCannotCreateObject,
                    "ActiveX component can't create object: " + platform::HResultText(result));
  }
  return object;
}

// Appends the key fields of `provider` to `list`.
void AddKeyFields(platform::IProviderMetadata& metadata, const std::string& provider,
                  platform::ItemList& list);

}  // namespace dtc
