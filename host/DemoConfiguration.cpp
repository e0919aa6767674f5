// The sample configuration the demo saves and reloads, every item set away from a new control's.
#include "host/DemoConfiguration.h"

#include <initializer_list>
#include <string>

#include "runtime/Error.h"

namespace host {
namespace {

using dtc::ProviderKind;

template <class T>
T& Get(platform::Form& form, const std::string& name) {
  auto* control = dynamic_cast<T*>(form.Find(name));
  if (control == nullptr)
    platform::Raise(platform::err::InvalidProcedureCall, "The editor has no control " + name);
  return *control;
}

void Fill(platform::ItemList& list, std::initializer_list<const char*> items) {
  for (const char* item : items) list.AddItem(item);
}

std::string Prefix(ProviderKind kind) {
  return std::string(dtc::KindPrefix(kind));
}

// Return fields appear in the return-field list and, as the editor keeps them, in both translation
// lists and the From combo of the links grid.
void AddReturnField(platform::Form& form, ProviderKind kind, const std::string& field) {
  const std::string p = Prefix(kind);
  for (const char* list : {"SelectedFieldsList", "I18NFieldnamesList", "I18NFieldValuesList"}) {
    Get<platform::ListBox>(form, p + list).AddItem(field);
  }
  Get<platform::ComboBox>(form, p + "FromLinkFieldsCombo").AddItem(field);
}

void AddCriterion(SampleTarget& control, ProviderKind kind, std::int16_t row, const char* key, const char* op,
                  std::string value, std::string script, dtc::SpecificationType type) {
  auto& grid = Get<platform::FlexGrid>(control.EditorForm(), Prefix(kind) + "CriteriaGrid");
  if (row >= grid.Rows()) grid.AddItem("");
  grid.SetTextMatrix(row, 1, key);
  grid.SetTextMatrix(row, 2, op);
  std::int16_t tab = static_cast<std::int16_t>(kind);
  control.SetKeyValue(tab, row, value, script, type);
}

}  // namespace

void BuildSampleConfiguration(SampleTarget& control) {
  platform::Form& form = control.EditorForm();
  auto list = [&](const std::string& name) -> platform::ListBox& {
    return Get<platform::ListBox>(form, name);
  };
  auto text = [&](const std::string& name) -> platform::TextBox& {
    return Get<platform::TextBox>(form, name);
  };
  auto combo = [&](const std::string& name) -> platform::ComboBox& {
    return Get<platform::ComboBox>(form, name);
  };

  combo("DataProvidersCombo").SetListIndex(0);
  for (const char* name : {"DRAVDataProviderText", "EAIDataProviderText", "I18NDataProviderText"}) {
    text(name).SetText("KRMOrders");
  }
  Get<platform::CheckBox>(form, "EnableExtraFiltersCheck").SetValue(platform::CheckBox::Checked);
  Fill(list("IncludeASPList"), {"include/orderfunctions.asp", "include/Currency Helpers.asp"});
  text("XSLFilenameText").SetText("xsl/Orders.xsl");

  Fill(list("DRAVFieldsList"), {" 3 - DELIVERYDATE", " 4 - 0", "12 - REMARKS"});
  for (const char* field : {" 1 - ORDERID", " 2 - CUSTOMERNAME", "10 - TOTAL \"gross\""}) {
    AddReturnField(form, ProviderKind::DRAV, field);
  }
  Fill(combo("DRAVKeyFieldsCombo"), {"ORDERID", "CUSTOMERID"});
  AddCriterion(control, ProviderKind::DRAV, 1, "ORDERID", "0", "1042", "", dtc::CONSTANT);
  AddCriterion(control, ProviderKind::DRAV, 2, "CUSTOMERID", "2", "GetCustomerID()", "",
               dtc::INCLUDEFUNCTION);
  AddCriterion(control, ProviderKind::DRAV, 3, "ORDERID", "1", "  LastOrder  ",
               "Function LastOrder()\r\n\tLastOrder = Session(\"LastOrder\")\r\nEnd Function",
               dtc::USERSCRIPT);
  auto& dravGrid = Get<platform::FlexGrid>(form, "DRAVCriteriaGrid");
  dravGrid.SetTextMatrix(3, 4, "extra");
  dravGrid.AddItem("");  // the entry row
  list("DRAVI18NFieldnamesList").SetSelected(0, true);
  list("DRAVI18NFieldnamesList").SetSelected(2, true);
  list("DRAVI18NFieldValuesList").SetSelected(1, true);

  Fill(list("EAIFieldsList"), {"Order.Status", "Customer.Street"});
  for (const char* field : {"Order.Number", "Customer.Name"}) AddReturnField(form, ProviderKind::EAI, field);
  Fill(combo("EAIKeyFieldsCombo"), {"Order.Number"});
  AddCriterion(control, ProviderKind::EAI, 1, "Order.Number", "0", "2", "", dtc::CONSTANT);
  AddCriterion(control, ProviderKind::EAI, 2, "Order.Number", "2", "Räumung",
               "Function Räumung()\r\nEnd Function", dtc::USERSCRIPT);
  Get<platform::FlexGrid>(form, "EAICriteriaGrid").AddItem("");
  list("EAII18NFieldValuesList").SetSelected(0, true);
  list("EAII18NFieldValuesList").SetSelected(1, true);

  control.LetProperty("NrOfUserDefinedScripts", std::nullopt, platform::Variant(std::int16_t{2}));

  // The linked provider is chosen on both link tabs before their lists are filled by hand, so the
  // updates the choice runs do not clear them afterwards.
  combo("DRAVLinkedDataProvidersCombo").SetListIndex(1);
  combo("EAILinkedDataProvidersCombo").SetListIndex(1);
  for (ProviderKind kind : dtc::kProviderKinds) {
    const std::string p = Prefix(kind);
    const bool isDrav = kind == ProviderKind::DRAV;
    list(p + "LinkedFieldsList").Clear();
    list(p + "SelectedLinkedFieldsList").Clear();
    combo(p + "ToLinkFieldsCombo").Clear();
    Fill(list(p + "LinkedFieldsList"),
         {isDrav ? "1 - CUSTOMERID" : "Customer.ID", isDrav ? "2 - CITY" : "Customer.City"});
    Fill(list(p + "SelectedLinkedFieldsList"), {isDrav ? "3 - COUNTRY" : "Customer.Country"});
    Fill(combo(p + "ToLinkFieldsCombo"), {isDrav ? "CUSTOMERID" : "Customer.ID"});
    auto& links = Get<platform::FlexGrid>(form, p + "LinksGrid");
    auto& selected = list(p + "SelectedFieldsList");
    const std::string& to = combo(p + "ToLinkFieldsCombo").List(0);
    links.SetTextMatrix(1, 1, selected.List(1));
    links.SetTextMatrix(1, 2, to);
    links.AddItem("\t" + selected.List(0) + "\t" + to);
    links.AddItem("");
  }
}

}  // namespace host
