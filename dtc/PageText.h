// Page text generation: the page template below the install directory with its placeholders
// replaced from the control's configuration (HeaderDTC's GetRuntimeText and the builders of its
// fragments), and the fixed names it works with.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "dtc/ControlContext.h"
#include "dtc/ProviderKinds.h"
#include "dtc/ProviderTab.h"
#include "runtime/DesignTimeControlSite.h"

namespace dtc {

// The registry value that names the install directory, and the page template below it.
inline constexpr std::string_view kInstallDirRegistryValue =
    "HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir";
inline constexpr std::string_view kPageTemplatePath = "Vistelle\\include\\DTC_TEMPLATE.ASP";

// The placeholders of the page template, in the order GetRuntimeText replaces them.
inline constexpr std::string_view kPagePlaceholders[] = {
    "<PATH_TO_ROOT>",
    "<DEFAULTPAGESIZE>",
    "<INITIAL_DRAV_SORT_FIELD>",
    "<INITIAL_EAI_SORT_FIELD>",
    "<DATAPROVIDER>",
    "<EXTRA_INCLUDES>",
    "<XSL_FILENAME>",
    "<USER_DEFINED_SCRIPTS>",
    "<SPECIFY_EAI_KEYFIELDS>",
    "<ADD_EAI_RETURN_FIELDS>",
    "<SPECIFY_EAI_CRITERIA>",
    "<SPECIFY_EAI_I18N_FIELDS>",
    "<SPECIFY_EAI_I18N_FIELDVALUES>",
    "<SPECIFY_DRAV_KEYFIELDS>",
    "<ADD_DRAV_RETURN_FIELDS>",
    "<SPECIFY_DRAV_CRITERIA>",
    "<SPECIFY_DRAV_I18N_FIELDS>",
    "<SPECIFY_DRAV_I18N_FIELDVALUES>",
    "<SPECIFY_EAI_LINKED_FIELDS>",
    "<SPECIFY_DRAV_LINKED_FIELDS>",
    "<SPECIFY_DRAV_LINKED_FIELDVALUES>",
    "<SPECIFY_EAI_LINKED_FIELDVALUES>",
    "<RETURN_FIELDS_VARNAME>",
    "<LINKED_RETURN_FIELDS_VARNAME>",
    "<LINKED_FIELDS_VARNAME>",
    "<LINKED_DATAPROVIDER>",
    "<LINKED_DATAPROVIDER_VARNAME>",
    "<DATAPROVIDER_VARNAME>",
    "<ENABLE_EXTRA_FILTERS>",
};

// Builds the page text from the control's editor and members, as they stand, and the value kinds
// of its provider tabs; it holds the design-time control site, which locates the edited page.
class PageTextBuilder {
 public:
  PageTextBuilder(const ControlContext& control, const PerKind<ProviderTab>& providerTabs)
      : control_(control), providerTabs_(providerTabs) {}
  PageTextBuilder(const PageTextBuilder&) = delete;
  PageTextBuilder& operator=(const PageTextBuilder&) = delete;

  // IDesignTimeControl.DesignTimeControlSite: the host's site, used only to locate the edited page.
  // An empty pointer (the host's nothing) leaves the control without a site.
  void SetDesignTimeControlSite(std::shared_ptr<platform::DesignTimeControlSite> site) {
    site_ = std::move(site);
  }
  const std::shared_ptr<platform::DesignTimeControlSite>& DesignTimeControlSite() const noexcept {
    return site_;
  }

  // IProvideRuntimeText.GetRuntimeText: the page template below the install directory with its
  // placeholders replaced from the current configuration. A failure that ends the request is shown
  // as "Error in 'IProvideRuntimeText_GetRuntimeText': <description>(<number>)" and the text holds
  // what the working text was at that moment; the call then returns false.
  [[nodiscard]] bool GetRuntimeText(std::string& text) const;
  // Why a caller that wants the text whatever happened may drop that result.
  static constexpr const char* kTextAsFarAsItGot = "a failure has been shown; the text is what it got to";

  // "../" once per folder between the edited page and the site root; empty without a site.
  std::string GetRelativePathRoot() const;
  // The install directory from the registry, upper-cased and ending in "\"; empty after the message
  // "Can not find REGKEY '...'" when it is not there.
  std::string GetInstallDir() const;

  // The fragments of the page text. Kinds 1 and 2 (EAI, DRAV) for the first five, 4 and 5 (EAI link,
  // DRAV link) for the last two; another kind is Invalid procedure call or argument (5).
  std::string GetKeyFieldsRuntimeText(ProviderKind kind) const;
  std::string GetReturnFieldsRuntimeText(ProviderKind kind) const;
  std::string GetCriteriaRuntimeText(ProviderKind kind) const;
  std::string GetI18NFieldnamesRuntimeText(ProviderKind kind) const;
  std::string GetI18NFieldValuesRuntimeText(ProviderKind kind) const;
  std::string GetLinkedReturnFieldsRuntimeText(ProviderKind kind) const;
  std::string GetLinkedFieldsRuntimeText(ProviderKind kind) const;

 private:
  void ReadPageTemplate(std::string& text) const;
  std::string ExtraIncludesRuntimeText(const std::string& root) const;
  std::string UserDefinedScriptsRuntimeText() const;
  std::string I18NRuntimeText(ProviderKind kind, bool values) const;

  const ControlContext& control_;
  const PerKind<ProviderTab>& providerTabs_;
  std::shared_ptr<platform::DesignTimeControlSite> site_;
};

}  // namespace dtc
