// Page text generation: GetRuntimeText reads the page template below the install directory and
// replaces its placeholders, one step after the other, with text built from the configuration.
//
// The steps run in a fixed order and each replaces every occurrence of its placeholder in the whole
// working text, letters matched without regard to case. Text a step inserts is seen by every later
// step: the builders' fragments carry the variable-name placeholders of the late steps, and a user
// script or the XSL file name may carry any placeholder of a later step. Every builder runs whether
// or not the template holds its placeholder, so its messages (and its failures) do not depend on
// the template.
//
// Failures: GetKeyFieldsRuntimeText and GetRelativePathRoot show their own failures and give an
// empty text; any other failure ends the request with its message and the host gets the working
// text as it stood: the template lines read so far, or the template after the steps before the
// failing one. These three messages put no space before the error number's "(".
//
// Decision (criteria): a criterion row whose operator is not one of "==", "<=", ">=" shows its
// message ("Specify operator on criterion <row>" or "Unknown operator '<op>' on criterion <row>")
// and produces no line. Writing it with some other row's operator code would put a condition the
// designer never chose into a live page.
//
// Decision (value kinds): a criterion value whose recorded kind is 1 (INCLUDEFUNCTION) or 2
// (USERSCRIPT), compared loosely as the stored value may be a number or its text, is written as a
// function call; any other recorded kind, like a value without one, is written as a quoted constant.
// The lookup never adds an entry to the map.
#include "dtc/PageText.h"

#include <string>
#include <vector>

#include "dtc/TextFunctions.h"
#include "platform/ScriptingShell.h"
#include "runtime/Error.h"

