#include "host/DemoConfiguration.h"

#include <initializer_list>
#include <string>

namespace host {
namespace {

using dtc::ProviderControls;
using dtc::ProviderKind;

void Fill(platform::ItemList& list, std::initializer_list<const char*> items) {
  for (const char* item : items) list.AddItem(item);
}

// Return fields appear in the return-field list and, as the editor keeps them, in both translation
// lists and the From combo of the links grid.
void AddReturnField(ProviderControls& s, const std::string& field) {
  for (platform::ItemList* list : std::initializer_list<platform::ItemList*>{
           &s.SelectedFieldsList, &s.I18NFieldnamesList, &s.I18NFieldValuesList, &s.FromLinkFieldsCombo}) {
    list->AddItem(field);
  }
}

void AddCriterion(dtc::HeaderDTC& control, ProviderKind kind, std::int16_t row, const char* key,
                  const char* op, std::string value, std::string script, dtc::SpecificationType type) {
  platform::FlexGrid& grid = control.Editor().Side(kind).CriteriaGrid;
  if (row >= grid.Rows()) grid.AddItem("");
  grid.SetTextMatrix(row, 1, key);
  grid.SetTextMatrix(row, 2, op);
  std::int16_t tab = static_cast<std::int16_t>(kind);
  control.SetKeyValue(tab, row, value, script, type);
}

}  // namespace

void DemoCatalog::PrepareGeneralTab(dtc::HeaderDTC& control) {
  dtc::EditorForm& ui = control.Editor();
  if (ui.DataProvidersCombo.ListCount() > 0) return;
  for (const char* provider : kDemoProviders) {
    ui.DataProvidersCombo.AddItem(provider);
    ui.DRAV.LinkedDataProvidersCombo.AddItem(provider);
    ui.EAI.LinkedDataProvidersCombo.AddItem(provider);
  }
}

void BuildSampleConfiguration(dtc::HeaderDTC& control) {
  dtc::EditorForm& ui = control.Editor();
  ui.DataProvidersCombo.SetListIndex(0);
  ui.DRAV.DataProviderText.SetText("KRMOrders");
  ui.EAI.DataProviderText.SetText("KRMOrders");
  ui.I18NDataProviderText.SetText("KRMOrders");
  ui.EnableExtraFiltersCheck.SetValue(platform::CheckBox::Checked);
  Fill(ui.IncludeASPList, {"include/orderfunctions.asp", "include/Currency Helpers.asp"});
  ui.XSLFilenameText.SetText("xsl/Orders.xsl");

  ProviderControls& drav = ui.DRAV;
  Fill(drav.FieldsList, {" 3 - DELIVERYDATE", " 4 - 0", "12 - REMARKS"});
  for (const char* field : {" 1 - ORDERID", " 2 - CUSTOMERNAME", "10 - TOTAL \"gross\""})
    AddReturnField(drav, field);
  Fill(drav.KeyFieldsCombo, {"ORDERID", "CUSTOMERID"});
  AddCriterion(control, ProviderKind::DRAV, 1, "ORDERID", "0", "1042", "", dtc::CONSTANT);
  AddCriterion(control, ProviderKind::DRAV, 2, "CUSTOMERID", "2", "GetCustomerID()", "",
               dtc::INCLUDEFUNCTION);
  AddCriterion(control, ProviderKind::DRAV, 3, "ORDERID", "1", "  LastOrder  ",
               "Function LastOrder()\r\n\tLastOrder = Session(\"LastOrder\")\r\nEnd Function",
               dtc::USERSCRIPT);
  drav.CriteriaGrid.SetTextMatrix(3, 4, "extra");
  drav.CriteriaGrid.AddItem("");  // the entry row
  drav.I18NFieldnamesList.SetSelected(0, true);
  drav.I18NFieldnamesList.SetSelected(2, true);
  drav.I18NFieldValuesList.SetSelected(1, true);

  ProviderControls& eai = ui.EAI;
  Fill(eai.FieldsList, {"Order.Status", "Customer.Street"});
  for (const char* field : {"Order.Number", "Customer.Name"}) AddReturnField(eai, field);
  Fill(eai.KeyFieldsCombo, {"Order.Number"});
  AddCriterion(control, ProviderKind::EAI, 1, "Order.Number", "0", "2", "", dtc::CONSTANT);
  AddCriterion(control, ProviderKind::EAI, 2, "Order.Number", "2", "Räumung",
               "Function Räumung()\r\nEnd Function", dtc::USERSCRIPT);
  eai.CriteriaGrid.AddItem("");
  eai.I18NFieldValuesList.SetSelected(0, true);
  eai.I18NFieldValuesList.SetSelected(1, true);

  control.LetProperty("NrOfUserDefinedScripts", std::nullopt, platform::Variant(std::int16_t{2}));

  ui.DRAV.LinkedDataProvidersCombo.SetListIndex(1);
  ui.EAI.LinkedDataProvidersCombo.SetListIndex(1);
  for (ProviderKind kind : dtc::kProviderKinds) {
    ProviderControls& s = ui.Side(kind);
    const bool isDrav = kind == ProviderKind::DRAV;
    Fill(s.LinkedFieldsList,
         {isDrav ? "1 - CUSTOMERID" : "Customer.ID", isDrav ? "2 - CITY" : "Customer.City"});
    Fill(s.SelectedLinkedFieldsList, {isDrav ? "3 - COUNTRY" : "Customer.Country"});
    Fill(s.ToLinkFieldsCombo, {isDrav ? "CUSTOMERID" : "Customer.ID"});
    s.LinksGrid.SetTextMatrix(1, 1, s.SelectedFieldsList.List(1));
    s.LinksGrid.SetTextMatrix(1, 2, s.ToLinkFieldsCombo.List(0));
    s.LinksGrid.AddItem(std::string("\t") + s.SelectedFieldsList.List(0) + "\t" +
                        s.ToLinkFieldsCombo.List(0));
    s.LinksGrid.AddItem("");
  }
}

}  // namespace host
