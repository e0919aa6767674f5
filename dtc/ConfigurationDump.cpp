// The listing of a control's whole configuration, one line per item in a fixed order.
#include "dtc/ConfigurationDump.h"

#include <sstream>

namespace dtc {
namespace {

// Texts are quoted with C-style escapes so that spaces, empty texts and line ends show.
std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += ch;
    }
  }
  return out + "\"";
}

void List(std::ostream& out, std::string_view name, const platform::ItemList& list) {
  out << name << ": " << list.ListCount() << " items\n";
  for (std::int32_t i = 0; i < list.ListCount(); ++i)
    out << "  [" << i << "] " << Quote(list.List(i)) << "\n";
}

void Selection(std::ostream& out, std::string_view name, const platform::ListBox& list) {
  out << name << " selected:";
  for (std::int32_t i = 0; i < list.ListCount(); ++i) {
    if (list.Selected(i)) out << " " << i;
  }
  out << "\n";
}

void Grid(std::ostream& out, std::string_view name, const platform::FlexGrid& grid) {
  out << name << ": " << grid.Rows() << " rows\n";
  for (std::int32_t r = 0; r < grid.Rows(); ++r) {
    out << "  row " << r << ":";
    for (std::int32_t c = 1; c < grid.Cols(); ++c) out << " " << Quote(grid.TextMatrix(r, c));
    out << "\n";
  }
}

void Map(std::ostream& out, std::string_view name, const platform::Dictionary& map) {
  out << name << ": " << map.Count() << " entries\n";
  for (const auto& entry : map) {
    out << "  " << Quote(entry.key) << " -> " << Quote(entry.item.ToString()) << "\n";
  }
}

}  // namespace

std::string DescribeConfiguration(const HeaderDTC& control) {
  const EditorForm& ui = control.Editor();
  std::ostringstream out;
  out << "DataProvider: " << Quote(ui.DataProvidersCombo.Text()) << "\n";
  out << "CurrentDataProvider: " << Quote(control.CurrentDataProvider()) << "\n";
  out << "EnableExtraFilters: " << ui.EnableExtraFiltersCheck.Value() << "\n";
  List(out, "ExtraIncludes", ui.IncludeASPList);
  out << "XSLFilename: " << Quote(ui.XSLFilenameText.Text()) << "\n";
  Map(out, "UserDefinedScripts", *control.UserDefinedScripts());
  out << "NrOfUserDefinedScripts: " << control.NrOfUserDefinedScripts() << "\n";
  out << "LinkedProviderName: " << Quote(control.LinkedProviderName()) << "\n";
  for (ProviderKind kind : kProviderKinds) {
    const ProviderControls& s = ui.Side(kind);
    const std::string p = s.prefix;
    out << p << "DataProviderText: " << Quote(s.DataProviderText.Text()) << "\n";
    List(out, p + "FieldsList", s.FieldsList);
    List(out, p + "SelectedFieldsList", s.SelectedFieldsList);
    List(out, p + "KeyFieldsCombo", s.KeyFieldsCombo);
    Grid(out, p + "CriteriaGrid", s.CriteriaGrid);
    Map(out, p + "CriteriaTypes", control.CriteriaTypes(kind));
    List(out, p + "I18NFieldnamesList", s.I18NFieldnamesList);
    Selection(out, p + "I18NFieldnamesList", s.I18NFieldnamesList);
    List(out, p + "I18NFieldValuesList", s.I18NFieldValuesList);
    Selection(out, p + "I18NFieldValuesList", s.I18NFieldValuesList);
    List(out, p + "FromLinkFieldsCombo", s.FromLinkFieldsCombo);
    out << p << "LinkedDataProvidersCombo: " << Quote(s.LinkedDataProvidersCombo.Text()) << "\n";
    List(out, p + "LinkedFieldsList", s.LinkedFieldsList);
    List(out, p + "SelectedLinkedFieldsList", s.SelectedLinkedFieldsList);
    List(out, p + "ToLinkFieldsCombo", s.ToLinkFieldsCombo);
    Grid(out, p + "LinksGrid", s.LinksGrid);
  }
  return out.str();
}

}  // namespace dtc