namespace dtc {
namespace {

using platform::ComboBox;
using platform::FlexGrid;
using platform::ListBox;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kLineEnd = "\r\n\t\t\t";  // ends a generated statement inside the template's block
constexpr std::int32_t kObjectNotSet = 91;

// The message of the generation's own traps: "Error in '<procedure>': <description>(<number>)".
void ShowGenerationError(platform::MessageBoxes& boxes, std::string_view procedure) {
  std::int32_t number = platform::err::InternalError;
  std::string description;
  try {
    throw;
  } catch (const platform::Error& e) {
    number = e.Number();
    description = e.Description();
  } catch (const std::bad_alloc&) {
    number = platform::err::OutOfMemory;
    description = platform::StandardDescription(number);
  } catch (const std::exception& e) {
    description = e.what();
  } catch (...) {
    description = platform::StandardDescription(number);
  }
  std::string text = "Error in '";
  text.append(procedure).append("': ").append(description);
  text.append("(").append(std::to_string(number)).append(")");
  boxes.Show(text);
}

// An object the site's object model handed out; error 91 when it handed out none.
template <class T>
std::shared_ptr<T> Required(std::shared_ptr<T> object) {
  if (!object) platform::Raise(kObjectNotSet, "Object variable or With block variable not set");
  return object;
}

void RequireKind(ProviderKind kind, ProviderKind a, ProviderKind b) {
  if (kind != a && kind != b) platform::Raise(platform::err::InvalidProcedureCall);
}

std::string FirstItem(const ComboBox& combo) {
  return combo.ListCount() > 0 ? combo.List(0) : std::string();
}

std::string_view FieldSeparator(ProviderKind kind) {
  return Variation(kind).fieldSeparator;
}

void AppendQuoted(std::string& text, std::string_view piece) {
  text += '"';
  text += piece;
  text += '"';
}

// Add lines of a return-field list: the EAI form uses the whole item as key and name, the DRAV form
// the field number unquoted and the name quoted.
std::string ReturnFieldLines(const ListBox& list, ProviderKind kind, std::string_view addCall) {
  const bool dravForm = Variation(kind).numberedFields;
  std::string text;
  for (const std::string& item : list.Items()) {
    text += addCall;
    if (dravForm) {
      text += SplitPiece(item, " - ", 0);
      text += ", ";
      AppendQuoted(text, SplitPiece(item, " - ", 1));
    } else {
      AppendQuoted(text, item);
      text += ", ";
      AppendQuoted(text, item);
    }
    text += kLineEnd;
  }
  return text;
}

}  // namespace

bool PageTextBuilder::GetRuntimeText(std::string& text) const {
  text.clear();
  try {
    ReadPageTemplate(text);

    const EditorForm& ui = control_.ui;
    const auto step = [&text](std::string_view placeholder, const std::string& replacement) {
      ReplaceNoCase(text, placeholder, replacement);
    };
    const std::string root = GetRelativePathRoot();
    step("<PATH_TO_ROOT>", root);
    step("<DEFAULTPAGESIZE>", "10");
    step("<INITIAL_DRAV_SORT_FIELD>", FirstItem(ui.DRAV.KeyFieldsCombo));
    step("<INITIAL_EAI_SORT_FIELD>", FirstItem(ui.EAI.KeyFieldsCombo));
    step("<DATAPROVIDER>", ui.DataProvidersCombo.Text());
    step("<EXTRA_INCLUDES>", ExtraIncludesRuntimeText(root));
    step("<XSL_FILENAME>", ui.XSLFilenameText.Text());
    step("<USER_DEFINED_SCRIPTS>", UserDefinedScriptsRuntimeText());
    step("<SPECIFY_EAI_KEYFIELDS>", GetKeyFieldsRuntimeText(ProviderKind::EAI));
    step("<ADD_EAI_RETURN_FIELDS>", GetReturnFieldsRuntimeText(ProviderKind::EAI));
    step("<SPECIFY_EAI_CRITERIA>", GetCriteriaRuntimeText(ProviderKind::EAI));
    step("<SPECIFY_EAI_I18N_FIELDS>", GetI18NFieldnamesRuntimeText(ProviderKind::EAI));
    step("<SPECIFY_EAI_I18N_FIELDVALUES>", GetI18NFieldValuesRuntimeText(ProviderKind::EAI));
    step("<SPECIFY_DRAV_KEYFIELDS>", GetKeyFieldsRuntimeText(ProviderKind::DRAV));
    step("<ADD_DRAV_RETURN_FIELDS>", GetReturnFieldsRuntimeText(ProviderKind::DRAV));
    step("<SPECIFY_DRAV_CRITERIA>", GetCriteriaRuntimeText(ProviderKind::DRAV));
    step("<SPECIFY_DRAV_I18N_FIELDS>", GetI18NFieldnamesRuntimeText(ProviderKind::DRAV));
    step("<SPECIFY_DRAV_I18N_FIELDVALUES>", GetI18NFieldValuesRuntimeText(ProviderKind::DRAV));
    step("<SPECIFY_EAI_LINKED_FIELDS>", GetLinkedReturnFieldsRuntimeText(ProviderKind::EAILink));
    step("<SPECIFY_DRAV_LINKED_FIELDS>", GetLinkedReturnFieldsRuntimeText(ProviderKind::DRAVLink));
    step("<SPECIFY_DRAV_LINKED_FIELDVALUES>", GetLinkedFieldsRuntimeText(ProviderKind::DRAVLink));
    step("<SPECIFY_EAI_LINKED_FIELDVALUES>", GetLinkedFieldsRuntimeText(ProviderKind::EAILink));
    step("<RETURN_FIELDS_VARNAME>", "mReturnFields");
    step("<LINKED_RETURN_FIELDS_VARNAME>", "mReturnLinkedFields");
    step("<LINKED_FIELDS_VARNAME>", "mLinkedFields");
    step("<LINKED_DATAPROVIDER>", control_.linkedProviderName);
    step("<LINKED_DATAPROVIDER_VARNAME>", "lLinkedDataProvider");
    step("<DATAPROVIDER_VARNAME>", "mDataProvider");
    step("<ENABLE_EXTRA_FILTERS>", ui.EnableExtraFiltersCheck.Value() != 0 ? "true" : "false");
    return true;
  } catch (...) {
    ShowGenerationError(control_.Boxes(), "IProvideRuntimeText_GetRuntimeText");
    return false;
  }
}

// Appends every line of the template to `text`, each ended by CR LF. The file is closed on every
// way out; a failure reaches the caller with the lines read so far in `text`.
void PageTextBuilder::ReadPageTemplate(std::string& text) const {
  const std::string path = GetInstallDir() + std::string(kPageTemplatePath);
  if (control_.services.files == nullptr) platform::Raise(platform::err::FileNotFound);
  const std::unique_ptr<platform::TextInput> file = control_.services.files->OpenForInput(path);
  try {
    while (!file->AtEnd()) {
      text += file->ReadLine();
      text += kCrLf;
    }
  } catch (...) {
    try {
      file->Close();
    } catch (...) {
      // The read's failure is the one reported.
    }
    throw;
  }
  file->Close();
}

std::string PageTextBuilder::GetInstallDir() const {
  std::string directory;
  try {
    if (control_.services.registry != nullptr) {
      const platform::ScriptingShell shell(*control_.services.registry);
      directory = UCase(shell.RegRead(kInstallDirRegistryValue).ToString());
    }
  } catch (...) {
    directory.clear();  // failures are ignored: the directory is unknown
  }
  if (!directory.empty()) {
    if (directory.back() != '\\') directory += '\\';
    return directory;
  }
  control_.Boxes().Show("Can not find REGKEY '" + std::string(kInstallDirRegistryValue) + "'");
  return {};
}

std::string PageTextBuilder::GetRelativePathRoot() const {
  if (!site_) {
    control_.Boxes().Show("Not running in DevStudio...");
    return {};
  }
  try {
    const auto environment = Required(site_->GetContext("TargetEnvironment"));
    const auto objectModel = Required(site_->SecondObjectModel());
    const auto items = Required(objectModel->Resolve(*environment));
    const auto properties = Required(Required(items->Item(1))->Properties());
    const std::string base = properties->Item(platform::kSiteBaseLocationProperty).ToString();
    const std::string page = properties->Item(platform::kSitePageLocationProperty).ToString();

    // The part of the page's location beyond the base: one folder up for every "/" in it.
    const std::string_view beyondBase = RightCharacters(page, CharacterCount(page) - CharacterCount(base));
    std::string root;
    for (char c : beyondBase) {
      if (c == '/') root += "../";
    }
    if (base.empty()) root += "../";
    return root;
  } catch (...) {
    ShowGenerationError(control_.Boxes(), "GetRelativePathRoot");
    return {};
  }
}

std::string PageTextBuilder::ExtraIncludesRuntimeText(const std::string& root) const {
  std::string text;
  for (const std::string& item : control_.ui.IncludeASPList.Items()) {
    text += "<!--#INCLUDE file =\"";
    text += root;
    text += item;
    text += "\" -->";
    text += kCrLf;
  }
  return text;
}

std::string PageTextBuilder::UserDefinedScriptsRuntimeText() const {
  if (!control_.userDefinedScripts)
    platform::Raise(kObjectNotSet, "Object variable or With block variable not set");
  std::string text;
  for (const platform::Dictionary::Entry& entry : *control_.userDefinedScripts) {
    text += entry.item.ToString();
    text += kCrLf;
    text += kCrLf;
  }
  return text;
}

std::string PageTextBuilder::GetKeyFieldsRuntimeText(ProviderKind kind) const {
  try {
    RequireKind(kind, ProviderKind::EAI, ProviderKind::DRAV);
    std::string text = "Array(";
    bool first = true;
    for (const std::string& item : control_.ui.Side(kind).KeyFieldsCombo.Items()) {
      if (!first) text += ", ";
      first = false;
      AppendQuoted(text, item);
    }
    text += ")";
    return text;
  } catch (...) {
    ShowGenerationError(control_.Boxes(), "GetKeyFieldsRuntimeText");
    return {};
  }
}

std::string PageTextBuilder::GetReturnFieldsRuntimeText(ProviderKind kind) const {
  RequireKind(kind, ProviderKind::EAI, ProviderKind::DRAV);
  return ReturnFieldLines(control_.ui.Side(kind).SelectedFieldsList, kind, "<RETURN_FIELDS_VARNAME>.Add ");
}

std::string PageTextBuilder::GetLinkedReturnFieldsRuntimeText(ProviderKind kind) const {
  RequireKind(kind, ProviderKind::EAILink, ProviderKind::DRAVLink);
  return ReturnFieldLines(control_.ui.Side(kind).SelectedLinkedFieldsList, kind,
                          "<LINKED_RETURN_FIELDS_VARNAME>.Add ");
}

std::string PageTextBuilder::GetCriteriaRuntimeText(ProviderKind kind) const {
  RequireKind(kind, ProviderKind::EAI, ProviderKind::DRAV);
  const FlexGrid& grid = control_.ui.Side(kind).CriteriaGrid;
  const platform::Dictionary& valueKinds = providerTabs_[kind].CriteriaTypes();
  const std::string tabName = std::string(KindPrefix(kind)) + " tab";

  std::string text;
  for (std::int32_t row = 1; row < grid.Rows(); ++row) {
    const std::string_view key = TrimSpaces(grid.TextArray(control_.CriteriaCellIndex(row, 1)));
    const std::string& op = grid.TextArray(control_.CriteriaCellIndex(row, 2));
    const std::string& value = grid.TextArray(control_.CriteriaCellIndex(row, 3));
    const std::string rowNumber = std::to_string(row);

    if (op.empty() || key.empty() || value.empty()) {
      if (!key.empty())
        control_.Boxes().Show("Incomplete criterion on line " + rowNumber + " on the " + tabName);
      continue;
    }

    std::string_view code;
    if (op == "==") {
      code = "0";
    } else if (op == "<=") {
      code = "1";
    } else if (op == ">=") {
      code = "2";
    } else {
      control_.Boxes().Show(TrimSpaces(op).empty()
                                ? "Specify operator on criterion " + rowNumber
                                : "Unknown operator '" + op + "' on criterion " + rowNumber);
      continue;  // no line: see the decision at the top of this file
    }

    const platform::Variant* valueKind = valueKinds.Find(value);
    const bool function =
        valueKind != nullptr &&
        (platform::LooselyEqual(*valueKind, platform::Variant(std::int32_t{INCLUDEFUNCTION})) ||
         platform::LooselyEqual(*valueKind, platform::Variant(std::int32_t{USERSCRIPT})));
    text += "<DATAPROVIDER_VARNAME>.SetKeyValue ";
    AppendQuoted(text, key);
    text += ", ";
    text += code;
    text += ", ";
    if (function) {
      text += value;
      text += "()";
    } else {
      AppendQuoted(text, value);
    }
    text += kLineEnd;
  }
  return text;
}

std::string PageTextBuilder::GetI18NFieldnamesRuntimeText(ProviderKind kind) const {
  return I18NRuntimeText(kind, false);
}

std::string PageTextBuilder::GetI18NFieldValuesRuntimeText(ProviderKind kind) const {
  return I18NRuntimeText(kind, true);
}

std::string PageTextBuilder::I18NRuntimeText(ProviderKind kind, bool values) const {
  RequireKind(kind, ProviderKind::EAI, ProviderKind::DRAV);
  const ListBox& list =
      values ? control_.ui.Side(kind).I18NFieldValuesList : control_.ui.Side(kind).I18NFieldnamesList;
  std::vector<std::int32_t> selected;
  for (std::int32_t i = 0; i < list.ListCount(); ++i) {
    if (list.Selected(i)) selected.push_back(i);
  }
  if (selected.empty()) return {};

  std::string text = values ? "<DATAPROVIDER_VARNAME>.setTranslatedFieldValues( Array( _"
                            : "<DATAPROVIDER_VARNAME>.setTranslatedFieldNames( Array( _";
  text += kCrLf;
  for (std::size_t k = 0; k < selected.size(); ++k) {
    text += "\t\t\t\t";
    AppendQuoted(text, TrimSpaces(SplitPiece(list.List(selected[k]), FieldSeparator(kind), 1)));
    if (k + 1 < selected.size()) text += ", ";
    text += " _";
    text += kCrLf;
  }
  text += "\t\t\t))";
  return text;
}

std::string PageTextBuilder::GetLinkedFieldsRuntimeText(ProviderKind kind) const {
  RequireKind(kind, ProviderKind::EAILink, ProviderKind::DRAVLink);
  const FlexGrid& grid = control_.ui.Side(kind).LinksGrid;
  std::string text;
  bool first = true;
  for (std::int32_t row = 1; row < grid.Rows(); ++row) {
    const std::string& from = grid.TextArray(control_.LinksCellIndex(row, 1));
    const std::string& to = grid.TextArray(control_.LinksCellIndex(row, 2));
    if (from.empty()) continue;
    text += "<LINKED_FIELDS_VARNAME>.Add ";
    AppendQuoted(text, SplitPiece(from, FieldSeparator(kind), 1));
    text += ", ";
    AppendQuoted(text, to);
    text += kCrLf;
    if (!first) text += "\t\t\t";
    first = false;
  }
  return text;
}

}  // namespace dtc
