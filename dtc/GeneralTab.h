// The General tab: the data provider of the page, the extra-filters flag, the extra ASP files the
// page includes, the page's XSL file and the "Save" button that writes the page text for looking at
// it. The tab holds the data-provider catalog, which fills the provider combos.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dtc/ControlContext.h"
#include "dtc/PageText.h"
#include "interfaces/DataProviders.h"
#include "platform/Com.h"

namespace dtc {

// The part of `path` below the site root `root` with every "\" replaced by "/", or nullopt when the
// path lies outside the site. `root` is upper case and ends in "\" (or is empty: every path is
// inside); the first root-length bytes of `path` are compared with it after upper-casing their
// ASCII letters, so a folder that differs from the install directory only in letter case is inside.
std::optional<std::string> SiteRelativePath(std::string_view path, std::string_view root);

class GeneralTab {
 public:
  // Connects the tab's handlers to its controls' events. The browse buttons find the site root, and
  // the "Save" button the page text, through `pageText`.
  GeneralTab(ControlContext& control, const PageTextBuilder& pageText);
  GeneralTab(const GeneralTab&) = delete;
  GeneralTab& operator=(const GeneralTab&) = delete;

  // The tab protocol: PrepareGeneralTab (fills the provider combos from the catalog, once) and
  // SaveGeneralState (the provider chosen becomes the one in effect).
  void Prepare();
  void SaveState();

  // The handlers. Load runs DataProvidersCombo_Click too, by selecting the stored provider.
  void DataProvidersCombo_Click();
  void EnableExtraFiltersCheck_Click();
  void BrowseForIncludeASPCommand_Click();
  void IncludeASPAddCommand_Click();
  void IncludeASPDeleteCommand_Click();
  void IncludeASPList_Click();
  void BrowseForXSLFileCommand_Click();
  // The "Save" button: the page text into "c:\temp\DTC.TXT", for looking at it; nothing is stored.
  void SaveCommand_Click();

 private:
  // The file chosen in the file-open dialog, relative to the site root `root`; nullopt when the
  // dialog was cancelled or the file lies outside the site (then after `outsideMessage`).
  std::optional<std::string> ChooseSiteFile(const std::string& root, const std::string& initDir,
                                            const std::string& filter, const std::string& outsideMessage);

  ControlContext& control_;
  const PageTextBuilder& pageText_;
  // Created by the first Prepare that succeeds in creating it; kept for the control's life.
  platform::ComPtr<platform::IDataProviderCatalog> catalog_;
};

}  // namespace dtc
