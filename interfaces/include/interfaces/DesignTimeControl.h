// The page editor's design-time control interfaces, as a control implements them: IDesignTimeControl
// (the host hands the control its site) and IProvideRuntimeText (the host asks for the text the
// control stands for in the page).
//
// Keeps: the DesignTimeControlSite property (the site object, or an empty pointer for the host's
// nothing), the notification members with the arguments a control may look at, and GetRuntimeText.
// Leaves out: the choice objects behind OnGetChoices / OnChoiceChange / OnChoiceConflict / OnRebind
// (they are passed as opaque pointers), and the editor's window handling.
#pragma once

#include <memory>
#include <string>

#include "platform/Com.h"
#include "runtime/DesignTimeControlSite.h"
#include "runtime/Variant.h"

namespace platform {

class IDesignTimeControl : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{4A7E2C90-1D3B-4F5A-8C6E-0B9D2E4F6A71}");

  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT get_DesignTimeControlSite(
      std::shared_ptr<DesignTimeControlSite>& site) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT put_DesignTimeControlSite(
      std::shared_ptr<DesignTimeControlSite> site) = 0;
  // The choices the control offers to other controls of the page (Empty: none).
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT OnGetChoices(Variant& choices) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT OnChoiceChange(const void* choice,
                                                                        std::int32_t change) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT OnChoiceConflict(const void* choice,
                                                                          std::int32_t resolution) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT OnRebind(const void* choice) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT OnHostingChange(std::int32_t hostingChange) = 0;
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT DesignTimeControlSet(std::int32_t state) = 0;

 protected:
  ~IDesignTimeControl() = default;
};

class IProvideRuntimeText : public IUnknown {
 public:
  static constexpr GUID kIid = GuidLiteral("{4A7E2C91-1D3B-4F5A-8C6E-0B9D2E4F6A71}");

  // The text the control's place in the page takes. S_OK with the text; a failure the control
  // reported itself still gives S_FALSE and the text as far as it got.
  [[nodiscard, gnu::warn_unused_result]] virtual HRESULT GetRuntimeText(std::string& text) = 0;

 protected:
  ~IProvideRuntimeText() = default;
};

}  // namespace platform
