// A HeaderDTC with the services page text generation needs: a memory registry whose InstallDir is
// "c:\prog", in-memory files, and helpers to fill the configuration the way the editor holds it.
#pragma once

#include <string>
#include <vector>

#include "ControlFixture.h"
#include "dtc/PageText.h"
#include "platform/Registry.h"

namespace dtc::testing {

inline constexpr char kInstallKey[] = "SOFTWARE\\Tessery\\Tessery Corvane";
inline constexpr char kTemplateFile[] = "C:\\PROG\\Vistelle\\include\\DTC_TEMPLATE.ASP";

class PageTextTest : public ControlTest {
 protected:
  PageTextTest() {
    EXPECT_EQ(registry->CreateKey(platform::RootKey::LocalMachine, kInstallKey), 0);
    SetInstallDir("c:\\prog");
    control = NewPageControl();
  }

  std::unique_ptr<HeaderDTC> NewPageControl() { return NewControl(); }

  void SetInstallDir(std::string_view directory) {
    EXPECT_EQ(registry->SetValue(platform::RootKey::LocalMachine, kInstallKey, "InstallDir",
                                 platform::RegistryValue::String(directory)),
              0);
  }
  void PutTemplate(std::string content) { files.Put(kTemplateFile, std::move(content)); }
  void SetSite(std::string base, std::string page) {
    control->SetDesignTimeControlSite(platform::MakePageLocationSite(std::move(base), std::move(page)));
  }

  EditorForm& Ui() { return control->Editor(); }
  // A criteria row (growing the grid as needed); the value kind is recorded when given.
  void Criterion(ProviderKind kind, std::int32_t row, std::string key, std::string op, std::string value) {
    platform::FlexGrid& grid = Ui().Side(kind).CriteriaGrid;
    while (grid.Rows() <= row) grid.AddItem("");
    grid.SetTextMatrix(row, 1, std::move(key));
    grid.SetTextMatrix(row, 2, std::move(op));
    grid.SetTextMatrix(row, 3, std::move(value));
  }
  void Link(ProviderKind kind, std::int32_t row, std::string from, std::string to) {
    platform::FlexGrid& grid = Ui().Side(kind).LinksGrid;
    while (grid.Rows() <= row) grid.AddItem("");
    grid.SetTextMatrix(row, 1, std::move(from));
    grid.SetTextMatrix(row, 2, std::move(to));
  }
  // Return fields as the editor keeps them: in the return list and both translation lists.
  void ReturnFields(ProviderKind kind, const std::vector<std::string>& fields) {
    ProviderControls& side = Ui().Side(kind);
    for (const std::string& field : fields) {
      side.SelectedFieldsList.AddItem(field);
      side.I18NFieldnamesList.AddItem(field);
      side.I18NFieldValuesList.AddItem(field);
    }
  }

  std::unique_ptr<HeaderDTC> control;
};

}  // namespace dtc::testing
